// A timer clock that tests move by hand: timers fall due at once, nobody waits.
#ifndef ORVANE_TESTS_OVTESTCLOCK_H
#define ORVANE_TESTS_OVTESTCLOCK_H

#include <atomic>
#include <chrono>
#include <cstdint>

#include "platform/OvTimerClock.h"

// Made on a thread, it runs that thread's timers and pump until it goes; then the clock
// before it does again. Its time starts at the real time and moves only by Advance or
// when the pump would wait (it then moves to the end of the wait at once). It must go on
// the thread that made it. Its time may be read from any thread.
class OvTestClock final : public COvTimerClock {
public:
    OvTestClock();
    ~OvTestClock() override;

    TimePoint Now() const override;
    void WaitUntil(TimePoint until) override;

    void Advance(std::chrono::milliseconds by);
    // The time passed since the clock was made.
    std::chrono::milliseconds Elapsed() const;

    // The tick count (as GetTickCount's) of the newest test clock still alive, else the
    // real one: a tick source for what reads the time on other threads too, such as the
    // data cache.
    static std::uint32_t Ticks();

private:
    const TimePoint m_Start;
    std::atomic<TimePoint::rep> m_nNow;
    COvTimerClock* const m_pPrevious;
};

#endif
