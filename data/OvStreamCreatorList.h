// The stream creators of the memory manager, and the load step that turns a
// descriptor into data through them and the type's handler.
#ifndef ORVANE_DATA_OVSTREAMCREATORLIST_H
#define ORVANE_DATA_OVSTREAMCREATORLIST_H

#include <memory>

#include "OvData.h"
#include "Quorra.h"

class COvDataManager;

// The client's creators in the order added, then the built-in file creator.
class COvStreamCreatorList {
public:
    COvStreamCreatorList();
    COvStreamCreatorList(const COvStreamCreatorList&) = delete;
    COvStreamCreatorList& operator=(const COvStreamCreatorList&) = delete;
    // Frees every client creator in the order added.
    virtual ~COvStreamCreatorList();

    // Appends a creator (the list owns it from now on) and returns its index; -1 when
    // the list cannot grow (the creator is then not taken). Capacity grows to
    // 2 x capacity + 100 slots: 100, 300, 700, ...
    int Add(CQrStreamCreator* creator);
    // The first stream that a client creator gives for name, else the file creator's
    // (null or not). *creator receives the creator that must free the stream.
    CQrReadStream* OpenStream(const char* name, CQrStreamCreator** creator);

    int m_nCapacity;
    int m_nCount;
    std::unique_ptr<CQrStreamCreator*[]> m_ppCreators;
    CQrFileStreamCreator m_FileCreator;
};

// The load step: opens a stream for info's name, lets the handler of info's type
// make the data and frees the stream. Returns the data with its size in *size, or
// null with *size 0 when no creator opens the name or the handler fails. A
// negative size from a handler counts as 0.
void* OvLoadData(const COvDataInfo& info, COvStreamCreatorList& creators, COvDataManager& handlers,
                 int* size);

#endif
