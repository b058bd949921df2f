#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/scene/SceneFixture.h"

using ovtest::Journal;
using ovtest::LoggedControl;
using ovtest::PlainObject;

TEST(Object, InitChecksControlAndFrame) {
    LoggedControl logged;
    PlainObject o;
    EXPECT_EQ(o.Init(nullptr, {0, 0, 0}), OV_E_NULL_CONTROL);

    const COvFrameStyle negative{0, -1, {1, 2, 3}};
    EXPECT_EQ(o.COvObject::Init(&logged.control, 1, {1, 2, 3}, {4, 5}, 1, 1, nullptr, negative),
              OV_OBJECT_NEGATIVE_FRAME);
    EXPECT_EQ(logged.Count("COvObject", "Init", OV_OBJECT_NEGATIVE_FRAME), 1);

    const COvFrameStyle loud{1, 0, {300, -20, 128}};
    ASSERT_EQ(o.COvObject::Init(&logged.control, 1, {1, 2, 3}, {4, 5}, 1, 0, &o, loud), 0);
    EXPECT_EQ(o.GetFrame().m_Color.r, 255);
    EXPECT_EQ(o.GetFrame().m_Color.g, 0);
    EXPECT_EQ(o.GetFrame().m_Color.b, 128);
    EXPECT_EQ(o.GetPos().z, 3.0);
    EXPECT_EQ(o.GetUserData(), &o);
    EXPECT_EQ(o.IsVisible(), 0);
    EXPECT_EQ(o.GetOutScreen(), 0);
    EXPECT_EQ(o.GetScene(), nullptr);

    // SetFrame stores the colour as given; a negative width is refused.
    EXPECT_EQ(o.SetFrame(COvFrameStyle{1, 2, {300, -20, 128}}), 0);
    EXPECT_EQ(o.GetFrame().m_Color.r, 300);
    EXPECT_EQ(o.SetFrame(COvFrameStyle{0, -4, {0, 0, 0}}), OV_OBJECT_NEGATIVE_FRAME);
    EXPECT_EQ(o.GetFrame().m_nWidth, 2);
}

TEST(Object, SetSizeRefusesEmptySides) {
    LoggedControl logged;
    Journal journal(logged.control);
    PlainObject o;
    ASSERT_EQ(o.Init(&logged.control, {0, 0, 0}, {7, 8}), 0);

    struct Case {
        COvSize3D size;
        int code;
    };
    const Case cases[] = {
        {{0, 5}, OV_OBJECT_BAD_SIZE},
        {{5, -1}, OV_OBJECT_BAD_SIZE},
        {{-2.7, 3.9}, OV_OBJECT_BAD_SIZE},
        {{0.5, 0.5}, 0},
    };
    int refused = 0;
    for (const Case& c : cases) {
        const COvSize3D before = o.GetSize();
        journal.Take();
        EXPECT_EQ(o.SetSize(c.size), c.code);
        if (c.code != 0) {
            EXPECT_EQ(o.GetSize().width, before.width);
            EXPECT_TRUE(journal.events.empty());
            EXPECT_EQ(logged.Count("COvObject", "SetSize", c.code), ++refused);
        } else {
            EXPECT_EQ(o.GetSize().width, 0.5);
            EXPECT_EQ(journal.events.size(), 1u);
        }
    }
}

TEST(Object, EventsOfTheSetters) {
    LoggedControl logged;
    Journal journal(logged.control);
    PlainObject o;
    journal.Name(&o, "o");
    ASSERT_EQ(o.Init(&logged.control, {10, 10, 10}), 0);
    EXPECT_TRUE(journal.Take().empty());  // Init raises nothing

    o.SetSelected(1);
    o.SetSelected(1);
    o.SetVisible(0);
    o.SetUserData(nullptr);
    o.Move({1, 2, 3});
    EXPECT_EQ(journal.Take(), (std::vector<std::string>{"selected:o", "selected:o", "moved:o"}));
    EXPECT_EQ(o.GetPos().x, 11.0);
    EXPECT_EQ(o.GetPos().y, 12.0);
    EXPECT_EQ(o.GetPos().z, 13.0);
    EXPECT_EQ(o.IsVisible(), 0);

    COvSize recommended{-1, -1};
    EXPECT_FALSE(o.GetRecommendedSize(recommended));
    EXPECT_EQ(recommended.width, -1);
}

