// The clock that a thread's window timers and its pump run by.
//
// Each thread's timer queue reads the monotonic clock and sleeps on it, unless a clock of
// this kind has been put in for that thread. Tests put in one that they move by hand, so
// that timers fall due without anybody waiting, and take it out again when they end;
// other threads keep their own clocks throughout.
#ifndef ORVANE_PLATFORM_OVTIMERCLOCK_H
#define ORVANE_PLATFORM_OVTIMERCLOCK_H

#include <chrono>
#include <cstdint>

class COvTimerClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    COvTimerClock() = default;
    COvTimerClock(const COvTimerClock&) = delete;
    COvTimerClock& operator=(const COvTimerClock&) = delete;
    virtual ~COvTimerClock() = default;

    // The present time.
    virtual TimePoint Now() const = 0;
    // Called by the pump when it has nothing to do before `until`: it returns once the
    // clock has reached that time (a clock moved by hand simply moves there).
    virtual void WaitUntil(TimePoint until) = 0;
};

// From now on the calling thread's timers and pump run by `clock`; null goes back to the
// monotonic clock. Armed timers keep the time they had left. Returns the clock replaced
// (null for the monotonic one). The caller keeps `clock` alive while it is in use and
// puts the previous one back on the same thread.
COvTimerClock* OvSetTimerClock(COvTimerClock* clock);
// The present time of the calling thread's timer clock.
COvTimerClock::TimePoint OvTimerNow();
// A time point in milliseconds, cut to 32 bits as GetTickCount counts.
std::uint32_t OvTickCountOf(COvTimerClock::TimePoint time);

#endif
