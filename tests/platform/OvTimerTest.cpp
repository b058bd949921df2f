// Window timers and the message pump. The timers run by a test clock: nothing here
// waits for a period to pass.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "OvHeadlessFixture.h"
#include "OvPlatform.h"

namespace {

using namespace std::chrono_literals;

// What the timer procedures saw, in order. Procedures are plain functions (TIMERPROC),
// so they reach the test through this one per-thread record.
struct Record {
    std::vector<OvTimerId> ticks;
    std::vector<HWND> windows;
    std::vector<unsigned int> messages;
    OvTimerId killOnTick = 0;  // a timer the next tick kills
    bool setOnTick = false;    // the next tick sets a new timer
    OvTimerId setId = 0;
};
thread_local Record t_record;

void Tick(HWND hWnd, unsigned int message, OvTimerId id, unsigned int) {
    Record& r = t_record;
    r.ticks.push_back(id);
    r.windows.push_back(hWnd);
    r.messages.push_back(message);
    if (r.killOnTick != 0) {
        KillTimer(nullptr, r.killOnTick);
        r.killOnTick = 0;
    }
    if (r.setOnTick) {
        r.setOnTick = false;
        r.setId = SetTimer(nullptr, 0, 10, Tick);
    }
}

void KillSelf(HWND hWnd, unsigned int, OvTimerId id, unsigned int) {
    t_record.ticks.push_back(id);
    EXPECT_EQ(KillTimer(hWnd, id), 1);
}

void Quit(HWND, unsigned int, OvTimerId id, unsigned int) {
    KillTimer(nullptr, id);
    OvPostQuit(42);
}

class TimerTest : public OvHeadlessWindowTest {
protected:
    void SetUp() override { t_record = Record(); }
    void TearDown() override {
        for (OvTimerId id : m_Started) {
            KillTimer(nullptr, id);
        }
    }
    OvTimerId Start(unsigned int ms, TIMERPROC proc = Tick) {
        const OvTimerId id = SetTimer(nullptr, 0, ms, proc);
        m_Started.push_back(id);
        return id;
    }
    std::vector<OvTimerId> m_Started;
};

}  // namespace

TEST_F(TimerTest, IdsAreFreshAndUnknownIdsFail) {
    std::set<OvTimerId> ids;
    for (int i = 0; i < 50; ++i) {
        const OvTimerId id = Start(1000);
        EXPECT_NE(id, 0u);
        EXPECT_LE(id, 0xFFFFFFFFu) << "ids fit a 32-bit member";
        EXPECT_TRUE(ids.insert(id).second) << "id handed out twice: " << id;
    }
    EXPECT_EQ(SetTimer(nullptr, 0, 10, nullptr), 0u) << "a timer needs a procedure";

    const OvTimerId id = *ids.begin();
    EXPECT_EQ(SetTimer(nullptr, id, 500, Tick), id) << "an existing id is restarted";
    EXPECT_EQ(KillTimer(nullptr, id), 1);
    EXPECT_EQ(KillTimer(nullptr, id), 0) << "killed twice";
    EXPECT_EQ(KillTimer(nullptr, 0), 0);
    const OvTimerId revived = SetTimer(nullptr, id, 500, Tick);
    m_Started.push_back(revived);
    EXPECT_NE(revived, id) << "a dead id is not revived";
}

TEST_F(TimerTest, DueTimersRunInDueOrderOncePerPump) {
    const OvTimerId late = Start(300);
    const OvTimerId early = Start(100);
    const OvTimerId middle = Start(200);
    m_Clock.Advance(650ms);  // all three are due, and overdue by several periods
    EXPECT_EQ(OvPumpMessages(0), 3);
    EXPECT_EQ(t_record.ticks, (std::vector<OvTimerId>{early, middle, late}));
    EXPECT_EQ(t_record.messages,
              (std::vector<unsigned int>{OV_WM_TIMER, OV_WM_TIMER, OV_WM_TIMER}));
    EXPECT_EQ(OvPumpMessages(0), 0) << "missed periods are not made up in a burst";
    // The next period counts from the late run.
    m_Clock.Advance(99ms);
    EXPECT_EQ(OvPumpMessages(0), 0);
    m_Clock.Advance(1ms);
    EXPECT_EQ(OvPumpMessages(0), 1);
    EXPECT_EQ(t_record.ticks.back(), early);
}

