// The stream library: a stream creator turns a name into a read stream.
#ifndef QUORRA_QUORRA_H
#define QUORRA_QUORRA_H

#include "QrExport.h"

class CQrReadStream;

// Abstract stream factory. CreateStream and FreeStream may be called from several
// threads at once.
class QR_EXPORT CQrStreamCreator {
protected:
    // Declared first: the destructor is the first virtual slot.
    CQrStreamCreator() {}
    virtual ~CQrStreamCreator() {}

public:
    CQrStreamCreator(const CQrStreamCreator&) {}
    CQrStreamCreator& operator=(const CQrStreamCreator&) { return *this; }

    // Releases the creator itself (a creator handed to a library is released once,
    // when the library is done with it).
    virtual void Free() = 0;
    // A new stream at the start of the named data, or null when this creator cannot
    // serve the name.
    virtual CQrReadStream* CreateStream(const char* name) = 0;
    // Releases a stream this creator made; it is not used afterwards.
    virtual void FreeStream(CQrReadStream* stream) = 0;
};

// Opens file paths for reading.
class QR_EXPORT CQrFileStreamCreator : public CQrStreamCreator {
public:
    CQrFileStreamCreator();
    ~CQrFileStreamCreator() override;
    CQrFileStreamCreator(const CQrFileStreamCreator& other);
    CQrFileStreamCreator& operator=(const CQrFileStreamCreator& other);

    void Free() override;
    CQrReadStream* CreateStream(const char* name) override;
    void FreeStream(CQrReadStream* stream) override;
};

#endif
