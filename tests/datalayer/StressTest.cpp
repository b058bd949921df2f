// Up to ten loading threads against a client thread that gets, unlocks, deletes,
// changes the budget and the thread limit, trims and waits for quiet at random; then
// Exit. The same with real pictures of several sizes whose memory moves through the
// pixel pool. Run under ThreadSanitizer and AddressSanitizer too.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "DataAccess.h"
#include "DataDoubles.h"
#include "DataFixture.h"
#include "Pixmere.h"
#include "PxCodec.h"

namespace {

// Ends the process with a message when the test has not finished in time: a
// deadlock fails the run instead of hanging it.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : m_Thread([this, limit] {
              std::unique_lock<std::mutex> guard(m_Lock);
              if (!m_Done.wait_for(guard, limit, [this] { return m_bDone; })) {
                  std::fprintf(stderr, "watchdog: no progress for %lld s, deadlock?\n",
                               static_cast<long long>(limit.count()));
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> guard(m_Lock);
            m_bDone = true;
        }
        m_Done.notify_all();
        m_Thread.join();
    }

private:
    std::mutex m_Lock;
    std::condition_variable m_Done;
    bool m_bDone = false;
    std::thread m_Thread;
};

class StressTest : public DataFixture {
protected:
    // Under the cache's lock, so that no worker inserts in between: after a forced
    // trim the total is under budget, or every record but the newest is held.
    void TrimAndCheckBudget() {
        COvMemCache& cache = mm->m_Cache;
        std::vector<OvDataTestAccess::Record> records;
        long long total = 0;
        unsigned int budget = 0;
        OvDataTestAccess::Locked(cache, [&] {
            control.EndDraw();
            budget = cache.GetMaxMem();
            total = cache.GetStats().bytes;
            records = OvDataTestAccess::Records(cache);
        });
        if (budget == 0 || total < budget)
            return;
        for (std::size_t i = 0; i + 1 < records.size(); ++i)
            ASSERT_GE(records[i].locks, 2) << "an unheld record was left over budget";
        ++m_nChecked;
    }

    int m_nChecked = 0;
};

// Loads take milliseconds, so that deletes meet data in flight and priority-2 callers
// wait for names being loaded; now and then the client waits for quiet with the
// thread limit low, where a request left without a worker would never be served.
// The cache checks its own invariants on every step in builds with assertions.
TEST_F(StressTest, RandomClientWorkAgainstSlowWorkersEndsCleanly) {
    Watchdog watchdog(std::chrono::seconds(60));
    handler.loadMicros = 1500;
    std::mt19937 random(20261207);

    std::vector<COvDataInfo> pool;
    for (int i = 0; i < 160; ++i) {
        std::string name = (i % 23 == 0   ? "bad-"
                            : i % 29 == 0 ? "missing-"
                            : i % 31 == 0 ? "huge-"
                                          : "item-") +
                           std::to_string(i % 60);  // names repeat, across priorities too
        const int priority = i % 7 == 0 ? 2 : i % 5 == 0 ? 1 : 0;
        pool.push_back(Info(name, priority, i % 3 == 0 ? kShared : 0));
    }
    CPtrList substitutes;
    for (int i = 0; i < 4; ++i)
        substitutes.AddTail(&pool[static_cast<std::size_t>(i * 7 + 1)]);

    std::vector<COvMemData*> held;
    long long gets = 0;
    int quiet = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < end) {
        const int op = static_cast<int>(random() % 100);
        COvDataInfo& info = pool[random() % pool.size()];
        if (op < 55) {
            COvMemData* out = nullptr;
            const int code =
                control.GetData(&out, &info, random() % 4 == 0 ? &substitutes : nullptr);
            ++gets;
            ASSERT_TRUE(code == 0 || code == OV_DATA_QUEUED || code == OV_DATA_FAILED) << code;
            if (code == 0) {
                ASSERT_NE(nullptr, out);
                ASSERT_EQ(std::string(info.m_strName), static_cast<Payload*>(out->m_pData)->name);
            }
            if (out != nullptr)
                held.push_back(out);
        } else if (op < 78) {
            if (!held.empty()) {
                const std::size_t at = random() % held.size();
                control.UnLockData(held[at]);
                held[at] = held.back();
                held.pop_back();
            }
        } else if (op < 86) {
            control.Delete(&info);
        } else if (op < 87) {
            control.Delete();
        } else if (op < 90) {
            static const unsigned int budgets[] = {0, 300, 1000, 5000, 0x80000000u};
            control.SetMaxMem(budgets[random() % 5]);
        } else if (op < 93) {
            control.BeginDraw(1 + static_cast<int>(random() % 10));
        } else if (op < 94) {
            // One worker, each request landing as it finds the queue empty.
            control.BeginDraw(1);
            ASSERT_TRUE(Settle()) << "a request was left without a worker";
            for (int i = 0; i < 3; ++i) {
                COvDataInfo fresh = Info("fresh-" + std::to_string(quiet++));
                ASSERT_TRUE(QueueAndAwait(fresh)) << "a request was left without a worker";
            }
        } else {
            TrimAndCheckBudget();
            if (HasFatalFailure())
                break;
        }
    }
    for (COvMemData* rec : held)
        control.UnLockData(rec);
    held.clear();
    // Every request is served or cancelled: none is left waiting for a worker.
    ASSERT_TRUE(Settle()) << "a request was left without a worker";
    control.Exit();

    EXPECT_GT(gets, 100);
    EXPECT_GT(quiet, 0);
    EXPECT_GT(m_nChecked, 0);
    EXPECT_GT(handler.made, 0);
    EXPECT_EQ(handler.made.load(), handler.freed.load()) << "every datum freed exactly once";
    EXPECT_EQ(0, handler.faults);
    EXPECT_EQ(0, handler.Live());
}

