// The cache of loaded data: records by identity number and by name, a recency
// list, and the byte budget that trimming keeps.
#ifndef ORVANE_DATA_OVMEMCACHE_H
#define ORVANE_DATA_OVMEMCACHE_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "OvData.h"
#include "data/OvNameKey.h"

class COvControl;
class COvDataManager;

// Every operation may be called from the client's thread and the loading threads at
// once. Records in the cache hold one lock of the cache's own plus one per holder.
class COvMemCache {
public:
    using TickSource = std::uint32_t (*)();

    // What happened so far, for tests and tuning.
    struct Stats {
        long long hits;
        long long misses;
        long long evictions;
        long long bytes;  // total size of the cached records
        int records;
    };

    COvMemCache();
    COvMemCache(const COvMemCache&) = delete;
    COvMemCache& operator=(const COvMemCache&) = delete;
    // Frees no records: empty the cache (RemoveAll) first.
    virtual ~COvMemCache();

    // Connects the cache and sets the budget (a value with the top bit set leaves
    // it 0); lowers the forced-trim flag. 0, -10004 for a null control, -62000 for
    // a null registry (both logged).
    int Init(COvControl* control, COvDataManager* handlers, unsigned int maxMem);

    // The record for info (by identity number and name, else by name when info is
    // shared by name, copying its identity number into info), locked for the caller
    // and made the most recently used; null when there is none.
    COvMemData* Lookup(COvDataInfo& info);
    // Trims (see Trim), then adds rec (which already carries the caller's lock) as the
    // most recently used record under info's identity number (and name when shared)
    // and adds the cache's lock. A record cached under the same number is dropped. A
    // name that another record is filed under stays that record's: a load that was
    // cancelled meanwhile must not take it over. Throws std::bad_alloc, with the cache
    // unchanged, when the maps cannot grow.
    void Insert(COvMemData* rec, const COvDataInfo& info);
    // Makes a record for data (null: a failed load, remembered with size 0) with
    // callerLocks locks of the caller's and inserts it. Null when the record cannot
    // be allocated (reported for className as "MakeMemData", -10000); data is then not
    // taken. Without a caller's lock the record may be gone at once: the result then
    // only tells success.
    COvMemData* MakeRecord(const COvDataInfo& info, void* data, int size, const char* className,
                           int callerLocks);
    // Drops the record found for info (without locking it), sets info's identity
    // number to 0; false when there is none. Holders keep the record alive.
    bool Remove(COvDataInfo& info);
    // Drops the record filed under info's own identity number and name (never one
    // found by name only): a loader takes back its own record. False when none.
    bool RemoveOwn(const COvDataInfo& info);
    // Drops every record (most recently used first) and empties the maps.
    void RemoveAll();

    // Evicts unlocked records, least recently used first, until the total is below
    // the budget, but only while the forced-trim flag is up and never the most
    // recently used record. With the flag down it only raises the data-update flag
    // when the cache is over budget and the last trim is 2000 ms old. Returns true
    // when a trim ran.
    bool Trim();
    // Raises the forced-trim flag, trims and lowers it again; returns Trim's result.
    bool ForceTrim();

    // The budget in bytes (0: none). SetMaxMem ignores values with the top bit set.
    void SetMaxMem(unsigned int maxMem);
    unsigned int GetMaxMem() const;
    bool IsNeedUpdate() const;
    Stats GetStats() const;
    // The clock of the 2000 ms rule; the platform's tick count unless replaced.
    void SetTickSource(TickSource source);

private:
    friend struct OvDataTestAccess;

    COvMemData* Find(const COvDataInfo& info, bool* byName) const;
    void Link(COvMemData* rec);
    static void Unlink(COvMemData* rec);
    // Takes rec out of both maps (where they point at it) and releases it.
    void Evict(COvMemData* rec);
    // Takes rec out of the list and gives back the cache's lock, freeing the record
    // when nobody else holds it.
    void Release(COvMemData* rec);
    // Checks, in builds with assertions, that the total is the sum of the listed
    // records' sizes and that the list and the maps agree. Called with m_Lock held.
    void AssertConsistent() const;

    // Everything below is guarded by m_Lock.
    COvControl* m_pControl;
    COvDataManager* m_pDataManager;
    std::unordered_map<COvString, COvMemData*, OvNameHash, OvNameEqual> m_NameMap;
    std::unordered_map<int, COvMemData*> m_IDMap;
    // Sentinel of the circular recency list: m_pNext is the least recently used.
    std::unique_ptr<COvMemData> m_pHead;
    int m_nMaxMem;
    // 64 bits: with no budget the cached total may pass the int range.
    long long m_nTotalSize;
    bool m_bForceTrim;
    bool m_bNeedUpdate;
    std::uint32_t m_dwLastTrim;
    mutable std::recursive_mutex m_Lock;
    TickSource m_pTick;
    Stats m_Stats;
};

#endif
