#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "OvTypes.h"

namespace {

TEST(ValueTypes, FactoriesKeepOrClampTheirArguments) {
    struct Case {
        int r, g, b;
        int er, eg, eb;
    };
    const Case cases[] = {
        {-1, 128, 300, 0, 128, 255},
        {255, 0, 256, 255, 0, 255},
        {std::numeric_limits<int>::min(), 0, std::numeric_limits<int>::max(), 0, 0, 255},
    };
    for (const Case& c : cases) {
        const CPxRGB rgb = OV_RGB(c.r, c.g, c.b);
        EXPECT_EQ(rgb.r, c.er);
        EXPECT_EQ(rgb.g, c.eg);
        EXPECT_EQ(rgb.b, c.eb);
    }
    const COvSize kept = OV_SIZE(-4, 0);
    EXPECT_EQ(kept.width, -4);
    EXPECT_EQ(kept.height, 0);
    const COv3DPoint p = OV_3DPOINT(-1.5, 0, 2);
    EXPECT_EQ(p.x, -1.5);
    EXPECT_EQ(p.z, 2.0);
}

TEST(ValueTypes, SizeFromSceneSizeTruncatesTowardZero) {
    struct Case {
        double w, h;
        int ew, eh;
    };
    const Case cases[] = {
        {10.99, -3.5, 10, -3},
        {2.9, -2.9, 2, -2},
        {1e300, -1e300, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()},
        {std::nan(""), 0.5, 0, 0},
    };
    for (const Case& c : cases) {
        const COvSize s = OV_SIZE(OV_SIZE3D(c.w, c.h));
        EXPECT_EQ(s.width, c.ew) << c.w;
        EXPECT_EQ(s.height, c.eh) << c.h;
    }
}

TEST(String, CopiesShareOneBufferUntilAssignedText) {
    COvString first("abc");
    COvString copy(first);
    EXPECT_EQ(static_cast<const char*>(first), static_cast<const char*>(copy));

    copy = "xyz";
    EXPECT_NE(static_cast<const char*>(first), static_cast<const char*>(copy));
    EXPECT_STREQ(first, "abc");
    EXPECT_STREQ(copy, "xyz");

    const char* before = first;
    COvString& alias = first;
    first = alias;  // self-assignment keeps the buffer
    EXPECT_EQ(before, static_cast<const char*>(first));

    first = static_cast<const char*>(first);  // its own text, through a new buffer
    EXPECT_STREQ(first, "abc");
    EXPECT_EQ(first.GetLength(), 3);

    first.Empty();
    EXPECT_TRUE(first.IsEmpty());
    EXPECT_STREQ(first, "");
}

TEST(String, NullAndEmptyAreTheSame) {
    COvString fromNull(nullptr);
    EXPECT_TRUE(fromNull.IsEmpty());
    EXPECT_EQ(fromNull.GetLength(), 0);
    EXPECT_NE(static_cast<const char*>(fromNull), nullptr);
    EXPECT_TRUE(fromNull == static_cast<const char*>(nullptr));
    EXPECT_TRUE(fromNull == "");
    EXPECT_FALSE(fromNull != COvString());
    EXPECT_EQ(fromNull.Compare(nullptr), 0);
}

TEST(String, CompareUsesUnsignedBytesAndReturnsUnitValues) {
    struct Case {
        const char* left;
        const char* right;
        int expected;
    };
    const Case cases[] = {
        {"abc", "abd", -1}, {"abc", "ab", 1}, {"abc", "abc", 0},     {"\xE9", "a", 1},
        {"", "a", -1},      {"a", "", 1},     {"abc", "zzzzzz", -1}, {"b", "a\xff", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(COvString(c.left).Compare(c.right), c.expected) << c.left << " / " << c.right;
        EXPECT_EQ(COvString(c.left) == COvString(c.right), c.expected == 0);
        EXPECT_EQ(COvString(c.left) != c.right, c.expected != 0);
    }
}

// Descriptor copies sharing one name are made and dropped on several threads.
TEST(String, CopiesOnManyThreadsKeepTheBufferAlive) {
    COvString shared("shared name");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared] {
            for (int i = 0; i < 20000; ++i) {
                COvString copy(shared);
                COvString other;
                other = copy;
                if (other.GetLength() != 11)
                    std::abort();
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_STREQ(shared, "shared name");
}

}  // namespace
