// Read streams: the common helpers and the memory stream.
#include <algorithm>
#include <cstring>

#include "Quorra.h"

// ---------------------------------------------------------------------------
// CQrReadStream
// ---------------------------------------------------------------------------

CQrReadStream::~CQrReadStream() {}

int CQrReadStream::ReadExact(void* buffer, std::int64_t size) {
    if (size < 0 || (!buffer && size > 0))
        return QR_E_ARGUMENT;
    auto* out = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const std::int64_t got = Read(out, size);
        if (got < 0)
            return static_cast<int>(got);
        if (got == 0)
            return QR_E_EOF;
        out += got;
        size -= got;
    }
    return QR_OK;
}

int CQrReadStream::Skip(std::int64_t count) {
    if (count < 0)
        return QR_E_ARGUMENT;
    const std::int64_t pos = Tell();
    const std::int64_t size = GetSize();
    if (size >= 0) {
        if (count > size - pos) {
            Seek(size);
            return QR_E_EOF;
        }
        return Seek(pos + count);
    }
    unsigned char scratch[4096];
    while (count > 0) {
        const std::int64_t got = Read(scratch, std::min<std::int64_t>(count, sizeof scratch));
        if (got < 0)
            return static_cast<int>(got);
        if (got == 0)
            return QR_E_EOF;
        count -= got;
    }
    return QR_OK;
}

// ---------------------------------------------------------------------------
// CQrMemoryReadStream
// ---------------------------------------------------------------------------

CQrMemoryReadStream::CQrMemoryReadStream(const void* data, std::size_t size)
    : m_pData(static_cast<const unsigned char*>(data)),
      m_nSize(data ? static_cast<std::int64_t>(size) : 0) {}

CQrMemoryReadStream::CQrMemoryReadStream(std::shared_ptr<const std::vector<unsigned char>> data)
    : m_Keep(std::move(data)),
      m_pData(m_Keep ? m_Keep->data() : nullptr),
      m_nSize(m_Keep ? static_cast<std::int64_t>(m_Keep->size()) : 0) {}

CQrMemoryReadStream::~CQrMemoryReadStream() {}

std::int64_t CQrMemoryReadStream::Read(void* buffer, std::int64_t size) {
    if (size < 0 || (!buffer && size > 0))
        return QR_E_ARGUMENT;
    const std::int64_t n = std::min(size, m_nSize - m_nPos);
    if (n > 0)
        std::memcpy(buffer, m_pData + m_nPos, static_cast<std::size_t>(n));
    m_nPos += n;
    return n;
}

int CQrMemoryReadStream::Seek(std::int64_t pos) {
    if (pos < 0 || pos > m_nSize)
        return QR_E_SEEK;
    m_nPos = pos;
    return QR_OK;
}

std::int64_t CQrMemoryReadStream::Tell() const {
    return m_nPos;
}

std::int64_t CQrMemoryReadStream::GetSize() const {
    return m_nSize;
}

const unsigned char* CQrMemoryReadStream::GetMemory() const {
    return m_pData;
}
