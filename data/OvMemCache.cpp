#include "data/OvMemCache.h"

#include <cassert>
#include <new>

#include "OvPlatform.h"
#include "data/OvDataManager.h"
#include "data/OvLockCount.h"
#include "foundation/OvReport.h"

namespace {

constexpr int kSharedByName = 1;
constexpr std::uint32_t kUpdateAfterMs = 2000;

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle and settings
// ---------------------------------------------------------------------------

COvMemCache::COvMemCache()
    : m_pControl(nullptr),
      m_pDataManager(nullptr),
      m_pHead(std::make_unique<COvMemData>()),
      m_nMaxMem(0),
      m_nTotalSize(0),
      m_bForceTrim(true),
      m_bNeedUpdate(false),
      m_dwLastTrim(0),
      m_pTick(&GetTickCount),
      m_Stats{} {
    m_pHead->m_nLock = 1;
    m_pHead->m_nSize = 0;
    m_pHead->m_pData = nullptr;
    m_pHead->m_pNext = m_pHead.get();
    m_pHead->m_pPrev = m_pHead.get();
}

COvMemCache::~COvMemCache() = default;

int COvMemCache::Init(COvControl* control, COvDataManager* handlers, unsigned int maxMem) {
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    if (control == nullptr) {
        return ov::Report(control, "COvMemCache", "Init", OV_E_NULL_CONTROL, "control",
                          ov::kFoundHere);
    }
    if (handlers == nullptr) {
        return ov::Report(control, "COvMemCache", "Init", OV_CACHE_NO_REGISTRY, "handlers",
                          ov::kFoundHere);
    }
    m_pControl = control;
    m_pDataManager = handlers;
    m_nTotalSize = 0;
    m_nMaxMem = 0;
    SetMaxMem(maxMem);
    m_bForceTrim = false;
    return 0;
}

void COvMemCache::SetMaxMem(unsigned int maxMem) {
    if (static_cast<int>(maxMem) < 0)
        return;
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    m_nMaxMem = static_cast<int>(maxMem);
}

unsigned int COvMemCache::GetMaxMem() const {
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    return static_cast<unsigned int>(m_nMaxMem);
}

bool COvMemCache::IsNeedUpdate() const {
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    return m_bNeedUpdate;
}

COvMemCache::Stats COvMemCache::GetStats() const {
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    Stats stats = m_Stats;
    stats.bytes = m_nTotalSize;
    stats.records = static_cast<int>(m_IDMap.size());
    return stats;
}

void COvMemCache::SetTickSource(TickSource source) {
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    m_pTick = source != nullptr ? source : &GetTickCount;
}

// ---------------------------------------------------------------------------
// Lookup, insert, remove
// ---------------------------------------------------------------------------

COvMemData* COvMemCache::Find(const COvDataInfo& info, bool* byName) const {
    *byName = false;
    if (info.m_nDataID != 0) {
        auto it = m_IDMap.find(info.m_nDataID);
        if (it != m_IDMap.end() && it->second->m_Info.m_strName == info.m_strName) {
            return it->second;
        }
    }
    if ((info.m_nFlags & kSharedByName) != 0) {
        auto it = m_NameMap.find(info.m_strName);
        if (it != m_NameMap.end()) {
            *byName = true;
            return it->second;
        }
    }
    return nullptr;
}

COvMemData* COvMemCache::Lookup(COvDataInfo& info) {
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    bool byName = false;
    COvMemData* rec = Find(info, &byName);
    if (rec == nullptr) {
        ++m_Stats.misses;
        return nullptr;
    }
    ++m_Stats.hits;
    if (byName)
        info.m_nDataID = rec->m_Info.m_nDataID;
    OvLockAdd(rec);
    if (m_pHead->m_pPrev != rec) {
        Unlink(rec);
        Link(rec);
    }
    AssertConsistent();
    return rec;
}

void COvMemCache::Insert(COvMemData* rec, const COvDataInfo& info) {
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    Trim();
    // The maps first: when they cannot grow, the cache is left as it was.
    auto [it, added] = m_IDMap.try_emplace(info.m_nDataID, rec);
    COvMemData* old = added ? nullptr : it->second;
    if ((info.m_nFlags & kSharedByName) != 0) {
        try {
            auto named = m_NameMap.try_emplace(info.m_strName, rec).first;
            if (named->second == old)
                named->second = rec;  // the record it replaces hands its name over
        } catch (...) {
            if (added)
                m_IDMap.erase(it);
            throw;
        }
    }
    if (old != nullptr && old != rec) {
        // NOTE: a record left in the list without its map entry could never be found
        // or removed again; drop the older one (its holders keep it alive).
        it->second = rec;
        auto named = m_NameMap.find(old->m_Info.m_strName);
        if (named != m_NameMap.end() && named->second == old)
            m_NameMap.erase(named);
        Release(old);
    }
    m_nTotalSize += rec->m_nSize;
    Link(rec);
    OvLockAdd(rec);
    AssertConsistent();
}

COvMemData* COvMemCache::MakeRecord(const COvDataInfo& info, void* data, int size,
                                    const char* className, int callerLocks) {
    std::unique_ptr<COvMemData> rec;
    try {
        rec = std::make_unique<COvMemData>();
        rec->m_Info = info;
        rec->m_nLock = callerLocks;
        rec->m_nSize = data != nullptr && size > 0 ? size : 0;
        rec->m_pData = data;
        rec->m_pNext = nullptr;
        rec->m_pPrev = nullptr;
        Insert(rec.get(), info);
    } catch (const std::bad_alloc&) {
        ov::Report(m_pControl, className, "MakeMemData", OV_E_NOMEMORY,
                   static_cast<long long>(sizeof(COvMemData)), ov::kFoundHere);
        return nullptr;
    }
    // From here on the record's life follows its lock count.
    return rec.release();
}

bool COvMemCache::Remove(COvDataInfo& info) {
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    bool byName = false;
    COvMemData* rec = Find(info, &byName);
    if (rec == nullptr)
        return false;
    info.m_nDataID = 0;
    Evict(rec);
    AssertConsistent();
    return true;
}

bool COvMemCache::RemoveOwn(const COvDataInfo& info) {
    COvDataInfo own = info;
    own.m_nFlags = 0;
    return Remove(own);
}

void COvMemCache::RemoveAll() {
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    COvMemData* head = m_pHead.get();
    while (head->m_pPrev != head)
        Release(head->m_pPrev);
    m_NameMap.clear();
    m_IDMap.clear();
    m_nTotalSize = 0;
    AssertConsistent();
}

// ---------------------------------------------------------------------------
// Trimming
// ---------------------------------------------------------------------------

bool COvMemCache::Trim() {
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    if (m_nMaxMem == 0 || m_nTotalSize < m_nMaxMem) {
        m_bNeedUpdate = false;
        return false;
    }
    if (!m_bForceTrim) {
        if (m_dwLastTrim != 0 && m_pTick() - m_dwLastTrim >= kUpdateAfterMs)
            m_bNeedUpdate = true;
        return false;
    }
    COvMemData* head = m_pHead.get();
    COvMemData* newest = head->m_pPrev;
    for (COvMemData* rec = head->m_pNext; rec != newest && rec != head;) {
        COvMemData* next = rec->m_pNext;
        if (OvLockCount(rec) < 2) {
            Evict(rec);
            ++m_Stats.evictions;
            if (m_nTotalSize < m_nMaxMem)
                break;
        }
        rec = next;
    }
    m_dwLastTrim = m_pTick();
    m_bNeedUpdate = false;
    AssertConsistent();
    return true;
}

bool COvMemCache::ForceTrim() {
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    m_bForceTrim = true;
    const bool ran = Trim();
    m_bForceTrim = false;
    return ran;
}

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------

void COvMemCache::Link(COvMemData* rec) {
    COvMemData* head = m_pHead.get();
    rec->m_pPrev = head->m_pPrev;
    rec->m_pNext = head;
    head->m_pPrev->m_pNext = rec;
    head->m_pPrev = rec;
}

void COvMemCache::Unlink(COvMemData* rec) {
    rec->m_pPrev->m_pNext = rec->m_pNext;
    rec->m_pNext->m_pPrev = rec->m_pPrev;
    rec->m_pNext = nullptr;
    rec->m_pPrev = nullptr;
}

void COvMemCache::Evict(COvMemData* rec) {
    auto byID = m_IDMap.find(rec->m_Info.m_nDataID);
    if (byID != m_IDMap.end() && byID->second == rec)
        m_IDMap.erase(byID);
    // Another record may own the name entry; only this record's own entry goes.
    auto named = m_NameMap.find(rec->m_Info.m_strName);
    if (named != m_NameMap.end() && named->second == rec)
        m_NameMap.erase(named);
    Release(rec);
}

void COvMemCache::Release(COvMemData* rec) {
    m_nTotalSize -= rec->m_nSize;
    Unlink(rec);
    if (OvLockRelease(rec) == 1) {
        if (m_pDataManager != nullptr) {
            m_pDataManager->GetHandler(rec->m_Info.m_nType)->FreeData(&rec->m_pData);
        }
        delete rec;
    }
}

void COvMemCache::AssertConsistent() const {
#ifndef NDEBUG
    long long total = 0;
    std::size_t listed = 0;
    std::size_t named = 0;
    const COvMemData* head = m_pHead.get();
    for (const COvMemData* rec = head->m_pNext; rec != head; rec = rec->m_pNext) {
        assert(rec->m_pNext->m_pPrev == rec);
        assert(OvLockCount(rec) >= 1);  // the cache's own lock at least
        auto byID = m_IDMap.find(rec->m_Info.m_nDataID);
        assert(byID != m_IDMap.end() && byID->second == rec);
        auto byName = m_NameMap.find(rec->m_Info.m_strName);
        if (byName != m_NameMap.end() && byName->second == rec)
            ++named;
        total += rec->m_nSize;
        ++listed;
    }
    assert(total == m_nTotalSize);
    assert(listed == m_IDMap.size());
    assert(named == m_NameMap.size());
#endif
}
