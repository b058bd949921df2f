// The loading queue, the loading threads and the memory manager's get paths.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DataAccess.h"
#include "DataDoubles.h"
#include "DataFixture.h"
#include "FailingAlloc.h"
#include "OvLog.h"
#include "data/OvLoadingCue.h"
#include "data/OvLoadingThread.h"

namespace {

// ---------------------------------------------------------------------------
// The queue on its own
// ---------------------------------------------------------------------------

TEST(LoadingCue, ServesUrgentThenOrdinaryNewestFirstAndMovesRepeats) {
    COvLoadingCue cue;
    COvDataInfo o1 = MakeInfo(7, "o1"), u1 = MakeInfo(7, "u1", 1);
    COvDataInfo o2 = MakeInfo(7, "o2"), u2 = MakeInfo(7, "u2", 1);
    for (COvDataInfo* info : {&o1, &u1, &o2, &u2})
        EXPECT_EQ(COvLoadingCue::kNewRequest, cue.Add(*info));
    EXPECT_EQ((std::vector<int>{u2.m_nDataID, u1.m_nDataID, o2.m_nDataID, o1.m_nDataID}),
              cue.GetOrder());
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}),
              (std::vector<int>{o1.m_nDataID, u1.m_nDataID, o2.m_nDataID, u2.m_nDataID}));

    // A repeated request moves to the front of its own class and keeps its number.
    EXPECT_EQ(COvLoadingCue::kPendingRequest, cue.Add(o1));
    EXPECT_EQ(COvLoadingCue::kPendingRequest, cue.Add(u1));
    EXPECT_EQ((std::vector<int>{2, 4, 1, 3}), cue.GetOrder());

    // Finishing the insertion point hands it to the next ordinary request.
    EXPECT_EQ(COvLoadingCue::kFinished, cue.Finish(o1));
    EXPECT_EQ(COvLoadingCue::kNoRequest, cue.Finish(o1));
    COvDataInfo o3 = MakeInfo(7, "o3");
    EXPECT_EQ(COvLoadingCue::kNewRequest, cue.Add(o3));
    EXPECT_EQ((std::vector<int>{2, 4, 5, 3}), cue.GetOrder());
}

TEST(LoadingCue, MatchesByNumberAndNameOrBySharedName) {
    COvLoadingCue cue;
    COvDataInfo shared = MakeInfo(7, "x", 0, 1);
    EXPECT_EQ(COvLoadingCue::kNewRequest, cue.Add(shared));
    struct Case {
        const char* title;
        COvDataInfo info;
        int result;
        bool sameNumber;
    } cases[] = {
        {"shared name", MakeInfo(7, "x", 0, 1), COvLoadingCue::kPendingRequest, true},
        {"same name, not shared", MakeInfo(7, "x"), COvLoadingCue::kNewRequest, false},
        {"other case", MakeInfo(7, "X", 0, 1), COvLoadingCue::kNewRequest, false},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(c.result, cue.Add(c.info));
        EXPECT_EQ(c.sameNumber, c.info.m_nDataID == shared.m_nDataID);
    }
    // A stale number with a different name is no match.
    COvDataInfo stale = MakeInfo(7, "y");
    stale.m_nDataID = shared.m_nDataID;
    EXPECT_EQ(COvLoadingCue::kNoRequest, cue.Finish(stale));
}

TEST(LoadingCue, WaitersAreReleasedEvenWhenTheyArriveAfterTheSignal) {
    COvLoadingCue cue;
    COvDataInfo info = MakeInfo(7, "a");
    std::shared_ptr<COvLoadEvent> wait;
    EXPECT_EQ(COvLoadingCue::kNewRequest, cue.Claim(info, &wait));  // new: this caller loads it
    EXPECT_EQ(nullptr, wait);
    COvDataInfo other = MakeInfo(7, "b");
    EXPECT_EQ(COvLoadingCue::kNewRequest, cue.Add(other));
    EXPECT_EQ(COvLoadingCue::kPendingRequest,
              cue.Claim(other, &wait));  // waiting: taken by this caller

    std::shared_ptr<COvLoadEvent> late;
    EXPECT_EQ(COvLoadingCue::kWaitForOther, cue.Claim(info, &late));
    ASSERT_NE(nullptr, late);
    EXPECT_EQ(COvLoadingCue::kFinished, cue.FinishOwn(info));
    late->Wait();  // the request is gone; the event is not

    std::shared_ptr<COvLoadEvent> cancelled;
    EXPECT_EQ(COvLoadingCue::kWaitForOther, cue.Claim(other, &cancelled));
    std::thread waiter([&] { cancelled->Wait(); });
    cue.RemoveAll();
    waiter.join();
    EXPECT_EQ(0, cue.GetCount());

    std::atomic<bool> idle{false};
    COvDataInfo taken;
    EXPECT_FALSE(cue.TakeNext(taken, &idle));
    EXPECT_TRUE(idle);
}

