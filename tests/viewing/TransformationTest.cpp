#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <random>

#include "foundation/OvVector.h"
#include "tests/scene/SceneFixture.h"
#include "viewing/OvTransformation.h"

using ovtest::LoggedControl;

namespace {

// A perspective given a camera frame directly; without a screen its canvas centre
// is (0, 0), so a canvas point is the centred point with y turned over.
class Framed final : public COvPerspective {
public:
    explicit Framed(COvControl* control = nullptr) : COvPerspective(control) {
        Frame({0, 0, -300}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0});
    }
    ~Framed() override = default;
    void Frame(COv3DPoint pos, COv3DPoint forward, COv3DPoint upward, COv3DPoint side) {
        m_Pos = pos;
        m_Forward = forward;
        m_Upward = upward;
        m_Side = side;
    }
    using COvTransformation::GetCanvasToScreen;
    using COvTransformation::GetScreenToCanvas;
};

// The base class, which projects nothing.
class Bare final : public COvTransformation {
public:
    Bare() : COvTransformation(nullptr) {}
    ~Bare() override = default;
    void Free() override {}
};

// A random orthonormal, left-handed frame: side = upward x forward.
void RandomFrame(std::mt19937& rng, COv3DPoint& f, COv3DPoint& u, COv3DPoint& s) {
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    f = {d(rng), d(rng), d(rng) + 2.0};
    f = ov::Scale(f, 1.0 / ov::Length(f));
    const COv3DPoint hint{d(rng), d(rng), d(rng)};
    s = ov::Cross(hint, f);
    s = ov::Scale(s, 1.0 / ov::Length(s));
    u = ov::Cross(f, s);
}

}  // namespace

TEST(Transformation, DefaultFrameProjections) {
    Framed t;
    struct Case {
        COv3DPoint scene;
        COv3DPoint camera;
        CPx2DPoint canvas;
    };
    const Case cases[] = {
        {{31, 16, 0}, {31, 16, 300}, {206, -106}},
        // Truncated toward zero, not floored: -206.67 gives -206.
        {{-31, -16, 0}, {-31, -16, 300}, {-206, 106}},
        {{0, 0, 0}, {0, 0, 300}, {0, 0}},
        {{-0.1, 0.1, 0}, {-0.1, 0.1, 300}, {0, 0}},
        {{3, -3, 1700}, {3, -3, 2000}, {3, 3}},
    };
    for (const Case& c : cases) {
        COv3DPoint q{};
        ASSERT_EQ(t.SceneToCamera(c.scene, &q), 0);
        EXPECT_DOUBLE_EQ(q.x, c.camera.x);
        EXPECT_DOUBLE_EQ(q.y, c.camera.y);
        EXPECT_DOUBLE_EQ(q.z, c.camera.z);
        CPx2DPoint p{-1, -1};
        ASSERT_EQ(t.CameraToScreen(q, &p), 0);
        EXPECT_EQ(p.x, c.canvas.x);
        EXPECT_EQ(p.y, c.canvas.y);
    }

    // Sizes follow the depth, negative ones included.
    COvSize size{};
    EXPECT_EQ(t.GetSize({0, 0, 300}, {31, 16}, &size), 0);
    EXPECT_EQ(size.width, 206);
    EXPECT_EQ(size.height, 106);
    EXPECT_EQ(t.GetSize({0, 0, -300}, {31, 16}, &size), 0);
    EXPECT_EQ(size.width, -206);
    EXPECT_EQ(size.height, -106);
    EXPECT_EQ(t.GetSize({0, 0, 0}, {31, 16}, &size), OV_E_DEGENERATE);

    // On or behind the camera plane nothing is written.
    for (double z : {0.0, -1.0, std::nan("")}) {
        CPx2DPoint p{7, 8};
        EXPECT_EQ(t.CameraToScreen({1, 1, z}, &p), OV_TRANSFORMATION_BEHIND);
        EXPECT_EQ(p.x, 7);
        EXPECT_EQ(p.y, 8);
    }
}