// Pictures of three sizes (PNG and BMP) under a budget of a few pictures, so that
// nearly every load evicts one and decodes into memory that carried another picture,
// of this size or not. Every picture handed out must be whole and its own; copies
// kept by the client must survive evictions, deletes and Exit.
TEST(PictureStress, PicturesOfSeveralSizesMoveThroughThePool) {
    Watchdog watchdog(std::chrono::seconds(60));
    static const int kSizes[3][2] = {{24, 16}, {41, 30}, {64, 48}};
    constexpr int kPictures = 36;
    const auto colourOf = [](int i) {
        return CPxRGB{(i * 40) % 256, (i * 90 + 20) % 256, (i * 7 + 200) % 256};
    };
    COvControl control;
    const unsigned int budget = 6 * (3 * 64 * 48 + 64);
    ASSERT_EQ(0, control.Init(budget, nullptr));
    auto* memory = new CQrMemoryStreamCreator;
    std::vector<COvDataInfo> infos;
    for (int i = 0; i < kPictures; ++i) {
        CPxImageData24 picture;
        ASSERT_EQ(0, picture.NewImage(kSizes[i % 3][0], kSizes[i % 3][1]));
        for (int y = 0; y < picture.GetHeight(); ++y) {
            for (int x = 0; x < picture.GetWidth(); ++x)
                picture.SetPixel(x, y, colourOf(i));
        }
        std::vector<unsigned char> file;
        ASSERT_EQ(0, i % 2 == 0 ? PxEncodePng(picture, file) : PxEncodeBmp(picture, file));
        const std::string name = "picture-" + std::to_string(i);
        memory->RegisterBuffer(name.c_str(), file.data(), file.size());
        infos.push_back(MakeInfo(1, name, i % 5 == 0 ? 2 : 0));
    }
    control.AddStreamCreator(memory);
    control.BeginDraw(4);

    // Whole and its own: the corners and the middle have the picture's colour.
    const auto check = [&](const COvMemData* data, int i) {
        const auto* picture = static_cast<const CPxImageData24*>(data->m_pData);
        ASSERT_EQ(kSizes[i % 3][0], picture->GetWidth());
        const int w = picture->GetWidth(), h = picture->GetHeight();
        for (const CPx2DPoint p :
             {CPx2DPoint{0, 0}, CPx2DPoint{w - 1, h - 1}, CPx2DPoint{w / 2, h / 2}}) {
            CPxRGB c{};
            ASSERT_TRUE(picture->GetPixel(p.x, p.y, c));
            ASSERT_EQ(colourOf(i).g, c.g) << "picture " << i << " at " << p.x << "," << p.y;
        }
    };
    std::mt19937 random(20270114);
    std::vector<std::pair<COvMemData*, int>> held;
    std::vector<std::pair<CPxImageData24, int>> copies;
    long long ready = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < end && !::testing::Test::HasFatalFailure()) {
        const int op = static_cast<int>(random() % 100);
        const int i = static_cast<int>(random() % kPictures);
        if (op < 60) {
            COvMemData* data = nullptr;
            const int code = control.GetData(&data, &infos[static_cast<std::size_t>(i)], nullptr);
            ASSERT_TRUE(code == 0 || code == OV_DATA_QUEUED) << code;
            if (code != 0)
                continue;
            ++ready;
            check(data, i);
            if (copies.size() < 8 && random() % 8 == 0)
                copies.emplace_back(*static_cast<CPxImageData24*>(data->m_pData), i);
            held.emplace_back(data, i);
        } else if (op < 85) {
            if (!held.empty()) {
                const std::size_t at = random() % held.size();
                control.UnLockData(held[at].first);
                held[at] = held.back();
                held.pop_back();
            }
            control.EndDraw();
        } else if (op < 91) {
            control.Delete(&infos[static_cast<std::size_t>(i)]);
        } else if (op < 92) {
            control.Delete();
        } else if (op < 96) {
            control.SetMaxMem(random() % 4 == 0 ? budget / 3 : budget);
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    const long long recycled = control.m_pMemManager->GetPixelPool()->GetStats().reused;
    for (auto& entry : held) {
        check(entry.first, entry.second);
        control.UnLockData(entry.first);
    }
    control.Exit();  // loads may still be in flight, their memory on the way back
    for (auto& copy : copies) {
        CPxRGB c{};
        ASSERT_TRUE(copy.first.GetPixel(0, 0, c));
        EXPECT_EQ(colourOf(copy.second).g, c.g);
    }
    EXPECT_GT(ready, 100);
    EXPECT_GT(recycled, 0);
}

}  // namespace