// ---------------------------------------------------------------------------
// Threads
// ---------------------------------------------------------------------------

// The system refuses the first `failures` threads; a worker may be held after it
// has left its loop and before its thread returns.
class TestThreads final : public COvLoadingThread {
public:
    int failures = 0;
    std::atomic<bool> holdTail{false};
    std::atomic<bool> releaseTail{false};

protected:
    bool Launch(Worker* worker) override {
        if (failures > 0) {
            --failures;
            return false;
        }
        const COvLoadingContext* context = Context();
        worker->thread = std::thread([this, context, worker] {
            worker->exitCode = Start(context, &worker->done);
            // A thread that has left its loop but not yet returned.
            if (holdTail)
                WaitUntil([this] { return releaseTail.load(); });
            worker->done = true;
            worker->exited = true;
        });
        return true;
    }
};

// The queue, cache and threads without a manager around them.
class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, control.Init(0, nullptr));
        registry.AddDataHandler(7, &handler);
        creators.Add(new NameStreamCreator);
        ASSERT_EQ(0, cache.Init(&control, &registry, 0));
        threads.Init(COvLoadingContext{&control, &creators, &registry, &cache, &cue});
    }
    void TearDown() override {
        threads.releaseTail = true;
        threads.WaitAll();
        cache.RemoveAll();
        EXPECT_EQ(0, handler.Live());
    }
    bool Loaded(COvDataInfo info) {
        COvMemData* rec = cache.Lookup(info);
        if (rec != nullptr)
            rec->UnLock(&registry);
        return rec != nullptr;
    }

    CountingHandler handler;
    COvControl control;
    COvDataManager registry;
    COvStreamCreatorList creators;
    COvMemCache cache;
    COvLoadingCue cue;
    TestThreads threads;
};

TEST_F(ThreadTest, RefusedThreadLeavesItsRequestForTheNextStart) {
    threads.failures = 1;
    COvDataInfo info = MakeInfo(7, "a");
    ASSERT_EQ(COvLoadingCue::kNewRequest, cue.Add(info));
    threads.AddThread();
    EXPECT_EQ(0, threads.GetRunningCount());
    EXPECT_EQ(1, cue.GetCount());
    COvString line;
    EXPECT_EQ(OV_E_NOMEMORY, control.m_pLog->GetLastError(line));

    threads.EnsureThread();
    EXPECT_TRUE(WaitUntil([&] { return Loaded(info); }));
}

TEST_F(ThreadTest, WorkerThatFoundTheQueueEmptyNoLongerCounts) {
    threads.holdTail = true;  // the first worker stays alive after deciding to end
    COvDataInfo first = MakeInfo(7, "first");
    ASSERT_EQ(COvLoadingCue::kNewRequest, cue.Add(first));
    threads.AddThread();
    ASSERT_TRUE(WaitUntil([&] { return Loaded(first) && threads.GetRunningCount() == 0; }));

    threads.holdTail = false;
    COvDataInfo second = MakeInfo(7, "second");
    ASSERT_EQ(COvLoadingCue::kNewRequest, cue.Add(second));
    threads.AddThread();  // limit 1, but the ending worker must not block this start
    EXPECT_TRUE(WaitUntil([&] { return Loaded(second); }));
}

class LoadingTest : public DataFixture {};

TEST_F(LoadingTest, WorkersStayWithinTheLimitAndServeEveryRequest) {
    struct Case {
        int limit;
        int requests;
        int atGate;        // workers held at the gate
        int runningAfter;  // after one more new request and a repeat
    } cases[] = {{1, 3, 1, 1}, {3, 5, 3, 3}, {10, 4, 4, 5}};
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        ++round;
        handler.Close();
        control.BeginDraw(c.limit);
        std::vector<COvDataInfo> infos;
        for (int i = 0; i < c.requests; ++i) {
            infos.push_back(Info("slow-" + std::to_string(round) + "-" + std::to_string(i)));
            COvMemData* out = nullptr;
            EXPECT_EQ(OV_DATA_QUEUED, control.GetData(&out, &infos.back(), nullptr));
            EXPECT_EQ(nullptr, out);
        }
        ASSERT_TRUE(handler.WaitForGate(c.atGate));
        // One more, and a repeat: neither may start a thread past the limit.
        infos.push_back(Info("slow-extra-" + std::to_string(round)));
        COvMemData* out = nullptr;
        EXPECT_EQ(OV_DATA_QUEUED, control.GetData(&out, &infos.back(), nullptr));
        EXPECT_EQ(OV_DATA_QUEUED, control.GetData(&out, &infos.front(), nullptr));
        EXPECT_EQ(c.runningAfter, mm->m_LoadingThread.GetRunningCount());
        handler.Open();
        ASSERT_TRUE(Settle());
        for (const COvDataInfo& info : infos)
            EXPECT_TRUE(Cached(info));
    }
    EXPECT_EQ((3 + 1) + (5 + 1) + (4 + 1), handler.created);
}

