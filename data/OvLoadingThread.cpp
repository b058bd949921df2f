#include "data/OvLoadingThread.h"

#include <exception>

#include "data/OvDataManager.h"
#include "data/OvLoadData.h"
#include "data/OvLoadingCue.h"
#include "data/OvMemCache.h"
#include "foundation/OvReport.h"
#include "platform/OvThreadPriority.h"

namespace {

constexpr int kMinThreads = 1;
constexpr int kMaxThreads = 10;
// How much nicer than the client's thread a worker runs.
constexpr int kWorkerNiceness = 5;
// A worker's exit code after a failed load it could not record.
constexpr int kNoRecordForFailure = -1;

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle and limit
// ---------------------------------------------------------------------------

COvLoadingThread::COvLoadingThread()
    : m_pControl(nullptr), m_Context{}, m_nMaxThreads(kMinThreads) {}

COvLoadingThread::~COvLoadingThread() {
    WaitAll();
}

void COvLoadingThread::Init(const COvLoadingContext& context) {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_pControl = context.pControl;
    m_Context = context;
    m_nMaxThreads = kMinThreads;
}

void COvLoadingThread::SetMaxThreads(int threads) {
    m_nMaxThreads =
        threads < kMinThreads ? kMinThreads : (threads > kMaxThreads ? kMaxThreads : threads);
}

int COvLoadingThread::GetMaxThreads() const {
    return m_nMaxThreads;
}

// ---------------------------------------------------------------------------
// The thread set
// ---------------------------------------------------------------------------

void COvLoadingThread::Sweep() {
    for (auto it = m_Threads.begin(); it != m_Threads.end();) {
        // Workers that are done but still returning stay listed (uncounted) until they
        // have exited, so that the join never waits.
        if ((*it)->exited.load(std::memory_order_acquire)) {
            if ((*it)->thread.joinable())
                (*it)->thread.join();
            it = m_Threads.erase(it);
        } else {
            ++it;
        }
    }
}

int COvLoadingThread::RunningLocked() const {
    int running = 0;
    for (const auto& worker : m_Threads) {
        if (!worker->done.load(std::memory_order_acquire))
            ++running;
    }
    return running;
}

void COvLoadingThread::StartOne() {
    std::unique_ptr<Worker> worker;
    try {
        worker = std::make_unique<Worker>();
        m_Threads.push_back(nullptr);
    } catch (const std::bad_alloc&) {
        ov::Report(m_pControl, "COvLoadingThread", "AddThread", OV_E_NOMEMORY,
                   static_cast<long long>(sizeof(Worker)), ov::kFoundHere);
        return;
    }
    if (!Launch(worker.get())) {
        m_Threads.pop_back();
        ov::Report(m_pControl, "COvLoadingThread", "AddThread", OV_E_NOMEMORY, "thread not started",
                   ov::kFoundHere);
        return;
    }
    m_Threads.back() = std::move(worker);
}

void COvLoadingThread::AddThread() {
    std::lock_guard<std::mutex> guard(m_Lock);
    Sweep();
    if (RunningLocked() < m_nMaxThreads)
        StartOne();
}

void COvLoadingThread::EnsureThread() {
    std::lock_guard<std::mutex> guard(m_Lock);
    Sweep();
    if (RunningLocked() == 0)
        StartOne();
}

void COvLoadingThread::WaitAll() {
    std::lock_guard<std::mutex> guard(m_Lock);
    for (auto& worker : m_Threads) {
        if (worker->thread.joinable())
            worker->thread.join();
    }
    m_Threads.clear();
}

int COvLoadingThread::GetRunningCount() {
    std::lock_guard<std::mutex> guard(m_Lock);
    return RunningLocked();
}

bool COvLoadingThread::Launch(Worker* worker) {
    const COvLoadingContext* context = &m_Context;
    try {
        worker->thread = std::thread([context, worker] {
            OvLowerCurrentThreadPriority(kWorkerNiceness);
            worker->exitCode = Start(context, &worker->done);
            worker->done.store(true, std::memory_order_release);
            worker->exited.store(true, std::memory_order_release);
        });
    } catch (const std::exception&) {  // no thread (system_error) or no memory for one
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// The worker
// ---------------------------------------------------------------------------

int COvLoadingThread::Start(const COvLoadingContext* context, std::atomic<bool>* done) {
    COvDataManager& handlers = *context->pDataManager;
    int exitCode = 0;
    for (;;) {
        COvDataInfo info;
        if (!context->pCue->TakeNext(info, done))
            return exitCode;

        int size = 0;
        void* data = OvLoadData(info, *context->pStreamCreators, handlers, &size);
        const bool recorded =
            context->pCache->MakeRecord(info, data, size, "COvLoadingThread", 0) != nullptr;
        // Cancelled while loading: the fresh record must not stay behind.
        const bool cancelled = context->pCue->FinishOwn(info) != COvLoadingCue::kFinished;
        if (recorded) {
            if (cancelled)
                context->pCache->RemoveOwn(info);
            continue;
        }
        ov::Report(context->pControl, "COvLoadingThread", "Start", OV_DATA_NO_RECORD,
                   "MakeMemData()", ov::kPassedOn);
        if (data == nullptr) {
            // NOTE: the worker goes on: ending here would leave the requests behind
            // this one without a worker until the next new request.
            exitCode = kNoRecordForFailure;
            continue;
        }
        handlers.GetHandler(info.m_nType)->FreeData(&data);
    }
}
