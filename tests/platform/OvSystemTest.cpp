// The clock, MulDiv and temporary files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "OvPlatform.h"

namespace {

// Points $TMPDIR at a fresh private directory for the test, and cleans it afterwards.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        m_bHadOld = old != nullptr;
        m_strOld = old ? old : "";
        char pattern[] = "/tmp/OvTempTestXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_strDir = pattern;
        setenv("TMPDIR", m_strDir.c_str(), 1);
    }
    void TearDown() override {
        if (m_bHadOld) {
            setenv("TMPDIR", m_strOld.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        std::system(("rm -rf '" + m_strDir + "'").c_str());
    }
    std::string m_strDir;
    bool m_bHadOld = false;
    std::string m_strOld;
};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return st.st_mode;
}

}  // namespace

TEST(Clock, TickCountIsTheMonotonicClockInMilliseconds) {
    using namespace std::chrono;
    auto ms = [](steady_clock::time_point t) {
        return static_cast<std::uint32_t>(
            duration_cast<milliseconds>(t.time_since_epoch()).count());
    };
    const std::uint32_t before = ms(steady_clock::now());
    const std::uint32_t ticks = GetTickCount();
    const std::uint32_t after = ms(steady_clock::now());
    // Unsigned differences: right across the 32-bit wrap as well.
    EXPECT_LE(ticks - before, after - before);
}

TEST(MulDiv, RoundsHalfAwayFromZeroAndReportsWhatDoesNotFit) {
    struct Case {
        int number, numerator, denominator, result;
    } cases[] = {
        {12, 96, 72, 16},  // a 12-point font is 16 pixels tall
        {10, 96, 72, 13},  // 13.33
        {11, 96, 72, 15},  // 14.67
        {1, 1, 2, 1},      // 0.5 rounds up
        {-1, 1, 2, -1},    // -0.5 rounds down
        {3, 1, -2, -2},    // -1.5
        {-3, -1, -2, -2},  // -1.5
        {-3, 1, -2, 2},    // 1.5
        {7, 0, 3, 0},
        {5, 3, 0, -1},             // no divisor
        {INT_MAX, 2, 2, INT_MAX},  // the product is computed in 64 bits
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
        {INT_MIN, 1, 1, INT_MIN},
        {INT_MAX, 2, 1, -1},  // does not fit
        {INT_MIN, -1, 1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.result)
            << c.number << " * " << c.numerator << " / " << c.denominator;
    }
}

TEST_F(TempDirTest, CreatesNewPrivateFilesInTheTemporaryDirectory) {
    EXPECT_EQ(OvGetTempDir(), m_strDir);
    setenv("TMPDIR", (m_strDir + "//").c_str(), 1);
    EXPECT_EQ(OvGetTempDir(), m_strDir) << "trailing slashes dropped";

    // The mode is 0600 even under a permissive umask.
    const mode_t oldMask = umask(0);
    std::string path;
    const int result = OvCreateTempFile("OvText", ".bmp", path);
    umask(oldMask);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(path.rfind(m_strDir + "/OvText", 0), 0u) << path;
    EXPECT_EQ(path.substr(path.size() - 4), ".bmp");
    EXPECT_TRUE(S_ISREG(ModeOf(path)));
    EXPECT_EQ(ModeOf(path) & 07777, static_cast<mode_t>(0600));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);

    std::string other;
    ASSERT_EQ(OvCreateTempFile("OvText", nullptr, other), 0);
    EXPECT_NE(other, path);
    ASSERT_EQ(OvCreateTempFile(nullptr, nullptr, other), 0) << "no prefix is allowed";
}

TEST_F(TempDirTest, RefusesBadNamesAndMissingDirectories) {
    std::string path = "stale";
    EXPECT_EQ(OvCreateTempFile("../OvText", nullptr, path), OV_WND_E_ARGUMENT);
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(OvCreateTempFile("Ov", "/x", path), OV_WND_E_ARGUMENT);
    EXPECT_EQ(OvCreateTempFile(std::string(300, 'a').c_str(), nullptr, path), OV_WND_E_ARGUMENT);

    setenv("TMPDIR", (m_strDir + "/missing").c_str(), 1);
    path = "stale";
    EXPECT_EQ(OvCreateTempFile("OvText", nullptr, path), OV_E_FILE);
    EXPECT_TRUE(path.empty());

    // A directory the process may not write to.
    if (geteuid() != 0) {
        const std::string locked = m_strDir + "/locked";
        ASSERT_EQ(mkdir(locked.c_str(), 0500), 0);
        setenv("TMPDIR", locked.c_str(), 1);
        EXPECT_EQ(OvCreateTempFile("OvText", nullptr, path), OV_E_FILE);
    }
}

// Every call from every thread gets its own new file; none is reused or overwritten.
TEST_F(TempDirTest, UniqueUnderManyCallsFromSeveralThreads) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 200;
    std::mutex mutex;
    std::vector<std::string> paths;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::vector<std::string> mine;
            for (int i = 0; i < kPerThread; ++i) {
                std::string path;
                if (OvCreateTempFile("OvText", nullptr, path) != 0) {
                    ++failures[t];
                    continue;
                }
                // Mark the file: a second hand-out of the same file would show as a
                // non-empty "new" file or a lost mark.
                FILE* file = std::fopen(path.c_str(), "r+");
                if (!file || std::fgetc(file) != EOF) {
                    ++failures[t];
                }
                if (file) {
                    std::fprintf(file, "%d:%d", t, i);
                    std::fclose(file);
                }
                mine.push_back(path);
            }
            std::lock_guard<std::mutex> lock(mutex);
            paths.insert(paths.end(), mine.begin(), mine.end());
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], 0) << "thread " << t;
    }
    const std::set<std::string> unique(paths.begin(), paths.end());
    EXPECT_EQ(unique.size(), static_cast<std::size_t>(kThreads * kPerThread));
}
