// The memory stream creator: names served from registered buffers.
#include <new>

#include "Quorra.h"

CQrMemoryStreamCreator::CQrMemoryStreamCreator() {}
CQrMemoryStreamCreator::~CQrMemoryStreamCreator() {}
CQrMemoryStreamCreator::CQrMemoryStreamCreator(const CQrMemoryStreamCreator& other)
    : CQrStreamCreator(other) {}
CQrMemoryStreamCreator& CQrMemoryStreamCreator::operator=(const CQrMemoryStreamCreator&) {
    return *this;
}

int CQrMemoryStreamCreator::RegisterBuffer(const char* name, const void* data, std::size_t size) {
    if (!name || (!data && size > 0))
        return QR_E_ARGUMENT;
    const auto* bytes = static_cast<const unsigned char*>(data);
    // The copy is made before the lock is taken: a large buffer does not stall readers.
    try {
        auto copy = std::make_shared<const std::vector<unsigned char>>(bytes, bytes + size);
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Buffers[name] = std::move(copy);
    } catch (const std::bad_alloc&) {
        return QR_E_NOMEM;
    }
    return QR_OK;
}

int CQrMemoryStreamCreator::UnregisterBuffer(const char* name) {
    if (!name)
        return QR_E_ARGUMENT;
    std::shared_ptr<const std::vector<unsigned char>> gone;  // released after the lock
    std::lock_guard<std::mutex> lock(m_Lock);
    auto it = m_Buffers.find(name);
    if (it == m_Buffers.end())
        return QR_E_UNKNOWN;
    gone = std::move(it->second);
    m_Buffers.erase(it);
    return QR_OK;
}

void CQrMemoryStreamCreator::UnregisterAll() {
    std::unordered_map<std::string, std::shared_ptr<const std::vector<unsigned char>>> gone;
    std::lock_guard<std::mutex> lock(m_Lock);
    gone.swap(m_Buffers);
}

std::size_t CQrMemoryStreamCreator::GetCount() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Buffers.size();
}

void CQrMemoryStreamCreator::Free() {
    delete this;
}

CQrReadStream* CQrMemoryStreamCreator::CreateStream(const char* name) {
    if (!name)
        return nullptr;
    std::shared_ptr<const std::vector<unsigned char>> data;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        auto it = m_Buffers.find(name);
        if (it == m_Buffers.end())
            return nullptr;
        data = it->second;
    }
    return new (std::nothrow) CQrMemoryReadStream(std::move(data));
}

void CQrMemoryStreamCreator::FreeStream(CQrReadStream* stream) {
    delete stream;
}
