#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "OvLog.h"

namespace {

std::string TempPath(const std::string& name) {
    return testing::TempDir() + "ovlog_" + std::to_string(getpid()) + "_" + name;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// True when text has the shape of pattern, where '9' stands for any digit.
bool HasShape(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i])
            return false;
    }
    return true;
}

std::string LastLine(COvLog& log, int* code = nullptr) {
    COvString text;
    const int last = log.GetLastError(text);
    if (code)
        *code = last;
    return std::string(text);
}

TEST(Log, PlaceholdersAreReplacedInTheirFixedOrder) {
    struct Case {
        const char* format;
        const char* className;
        const char* function;
        int code;
        const char* info;
        const char* expected;
    };
    const Case cases[] = {
        // The control's template.
        {"[[c]] [[f]] [[i]] [[m]]", "COvCamera", "Roll", -7, "", "[COvCamera] [Roll] [-7] []"},
        // "[i]" comes after "[m]": a detail holding "[i]" gets the code.
        {"[m]", "C", "F", 42, "code=[i]", "code=42"},
        // "[c]" comes before "[m]": a class name holding "[m]" gets the detail.
        {"[c]|[m]|[i]", "A[m]", "F", 7, "x[i]", "Ax7|x7|7"},
        // Null texts replace their placeholder by nothing.
        {"<[c]><[f]><[m]>", nullptr, nullptr, 0, nullptr, "<><><>"},
        // No placeholders: the template unchanged.
        {"plain text", "C", "F", 1, "I", "plain text"},
        // Inserted text is not scanned again within one step.
        {"[f][f]", "C", "[f]", 1, "I", "[f][f]"},
    };
    for (const Case& c : cases) {
        COvLog log;
        ASSERT_EQ(log.Init(nullptr, c.format), 0);
        log.Logout(c.className, c.function, c.code, c.info, 1);
        int code = 0;
        EXPECT_EQ(LastLine(log, &code), c.expected) << c.format;
        EXPECT_EQ(code, c.code);
    }
}

TEST(Log, DateAndTimeAppearWhereverTheirPlaceholdersStand) {
    COvLog log;
    log.Init(nullptr, "[d] [t] [d]");
    log.Logout("C", "F", 0, "", 0);
    const std::string line = LastLine(log);
    ASSERT_TRUE(HasShape(line, "9999/99/99 99:99:99 9999/99/99")) << line;
    EXPECT_EQ(line.substr(0, 10), line.substr(20, 10));
}

TEST(Log, IntegerDetailReadsAsItsDecimalText) {
    COvLog a, b;
    a.Init(nullptr, "[m]/[i]");
    b.Init(nullptr, "[m]/[i]");
    a.Logout("C", "F", 3, -42, 1);
    b.Logout("C", "F", 3, "-42", 1);
    EXPECT_EQ(LastLine(a), LastLine(b));
    EXPECT_EQ(LastLine(a), "-42/3");
}

TEST(Log, LinesReachTheFileAtOnceAndFilesChangeOnInit) {
    const std::string first = TempPath("first.log");
    const std::string second = TempPath("second.log");
    std::remove(first.c_str());
    std::remove(second.c_str());
    {
        std::ofstream existing(first);
        existing << "kept\n";
    }
    COvLog log;
    ASSERT_EQ(log.Init(first.c_str(), "[c] [i]"), 0);
    log.Logout("One", "F", 0, "", 1);
    // Flushed before Logout returns: readable while the file is still open.
    EXPECT_THAT(ReadLines(first), testing::ElementsAre("kept", "One 0"));

    ASSERT_EQ(log.Init(second.c_str(), "[c] [i]"), 0);
    log.Logout("Two", "F", 5, "", 1);
    log.Exit();
    log.Logout("Three", "F", 6, "", 1);  // no file: only the last error
    EXPECT_THAT(ReadLines(first), testing::ElementsAre("kept", "One 0"));
    EXPECT_THAT(ReadLines(second), testing::ElementsAre("Two 5"));
    EXPECT_EQ(LastLine(log), "Three 6");
    std::remove(first.c_str());
    std::remove(second.c_str());
}

TEST(Log, MissingDirectoryFailsButKeepsTheLastError) {
    COvLog log;
    EXPECT_EQ(log.Init("/nonexistent-dir-for-orvane/x.log", "[c] [i]"), OV_E_FILE);
    log.Logout("C", "F", -7, "", 1);
    int code = 0;
    EXPECT_EQ(LastLine(log, &code), "C -7");
    EXPECT_EQ(code, -7);

    log.SetLastError(3, COvString("set"));
    EXPECT_EQ(LastLine(log, &code), "set");
    EXPECT_EQ(code, 3);
}

// The loading threads and the client's thread report at once.
TEST(Log, ConcurrentLinesNeverInterleave) {
    const std::string path = TempPath("threads.log");
    std::remove(path.c_str());
    COvLog log;
    ASSERT_EQ(log.Init(path.c_str(), "[c] [f] [i] [m]"), 0);
    const int threads = 6;
    const int perThread = 400;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&log, t] {
            const std::string name = "Thread" + std::to_string(t);
            const std::string detail(200, static_cast<char>('a' + t));
            for (int i = 0; i < perThread; ++i) {
                log.Logout(name.c_str(), "Work", i, detail.c_str(), 1);
                COvString text;
                const int code = log.GetLastError(text);
                // Code and text always belong to the same line.
                const std::string line(text);
                if (line.find(" " + std::to_string(code) + " ") == std::string::npos)
                    std::abort();
            }
        });
    }
    for (std::thread& w : workers)
        w.join();
    log.Exit();

    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), static_cast<size_t>(threads * perThread));
    for (const std::string& line : lines) {
        // "ThreadN Work <i> " then 200 copies of the thread's own letter.
        ASSERT_GT(line.size(), 213u) << line;
        ASSERT_EQ(line.compare(0, 6, "Thread"), 0) << line;
        const char letter = static_cast<char>('a' + (line[6] - '0'));
        EXPECT_EQ(line.compare(7, 6, " Work "), 0) << line;
        EXPECT_EQ(line.substr(line.size() - 201), " " + std::string(200, letter)) << line;
    }
    std::remove(path.c_str());
}

}  // namespace
