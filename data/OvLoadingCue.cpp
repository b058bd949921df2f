#include "data/OvLoadingCue.h"

#include <climits>
#include <new>
#include <vector>

#include "foundation/OvReport.h"

namespace {

constexpr int kSharedByName = 1;
constexpr int kUrgent = 1;

// No memory for a request: reported as the queue's Add, whichever path asked.
int ReportNoMemory(COvControl* control, std::size_t bytes) {
    return ov::Report(control, "COvLoadingCue", "Add", OV_E_NOMEMORY, static_cast<long long>(bytes),
                      ov::kFoundHere);
}

}  // namespace

// ---------------------------------------------------------------------------
// COvLoadEvent
// ---------------------------------------------------------------------------

void COvLoadEvent::Set() {
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_bSet = true;
    }
    m_Signal.notify_all();
}

void COvLoadEvent::Wait() {
    std::unique_lock<std::mutex> guard(m_Mutex);
    m_Signal.wait(guard, [this] { return m_bSet; });
}

// ---------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------

COvLoadingCue::COvLoadingCue()
    : m_pControl(nullptr), m_pHead(std::make_unique<COvLoadRequest>()), m_nNextID(1) {
    m_pHead->m_pNext = m_pHead.get();
    m_pHead->m_pPrev = m_pHead.get();
    m_pInsert = m_pHead.get();
}

COvLoadingCue::~COvLoadingCue() {
    RemoveAll();
}

void COvLoadingCue::Init(COvControl* control) {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_pControl = control;
}

// ---------------------------------------------------------------------------
// Queue steps (all called with m_Lock held)
// ---------------------------------------------------------------------------

