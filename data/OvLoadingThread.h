// The loading threads: up to a limit of workers that take requests from the queue,
// load them and put the records into the cache.
#ifndef ORVANE_DATA_OVLOADINGTHREAD_H
#define ORVANE_DATA_OVLOADINGTHREAD_H

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

class COvControl;
class COvDataManager;
class COvLoadingCue;
class COvMemCache;
class COvStreamCreatorList;

// What every worker is given.
struct COvLoadingContext {
    COvControl* pControl;
    COvStreamCreatorList* pStreamCreators;
    COvDataManager* pDataManager;
    COvMemCache* pCache;
    COvLoadingCue* pCue;
};

class COvLoadingThread {
public:
    // One started worker. `done` is raised as it decides to end (from then on it no
    // longer counts against the limit); `exited` as the last thing its thread does.
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
        std::atomic<bool> exited{false};
        int exitCode = 0;
    };

    COvLoadingThread();
    COvLoadingThread(const COvLoadingThread&) = delete;
    COvLoadingThread& operator=(const COvLoadingThread&) = delete;
    // Waits for every worker.
    virtual ~COvLoadingThread();

    // Stores the control and what the workers use; the limit becomes 1.
    void Init(const COvLoadingContext& context);
    // The number of workers that may run at once, clamped into 1..10.
    void SetMaxThreads(int threads);
    int GetMaxThreads() const;

    // Starts a worker when fewer than the limit are running (ended workers are
    // discarded first). A worker that cannot be started is logged; the requests stay
    // queued for the next start.
    void AddThread();
    // Starts a worker when none is running: after a failed start, a request asked for
    // again is still served.
    void EnsureThread();
    // Waits without a time limit for every worker to end and discards them.
    void WaitAll();
    // The number of workers that have not yet decided to end.
    int GetRunningCount();

    // The worker's procedure: serves requests until none is waiting. Returns 0, or -1
    // when a record could not be made for a failed load (the worker still served the
    // rest of the queue).
    static int Start(const COvLoadingContext* context, std::atomic<bool>* done);

protected:
    // Starts worker->thread running Start, raising done and then exited when it
    // returns; false when the system refuses a thread.
    virtual bool Launch(Worker* worker);
    // What the workers are given.
    const COvLoadingContext* Context() const { return &m_Context; }

private:
    void Sweep();
    int RunningLocked() const;
    void StartOne();

    COvControl* m_pControl;
    std::list<std::unique_ptr<Worker>> m_Threads;  // oldest first, guarded by m_Lock
    COvLoadingContext m_Context;
    std::atomic<int> m_nMaxThreads;
    std::mutex m_Lock;
};

#endif
