// The pending load requests, in the order in which they are to be served, and the
// event on which a caller waits for somebody else's load.
#ifndef ORVANE_DATA_OVLOADINGCUE_H
#define ORVANE_DATA_OVLOADINGCUE_H

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "OvData.h"
#include "data/OvNameKey.h"

class COvControl;

// A manual-reset event. It is shared by the request and every waiter, so it lives
// until the last of them lets go: a waiter that arrives after the signal still
// returns at once.
class COvLoadEvent {
public:
    // Signals: every present and future Wait returns.
    void Set();
    // Returns once the event is signalled.
    void Wait();

private:
    std::mutex m_Mutex;
    std::condition_variable m_Signal;
    bool m_bSet = false;
};

// One pending request; owned by the queue.
struct COvLoadRequest {
    int m_bLoading = 0;  // 1 once a loading thread or a priority-2 caller took it
    COvDataInfo m_Info;  // with the identity number the queue gave it
    std::shared_ptr<COvLoadEvent> m_hDone;  // made when a second caller has to wait
    COvLoadRequest* m_pPrev = nullptr;
    COvLoadRequest* m_pNext = nullptr;
};

// Urgent requests (priority 1) are served first, newest first; then the others,
// newest first. All operations are safe from several threads.
class COvLoadingCue {
public:
    COvLoadingCue();
    COvLoadingCue(const COvLoadingCue&) = delete;
    COvLoadingCue& operator=(const COvLoadingCue&) = delete;
    // Cancels what is left (waiters are released).
    virtual ~COvLoadingCue();

    void Init(COvControl* control);

    // What Add and Claim answer, besides a negative failure code.
    enum Result { kNewRequest = 0, kPendingRequest = 1, kWaitForOther = 2 };
    // What Finish and FinishOwn answer.
    enum Finished { kFinished = 0, kNoRequest = 1 };

    // Queues a request for info. A request already pending is moved to the front of
    // its class (its identity number copied into info when it was found by name):
    // kPendingRequest. Otherwise a new request is queued and info gets a new identity
    // number: kNewRequest. -10000 (reported) when there is no memory for a request.
    int Add(COvDataInfo& info);
    // Takes the request for info so that the caller loads it: kPendingRequest when a
    // waiting request was taken, kNewRequest when a new one was made for it (info gets
    // its identity number either way). kWaitForOther when another thread loads it:
    // *wait receives the event that finishing the request signals. -10000 (reported)
    // without memory.
    int Claim(COvDataInfo& info, std::shared_ptr<COvLoadEvent>* wait);
    // Cancels or completes the request matching info (by identity number and name,
    // else by name when info is shared by name) and wakes its waiters: kFinished, or
    // kNoRequest when there is none.
    int Finish(const COvDataInfo& info);
    // As Finish, but only the request with info's own identity number and name: a
    // loader finishes its own request, never a newer one of the same name.
    int FinishOwn(const COvDataInfo& info);
    // Cancels every request and wakes every waiter.
    void RemoveAll();

    // A loading thread's pick: takes the first waiting request and copies its
    // descriptor into info. When none is waiting it returns false and, in the same
    // step, raises *idle, so that a request queued right after sees the thread gone.
    bool TakeNext(COvDataInfo& info, std::atomic<bool>* idle);

    // The number of requests (waiting or taken).
    int GetCount() const;
    // The identity numbers of the requests from the front of the queue, for tests.
    std::vector<int> GetOrder() const;

private:
    friend struct OvDataTestAccess;

    COvLoadRequest* Match(const COvDataInfo& info, bool* byName) const;
    COvLoadRequest* NewRequest(COvDataInfo& info, int loading);
    void Enqueue(COvLoadRequest* request);
    void Unlink(COvLoadRequest* request);
    void Drop(COvLoadRequest* request);

    // Everything below is guarded by m_Lock.
    COvControl* m_pControl;
    std::unordered_map<COvString, COvLoadRequest*, OvNameHash, OvNameEqual> m_NameMap;
    std::unordered_map<int, std::unique_ptr<COvLoadRequest>> m_IDMap;  // owns them
    std::unique_ptr<COvLoadRequest> m_pHead;  // sentinel; m_pNext is the front
    COvLoadRequest* m_pInsert;                // ordinary requests go in front of this one
    int m_nNextID;
    mutable std::mutex m_Lock;
};

#endif