TEST_F(LoadingTest, RequestQueuedAsTheOnlyWorkerEndsIsStillLoaded) {
    // Each request lands while the previous worker may be deciding to end; nothing
    // re-asks, so a stranded request would never be loaded.
    for (int i = 0; i < 300; ++i) {
        COvDataInfo info = Info("gap-" + std::to_string(i));
        ASSERT_TRUE(QueueAndAwait(info)) << "request " << i;
    }
}

// A worker that cannot record a failed load goes on with the requests behind it:
// nothing asks again, so a worker that ended there would strand them.
TEST_F(LoadingTest, WorkerWithoutRecordForAFailedLoadServesTheRest) {
    handler.Close();
    COvDataInfo failing = Info("slow-bad");
    COvMemData* out = nullptr;
    ASSERT_EQ(OV_DATA_QUEUED, control.GetData(&out, &failing, nullptr));
    ASSERT_TRUE(handler.WaitForGate(1));
    std::vector<COvDataInfo> behind = {Info("behind-1"), Info("behind-2")};
    for (COvDataInfo& info : behind)
        ASSERT_EQ(OV_DATA_QUEUED, control.GetData(&out, &info, nullptr));
    OvFailAllocations(sizeof(COvMemData), 1);
    handler.Open();
    EXPECT_TRUE(WaitUntil([&] { return Cached(behind[0]) && Cached(behind[1]); }, 5.0));
    OvFailAllocations(0, 0);
    COvString line;
    EXPECT_EQ(OV_DATA_NO_RECORD, control.m_pLog->GetLastError(line));
}

TEST_F(LoadingTest, FailedLoadsAreRememberedUntilDeleted) {
    struct Case {
        const char* name;
        int priority;
        int openedOnCaller;  // streams opened by the first call itself
    } cases[] = {{"bad-queued", 0, 0}, {"missing-now", 2, 1}, {"bad-now", 2, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        COvDataInfo info = Info(c.name, c.priority);
        COvMemData* out = nullptr;
        const int opened = creator->opened;
        EXPECT_EQ(OV_DATA_QUEUED, control.GetData(&out, &info, nullptr));
        const int openedFirst = creator->opened - opened;
        EXPECT_GE(openedFirst, c.openedOnCaller);
        ASSERT_TRUE(Settle());
        const int before = creator->opened;
        EXPECT_EQ(OV_DATA_FAILED, control.GetData(&out, &info, nullptr));
        EXPECT_EQ(OV_DATA_FAILED, control.GetData(&out, &info, nullptr));
        EXPECT_EQ(nullptr, out);
        EXPECT_EQ(before, creator->opened) << "a remembered failure opens nothing";
        control.Delete(&info);
        EXPECT_EQ(0, info.m_nDataID);
        EXPECT_EQ(OV_DATA_QUEUED, control.GetData(&out, &info, nullptr));
        ASSERT_TRUE(Settle());
        EXPECT_GT(creator->opened, before);
    }
}

TEST_F(LoadingTest, SubstitutesStandInWhileTheDatumLoads) {
    COvDataInfo s2 = Info("s2", 2);
    COvMemData* out = nullptr;
    ASSERT_EQ(0, control.GetData(&out, &s2, nullptr));
    control.UnLockData(out);
    s2.m_nPriority = 0;
    COvDataInfo s1 = Info("s1");
    CPtrList substitutes;
    substitutes.AddTail(&s1);
    substitutes.AddTail(&s2);

    handler.Close();
    COvDataInfo wanted = Info("slow-wanted");
    EXPECT_EQ(OV_DATA_QUEUED, control.GetData(&out, &wanted, &substitutes));
    ASSERT_NE(nullptr, out);
    EXPECT_EQ("s2", static_cast<Payload*>(out->m_pData)->name);
    EXPECT_EQ(2, out->m_nLock);
    control.UnLockData(out);

    // A priority-2 substitute that is not in memory is loaded on this thread.
    s1.m_nPriority = 2;
    EXPECT_EQ(OV_DATA_QUEUED, control.GetData(&out, &wanted, &substitutes));
    ASSERT_NE(nullptr, out);
    EXPECT_EQ("s1", static_cast<Payload*>(out->m_pData)->name);
    control.UnLockData(out);

    COvMemData* checked = nullptr;
    COvDataInfo absent = Info("absent");
    CPtrList none;
    none.AddTail(&absent);
    EXPECT_EQ(0, control.CheckData(&checked, &none));
    EXPECT_EQ(nullptr, checked);
    handler.Open();
}

TEST_F(LoadingTest, PriorityTwoWaitsForTheWorkersLoadInsteadOfLoadingTwice) {
    struct Case {
        const char* title;
        int flags;
        bool sameDescriptor;
    } cases[] = {{"same number", 0, true}, {"same shared name", 1, false}};
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const std::string name = "slow-p2-" + std::to_string(++round);
        handler.Close();
        const int created = handler.created;
        COvDataInfo queued = Info(name, 0, c.flags);
        COvMemData* out = nullptr;
        ASSERT_EQ(OV_DATA_QUEUED, control.GetData(&out, &queued, nullptr));
        ASSERT_TRUE(handler.WaitForGate(1));

        // Opens the gate once the priority-2 caller waits on the request's event.
        std::thread opener([&] {
            WaitUntil(
                [&] { return OvDataTestAccess::HasWaiter(mm->m_LoadingCue, queued.m_nDataID); });
            handler.Open();
        });
        COvDataInfo now = c.sameDescriptor ? queued : Info(name, 0, c.flags);
        now.m_nPriority = 2;
        EXPECT_EQ(0, control.GetData(&out, &now, nullptr));
        opener.join();
        ASSERT_NE(nullptr, out);
        EXPECT_EQ(queued.m_nDataID, now.m_nDataID);
        EXPECT_EQ(name, static_cast<Payload*>(out->m_pData)->name);
        EXPECT_EQ(created + 1, handler.created);
        control.UnLockData(out);
        ASSERT_TRUE(Settle());
    }
}