TEST_F(TimerTest, PeriodicTimersStayUntilKilled) {
    const OvTimerId id = Start(10);
    ASSERT_TRUE(OvPumpUntil([] { return t_record.ticks.size() >= 3; }));
    ASSERT_EQ(KillTimer(nullptr, id), 1);
    const std::size_t seen = t_record.ticks.size();
    OvPumpMessages(50);
    EXPECT_EQ(t_record.ticks.size(), seen);
}

TEST_F(TimerTest, ProceduresMayKillAndSetTimers) {
    // Killing itself: it ran once and is gone.
    const OvTimerId self = Start(10, KillSelf);
    ASSERT_TRUE(OvPumpUntil([] { return !t_record.ticks.empty(); }));
    OvPumpMessages(40);
    EXPECT_EQ(t_record.ticks, std::vector<OvTimerId>{self});
    EXPECT_EQ(KillTimer(nullptr, self), 0);

    // Killing another that was due in the same pump: that one does not run.
    t_record = Record();
    const OvTimerId first = Start(10);
    const OvTimerId second = Start(20);
    t_record.killOnTick = second;
    m_Clock.Advance(30ms);
    EXPECT_EQ(OvPumpMessages(0), 1);
    EXPECT_EQ(t_record.ticks, std::vector<OvTimerId>{first});
    EXPECT_EQ(KillTimer(nullptr, second), 0);
    KillTimer(nullptr, first);

    // Setting a new one: it is not run in the pass that set it, and runs later.
    t_record = Record();
    const OvTimerId setter = Start(10);
    t_record.setOnTick = true;
    ASSERT_TRUE(OvPumpUntil([] { return t_record.setId != 0; }));
    KillTimer(nullptr, setter);
    const OvTimerId nested = t_record.setId;
    m_Started.push_back(nested);
    EXPECT_EQ(t_record.ticks, std::vector<OvTimerId>{setter});
    ASSERT_TRUE(OvPumpUntil([&] { return t_record.ticks.size() == 2; }));
    EXPECT_EQ(t_record.ticks.back(), nested);
}

TEST_F(TimerTest, WindowTimersBelongToTheirWindow) {
    auto window = std::make_unique<COvMemoryWindow>(1, 1);
    EXPECT_EQ(SetTimer(window.get(), 7, 10, Tick), 7u);
    EXPECT_EQ(SetTimer(window.get(), 0, 10, Tick), 1u) << "id 0 of a window still succeeds";
    EXPECT_EQ(KillTimer(nullptr, 7), 0) << "a thread timer of that id does not exist";
    ASSERT_TRUE(OvPumpUntil([] { return t_record.ticks.size() >= 2; }));
    EXPECT_EQ(t_record.windows[0], window.get());

    // A window that goes takes its timers with it: no procedure sees a dead window.
    HWND gone = window.get();
    window.reset();
    EXPECT_EQ(KillTimer(gone, 7), 0);
    EXPECT_EQ(KillTimer(gone, 0), 0);
}

TEST_F(TimerTest, PumpWaitsForTheNextTimerOrTheLimit) {
    // Nothing due: the whole wait passes.
    auto before = m_Clock.Elapsed();
    EXPECT_EQ(OvPumpMessages(300), 0);
    EXPECT_EQ(m_Clock.Elapsed() - before, 300ms);

    // A timer due before the wait ends cuts it short, and runs.
    const OvTimerId id = Start(100);
    before = m_Clock.Elapsed();
    EXPECT_EQ(OvPumpMessages(5000), 1);
    EXPECT_EQ(m_Clock.Elapsed() - before, 100ms);
    EXPECT_EQ(t_record.ticks, std::vector<OvTimerId>{id});

    // A period of 0 is raised to the minimum, so a loop on it cannot spin.
    KillTimer(nullptr, id);
    Start(0);
    before = m_Clock.Elapsed();
    EXPECT_EQ(OvPumpMessages(5000), 1);
    EXPECT_EQ(m_Clock.Elapsed() - before, std::chrono::milliseconds(USER_TIMER_MINIMUM));

    // A pending quit request is not waited through.
    OvPostQuit(1);
    before = m_Clock.Elapsed();
    EXPECT_EQ(OvPumpMessages(300), 0);
    EXPECT_EQ(m_Clock.Elapsed(), before);
    EXPECT_EQ(OvRunMessageLoop(), 1);
}

