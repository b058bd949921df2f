#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "tests/scene/SceneFixture.h"

using ovtest::Journal;
using ovtest::LoggedControl;
using ovtest::Style;

namespace {

// The centre is the midpoint and the size the square of the length.
void ExpectInvariant(const COvLineObject& line) {
    const COv3DPoint& s = line.GetStartPos();
    const COv3DPoint& e = line.GetEndPos();
    const double length = std::sqrt((s.x - e.x) * (s.x - e.x) + (s.y - e.y) * (s.y - e.y) +
                                    (s.z - e.z) * (s.z - e.z));
    EXPECT_NEAR(line.GetPos().x, (s.x + e.x) / 2, 1e-9);
    EXPECT_NEAR(line.GetPos().y, (s.y + e.y) / 2, 1e-9);
    EXPECT_NEAR(line.GetPos().z, (s.z + e.z) / 2, 1e-9);
    EXPECT_NEAR(line.GetSize().width, length, 1e-9);
    EXPECT_NEAR(line.GetSize().height, length, 1e-9);
}

void ExpectPoint(const COv3DPoint& p, double x, double y, double z) {
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
    EXPECT_NEAR(p.z, z, 1e-9);
}

}  // namespace

TEST(Line, InitDerivesCentreAndSize) {
    LoggedControl logged;
    COvLineObject line;
    EXPECT_EQ(line.Init(nullptr, {0, 0, 0}, {1, 1, 1}, Style(1), 0, 1, nullptr), OV_E_NULL_CONTROL);
    ASSERT_EQ(line.Init(&logged.control, {0, 0, 0}, {30, 40, 0}, Style(2, 1, 1), 1, 1, nullptr), 0);
    EXPECT_EQ(line.GetType(), 3);
    ExpectPoint(line.GetPos(), 15, 20, 0);
    EXPECT_EQ(line.GetSize().width, 50.0);
    EXPECT_EQ(line.GetFrame().m_nWidth, 0);  // a line has no frame
    EXPECT_EQ(line.GetStyle().m_nWidth, 2);
    COv3DPoint s{}, e{};
    line.GetLinePos(s, e);
    ExpectPoint(e, 30, 40, 0);

    COvLineObject point;
    ASSERT_EQ(point.Init(&logged.control, {5, 5, 5}, {5, 5, 5}, Style(1), 0, 1, nullptr), 0);
    EXPECT_EQ(point.GetSize().width, 0.0);
}

TEST(Line, RefusedStylesAreLoggedTwiceFromInit) {
    LoggedControl logged;
    COvLineObject line;
    ASSERT_EQ(line.Init(&logged.control, {0, 0, 0}, {1, 0, 0}, Style(3), 0, 1, nullptr), 0);
    for (int width : {0, -3}) {
        EXPECT_EQ(line.SetStyle(Style(width)), OV_LINE_BAD_WIDTH);
        EXPECT_EQ(line.GetStyle().m_nWidth, 3);
    }
    EXPECT_EQ(logged.Count("COvLineObject", "SetStyle", OV_LINE_BAD_WIDTH), 2);

    // Init passes the style's refusal on in a line of its own.
    COvLineObject fresh;
    const size_t before = logged.Lines().size();
    EXPECT_EQ(fresh.Init(&logged.control, {0, 0, 0}, {1, 0, 0}, Style(0), 0, 1, nullptr),
              OV_LINE_BAD_WIDTH);
    const auto lines = logged.Lines();
    ASSERT_EQ(lines.size(), before + 2);
    const auto entry = [](const char* function) {
        return LoggedControl::Entry("COvLineObject", function, OV_LINE_BAD_WIDTH);
    };
    EXPECT_NE(lines[before].find(entry("SetStyle")), std::string::npos);
    EXPECT_NE(lines[before + 1].find(entry("Init")), std::string::npos);
}

