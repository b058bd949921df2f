// The file stream and the file stream creator.
#include "QrFileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;

// pread that carries on after an interrupting signal.
ssize_t PreadAll(int fd, void* buffer, std::size_t size, std::int64_t pos) {
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, size, static_cast<off_t>(pos));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// CQrFileReadStream
// ---------------------------------------------------------------------------

std::unique_ptr<CQrFileReadStream> CQrFileReadStream::Open(const char* path,
                                                           std::int64_t wholeLimit) {
    if (!path || !*path)
        return nullptr;
    CQrUniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (!fd.IsOpen())
        return nullptr;
    struct stat st {};
    // NOTE: directories and devices open fine but are no image files; refusing them
    // here keeps a decoder from blocking on a pipe.
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    std::unique_ptr<CQrFileReadStream> stream;
    try {
        stream.reset(new CQrFileReadStream(std::move(fd), st.st_size));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // A file that cannot be read whole is still read piece by piece.
    if (st.st_size <= wholeLimit)
        stream->ReadWhole();
    return stream;
}

CQrFileReadStream::CQrFileReadStream(CQrUniqueFd fd, std::int64_t size)
    : m_Fd(std::move(fd)), m_nSize(size) {}

CQrFileReadStream::~CQrFileReadStream() = default;

bool CQrFileReadStream::ReadWhole() {
    const auto size = static_cast<std::size_t>(m_nSize);
    // Not zeroed first: every byte is read over.
    std::unique_ptr<unsigned char[]> whole(new (std::nothrow) unsigned char[size > 0 ? size : 1]);
    if (!whole)
        return false;
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n =
            PreadAll(m_Fd.Get(), whole.get() + got, size - got, static_cast<std::int64_t>(got));
        if (n < 0)
            return false;
        if (n == 0)
            break;  // the file shrank since it was opened: what is there is the file
        got += static_cast<std::size_t>(n);
    }
    m_pWhole = std::move(whole);
    m_nSize = static_cast<std::int64_t>(got);
    m_Fd.Close();
    return true;
}

std::int64_t CQrFileReadStream::Read(void* buffer, std::int64_t size) {
    if (size < 0 || (!buffer && size > 0))
        return QR_E_ARGUMENT;
    auto* out = static_cast<unsigned char*>(buffer);
    if (m_pWhole) {
        const std::int64_t n = std::min(size, m_nSize - m_nFilePos);
        if (n > 0)
            std::memcpy(out, m_pWhole.get() + m_nFilePos, static_cast<std::size_t>(n));
        m_nFilePos += n;
        return n;
    }
    std::int64_t done = 0;
    while (done < size) {
        if (m_nBufPos == m_nBufFill) {
            m_nFilePos += static_cast<std::int64_t>(m_nBufFill);
            m_nBufPos = m_nBufFill = 0;
            // Large reads bypass the buffer.
            const bool direct = size - done >= static_cast<std::int64_t>(kBufferSize);
            if (!direct && m_Buffer.empty()) {
                try {
                    m_Buffer.resize(kBufferSize);
                } catch (const std::bad_alloc&) {
                    return done > 0 ? done : QR_E_NOMEM;
                }
            }
            const ssize_t got =
                direct ? PreadAll(m_Fd.Get(), out + done, static_cast<std::size_t>(size - done),
                                  m_nFilePos)
                       : PreadAll(m_Fd.Get(), m_Buffer.data(), m_Buffer.size(), m_nFilePos);
            if (got < 0)
                return done > 0 ? done : QR_E_READ;
            if (got == 0)
                break;
            if (direct) {
                m_nFilePos += got;
                done += got;
                continue;
            }
            m_nBufFill = static_cast<std::size_t>(got);
        }
        const std::size_t n =
            std::min<std::size_t>(m_nBufFill - m_nBufPos, static_cast<std::size_t>(size - done));
        std::memcpy(out + done, m_Buffer.data() + m_nBufPos, n);
        m_nBufPos += n;
        done += static_cast<std::int64_t>(n);
    }
    return done;
}

int CQrFileReadStream::Seek(std::int64_t pos) {
    if (pos < 0 || pos > m_nSize)
        return QR_E_SEEK;
    if (pos >= m_nFilePos && pos <= m_nFilePos + static_cast<std::int64_t>(m_nBufFill)) {
        m_nBufPos = static_cast<std::size_t>(pos - m_nFilePos);
        return QR_OK;
    }
    m_nFilePos = pos;
    m_nBufPos = m_nBufFill = 0;
    return QR_OK;
}

std::int64_t CQrFileReadStream::Tell() const {
    return m_nFilePos + static_cast<std::int64_t>(m_nBufPos);
}

std::int64_t CQrFileReadStream::GetSize() const {
    return m_nSize;
}

const unsigned char* CQrFileReadStream::GetMemory() const {
    return m_pWhole.get();
}

// ---------------------------------------------------------------------------
// CQrFileStreamCreator
// ---------------------------------------------------------------------------

CQrFileStreamCreator::CQrFileStreamCreator() {}
CQrFileStreamCreator::~CQrFileStreamCreator() {}
CQrFileStreamCreator::CQrFileStreamCreator(const CQrFileStreamCreator& other)
    : CQrStreamCreator(other) {}
CQrFileStreamCreator& CQrFileStreamCreator::operator=(const CQrFileStreamCreator&) {
    return *this;
}

void CQrFileStreamCreator::Free() {
    delete this;
}

CQrReadStream* CQrFileStreamCreator::CreateStream(const char* name) {
    return CQrFileReadStream::Open(name).release();
}

void CQrFileStreamCreator::FreeStream(CQrReadStream* stream) {
    delete stream;
}
