// Window timers and the message pump: one timer queue per thread.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <thread>
#include <tuple>

#include "OvPlatform.h"
#include "platform/OvPlatformInternal.h"
#include "platform/OvTimerClock.h"

namespace {

using TimePoint = COvTimerClock::TimePoint;
using Duration = TimePoint::duration;

// A timer is named by its window and id. Windows are ordered by address.
using TimerKey = std::pair<std::uintptr_t, OvTimerId>;

TimerKey KeyOf(HWND hWnd, OvTimerId id) {
    return {reinterpret_cast<std::uintptr_t>(hWnd), id};
}

struct Timer {
    TimePoint due;
    std::uint64_t seq;  // when it was last armed; orders equal due times
    Duration period;
    TIMERPROC proc;
};

struct ThreadQueue {
    std::map<TimerKey, Timer> timers;
    // Every timer once, ordered by when it falls due.
    std::set<std::tuple<TimePoint, std::uint64_t, TimerKey>> schedule;
    std::uint64_t nextSeq = 1;
    bool quit = false;
    int quitCode = 0;
    COvTimerClock* pClock = nullptr;  // null: the monotonic clock

    TimePoint Now() const { return pClock ? pClock->Now() : std::chrono::steady_clock::now(); }
    void Arm(const TimerKey& key, Timer& timer, TimePoint due) {
        schedule.erase({timer.due, timer.seq, key});
        timer.due = due;
        timer.seq = nextSeq++;
        schedule.insert({timer.due, timer.seq, key});
    }
    void Remove(std::map<TimerKey, Timer>::iterator it) {
        schedule.erase({it->second.due, it->second.seq, it->first});
        timers.erase(it);
    }
    ~ThreadQueue();
};

// Set when the thread's queue has been destroyed at thread exit: a window destroyed
// later (a static one, on the main thread) must not reach it.
thread_local bool t_queueGone = false;

ThreadQueue::~ThreadQueue() {
    t_queueGone = true;
}

// The calling thread's queue; null while the thread is exiting.
ThreadQueue* Queue() {
    if (t_queueGone) {
        return nullptr;
    }
    thread_local ThreadQueue queue;
    return &queue;
}

// Thread timers get ids unique in the process, because the screens key one map of all
// threads by them. They stay within 32 bits; after a wrap the ids of this thread's live
// timers are skipped.
OvTimerId NewTimerId(const ThreadQueue& queue) {
    static std::atomic<std::uint32_t> s_nextId{1};
    for (;;) {
        const std::uint32_t id = s_nextId.fetch_add(1, std::memory_order_relaxed);
        if (id != 0 && queue.timers.count(KeyOf(nullptr, id)) == 0) {
            return id;
        }
    }
}

Duration PeriodOf(unsigned int elapse) {
    const unsigned int ms = std::min(std::max(elapse, USER_TIMER_MINIMUM), USER_TIMER_MAXIMUM);
    return std::chrono::milliseconds(ms);
}

// Runs each timer that was due at the start and armed before it, earliest first. A timer
// is re-armed before its procedure runs, so the procedure (or a nested pump) sees it
// armed for its next period and may kill or reset it, or set new ones.
int RunDueTimers(ThreadQueue& queue) {
    const TimePoint now = queue.Now();
    const std::uint64_t armedBefore = queue.nextSeq;
    int ran = 0;
    for (;;) {
        auto next = queue.schedule.begin();
        while (next != queue.schedule.end() && std::get<0>(*next) <= now &&
               std::get<1>(*next) >= armedBefore) {
            ++next;
        }
        if (next == queue.schedule.end() || std::get<0>(*next) > now) {
            return ran;
        }
        const TimerKey key = std::get<2>(*next);
        auto it = queue.timers.find(key);
        Timer& timer = it->second;
        TimePoint due = timer.due + timer.period;
        if (due <= now) {
            due = now + timer.period;  // late: skip the missed periods, never catch up in a burst
        }
        queue.Arm(key, timer, due);
        const TIMERPROC proc = timer.proc;
        proc(reinterpret_cast<HWND>(key.first), OV_WM_TIMER, key.second, OvTickCountOf(now));
        ++ran;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Timers
// ---------------------------------------------------------------------------

OvTimerId SetTimer(HWND hWnd, OvTimerId idEvent, unsigned int elapse, TIMERPROC proc) {
    if (!proc) {
        return 0;
    }
    ThreadQueue* pQueue = Queue();
    if (!pQueue) {
        return 0;
    }
    ThreadQueue& queue = *pQueue;
    TimerKey key = KeyOf(hWnd, idEvent);
    auto it = queue.timers.find(key);
    if (it == queue.timers.end() || (!hWnd && idEvent == 0)) {
        if (!hWnd) {
            key.second = NewTimerId(queue);
        }
        it = queue.timers.emplace(key, Timer{TimePoint::min(), 0, {}, proc}).first;
    }
    Timer& timer = it->second;
    timer.period = PeriodOf(elapse);
    timer.proc = proc;
    queue.Arm(key, timer, queue.Now() + timer.period);
    if (hWnd && key.second == 0) {
        return 1;
    }
    return key.second;
}

int KillTimer(HWND hWnd, OvTimerId idEvent) {
    ThreadQueue* queue = Queue();
    if (!queue) {
        return 0;
    }
    auto it = queue->timers.find(KeyOf(hWnd, idEvent));
    if (it == queue->timers.end()) {
        return 0;
    }
    queue->Remove(it);
    return 1;
}

void OvKillWindowTimers(HWND window) {
    ThreadQueue* queue = Queue();
    if (!queue) {
        return;
    }
    const TimerKey first = KeyOf(window, 0);
    auto it = queue->timers.lower_bound(first);
    while (it != queue->timers.end() && it->first.first == first.first) {
        auto victim = it++;
        queue->Remove(victim);
    }
}

// ---------------------------------------------------------------------------
// The clock
// ---------------------------------------------------------------------------

COvTimerClock* OvSetTimerClock(COvTimerClock* clock) {
    ThreadQueue* queue = Queue();
    if (!queue) {
        return nullptr;
    }
    const TimePoint before = queue->Now();
    COvTimerClock* const previous = queue->pClock;
    queue->pClock = clock;
    // Every armed timer moves by the same amount, so their order stays as it was.
    const Duration shift = queue->Now() - before;
    queue->schedule.clear();
    for (auto& [key, timer] : queue->timers) {
        timer.due += shift;
        queue->schedule.insert({timer.due, timer.seq, key});
    }
    return previous;
}

TimePoint OvTimerNow() {
    const ThreadQueue* queue = Queue();
    return queue ? queue->Now() : std::chrono::steady_clock::now();
}

std::uint32_t OvTickCountOf(TimePoint time) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    // Truncation to 32 bits is the wrap callers expect.
    return static_cast<std::uint32_t>(ms);
}

// ---------------------------------------------------------------------------
// The pump
// ---------------------------------------------------------------------------

int OvPumpMessages(unsigned int waitMs) {
    ThreadQueue* pQueue = Queue();
    if (!pQueue) {
        return 0;
    }
    ThreadQueue& queue = *pQueue;
    int served = OvSdlServeEvents();
    int ran = RunDueTimers(queue);
    if (ran > 0 || served > 0 || waitMs == 0 || queue.quit) {
        return ran;
    }
    TimePoint until = queue.Now() + std::chrono::milliseconds(waitMs);
    if (!queue.schedule.empty()) {
        until = std::min(until, std::get<0>(*queue.schedule.begin()));
    }
    if (queue.pClock) {
        // A clock of the caller's own decides how the time passes; window events that
        // came meanwhile are served without a wait on the real clock.
        queue.pClock->WaitUntil(until);
        OvSdlServeEvents();
    } else if (OvSdlThreadHasWindows()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - queue.Now());
        if (left.count() > 0) {
            OvSdlWaitEvent(static_cast<unsigned int>(left.count()));
        }
        OvSdlServeEvents();
        // Window events may end the wait early; the timers then wait for the next pump.
    } else {
        std::this_thread::sleep_until(until);
    }
    return RunDueTimers(queue);
}

int OvRunMessageLoop() {
    ThreadQueue* queue = Queue();
    if (!queue) {
        return 0;
    }
    while (!queue->quit) {
        OvPumpMessages(1000);
    }
    queue->quit = false;
    return queue->quitCode;
}

void OvPostQuit(int code) {
    if (ThreadQueue* queue = Queue()) {
        queue->quit = true;
        queue->quitCode = code;
    }
}
