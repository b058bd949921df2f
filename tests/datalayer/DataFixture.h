// A running control with the counting handler registered for a test type and the
// name stream creator in front of the file creator.
#ifndef ORVANE_TESTS_DATALAYER_DATAFIXTURE_H
#define ORVANE_TESTS_DATALAYER_DATAFIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "DataDoubles.h"
#include "OvControl.h"
#include "OvData.h"
#include "data/OvMemManager.h"

// Polls cond until it holds; false after `seconds`.
inline bool WaitUntil(const std::function<bool()>& cond, double seconds = 10.0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline COvDataInfo MakeInfo(int type, const std::string& name, int priority = 0, int flags = 0) {
    COvDataInfo info;
    info.Init(type, name.c_str(), priority, flags);
    return info;
}

class DataFixture : public ::testing::Test {
protected:
    static constexpr int kType = 7;
    static constexpr int kShared = 1;

    void SetUp() override {
        ASSERT_EQ(0, control.Init(0, nullptr));
        mm = control.m_pMemManager;
        creator = new NameStreamCreator;
        control.AddStreamCreator(creator);
        control.AddDataHandler(kType, &handler);
    }
    void TearDown() override { control.Exit(); }

    COvDataInfo Info(const std::string& name, int priority = 0, int flags = 0) {
        return MakeInfo(kType, name, priority, flags);
    }
    // True when the queue is empty and every worker has ended (10 s at most).
    bool Settle() {
        return WaitUntil([this] {
            return mm->m_LoadingCue.GetCount() == 0 && mm->m_LoadingThread.GetRunningCount() == 0;
        });
    }
    // Whether the datum is in the cache, without queueing anything.
    bool Cached(COvDataInfo info) {
        COvMemData* rec = mm->m_Cache.Lookup(info);
        if (rec == nullptr)
            return false;
        mm->UnLockData(rec);
        return true;
    }
    // Queues info and watches, without asking again, until it is loaded (5 s at most).
    // Watching without a pause makes the next request land just as the worker that
    // served this one finds the queue empty.
    bool QueueAndAwait(COvDataInfo& info) {
        COvMemData* out = nullptr;
        if (control.GetData(&out, &info, nullptr) != OV_DATA_QUEUED)
            return false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!Cached(info)) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::yield();
        }
        return true;
    }

    CountingHandler handler;  // outlives the control
    COvControl control;
    COvMemManager* mm = nullptr;
    NameStreamCreator* creator = nullptr;
};

#endif
