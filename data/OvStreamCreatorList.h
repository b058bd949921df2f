// The stream creators of the memory manager: the client's, then the built-in file
// creator.
#ifndef ORVANE_DATA_OVSTREAMCREATORLIST_H
#define ORVANE_DATA_OVSTREAMCREATORLIST_H

#include <cstddef>
#include <vector>

#include "Quorra.h"

class COvStreamCreatorList {
public:
    COvStreamCreatorList();
    COvStreamCreatorList(const COvStreamCreatorList&) = delete;
    COvStreamCreatorList& operator=(const COvStreamCreatorList&) = delete;
    // Frees every client creator once, in the order first added.
    virtual ~COvStreamCreatorList();

    // Appends a creator (the list owns it from now on) and returns its index. The
    // same creator may be added twice. Room grows to 2 x room + 100 slots: 100, 300,
    // 700, ... -1 when creator is null or the list cannot grow; a creator handed over
    // but not taken is freed then, unless the list already holds it.
    int Add(CQrStreamCreator* creator);
    // The first stream that a client creator gives for name, else the file creator's
    // (null or not). *creator receives the creator that must free the stream.
    CQrReadStream* OpenStream(const char* name, CQrStreamCreator** creator);

    // Tells every client creator that can abort its streams (CQrAbortable) to end the
    // loads in progress and refuse new ones; used when the data layer shuts down.
    void AbortStreams();

    // Slots allocated so far.
    std::size_t GetCapacity() const { return m_ppCreators.capacity(); }
    // The built-in creator, asked last.
    const CQrStreamCreator* GetFileCreator() const { return &m_FileCreator; }

private:
    std::vector<CQrStreamCreator*> m_ppCreators;
    CQrFileStreamCreator m_FileCreator;
};

#endif
