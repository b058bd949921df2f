#include "data/OvPixelPool.h"

#include <cstdlib>
#include <iterator>
#include <new>

#include "platform/OvMemoryHint.h"

namespace {

// Each block begins with its size, so that a returned block is filed without asking
// anyone; a cache line keeps the pixels after it aligned as well.
constexpr std::size_t kHeader = 64;

void* NewBlock(std::size_t bytes) {
    if (bytes > static_cast<std::size_t>(-1) / 2)
        return nullptr;
    const std::size_t total = (kHeader + bytes + kHeader - 1) / kHeader * kHeader;
    auto* block = static_cast<unsigned char*>(std::aligned_alloc(kHeader, total));
    if (block == nullptr)
        return nullptr;
    *reinterpret_cast<std::size_t*>(block) = bytes;
    // NOTE: a picture's memory is written whole by its decoder; having the system back
    // it in one call costs about half of faulting it in page by page.
    OvPrefaultForWrite(block + kHeader, bytes);
    return block + kHeader;
}

std::size_t BlockSize(void* memory) {
    return *reinterpret_cast<std::size_t*>(static_cast<unsigned char*>(memory) - kHeader);
}

void DeleteBlock(void* memory) {
    std::free(static_cast<unsigned char*>(memory) - kHeader);
}

}  // namespace

COvPixelPool::Handle COvPixelPool::Create() {
    return Handle(new (std::nothrow) COvPixelPool);
}

COvPixelPool::~COvPixelPool() {
    TrimTo(0);
}

void* COvPixelPool::AllocMemory(std::size_t bytes) {
    void* memory = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        auto it = m_Idle.find(bytes);
        if (it != m_Idle.end() && !it->second.empty()) {
            memory = it->second.back();
            it->second.pop_back();
            m_Stats.idleBytes -= static_cast<long long>(bytes);
            --m_Stats.idleBlocks;
            ++m_Stats.reused;
        }
    }
    if (memory == nullptr) {
        // Outside the lock: the system may take a while to map a large block.
        memory = NewBlock(bytes);
        if (memory == nullptr)
            return nullptr;
        std::lock_guard<std::mutex> guard(m_Lock);
        ++m_Stats.fresh;
    }
    m_nHolders.fetch_add(1, std::memory_order_relaxed);
    return memory;
}

void COvPixelPool::FreeMemory(void* memory) {
    if (memory == nullptr)
        return;
    const std::size_t bytes = BlockSize(memory);
    bool kept = false;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (!m_bDetached && static_cast<std::size_t>(m_Stats.idleBytes) + bytes <= m_nLimit) {
            try {
                m_Idle[bytes].push_back(memory);
                kept = true;
                m_Stats.idleBytes += static_cast<long long>(bytes);
                ++m_Stats.idleBlocks;
                if (m_Stats.idleBytes > m_Stats.peakIdleBytes)
                    m_Stats.peakIdleBytes = m_Stats.idleBytes;
            } catch (const std::bad_alloc&) {
                // No room to file it: it goes back to the system below.
            }
        }
    }
    if (!kept)
        DeleteBlock(memory);
    Release();
}

void COvPixelPool::SetLimit(std::size_t bytes) {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_nLimit = bytes;
    TrimTo(bytes);
}

COvPixelPool::Stats COvPixelPool::GetStats() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_Stats;
}

void COvPixelPool::Detach() {
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_bDetached = true;
        m_nLimit = 0;
        TrimTo(0);
    }
    Release();
}

void COvPixelPool::Release() {
    if (m_nHolders.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

void COvPixelPool::TrimTo(std::size_t bytes) {
    for (auto it = m_Idle.begin();
         it != m_Idle.end() && static_cast<std::size_t>(m_Stats.idleBytes) > bytes;) {
        std::vector<void*>& blocks = it->second;
        while (!blocks.empty() && static_cast<std::size_t>(m_Stats.idleBytes) > bytes) {
            DeleteBlock(blocks.back());
            blocks.pop_back();
            m_Stats.idleBytes -= static_cast<long long>(it->first);
            --m_Stats.idleBlocks;
        }
        it = blocks.empty() ? m_Idle.erase(it) : std::next(it);
    }
}
