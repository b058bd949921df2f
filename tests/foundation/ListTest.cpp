#include <gtest/gtest.h>

#include <stdexcept>

#include "OvPtrList.h"

namespace {

int values[6] = {0, 1, 2, 3, 4, 5};

TEST(PtrList, PositionsStayValidThroughInsertsAndRemovals) {
    CPtrList list;
    POSITION p1 = list.AddTail(&values[1]);
    POSITION p3 = list.AddTail(&values[3]);
    list.InsertBefore(p3, &values[2]);
    list.AddHead(&values[0]);
    list.InsertAfter(p3, &values[4]);
    ASSERT_EQ(list.GetCount(), 5);

    int expected = 0;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr; ++expected) {
        EXPECT_EQ(list.GetNext(pos), &values[expected]);
    }
    EXPECT_EQ(expected, 5);

    list.RemoveAt(p1);
    EXPECT_EQ(list.GetAt(p3), &values[3]);
    EXPECT_EQ(list.Find(&values[1]), nullptr);
    EXPECT_EQ(list.Find(&values[3]), p3);
    EXPECT_EQ(list.FindIndex(1), list.Find(&values[2]));
    EXPECT_EQ(list.FindIndex(4), nullptr);
    EXPECT_EQ(list.FindIndex(-1), nullptr);

    POSITION back = list.GetTailPosition();
    EXPECT_EQ(list.GetPrev(back), &values[4]);
    EXPECT_EQ(list.GetAt(back), &values[3]);

    EXPECT_EQ(list.RemoveHead(), &values[0]);
    EXPECT_EQ(list.RemoveTail(), &values[4]);
    EXPECT_EQ(list.GetCount(), 2);
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
}

TEST(PtrList, FindAfterAPositionSkipsEarlierDuplicates) {
    CTypedPtrList<CPtrList, int*> list;
    POSITION first = list.AddTail(&values[5]);
    list.AddTail(&values[1]);
    POSITION second = list.AddTail(&values[5]);
    EXPECT_EQ(list.Find(&values[5]), first);
    EXPECT_EQ(list.Find(&values[5], first), second);
    EXPECT_EQ(list.Find(&values[5], second), nullptr);
    EXPECT_EQ(*list.GetHead(), 5);
}

TEST(PtrList, NullPositionsAndEmptyListsThrowInsteadOfCrashing) {
    CPtrList list;
    POSITION none = nullptr;
    EXPECT_THROW(list.GetNext(none), std::invalid_argument);
    EXPECT_THROW(list.GetAt(nullptr), std::invalid_argument);
    EXPECT_THROW(list.RemoveAt(nullptr), std::invalid_argument);
    EXPECT_THROW(list.GetHead(), std::invalid_argument);
    EXPECT_THROW(list.RemoveTail(), std::invalid_argument);
}

}  // namespace
