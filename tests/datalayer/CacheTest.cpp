// The cache: recency order, the budget and trimming, held records, the data-update
// flag and sharing by name.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "DataAccess.h"
#include "DataDoubles.h"
#include "DataFixture.h"
#include "OvControl.h"
#include "data/OvDataManager.h"
#include "data/OvLockCount.h"
#include "data/OvMemCache.h"

namespace {

std::uint32_t g_now = 0;
std::uint32_t FakeTick() {
    return g_now;
}

class CacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry.AddDataHandler(7, &handler);
        ASSERT_EQ(0, cache.Init(&control, &registry, 0));
        g_now = 1000;
        cache.SetTickSource(&FakeTick);
    }
    void TearDown() override {
        cache.RemoveAll();
        EXPECT_EQ(handler.made.load(), handler.freed.load());
        EXPECT_EQ(0, handler.faults);
    }

    // Caches an unlocked datum of `size` bytes under the next identity number.
    COvDataInfo Put(const std::string& name, int size, int flags = 0) {
        COvDataInfo info = MakeInfo(7, name, 0, flags);
        info.m_nDataID = ++m_nNextID;
        handler.sizeSetting = size;
        CQrMemoryReadStream stream(name.data(), name.size());
        int made = 0;
        void* data = handler.CreateData(&stream, &made);
        COvMemData* rec = cache.MakeRecord(info, data, made, "CacheTest", 1);
        rec->UnLock(&registry);
        return info;
    }
    // The cached names from the least recently used to the most recently used.
    std::vector<std::string> Listed() {
        std::vector<std::string> names;
        for (const auto& record : OvDataTestAccess::Records(cache))
            names.push_back(record.name);
        return names;
    }

    CountingHandler handler;
    COvDataManager registry;
    COvControl control;
    COvMemCache cache;
    int m_nNextID = 0;
};

using Names = std::vector<std::string>;