TEST_F(LoadingTest, DeleteWhileAWorkerLoadsDropsItsRecord) {
    handler.Close();
    COvDataInfo info = Info("slow-deleted");
    COvMemData* out = nullptr;
    ASSERT_EQ(OV_DATA_QUEUED, control.GetData(&out, &info, nullptr));
    const int first = info.m_nDataID;
    ASSERT_TRUE(handler.WaitForGate(1));
    COvDataInfo old = info;
    control.Delete(&info);
    EXPECT_EQ(0, info.m_nDataID);
    handler.Open();
    ASSERT_TRUE(Settle());
    EXPECT_FALSE(Cached(old));
    EXPECT_EQ(0, handler.Live());
    EXPECT_EQ(OV_DATA_QUEUED, control.GetData(&out, &info, nullptr));
    EXPECT_NE(first, info.m_nDataID);
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(Cached(info));

    // Deleting everything while workers load leaves nothing behind either.
    handler.Close();
    control.BeginDraw(4);
    std::vector<COvDataInfo> infos;
    for (int i = 0; i < 8; ++i) {
        infos.push_back(Info("slow-all-" + std::to_string(i)));
        control.GetData(&out, &infos.back(), nullptr);
    }
    ASSERT_TRUE(handler.WaitForGate(4));
    control.Delete();
    handler.Open();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(0, mm->m_Cache.GetStats().records);
    EXPECT_EQ(0, handler.Live());
}

TEST_F(LoadingTest, ExitWithAFullQueueWaitsOnlyForLoadsInFlight) {
    handler.Close();
    control.BeginDraw(2);
    std::vector<COvDataInfo> infos(1000);
    for (int i = 0; i < 1000; ++i) {
        infos[i] = Info("slow-exit-" + std::to_string(i));
        COvMemData* out = nullptr;
        control.GetData(&out, &infos[i], nullptr);
    }
    ASSERT_TRUE(handler.WaitForGate(2));
    COvLoadingCue* cue = &mm->m_LoadingCue;
    std::thread opener([&] {
        WaitUntil([&] { return cue->GetCount() == 0; });  // Exit has cancelled the queue
        handler.Open();
    });
    control.Exit();
    opener.join();
    EXPECT_EQ(nullptr, control.m_pMemManager);
    EXPECT_EQ(2, handler.created);
    EXPECT_EQ(handler.made.load(), handler.freed.load());
    EXPECT_EQ(0, handler.Live());
    EXPECT_EQ(1, handler.freedHandler);
}

}  // namespace
