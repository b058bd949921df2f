#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "foundation/OvVector.h"
#include "tests/scene/SceneFixture.h"

using ovtest::Journal;
using ovtest::LoggedControl;

namespace {

void ExpectNear(const COv3DPoint& p, const COv3DPoint& q, double tolerance = 1e-6) {
    EXPECT_NEAR(p.x, q.x, tolerance);
    EXPECT_NEAR(p.y, q.y, tolerance);
    EXPECT_NEAR(p.z, q.z, tolerance);
}

struct Frame {
    COv3DPoint forward;
    COv3DPoint upward;
    COv3DPoint side;
};

Frame FrameOf(const COvCamera& cam) {
    Frame f{};
    cam.GetDirection(&f.forward, &f.upward, &f.side);
    return f;
}

void ExpectFrame(const COvCamera& cam, const Frame& want, double tolerance = 1e-6) {
    const Frame got = FrameOf(cam);
    ExpectNear(got.forward, want.forward, tolerance);
    ExpectNear(got.upward, want.upward, tolerance);
    ExpectNear(got.side, want.side, tolerance);
}

const Frame kDefault{{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};

struct CameraSetup {
    CameraSetup() : journal(logged.control) {
        cam.Init(&logged.control, {0, 0, -300}, {0, 0, 1}, {0, 1, 0}, 0, 2000);
        journal.Name(&cam, "cam");
        journal.Take();
    }
    LoggedControl logged;
    Journal journal;
    COvCamera cam;
};

}  // namespace

TEST(Camera, DefaultsAndInit) {
    COvCamera fresh;
    EXPECT_EQ(fresh.GetRange(), 2000u);
    ExpectNear(fresh.GetPos(), {0, 0, -300}, 0);
    ExpectFrame(fresh, kDefault, 0);
    EXPECT_EQ(fresh.GetTransformation(), nullptr);
    EXPECT_EQ(fresh.IsUpdated(), 0);
    EXPECT_EQ(fresh.GetTransProperty("FOCUS", nullptr), OV_TRANSFORMATION_NO_PROPERTY);
    EXPECT_EQ(fresh.SetTransProperty("FOCUS", 1.0), OV_TRANSFORMATION_NO_PROPERTY);
    EXPECT_EQ(fresh.UpdateObject(), 0);

    LoggedControl logged;
    EXPECT_EQ(fresh.Init(nullptr, {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 0, 10), OV_E_NULL_CONTROL);
    EXPECT_EQ(fresh.Init(&logged.control, {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 0, 0),
              OV_CAMERA_BAD_RANGE);
    EXPECT_EQ(logged.Count("COvCamera", "Init", OV_CAMERA_BAD_RANGE), 1);

    // A parallel pair keeps the frame and is only logged.
    EXPECT_EQ(fresh.Init(&logged.control, {1, 2, 3}, {0, 0, 5}, {0, 0, 1}, 3, 50), 0);
    EXPECT_EQ(logged.Count("COvCamera", "SetDirection", OV_E_DEGENERATE), 1);
    ExpectFrame(fresh, kDefault, 0);
    EXPECT_EQ(fresh.GetRange(), 50u);
    EXPECT_EQ(fresh.SetTransProperty("TargetZ", 7), 0);
    EXPECT_EQ(fresh.SetTransformation(0), 0);
    EXPECT_EQ(fresh.SetTransProperty("TargetZ", 7), OV_TRANSFORMATION_NO_PROPERTY);
    EXPECT_EQ(fresh.SetTransformation(nullptr), OV_CAMERA_TRANSFORMATION_REFUSED);
    double focus = 0;
    EXPECT_EQ(fresh.GetTransProperty("FOCUS", &focus), 0);
    EXPECT_EQ(focus, 2000.0);

    fresh.Exit();
    fresh.Exit();
    EXPECT_EQ(fresh.GetTransformation(), nullptr);
}

TEST(Camera, TurnsOnTheDefaultFrame) {
    struct Case {
        const char* name;
        std::function<int(COvCamera&)> turn;
        Frame want;
    };
    const Case cases[] = {
        {"Roll(90)", [](COvCamera& c) { return c.Roll(90); }, {{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}}},
        {"Pan(90)", [](COvCamera& c) { return c.Pan(90); }, {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}},
        {"Tilt(90)", [](COvCamera& c) { return c.Tilt(90); }, {{0, -1, 0}, {0, 0, 1}, {1, 0, 0}}},
        {"Roll(-90)", [](COvCamera& c) { return c.Roll(-90); }, {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}}},
        {"Pan(450)", [](COvCamera& c) { return c.Pan(450); }, {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}},
        {"Roll(360)", [](COvCamera& c) { return c.Roll(360); }, kDefault},
        {"Roll(0)", [](COvCamera& c) { return c.Roll(0); }, kDefault},
        {"Tilt(180)",
         [](COvCamera& c) { return c.Tilt(180); },
         {{0, 0, -1}, {0, -1, 0}, {1, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CameraSetup s;
        s.cam.CameraUpdateOn(0);
        EXPECT_EQ(c.turn(s.cam), 0);
        ExpectFrame(s.cam, c.want);
        EXPECT_EQ(s.cam.IsUpdated(), 1);
        EXPECT_EQ(s.journal.Take(), std::vector<std::string>{"rolled:cam"});
    }

    // The remainder keeps the argument's sign: -370 turns as -10.
    CameraSetup a;
    CameraSetup b;
    a.cam.Roll(-370);
    b.cam.Roll(-10);
    ExpectFrame(a.cam, FrameOf(b.cam), 0);
    // The library's degree is 0.017453288888889 radians, a little short of pi / 180.
    a.cam.Pan(90);
    EXPECT_NEAR(a.cam.GetForward().z, std::cos(90 * 0.017453288888889), 1e-15);
}

TEST(Camera, TurnsKeepTheFrameOrthonormal) {
    CameraSetup s;
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> degrees(-720, 720);
    for (int i = 0; i < 3000; ++i) {
        switch (i % 3) {
            case 0:
                ASSERT_EQ(s.cam.Roll(degrees(rng)), 0);
                break;
            case 1:
                ASSERT_EQ(s.cam.Pan(degrees(rng)), 0);
                break;
            default:
                ASSERT_EQ(s.cam.Tilt(degrees(rng)), 0);
                break;
        }
    }
    const Frame f = FrameOf(s.cam);
    EXPECT_NEAR(ov::Length(f.forward), 1.0, 1e-12);
    EXPECT_NEAR(ov::Length(f.upward), 1.0, 1e-12);
    EXPECT_NEAR(ov::Dot(f.forward, f.upward), 0.0, 1e-12);
    ExpectNear(ov::Cross(f.upward, f.forward), f.side, 1e-12);
}

TEST(Camera, SetDirection) {
    CameraSetup s;
    EXPECT_EQ(s.cam.SetDirection({0, 0, 2}, {0, 5, 5}), 0);
    ExpectFrame(s.cam, kDefault, 1e-15);
    EXPECT_EQ(s.journal.Take(), std::vector<std::string>{"rolled:cam"});

    EXPECT_EQ(s.cam.SetDirection({3, 0, 0}, {1, 1, 0}), 0);
    ExpectFrame(s.cam, {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, 1e-15);
    s.journal.Take();

    // Degenerate pairs are refused and change nothing, not even the updated flag.
    const Frame before = FrameOf(s.cam);
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    const COv3DPoint refused[][2] = {
        {{0, 0, 1}, {0, 0, -3}}, {{0, 0, 0}, {0, 1, 0}},   {{1, 2, 3}, {0, 0, 0}},
        {{1, 2, 3}, {2, 4, 6}},  {{nan, 0, 1}, {0, 1, 0}}, {{0, 0, 1}, {0, inf, 0}},
    };
    s.cam.CameraUpdateOn(0);
    for (const auto& pair : refused)
        EXPECT_EQ(s.cam.SetDirection(pair[0], pair[1]), OV_E_DEGENERATE);
    EXPECT_EQ(s.logged.Count("COvCamera", "SetDirection", OV_E_DEGENERATE),
              static_cast<int>(std::size(refused)));
    ExpectFrame(s.cam, before, 0);
    EXPECT_EQ(s.cam.IsUpdated(), 0);
    EXPECT_TRUE(s.journal.Take().empty());
}

TEST(Camera, PlacementAndRange) {
    CameraSetup s;
    EXPECT_EQ(s.cam.Move({10, 20, 30}), 0);
    ExpectNear(s.cam.GetPos(), {10, 20, -270}, 0);
    s.cam.Pan(90);  // forward (1, 0, 0), side (0, 0, -1)
    s.cam.Move({1, 0, 5});
    ExpectNear(s.cam.GetPos(), {15, 20, -271}, 1e-5);  // the degree is a little short
    s.cam.SetPos({1, 2, 3});
    ExpectNear(s.cam.GetPos(), {1, 2, 3}, 0);
    EXPECT_EQ(s.journal.Take(), (std::vector<std::string>{"cameraMoved:cam", "rolled:cam",
                                                          "cameraMoved:cam", "cameraMoved:cam"}));

    s.cam.CameraUpdateOn(0);
    EXPECT_EQ(s.cam.SetRange(0), OV_CAMERA_BAD_RANGE);
    EXPECT_EQ(s.logged.Count("COvCamera", "SetRange", OV_CAMERA_BAD_RANGE), 1);
    EXPECT_EQ(s.cam.GetRange(), 2000u);
    EXPECT_EQ(s.cam.SetRange(10), 0);
    EXPECT_EQ(s.cam.GetRange(), 10u);
    EXPECT_EQ(s.cam.IsUpdated(), 1);

    COv3DPoint u{9, 9, 9}, f{7, 7, 7};
    s.cam.GetDirection(nullptr, &u, nullptr);
    ExpectNear(u, {0, 1, 0}, 1e-12);
    EXPECT_EQ(f.x, 7);
}