TEST(Line, EveryReshapeKeepsTheInvariant) {
    LoggedControl logged;
    struct Case {
        const char* name;
        std::function<void(COvLineObject&)> change;
        COv3DPoint start;
        COv3DPoint end;
    };
    const Case cases[] = {
        {"SetPos",
         [](COvLineObject& l) {
             l.SetPos({0, 0, 0});
         },
         {-15, -20, 0},
         {15, 20, 0}},
        {"Move",
         [](COvLineObject& l) {
             l.Move({1, 2, 3});
         },
         {1, 2, 3},
         {31, 42, 3}},
        {"MoveStartPos",
         [](COvLineObject& l) {
             l.MoveStartPos({1, 0, 0});
         },
         {1, 0, 0},
         {30, 40, 0}},
        // The end point is set relative to the start point, not moved from where it is.
        {"MoveEndPos",
         [](COvLineObject& l) {
             l.MoveEndPos({1, 0, 0});
         },
         {0, 0, 0},
         {1, 0, 0}},
        {"SetStartPos",
         [](COvLineObject& l) {
             l.SetStartPos({0, 40, 0});
         },
         {0, 40, 0},
         {30, 40, 0}},
        {"SetEndPos",
         [](COvLineObject& l) {
             l.SetEndPos({0, 0, 9});
         },
         {0, 0, 0},
         {0, 0, 9}},
        {"SetLinePos from own members",
         [](COvLineObject& l) { l.SetLinePos(l.GetEndPos(), l.GetStartPos()); },
         {30, 40, 0},
         {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        COvLineObject line;
        ASSERT_EQ(line.Init(&logged.control, {0, 0, 0}, {30, 40, 0}, Style(1), 0, 1, nullptr), 0);
        c.change(line);
        ExpectPoint(line.GetStartPos(), c.start.x, c.start.y, c.start.z);
        ExpectPoint(line.GetEndPos(), c.end.x, c.end.y, c.end.z);
        ExpectInvariant(line);
    }
}

// Reshaped to one point, a line keeps its size (the size is refused and logged) and
// only moves.
TEST(Line, ReshapeToOnePointKeepsTheSize) {
    LoggedControl logged;
    Journal journal(logged.control);
    COvLineObject line;
    journal.Name(&line, "l");
    ASSERT_EQ(line.Init(&logged.control, {0, 0, 0}, {30, 40, 0}, Style(1), 0, 1, nullptr), 0);
    line.SetLinePos({7, 7, 7}, {7, 7, 7});
    ExpectPoint(line.GetPos(), 7, 7, 7);
    EXPECT_EQ(line.GetSize().width, 50.0);
    EXPECT_EQ(line.GetSize().height, 50.0);
    EXPECT_EQ(logged.Count("COvObject", "SetSize", OV_OBJECT_BAD_SIZE), 1);
    EXPECT_EQ(journal.Take(), std::vector<std::string>{"moved:l"});
}

TEST(Line, ReshapeEventsAndCameraMarks) {
    ovtest::CameraScene s;
    COvLineObject line;
    s.journal.Name(&line, "l");
    line.Init(&s.logged.control, {0, 0, 0}, {30, 40, 0}, Style(1), 0, 1, nullptr);
    s.scene.AddObject(&line);
    s.journal.Take();

    s.cam.CameraUpdateOn(0);
    line.SetLinePos({0, 0, 0}, {3, 4, 0});
    EXPECT_EQ(s.journal.Take(), (std::vector<std::string>{"resized:l", "moved:l"}));
    EXPECT_EQ(s.cam.IsUpdated(), 1);

    s.cam.CameraUpdateOn(0);
    line.SetStyle(Style(4, 1, 0));  // style changes mark nothing and raise nothing
    EXPECT_EQ(s.cam.IsUpdated(), 0);
    EXPECT_TRUE(s.journal.Take().empty());

    line.Move({1, 1, 1});
    EXPECT_EQ(s.journal.Take(), std::vector<std::string>{"moved:l"});
    EXPECT_EQ(s.cam.IsUpdated(), 1);

    COvVirtualObject* v = line.MakeVirtualObject();
    ASSERT_NE(v, nullptr);
    EXPECT_NE(dynamic_cast<COvVirtualLineObject*>(v), nullptr);
    v->Free();
}