TEST(Transformation, NullOutputsAreFailures) {
    LoggedControl logged;
    Framed t(&logged.control);
    COv3DPoint q{1, 2, 3};
    struct Case {
        const char* className;
        const char* function;
        int rc;
    };
    const char* const kBase = "COvTransformation";
    const Case cases[] = {
        {kBase, "SceneToCamera", t.SceneToCamera(q, nullptr)},
        {kBase, "GetCameraVector", t.GetCameraVector(q, nullptr)},
        {kBase, "CameraToScene", t.CameraToScene(q, nullptr)},
        {kBase, "GetScreenToCanvas", t.GetScreenToCanvas({1, 1}, nullptr)},
        {kBase, "GetCanvasToScreen", t.GetCanvasToScreen({1, 1}, nullptr)},
        {"COvPerspective", "GetSize", t.GetSize(q, {1, 1}, nullptr)},
        {"COvPerspective", "ScreenToCamera", t.ScreenToCamera({0, 0}, q, q, nullptr)},
        // A projection with nowhere to put the result has not been done.
        {kBase, "GetScreenToCanvas", t.CameraToScreen(q, nullptr)},
    };
    const auto lines = logged.Lines();
    ASSERT_EQ(lines.size(), std::size(cases));
    for (size_t i = 0; i < lines.size(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(c.rc, OV_E_NULL_OUTPUT) << c.function;
        EXPECT_NE(lines[i].find(LoggedControl::Entry(c.className, c.function, OV_E_NULL_OUTPUT)),
                  std::string::npos)
            << lines[i];
    }
}

TEST(Transformation, RoundTripsForRandomFrames) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> d(-500.0, 500.0);
    for (int i = 0; i < 200; ++i) {
        COv3DPoint f{}, u{}, s{};
        RandomFrame(rng, f, u, s);
        Framed t;
        t.Frame({d(rng), d(rng), d(rng)}, f, u, s);
        const COv3DPoint scene{d(rng), d(rng), d(rng)};
        COv3DPoint camera{}, back{};
        ASSERT_EQ(t.SceneToCamera(scene, &camera), 0);
        ASSERT_EQ(t.CameraToScene(camera, &back), 0);
        EXPECT_NEAR(back.x, scene.x, 1e-9);
        EXPECT_NEAR(back.y, scene.y, 1e-9);
        EXPECT_NEAR(back.z, scene.z, 1e-9);

        // The ray through the projected pixel meets a plane through the point at the
        // point, up to the pixel's truncation.
        COv3DPoint c{d(rng), d(rng), std::abs(d(rng)) + 10.0};
        CPx2DPoint pixel{};
        ASSERT_EQ(t.CameraToScreen(c, &pixel), 0);
        COv3DPoint onPlane{};
        t.CameraToScene(c, &onPlane);
        COv3DPoint hit{};
        ASSERT_EQ(t.ScreenToCamera(pixel, f, onPlane, &hit), 0);
        const double pixelSize = c.z / 2000.0;
        EXPECT_NEAR(hit.z, c.z, 1e-9);
        EXPECT_NEAR(hit.x, c.x, pixelSize + 1e-9);
        EXPECT_NEAR(hit.y, c.y, pixelSize + 1e-9);
    }
}

TEST(Transformation, RayParallelToPlaneAndZeroFocus) {
    LoggedControl logged;
    Framed t(&logged.control);
    COv3DPoint hit{5, 5, 5};
    // The ray through the centre runs along forward; a plane containing forward is
    // never met.
    EXPECT_EQ(t.ScreenToCamera({0, 0}, {1, 0, 0}, {0, 0, 0}, &hit), OV_E_DEGENERATE);
    EXPECT_TRUE(logged.Lines().empty());
    EXPECT_EQ(t.SetProperty("FOCUS", 0.0), 0);
    EXPECT_EQ(t.ScreenToCamera({0, 0}, {0, 0, 1}, {0, 0, 0}, &hit), OV_E_DEGENERATE);
    EXPECT_EQ(logged.Count("COvPerspective", "ScreenToCamera", OV_E_DEGENERATE), 1);
    EXPECT_EQ(hit.x, 5.0);
}

