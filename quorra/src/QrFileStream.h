// A read stream over an open file.
#ifndef QUORRA_QRFILESTREAM_H
#define QUORRA_QRFILESTREAM_H

#include <cstdint>
#include <memory>
#include <vector>

#include "QrUniqueFd.h"
#include "Quorra.h"

// Files up to kQrWholeFileLimit bytes are read whole, with one call, when the
// stream is opened: decoders then read them in place (GetMemory) instead of through
// small copies. Larger files are read through the descriptor with a buffer of the
// stream's own, so that decoders asking for a few bytes at a time cost no system
// call each.
constexpr std::int64_t kQrWholeFileLimit = std::int64_t{16} << 20;

class CQrFileReadStream : public CQrReadStream {
public:
    // Opens `path` for reading; files of at most `wholeLimit` bytes are read whole.
    // Returns the stream, or null when it cannot be opened (or is not a regular file).
    static std::unique_ptr<CQrFileReadStream> Open(const char* path,
                                                   std::int64_t wholeLimit = kQrWholeFileLimit);
    ~CQrFileReadStream() override;

    std::int64_t Read(void* buffer, std::int64_t size) override;
    int Seek(std::int64_t pos) override;
    std::int64_t Tell() const override;
    std::int64_t GetSize() const override;
    // The whole file when it was read at opening, else null.
    const unsigned char* GetMemory() const override;

private:
    CQrFileReadStream(CQrUniqueFd fd, std::int64_t size);
    // Reads the whole file into m_pWhole and lets the descriptor go; false (nothing
    // changed) when it cannot.
    bool ReadWhole();

    CQrUniqueFd m_Fd;
    std::int64_t m_nSize;
    std::unique_ptr<unsigned char[]> m_pWhole;  // the file, when read whole
    std::int64_t m_nFilePos =
        0;  // file offset of the buffer's first byte (read whole: the position)
    std::vector<unsigned char> m_Buffer;  // made at the first buffered read
    std::size_t m_nBufPos = 0;            // next unread byte in the buffer
    std::size_t m_nBufFill = 0;           // bytes held in the buffer
};

#endif