// An object is listed by a scene exactly when it names that scene: a copy starts in
// no scene, and an assignment keeps the target's own membership.
TEST(Object, CopiesStartOutsideAnyScene) {
    LoggedControl logged;
    COvScene scene;
    scene.Init(&logged.control);
    COvScene other;
    other.Init(&logged.control);
    PlainObject o;
    o.Init(&logged.control, {1, 2, 3});
    scene.AddObject(&o);

    auto copy = std::make_unique<PlainObject>(o);
    EXPECT_EQ(copy->GetScene(), nullptr);
    EXPECT_EQ(copy->GetPos().z, 3.0);
    PlainObject assigned;
    assigned.Init(&logged.control, {0, 0, 0});
    other.AddObject(&assigned);
    assigned = o;
    EXPECT_EQ(assigned.GetScene(), &other);
    EXPECT_EQ(assigned.GetPos().z, 3.0);
    PlainObject outside;
    outside = o;
    EXPECT_EQ(outside.GetScene(), nullptr);

    copy.reset();
    assigned.Exit();
    EXPECT_EQ(scene.GetObjectList()->GetCount(), 1);
    EXPECT_EQ(other.GetObjectList()->GetCount(), 0);
    EXPECT_EQ(o.GetScene(), &scene);
}

// A listener may destroy the object inside the move or resize event it raises.
TEST(Object, ListenerMayDestroyTheObjectInItsOwnEvent) {
    using Change = std::function<void(COvObject&)>;
    const Change setPos = [](COvObject& o) { o.SetPos({1, 1, 1}); };
    const Change move = [](COvObject& o) { o.Move({1, 1, 1}); };
    const Change setLinePos = [](COvObject& o) {
        static_cast<COvLineObject&>(o).SetLinePos({0, 0, 0}, {3, 4, 0});
    };
    const Change moveEndPos = [](COvObject& o) {
        static_cast<COvLineObject&>(o).MoveEndPos({1, 0, 0});
    };
    struct Case {
        const char* name;
        bool line;
        const char* when;
        const Change& change;
    };
    const Case cases[] = {
        {"SetPos", false, "moved:o", setPos},
        {"Move", false, "moved:o", move},
        {"line SetPos", true, "moved:o", setPos},
        {"line Move", true, "moved:o", move},
        {"SetLinePos, resized", true, "resized:o", setLinePos},
        {"SetLinePos, moved", true, "moved:o", setLinePos},
        {"MoveEndPos, resized", true, "resized:o", moveEndPos},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ovtest::CameraScene s;
        std::unique_ptr<COvObject> o;
        if (c.line) {
            auto line = std::make_unique<COvLineObject>();
            line->Init(&s.logged.control, {0, 0, 0}, {30, 40, 0}, ovtest::Style(1), 0, 1, nullptr);
            o = std::move(line);
        } else {
            auto plain = std::make_unique<PlainObject>();
            plain->Init(&s.logged.control, {0, 0, 0});
            o = std::move(plain);
        }
        s.journal.Name(o.get(), "o");
        s.scene.AddObject(o.get());
        s.journal.onEvent = [&](const std::string& event) {
            if (event == c.when)
                o.reset();
        };
        s.cam.CameraUpdateOn(0);
        c.change(*o);
        EXPECT_EQ(o, nullptr);
        EXPECT_EQ(s.scene.GetObjectList()->GetCount(), 0);
        EXPECT_EQ(s.cam.IsUpdated(), 1);
    }
}