TEST(Transformation, Properties) {
    LoggedControl logged;
    COvTransformation* plain = CreateTransformation(0, &logged.control);
    COvTransformation* target = CreateTransformation(3, &logged.control);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(target, nullptr);
    double v = 0;
    const int kNone = OV_TRANSFORMATION_NO_PROPERTY;
    for (COvTransformation* t : {plain, target}) {
        EXPECT_EQ(t->GetProperty("FOCUS", &v), 0);
        EXPECT_EQ(v, 2000.0);
        EXPECT_EQ(t->SetProperty("focus", 1000), kNone);  // exact names only
        EXPECT_EQ(t->SetProperty("FOCUS ", 1000), kNone);
        EXPECT_EQ(t->SetProperty(nullptr, 1000), kNone);
        EXPECT_EQ(t->GetProperty(nullptr, &v), kNone);
        EXPECT_EQ(t->GetProperty("TargetZ", &v), kNone);  // never readable
    }
    EXPECT_EQ(plain->SetProperty("TargetZ", 5), kNone);
    EXPECT_EQ(target->SetProperty("TargetZ", 5), 0);
    EXPECT_EQ(target->SetProperty("FOCUS", 1000), 0);
    EXPECT_EQ(target->GetProperty("FOCUS", &v), 0);
    EXPECT_EQ(v, 1000.0);
    // Half the focus halves the projected size.
    COvSize size{};
    target->GetSize({0, 0, 300}, {31, 16}, &size);
    EXPECT_EQ(size.width, 103);
    EXPECT_NE(dynamic_cast<COvTargetPerspective*>(target), nullptr);
    EXPECT_EQ(dynamic_cast<COvTargetPerspective*>(plain), nullptr);
    plain->Free();
    target->Free();

    // A transformation without a projection writes nothing.
    Bare bare;
    CPx2DPoint p{1, 2};
    COv3DPoint q{3, 4, 5};
    COvSize s{6, 7};
    EXPECT_EQ(bare.CameraToScreen({0, 0, 1}, &p), 0);
    EXPECT_EQ(bare.ScreenToCamera(p, q, q, &q), 0);
    EXPECT_EQ(bare.GetSize(q, {1, 1}, &s), 0);
    EXPECT_EQ(bare.SetProperty("FOCUS", 1), kNone);
    EXPECT_EQ(p.x + q.x + s.width, 1 + 3 + 6);
}

TEST(Transformation, SetCameraNeedsScreen) {
    LoggedControl logged;
    Framed t(&logged.control);
    EXPECT_EQ(t.SetCamera({1, 1, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}, nullptr),
              OV_TRANSFORMATION_NO_SCREEN);
    EXPECT_EQ(logged.Count("COvTransformation", "SetCamera", OV_TRANSFORMATION_NO_SCREEN), 1);
    COv3DPoint pos{}, view{};
    EXPECT_EQ(t.GetCameraPos(&pos), 0);
    EXPECT_EQ(t.GetViewVector(&view), 0);
    EXPECT_EQ(pos.z, -300.0);  // the frame stays
    EXPECT_EQ(view.z, 1.0);
}

// Clients compiled against the library call a transformation through these slots.
TEST(Transformation, VirtualSlotOrder) {
#if defined(__x86_64__) || defined(__i386__)
    // Under the Itanium C++ ABI a pointer to a virtual member holds one more than the
    // slot's offset in the table; a virtual destructor takes two slots.
    const auto slot = [](auto member) {
        std::ptrdiff_t raw = 0;
        std::memcpy(&raw, &member, sizeof raw);
        return (raw - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
    };
    EXPECT_EQ(slot(&COvTransformation::Free), 2);  // after the destructor
    EXPECT_EQ(slot(&COvTransformation::CameraToScreen), 3);
    EXPECT_EQ(slot(&COvTransformation::ScreenToCamera), 4);
    EXPECT_EQ(slot(&COvTransformation::GetSize), 5);
    EXPECT_EQ(slot(&COvTransformation::SetProperty), 6);
    EXPECT_EQ(slot(&COvTransformation::GetProperty), 7);
#else
    GTEST_SKIP() << "slot offsets are read the Itanium way";
#endif
}