COvLoadRequest* COvLoadingCue::Match(const COvDataInfo& info, bool* byName) const {
    *byName = false;
    if (info.m_nDataID != 0) {
        auto it = m_IDMap.find(info.m_nDataID);
        if (it != m_IDMap.end() && it->second->m_Info.m_strName == info.m_strName) {
            return it->second.get();
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

COvLoadRequest* COvLoadingCue::NewRequest(COvDataInfo& info, int loading) {
    try {
        // Numbers only grow; past the int range they start again at 1 (0 means none).
        while (m_IDMap.count(m_nNextID) != 0)
            m_nNextID = m_nNextID == INT_MAX ? 1 : m_nNextID + 1;
        const int id = m_nNextID;
        auto request = std::make_unique<COvLoadRequest>();
        request->m_bLoading = loading;
        request->m_Info = info;
        request->m_Info.m_nDataID = id;
        COvLoadRequest* raw = request.get();
        m_IDMap.emplace(id, std::move(request));
        if ((info.m_nFlags & kSharedByName) != 0) {
            try {
                m_NameMap[info.m_strName] = raw;
            } catch (const std::bad_alloc&) {
                m_IDMap.erase(id);
                throw;
            }
        }
        m_nNextID = id == INT_MAX ? 1 : id + 1;
        info.m_nDataID = id;
        Enqueue(raw);
        return raw;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void COvLoadingCue::Enqueue(COvLoadRequest* request) {
    COvLoadRequest* before;
    if (request->m_Info.m_nPriority == kUrgent) {
        before = m_pHead->m_pNext;
    } else {
        before = m_pInsert;
        m_pInsert = request;
    }
    request->m_pNext = before;
    request->m_pPrev = before->m_pPrev;
    before->m_pPrev->m_pNext = request;
    before->m_pPrev = request;
}

void COvLoadingCue::Unlink(COvLoadRequest* request) {
    if (m_pInsert == request)
        m_pInsert = request->m_pNext;
    request->m_pPrev->m_pNext = request->m_pNext;
    request->m_pNext->m_pPrev = request->m_pPrev;
    request->m_pNext = nullptr;
    request->m_pPrev = nullptr;
}

void COvLoadingCue::Drop(COvLoadRequest* request) {
    Unlink(request);
    auto named = m_NameMap.find(request->m_Info.m_strName);
    if (named != m_NameMap.end() && named->second == request)
        m_NameMap.erase(named);
    if (request->m_hDone)
        request->m_hDone->Set();
    m_IDMap.erase(request->m_Info.m_nDataID);  // deletes the request
}

// ---------------------------------------------------------------------------
// Operations
// ---------------------------------------------------------------------------

int COvLoadingCue::Add(COvDataInfo& info) {
    std::lock_guard<std::mutex> guard(m_Lock);
    bool byName = false;
    if (COvLoadRequest* request = Match(info, &byName)) {
        if (m_pHead->m_pNext != request) {
            Unlink(request);
            Enqueue(request);
        }
        if (byName)
            info.m_nDataID = request->m_Info.m_nDataID;
        return kPendingRequest;
    }
    if (NewRequest(info, 0) == nullptr)
        return ReportNoMemory(m_pControl, sizeof(COvLoadRequest));
    return kNewRequest;
}

int COvLoadingCue::Claim(COvDataInfo& info, std::shared_ptr<COvLoadEvent>* wait) {
    std::lock_guard<std::mutex> guard(m_Lock);
    bool byName = false;
    if (COvLoadRequest* request = Match(info, &byName)) {
        // NOTE: the loader files its record under the request's number; a caller that
        // matched by name must use it too, or the record would be filed under a
        // number nobody asks for.
        if (byName)
            info.m_nDataID = request->m_Info.m_nDataID;
        if (request->m_bLoading == 0) {
            request->m_bLoading = 1;
            return kPendingRequest;
        }
        try {
            if (!request->m_hDone)
                request->m_hDone = std::make_shared<COvLoadEvent>();
        } catch (const std::bad_alloc&) {
            return ReportNoMemory(m_pControl, sizeof(COvLoadEvent));
        }
        if (wait != nullptr)
            *wait = request->m_hDone;
        return kWaitForOther;
    }
    if (NewRequest(info, 1) == nullptr)
        return ReportNoMemory(m_pControl, sizeof(COvLoadRequest));
    return kNewRequest;
}

int COvLoadingCue::Finish(const COvDataInfo& info) {
    std::lock_guard<std::mutex> guard(m_Lock);
    bool byName = false;
    COvLoadRequest* request = Match(info, &byName);
    if (request == nullptr)
        return kNoRequest;
    Drop(request);
    return kFinished;
}

int COvLoadingCue::FinishOwn(const COvDataInfo& info) {
    std::lock_guard<std::mutex> guard(m_Lock);
    auto it = m_IDMap.find(info.m_nDataID);
    if (info.m_nDataID == 0 || it == m_IDMap.end() ||
        it->second->m_Info.m_strName != info.m_strName) {
        return kNoRequest;
    }
    Drop(it->second.get());
    return kFinished;
}

void COvLoadingCue::RemoveAll() {
    std::lock_guard<std::mutex> guard(m_Lock);
    for (auto& entry : m_IDMap) {
        if (entry.second->m_hDone)
            entry.second->m_hDone->Set();
    }
    m_IDMap.clear();
    m_NameMap.clear();
    m_pHead->m_pNext = m_pHead.get();
    m_pHead->m_pPrev = m_pHead.get();
    m_pInsert = m_pHead.get();
}

bool COvLoadingCue::TakeNext(COvDataInfo& info, std::atomic<bool>* idle) {
    std::lock_guard<std::mutex> guard(m_Lock);
    for (COvLoadRequest* request = m_pHead->m_pNext; request != m_pHead.get();
         request = request->m_pNext) {
        if (request->m_bLoading == 0) {
            request->m_bLoading = 1;
            info = request->m_Info;
            return true;
        }
    }
    if (idle != nullptr)
        idle->store(true, std::memory_order_release);
    return false;
}

int COvLoadingCue::GetCount() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return static_cast<int>(m_IDMap.size());
}

std::vector<int> COvLoadingCue::GetOrder() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    std::vector<int> ids;
    for (COvLoadRequest* request = m_pHead->m_pNext; request != m_pHead.get();
         request = request->m_pNext) {
        ids.push_back(request->m_Info.m_nDataID);
    }
    return ids;
}
