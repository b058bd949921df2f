// The hand-moved timer clock.
#include "OvTestClock.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "OvPlatform.h"

namespace {

// The test clocks alive, oldest first, for Ticks().
struct LiveClocks {
    std::mutex lock;
    std::vector<const OvTestClock*> clocks;
};

LiveClocks& Live() {
    static LiveClocks live;
    return live;
}

}  // namespace

OvTestClock::OvTestClock()
    : m_Start(std::chrono::steady_clock::now()),
      m_nNow(m_Start.time_since_epoch().count()),
      m_pPrevious(OvSetTimerClock(this)) {
    LiveClocks& live = Live();
    std::lock_guard<std::mutex> guard(live.lock);
    live.clocks.push_back(this);
}

OvTestClock::~OvTestClock() {
    OvSetTimerClock(m_pPrevious);
    LiveClocks& live = Live();
    std::lock_guard<std::mutex> guard(live.lock);
    live.clocks.erase(std::find(live.clocks.begin(), live.clocks.end(), this));
}

OvTestClock::TimePoint OvTestClock::Now() const {
    return TimePoint(TimePoint::duration(m_nNow.load()));
}

void OvTestClock::WaitUntil(TimePoint until) {
    // Never backwards: another thread may have moved it further meanwhile.
    TimePoint::rep now = m_nNow.load();
    const TimePoint::rep to = until.time_since_epoch().count();
    while (now < to && !m_nNow.compare_exchange_weak(now, to)) {
    }
}

void OvTestClock::Advance(std::chrono::milliseconds by) {
    m_nNow += std::chrono::duration_cast<TimePoint::duration>(by).count();
}

std::chrono::milliseconds OvTestClock::Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Now() - m_Start);
}

std::uint32_t OvTestClock::Ticks() {
    LiveClocks& live = Live();
    std::lock_guard<std::mutex> guard(live.lock);
    return live.clocks.empty() ? GetTickCount() : OvTickCountOf(live.clocks.back()->Now());
}
