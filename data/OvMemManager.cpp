#include "data/OvMemManager.h"

#include "data/OvLoadData.h"
#include "foundation/OvReport.h"

namespace {

constexpr int kLoadNow = 2;
constexpr int kReady = 0;
// The awaited datum is not in the cache after the wait: claim it again.
constexpr int kRetry = -3;
// The pixel pool keeps at most this share of the budget: enough for the few
// pictures that change hands between an eviction and the next load.
constexpr unsigned int kPoolShareOfBudget = 8;

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------

COvMemManager::COvMemManager()
    : m_pControl(nullptr), m_nReserved(16), m_pPixelPool(COvPixelPool::Create()) {}

COvMemManager::~COvMemManager() {
    // NOTE: the records must be freed while their handlers still exist, and no worker
    // may outlive the pieces it uses; the members then go in reverse order.
    Shutdown();
}

int COvMemManager::Init(COvControl* control, unsigned int maxMem, int reserved) {
    if (control == nullptr)
        return OV_E_NULL_CONTROL;
    m_pControl = control;
    const int code = m_Cache.Init(control, &m_DataManager, maxMem);
    if (code != 0)
        return ov::Report(control, "COvMemManager", "Init", code, "", ov::kPassedOn);
    m_DataManager.Init(control);
    m_LoadingCue.Init(control);
    m_LoadingThread.Init(
        COvLoadingContext{control, &m_StreamCreators, &m_DataManager, &m_Cache, &m_LoadingCue});
    m_LoadingCue.RemoveAll();
    m_Cache.RemoveAll();
    LimitPool();
    m_nReserved = reserved;
    return 0;
}

void COvMemManager::Shutdown() {
    m_LoadingCue.RemoveAll();
    // The pictures dropped now go straight back to the system: nothing is loaded
    // after this.
    if (m_pPixelPool)
        m_pPixelPool->SetLimit(0);
    m_Cache.RemoveAll();
    // Creators whose streams wait on the outside (a stalled server) end those waits,
    // so that the wait below is not theirs.
    m_StreamCreators.AbortStreams();
    m_LoadingThread.WaitAll();
}

// ---------------------------------------------------------------------------
// Getting data
// ---------------------------------------------------------------------------

int COvMemManager::Substitute(COvMemData** out, CPtrList* substitutes, int code) {
    *out = substitutes != nullptr ? CheckData(substitutes) : nullptr;
    return code;
}

int COvMemManager::GetData(COvMemData** out, COvDataInfo* info, CPtrList* substitutes) {
    if (out == nullptr || info == nullptr) {
        return ov::Report(m_pControl, "COvMemManager", "GetData", OV_E_NULL_OUTPUT,
                          out == nullptr ? "out" : "info", ov::kFoundHere);
    }
    *out = m_Cache.Lookup(*info);
    if (*out == nullptr && info->m_nPriority == kLoadNow) {
        int code;
        do {
            code = LoadNow(*info, out);
        } while (code == kRetry);
    }
    if (*out != nullptr) {
        if ((*out)->m_pData != nullptr)
            return kReady;
        UnLockData(*out);
        return Substitute(out, substitutes, OV_DATA_FAILED);
    }
    const int added = m_LoadingCue.Add(*info);
    if (added == COvLoadingCue::kNewRequest) {
        m_LoadingThread.AddThread();
    } else if (added == COvLoadingCue::kPendingRequest) {
        m_LoadingThread.EnsureThread();
    } else {
        // Nothing was queued (no memory for a request, reported): not "queued".
        return Substitute(out, substitutes, added);
    }
    return Substitute(out, substitutes, OV_DATA_QUEUED);
}

int COvMemManager::LoadNow(COvDataInfo& info, COvMemData** out) {
    std::shared_ptr<COvLoadEvent> done;
    const int claim = m_LoadingCue.Claim(info, &done);
    if (claim < 0)
        return claim;
    if (claim == COvLoadingCue::kWaitForOther) {
        done->Wait();
        *out = m_Cache.Lookup(info);
        return *out != nullptr ? kReady : kRetry;
    }
    *out = MakeData(info);
    if (m_LoadingCue.FinishOwn(info) == COvLoadingCue::kFinished)
        return kReady;
    // Cancelled while this thread loaded: the record leaves the cache, the caller
    // keeps its own lock.
    m_Cache.RemoveOwn(info);
    return OV_DATA_FAILED;
}

COvMemData* COvMemManager::MakeData(COvDataInfo& info) {
    int size = 0;
    void* data = OvLoadData(info, m_StreamCreators, m_DataManager, &size);
    COvMemData* rec = m_Cache.MakeRecord(info, data, size, "COvMemManager", 1);
    if (rec == nullptr) {
        ov::Report(m_pControl, "COvMemManager", data != nullptr ? "MakeData" : "GetData",
                   OV_DATA_NO_RECORD, "MakeMemData()", ov::kPassedOn);
        if (data != nullptr)
            m_DataManager.GetHandler(info.m_nType)->FreeData(&data);
        return nullptr;
    }
    if (data == nullptr) {
        // The failure stays remembered under the cache's own lock.
        rec->UnLock(&m_DataManager);
        return nullptr;
    }
    return rec;
}

COvMemData* COvMemManager::CheckData(CPtrList* substitutes) {
    if (substitutes == nullptr)
        return nullptr;
    for (POSITION pos = substitutes->GetHeadPosition(); pos != nullptr;) {
        auto* info = static_cast<COvDataInfo*>(substitutes->GetNext(pos));
        if (info == nullptr)
            continue;
        COvMemData* found = nullptr;
        if (info->m_nPriority == kLoadNow) {
            if (GetData(&found, info, nullptr) != kReady)
                continue;
        } else {
            found = m_Cache.Lookup(*info);
            if (found == nullptr)
                continue;
        }
        if (found->m_pData != nullptr)
            return found;
        UnLockData(found);
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Unlocking and deleting
// ---------------------------------------------------------------------------

void COvMemManager::UnLockData(COvMemData* data) {
    if (data != nullptr)
        data->UnLock(&m_DataManager);
}

void COvMemManager::Delete(COvDataInfo* info) {
    if (info == nullptr)
        return;
    m_LoadingCue.Finish(*info);
    m_Cache.Remove(*info);
    // NOTE: also when only a pending request was cancelled: a worker may still file
    // its record under the old number, which must not answer for this descriptor.
    info->m_nDataID = 0;
}

void COvMemManager::DeleteAll() {
    m_LoadingCue.RemoveAll();
    // The emptied cache gives its memory back to the system, not to the pool.
    if (m_pPixelPool)
        m_pPixelPool->SetLimit(0);
    m_Cache.RemoveAll();
    LimitPool();
}

// ---------------------------------------------------------------------------
// Budget, drawing pass, registries
// ---------------------------------------------------------------------------

void COvMemManager::SetMaxMem(unsigned int maxMem) {
    m_Cache.SetMaxMem(maxMem);
    LimitPool();
}

void COvMemManager::LimitPool() {
    if (m_pPixelPool)
        m_pPixelPool->SetLimit(m_Cache.GetMaxMem() / kPoolShareOfBudget);
}

unsigned int COvMemManager::GetMaxMem() const {
    return m_Cache.GetMaxMem();
}

bool COvMemManager::IsNeedDataUpdate() {
    return m_Cache.IsNeedUpdate();
}

void COvMemManager::EndDraw() {
    m_Cache.ForceTrim();
}

void COvMemManager::BeginDraw(int threads) {
    m_LoadingThread.SetMaxThreads(threads);
}

int COvMemManager::GetThreadLimit() const {
    return m_LoadingThread.GetMaxThreads();
}

int COvMemManager::AddStreamCreator(CQrStreamCreator* creator) {
    return m_StreamCreators.Add(creator);
}

void COvMemManager::AddDataHandler(int type, COvDataHandler* handler) {
    m_DataManager.AddDataHandler(type, handler);
}

bool COvMemManager::IsDataHandlerAvailable(int type) {
    return m_DataManager.IsDataHandlerAvailable(type);
}
