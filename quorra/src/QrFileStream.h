// A read stream over an open file.
#ifndef QUORRA_QRFILESTREAM_H
#define QUORRA_QRFILESTREAM_H

#include <vector>

#include "QrUniqueFd.h"
#include "Quorra.h"

// Reads a file through its descriptor with a buffer of its own, so that decoders
// asking for a few bytes at a time cost no system call each.
class CQrFileReadStream : public CQrReadStream {
public:
    // Opens `path` for reading. Returns the stream, or null when it cannot be opened
    // (or is not a regular file).
    static std::unique_ptr<CQrFileReadStream> Open(const char* path);
    ~CQrFileReadStream() override;

    std::int64_t Read(void* buffer, std::int64_t size) override;
    int Seek(std::int64_t pos) override;
    std::int64_t Tell() const override;
    std::int64_t GetSize() const override;

private:
    CQrFileReadStream(CQrUniqueFd fd, std::int64_t size);

    CQrUniqueFd m_Fd;
    std::int64_t m_nSize;
    std::int64_t m_nFilePos = 0;  // file offset of the buffer's first byte
    std::vector<unsigned char> m_Buffer;
    std::size_t m_nBufPos = 0;   // next unread byte in the buffer
    std::size_t m_nBufFill = 0;  // bytes held in the buffer
};

#endif