TEST_F(CacheTest, ForcedTrimEvictsLeastRecentlyUsedUnheldRecordsUntilUnderBudget) {
    struct Case {
        const char* title;
        unsigned int budget;
        bool touchA;  // look A up before the trim (makes it the most recently used)
        bool holdA;   // and keep the lock, then cache D
        Names left;
        long long total;
    } cases[] = {
        {"two of three go", 150, false, false, {"C"}, 100},
        {"stops once under budget", 250, false, false, {"B", "C"}, 200},
        {"budget 0 keeps all", 0, false, false, {"A", "B", "C"}, 300},
        {"a lookup refreshes", 150, true, false, {"A"}, 100},
        {"held and newest survive", 150, false, true, {"A", "D"}, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        cache.RemoveAll();
        cache.SetMaxMem(0);
        COvDataInfo a = Put("A", 100);
        Put("B", 100);
        Put("C", 100);
        COvMemData* held = nullptr;
        if (c.touchA || c.holdA)
            held = cache.Lookup(a);
        if (c.touchA) {
            held->UnLock(&registry);
            held = nullptr;
        }
        if (c.holdA)
            Put("D", 100);
        cache.SetMaxMem(c.budget);
        cache.ForceTrim();
        EXPECT_EQ(c.left, Listed());
        EXPECT_EQ(c.total, cache.GetStats().bytes);
        if (held != nullptr)
            held->UnLock(&registry);
    }
}

TEST_F(CacheTest, NewestRecordIsNeverEvictedAndUnforcedInsertsEvictNothing) {
    cache.SetMaxMem(100);
    Put("big", 500);
    Put("bigger", 600);  // over budget, but the flag is down
    EXPECT_EQ((Names{"big", "bigger"}), Listed());
    cache.ForceTrim();
    EXPECT_EQ(Names{"bigger"}, Listed());
    EXPECT_EQ(600, cache.GetStats().bytes);
    cache.ForceTrim();
    EXPECT_EQ(Names{"bigger"}, Listed());
}

TEST_F(CacheTest, HeldRecordOutlivesRemovalUntilItsLastUnlock) {
    COvDataInfo a = Put("A", 100);
    COvMemData* held = cache.Lookup(a);
    ASSERT_NE(nullptr, held);
    EXPECT_EQ(2, OvLockCount(held));
    EXPECT_TRUE(cache.Remove(a));
    EXPECT_EQ(0, a.m_nDataID);
    EXPECT_EQ(0, cache.GetStats().bytes);
    EXPECT_EQ(1, handler.Live());  // still valid for its holder
    EXPECT_EQ("A", static_cast<Payload*>(held->m_pData)->name);
    EXPECT_FALSE(cache.Remove(a));
    held->UnLock(&registry);
    EXPECT_EQ(0, handler.Live());
}

TEST_F(CacheTest, DataUpdateFlagFollowsTheTwoSecondRule) {
    cache.SetMaxMem(150);
    Put("A", 100);
    Put("B", 100);
    EXPECT_FALSE(cache.IsNeedUpdate()) << "no trim has run yet";
    g_now = 5000;
    EXPECT_TRUE(cache.ForceTrim());
    EXPECT_FALSE(cache.IsNeedUpdate());
    g_now = 6999;
    Put("C", 100);
    EXPECT_FALSE(cache.IsNeedUpdate()) << "1999 ms after the trim";
    g_now = 7000;
    Put("D", 100);
    EXPECT_TRUE(cache.IsNeedUpdate());
    cache.ForceTrim();
    EXPECT_FALSE(cache.IsNeedUpdate());

    // With no budget the flag never rises.
    cache.SetMaxMem(0);
    g_now = 100000;
    Put("E", 100);
    EXPECT_FALSE(cache.IsNeedUpdate());
    // A value with the top bit set is ignored.
    cache.SetMaxMem(0x80000000u);
    EXPECT_EQ(0u, cache.GetMaxMem());
}

TEST_F(CacheTest, SharedByNameFindsOneRecordAndRemovalKeepsOtherNames) {
    COvDataInfo first = Put("pic", 100, 1);
    struct Case {
        const char* name;
        int flags;
        bool found;
    } cases[] = {{"pic", 1, true}, {"pic", 0, false}, {"PIC", 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        COvDataInfo other = MakeInfo(7, c.name, 0, c.flags);
        COvMemData* rec = cache.Lookup(other);
        EXPECT_EQ(c.found, rec != nullptr);
        EXPECT_EQ(c.found ? first.m_nDataID : 0, other.m_nDataID);
        if (rec != nullptr)
            rec->UnLock(&registry);
    }

    // Another record of the name, not shared or a cancelled load of it that its loader
    // takes back, must leave the name with the record that holds it.
    COvDataInfo plain = Put("pic", 100, 0);
    EXPECT_TRUE(cache.Remove(plain));
    COvDataInfo cancelled = Put("pic", 100, 1);
    EXPECT_TRUE(cache.RemoveOwn(cancelled));
    COvDataInfo again = MakeInfo(7, "pic", 0, 1);
    COvMemData* rec = cache.Lookup(again);
    ASSERT_NE(nullptr, rec);
    EXPECT_EQ(first.m_nDataID, again.m_nDataID);
    rec->UnLock(&registry);
    EXPECT_TRUE(cache.Remove(again));
    EXPECT_EQ(nullptr, cache.Lookup(first));
}

TEST_F(CacheTest, HugeSizesNeitherWrapTheTotalNorDefeatTheBudget) {
    Put("huge-1", 0);
    Put("huge-2", 0);
    EXPECT_EQ(2LL * INT_MAX, cache.GetStats().bytes);
    cache.SetMaxMem(1000);
    cache.ForceTrim();
    EXPECT_EQ(Names{"huge-2"}, Listed());
    EXPECT_EQ(static_cast<long long>(INT_MAX), cache.GetStats().bytes);
}

// A loader gives back the cache's lock of a cancelled load while the client gives back
// its own: neither count may be lost, and the record is freed once, by the last.
TEST_F(CacheTest, LoaderAndClientReleasingOneRecordAtOnceFreeItOnce) {
    for (int round = 0; round < 200; ++round) {
        const COvDataInfo info = Put("R" + std::to_string(round), 10);
        COvDataInfo mine = info;
        COvMemData* held = cache.Lookup(mine);
        ASSERT_NE(nullptr, held);
        std::atomic<bool> go{false};
        std::thread loader([&] {
            while (!go.load()) {
            }
            cache.RemoveOwn(info);
        });
        go = true;
        held->UnLock(&registry);
        loader.join();
    }
    EXPECT_EQ(0, handler.Live());
}

// Without the registry an unlock cannot free the data: the lock stays the caller's.
TEST_F(CacheTest, UnlockWithoutRegistryKeepsTheLock) {
    COvDataInfo a = Put("A", 100);
    COvMemData* held = cache.Lookup(a);
    ASSERT_TRUE(cache.Remove(a));
    held->UnLock(nullptr);
    EXPECT_EQ(1, OvLockCount(held));
    EXPECT_EQ(1, handler.Live());
    held->UnLock(&registry);
    EXPECT_EQ(0, handler.Live());
}

TEST_F(CacheTest, SecondRecordUnderOneNumberReplacesTheFirst) {
    COvDataInfo a = Put("A", 100);
    --m_nNextID;  // the next record gets the same number
    Put("A", 50);
    EXPECT_EQ(Names{"A"}, Listed());
    EXPECT_EQ(50, cache.GetStats().bytes);
    EXPECT_EQ(1, handler.Live());
}

}  // namespace
