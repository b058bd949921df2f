// The BMP encoder and the file writers.
#include "PxCodec.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "PxImage.h"
#include "QrUniqueFd.h"

namespace {

void Put16(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

// Writes all of `bytes` to `path`, replacing the file. Returns 0, -10001 or PX_E_WRITE.
int WriteFile(const char* path, const std::vector<unsigned char>& bytes) {
    if (!path)
        return PX_E_ARGUMENT;
    CQrUniqueFd fd(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd.IsOpen())
        return PX_E_OPEN;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    const bool closed = fd.Close();
    if (done != bytes.size() || !closed) {
        ::unlink(path);  // a half-written picture would read back as garbage
        return PX_E_WRITE;
    }
    return PX_OK;
}

}  // namespace

int PxEncodeBmp(const CPxImageData24& image, std::vector<unsigned char>& out) {
    out.clear();
    if (image.IsEmpty())
        return PX_E_EMPTY;
    const std::uint32_t line = static_cast<std::uint32_t>(image.m_nLineBytes);
    const std::uint32_t w = static_cast<std::uint32_t>(image.m_nWidth);
    const std::uint32_t h = static_cast<std::uint32_t>(image.m_nHeight);
    const std::size_t pixels = static_cast<std::size_t>(line) * h;
    out.assign(54 + pixels, 0);
    unsigned char* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    Put32(p + 2, static_cast<std::uint32_t>(54 + pixels));
    Put32(p + 10, 54);
    Put32(p + 14, 40);
    Put32(p + 18, w);
    Put32(p + 22, h);
    Put16(p + 26, 1);
    Put16(p + 28, 24);
    // Compression, image size, resolutions and colour counts stay 0.
    for (std::uint32_t y = 0; y < h; ++y) {
        // Only the pixels are copied: the padding is written as zeros whatever the
        // picture holds there.
        std::memcpy(p + 54 + static_cast<std::size_t>(y) * line,
                    image.m_pData + static_cast<std::size_t>(y) * line,
                    3 * static_cast<std::size_t>(w));
    }
    return PX_OK;
}

int PxSaveBmp(const CPxImageData24& image, const char* path) {
    std::vector<unsigned char> bytes;
    const int rc = PxEncodeBmp(image, bytes);
    return rc != PX_OK ? rc : WriteFile(path, bytes);
}

int PxSavePng(const CPxImageData24& image, const char* path) {
    std::vector<unsigned char> bytes;
    const int rc = PxEncodePng(image, bytes);
    return rc != PX_OK ? rc : WriteFile(path, bytes);
}