// The real clock: a pump with nothing to do sleeps instead of spinning.
TEST(TimerRealClock, PumpSleepsWithoutSpinning) {
    const auto cpu = OvThreadCpuTime();
    const auto wall = std::chrono::steady_clock::now();
    EXPECT_EQ(OvPumpMessages(50), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - wall, 49ms);
    EXPECT_LT(OvThreadCpuTime() - cpu, 30ms);
}

// A thread's timers keep the time they had left when its clock is changed either way.
TEST(TimerRealClock, TimersKeepTheirTimeAcrossAClockChange) {
    t_record = Record();
    const OvTimerId id = SetTimer(nullptr, 0, 1000, Tick);
    {
        OvTestClock clock;
        clock.Advance(990ms);
        EXPECT_EQ(OvPumpMessages(0), 0);
        clock.Advance(10ms);
        EXPECT_EQ(OvPumpMessages(0), 1);
        clock.Advance(500ms);
    }
    // Back on the real clock, then on another test clock: about 500 ms are left.
    const auto lag = OvTimerNow() - std::chrono::steady_clock::now();
    EXPECT_LT(lag < 0ms ? -lag : lag, 1s);
    OvTestClock clock;
    clock.Advance(450ms);
    EXPECT_EQ(OvPumpMessages(0), 0);
    clock.Advance(100ms);
    EXPECT_EQ(OvPumpMessages(0), 1);
    EXPECT_EQ(t_record.ticks, (std::vector<OvTimerId>{id, id}));
    EXPECT_EQ(KillTimer(nullptr, id), 1);
}

TEST_F(TimerTest, MessageLoopRunsUntilQuit) {
    Start(10, Quit);
    EXPECT_EQ(OvRunMessageLoop(), 42);
    // A quit posted while no loop runs ends the next loop at once, once.
    OvPostQuit(3);
    EXPECT_EQ(OvRunMessageLoop(), 3);
}

// Timers of one thread never run on another, and the others cannot kill them.
TEST(TimerThreads, TimersRunOnlyOnTheThreadThatSetThem) {
    OvTestClock mainClock;
    constexpr int kThreads = 4;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::vector<OvTimerId>> own(kThreads);
    std::vector<std::vector<OvTimerId>> seen(kThreads);
    std::vector<int> foreignKills(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            OvTestClock threadClock;  // each thread runs by its own clock
            t_record = Record();
            for (int i = 0; i < 3; ++i) {
                own[t].push_back(SetTimer(nullptr, 0, 10, Tick));
            }
            ++ready;
            while (!go) {
                std::this_thread::yield();
            }
            // Everyone's ids are known now: try to kill the neighbour's.
            for (OvTimerId id : own[(t + 1) % kThreads]) {
                foreignKills[t] += KillTimer(nullptr, id);
            }
            OvPumpUntil([] { return t_record.ticks.size() >= 9; }, 10s);
            for (OvTimerId id : own[t]) {
                KillTimer(nullptr, id);
            }
            seen[t] = t_record.ticks;
        });
    }
    while (ready < kThreads) {
        std::this_thread::yield();
    }
    go = true;
    for (std::thread& thread : threads) {
        thread.join();
    }

    std::set<OvTimerId> all;
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(foreignKills[t], 0) << "thread " << t;
        EXPECT_GE(seen[t].size(), 9u) << "thread " << t;
        const std::set<OvTimerId> mine(own[t].begin(), own[t].end());
        for (OvTimerId id : seen[t]) {
            EXPECT_EQ(mine.count(id), 1u) << "thread " << t << " ran timer " << id;
        }
        all.insert(own[t].begin(), own[t].end());
    }
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * 3)) << "ids unique across threads";
    EXPECT_EQ(OvPumpMessages(30), 0) << "nothing of the other threads reaches this one";
}
