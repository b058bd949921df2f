// Pixel memory of evicted pictures kept for the next pictures of the same size, so
// that a cache running at its budget does not give memory back to the system and
// fault it in again for every picture it loads.
#ifndef ORVANE_DATA_OVPIXELPOOL_H
#define ORVANE_DATA_OVPIXELPOOL_H

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "Pixmere.h"

// The allocator of the pictures the image handler decodes. Blocks are kept idle by
// their exact size and handed out again most recently freed first; idle blocks are
// memory held for reuse, not picture data: they belong to no record and do not count
// against the cache's budget, but never add up to more than the pool's limit.
//
// Pictures (and copies of them) may outlive their record and the data layer itself,
// so the pool lives on until its owner has let go (Detach) and the last block it
// handed out has come back. All operations are safe from several threads.
class COvPixelPool final : public CPxMemoryAllocator {
public:
    // What happened so far, for tests and tuning.
    struct Stats {
        long long reused;     // blocks handed out again
        long long fresh;      // blocks taken from the system
        long long idleBytes;  // held for reuse now
        int idleBlocks;
        long long peakIdleBytes;
    };

    // Gives the pool up on destruction of the owner (see Detach).
    struct Owner {
        void operator()(COvPixelPool* pool) const { pool->Detach(); }
    };
    using Handle = std::unique_ptr<COvPixelPool, Owner>;

    // A new pool that keeps nothing (limit 0); null when there is no memory for one.
    static Handle Create();

    COvPixelPool(const COvPixelPool&) = delete;
    COvPixelPool& operator=(const COvPixelPool&) = delete;

    // An idle block of exactly `bytes`, else one from the system; null when the system
    // has none. The content is whatever the last picture left there.
    void* AllocMemory(std::size_t bytes) override;
    // Keeps the block for reuse while the idle blocks stay within the limit (and the
    // owner holds on); gives it back to the system otherwise.
    void FreeMemory(void* memory) override;

    // The most the idle blocks may hold, in bytes; idle blocks past it are given back
    // (all of them for 0).
    void SetLimit(std::size_t bytes);
    Stats GetStats() const;

private:
    COvPixelPool() = default;
    ~COvPixelPool();
    // The owner lets go: idle blocks are given back, blocks coming back later too, and
    // the pool deletes itself with the last block it handed out.
    void Detach();
    // Drops one holder (the owner or a block out); the last one deletes the pool.
    void Release();
    // Gives idle blocks back until they hold no more than `bytes`. Under m_Lock.
    void TrimTo(std::size_t bytes);

    mutable std::mutex m_Lock;
    // Guarded by m_Lock.
    std::unordered_map<std::size_t, std::vector<void*>> m_Idle;
    std::size_t m_nLimit = 0;
    bool m_bDetached = false;
    Stats m_Stats{};
    // The owner plus one per block handed out and not yet back.
    std::atomic<long> m_nHolders{1};
};

#endif
