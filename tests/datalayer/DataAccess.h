// What the data-layer tests may see of the cache and the queue beyond their
// operations; the classes name this struct their friend.
#ifndef ORVANE_TESTS_DATALAYER_DATAACCESS_H
#define ORVANE_TESTS_DATALAYER_DATAACCESS_H

#include <mutex>
#include <string>
#include <vector>

#include "data/OvLoadingCue.h"
#include "data/OvLockCount.h"
#include "data/OvMemCache.h"

struct OvDataTestAccess {
    struct Record {
        std::string name;
        int locks;
    };

    // The cached records from the least to the most recently used.
    static std::vector<Record> Records(const COvMemCache& cache) {
        std::lock_guard<std::recursive_mutex> guard(cache.m_Lock);
        std::vector<Record> records;
        for (const COvMemData* rec = cache.m_pHead->m_pNext; rec != cache.m_pHead.get();
             rec = rec->m_pNext) {
            records.push_back({static_cast<const char*>(rec->m_Info.m_strName), OvLockCount(rec)});
        }
        return records;
    }
    // Runs step with the cache's lock held, so that no loading thread changes it meanwhile.
    template <class Step>
    static void Locked(COvMemCache& cache, Step step) {
        std::lock_guard<std::recursive_mutex> guard(cache.m_Lock);
        step();
    }
    // Whether a caller waits (or has waited) for the request filed under id.
    static bool HasWaiter(const COvLoadingCue& cue, int id) {
        std::lock_guard<std::mutex> guard(cue.m_Lock);
        auto it = cue.m_IDMap.find(id);
        return it != cue.m_IDMap.end() && it->second->m_hDone != nullptr;
    }
};

#endif
