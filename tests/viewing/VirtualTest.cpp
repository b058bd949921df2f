#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "OvPlatform.h"
#include "OvScreen.h"
#include "Pixmere.h"
#include "tests/scene/SceneFixture.h"
#include "viewing/OvArrowHead.h"

using ovtest::LoggedControl;
using ovtest::Style;

namespace {

bool operator==(const CPx2DPoint& a, const CPx2DPoint& b) {
    return a.x == b.x && a.y == b.y;
}

// The default camera on a 400 x 200 screen with one line in its scene.
struct LineView {
    LineView() : window(400, 200) {
        scene.Init(&logged.control);
        cam.Init(&logged.control, {0, 0, -300}, {0, 0, 1}, {0, 1, 0}, 0, 2000);
        screen.Init(&logged.control, &window, OV_RGB(0, 0, 0), nullptr, 0, 0);
        scene.AddCamera(&cam);
        screen.AddCamera(&cam);
    }
    ~LineView() { screen.Exit(); }
    COvVirtualLineObject* Build(COv3DPoint start, COv3DPoint end, const COvLineStyle& style) {
        line.Init(&logged.control, start, end, style, 0, 1, nullptr);
        scene.AddObject(&line);
        cam.UpdateObject();
        const CPtrList* list = cam.GetVirtualObject();
        return list->IsEmpty() ? nullptr : static_cast<COvVirtualLineObject*>(list->GetHead());
    }

    LoggedControl logged;
    COvMemoryWindow window;
    COvScene scene;
    COvCamera cam;
    COvScreen screen;
    COvLineObject line;
};

}  // namespace

TEST(VirtualLine, ArrowHeads) {
    struct Case {
        CPx2DPoint at;
        CPx2DPoint toward;
        int width;
        bool drawn;
        CPx2DPoint tip, left, right;
    };
    const Case cases[] = {
        {{100, 100}, {228, 100}, 2, true, {98, 100}, {104, 97}, {104, 103}},
        {{228, 100}, {100, 100}, 2, true, {230, 100}, {224, 103}, {224, 97}},
        // Exactly 3w long: no head; a little thinner line gets one.
        {{0, 0}, {30, 0}, 10, false, {}, {}, {}},
        {{0, 0}, {30, 0}, 9, true, {-9, 0}, {18, -13}, {18, 13}},
        {{0, 0}, {30, 0}, 0, false, {}, {}, {}},
        {{0, 0}, {0, 0}, 1, false, {}, {}, {}},
        // Vertices are truncated toward zero: (-2.12, -2.12) gives (-2, -2).
        {{0, 0}, {100, 100}, 3, true, {-2, -2}, {7, 1}, {1, 7}},
    };
    for (const Case& c : cases) {
        CPx2DPoint v[3] = {{-7, -7}, {-7, -7}, {-7, -7}};
        EXPECT_EQ(ov::ArrowHead(c.at, c.toward, c.width, v), c.drawn);
        if (!c.drawn)
            continue;
        EXPECT_TRUE(v[0] == c.tip) << v[0].x << "," << v[0].y;
        EXPECT_TRUE(v[1] == c.left) << v[1].x << "," << v[1].y;
        EXPECT_TRUE(v[2] == c.right) << v[2].x << "," << v[2].y;
    }
}

TEST(VirtualLine, ProjectsEndPointsAndWidth) {
    {
        LineView v;
        COvVirtualLineObject* vo = v.Build({-30, 0, 0}, {30, 15, 0}, Style(3, 1, 1));
        ASSERT_NE(vo, nullptr);
        CPx2DPoint s{}, e{};
        vo->GetPointVirtual(s, e);
        EXPECT_TRUE(s == (CPx2DPoint{200 - 200, 100}));
        EXPECT_TRUE(e == (CPx2DPoint{200 + 200, 100 - 100}));
        EXPECT_EQ(vo->GetLineWidthVirtual(), 3);
        EXPECT_FALSE(vo->HitTest({200, 100}, {0, 0}, {400, 200}));
    }
    {
        // A scaled width is projected at the end point's depth, without a minimum.
        LineView v;
        COvVirtualLineObject* vo = v.Build({0, 0, 0}, {0, 0, 1700}, Style(3, 0, 0, 1));
        ASSERT_NE(vo, nullptr);
        EXPECT_EQ(vo->GetLineWidthVirtual(), 3);
        v.cam.SetRange(5000);
        vo = v.Build({0, 0, 0}, {0, 10, 3700}, Style(1, 0, 0, 1));
        ASSERT_NE(vo, nullptr);
        EXPECT_EQ(vo->GetLineWidthVirtual(), 0);
    }
}

TEST(VirtualLine, EndBehindTheCameraGivesNoVirtualObject) {
    LineView v;
    const size_t before = v.logged.Lines().size();
    EXPECT_EQ(v.Build({0, 0, -500}, {0, 0, 500}, Style(1)), nullptr);
    const auto lines = v.logged.Lines();
    ASSERT_EQ(lines.size(), before + 2);
    const int code = OV_TRANSFORMATION_BEHIND;
    EXPECT_NE(lines[before].find(
                  LoggedControl::Entry("COvVirtualLineObject", "VirtualLineObjectInit", code)),
              std::string::npos);
    EXPECT_NE(lines[before + 1].find(LoggedControl::Entry("COvVirtualObject", "Init", code)),
              std::string::npos);
    EXPECT_EQ(v.line.GetOutScreen(), 1);
}

TEST(VirtualLine, DrawsInTheCurrentColour) {
    LineView v;
    // From canvas (100, 100) to (300, 100), 4 pixels wide.
    COvVirtualLineObject* vo = v.Build({-15, 0, 0}, {15, 0, 0}, Style(4, 0, 1));
    ASSERT_NE(vo, nullptr);
    struct Case {
        int endArrow;
        int headGreen;  // at (294, 104): inside the end head, outside the line's band
    };
    for (const Case c : {Case{1, 255}, Case{2, 0}, Case{0, 0}}) {
        v.line.SetStyle(COvLineStyle{4, {0, 255, 0}, 0, c.endArrow, 0});  // read at each draw
        CPxImageData24 image;
        ASSERT_EQ(image.NewImage(400, 200), 0);
        CPxCanvas24 canvas(&image);
        EXPECT_EQ(vo->Draw(&canvas, {0, 0}), 0);
        CPxRGB px{};
        ASSERT_TRUE(image.GetPixel(200, 100, px));
        EXPECT_EQ(px.g, 255);
        EXPECT_EQ(px.r, 0);
        ASSERT_TRUE(image.GetPixel(294, 104, px));
        EXPECT_EQ(px.g, c.headGreen) << "end arrow " << c.endArrow;
        ASSERT_TRUE(image.GetPixel(106, 104, px));  // no start arrow
        EXPECT_EQ(px.g, 0);
    }
    EXPECT_EQ(vo->Draw(nullptr, {0, 0}), 0);
}

TEST(VirtualObject, FrameAndDetachedState) {
    LoggedControl logged;
    ovtest::PlainObject o;
    o.Init(&logged.control, {0, 0, 0});
    o.SetFrame(COvFrameStyle{0, 2, {255, 0, 0}});
    COvVirtualObject* vo = o.MakeVirtualObject();
    ASSERT_EQ(vo->Init(&logged.control, nullptr, &o, {0, 0, 5}, {10, 10}, {8, 6}, 2, nullptr), 0);
    EXPECT_TRUE(vo->IsShown());
    EXPECT_TRUE(vo->HitTest({0, 0}, {0, 0}, {1, 1}));
    EXPECT_EQ(vo->PrepareDraw(), 0);

    CPxImageData24 image;
    ASSERT_EQ(image.NewImage(20, 20), 0);
    CPxCanvas24 canvas(&image);
    EXPECT_EQ(vo->Draw(&canvas, {6, 7}), 0);
    CPxRGB c{};
    image.GetPixel(6, 7, c);
    EXPECT_EQ(c.r, 255);
    image.GetPixel(10, 10, c);  // inside the 2-pixel band only
    EXPECT_EQ(c.r, 0);
    vo->UnPrepareDraw();

    o.SetVisible(0);
    EXPECT_FALSE(vo->IsShown());
    vo->Free();

    // A frame width of 0 draws nothing.
    vo = o.MakeVirtualObject();
    vo->Init(&logged.control, nullptr, &o, {0, 0, 5}, {10, 10}, {8, 6}, 0, nullptr);
    CPxImageData24 blank;
    blank.NewImage(20, 20);
    CPxCanvas24 blankCanvas(&blank);
    vo->Draw(&blankCanvas, {6, 7});
    blank.GetPixel(6, 7, c);
    EXPECT_EQ(c.r, 0);
    vo->Free();
}

// A box whose projected size saturated at the int range: its far corner lies beyond
// the int range, and the frame shows on the canvas as the near bands only.
TEST(VirtualObject, FrameOfASaturatedBox) {
    LoggedControl logged;
    ovtest::PlainObject o;
    o.Init(&logged.control, {0, 0, 0});
    o.SetFrame(COvFrameStyle{0, 2, {255, 0, 0}});
    const int kMax = std::numeric_limits<int>::max();
    struct Case {
        CPx2DPoint topLeft;
        std::vector<CPx2DPoint> red;    // on the bands
        std::vector<CPx2DPoint> black;  // inside the box, or outside it
    };
    const Case cases[] = {
        {{5, 5}, {{5, 5}, {6, 19}, {19, 6}}, {{7, 7}, {19, 19}, {4, 4}}},
        {{kMax - 1, 5}, {}, {{0, 5}, {19, 19}}},
    };
    for (const Case& c : cases) {
        COvVirtualObject* vo = o.MakeVirtualObject();
        vo->Init(&logged.control, nullptr, &o, {0, 0, 5}, {0, 0}, {kMax, kMax}, 2, nullptr);
        CPxImageData24 image;
        ASSERT_EQ(image.NewImage(20, 20), 0);
        CPxCanvas24 canvas(&image);
        EXPECT_EQ(vo->Draw(&canvas, c.topLeft), 0);
        vo->Free();
        CPxRGB px{};
        for (const CPx2DPoint& p : c.red)
            EXPECT_TRUE(image.GetPixel(p.x, p.y, px) && px.r == 255) << p.x << "," << p.y;
        for (const CPx2DPoint& p : c.black)
            EXPECT_TRUE(image.GetPixel(p.x, p.y, px) && px.r == 0) << p.x << "," << p.y;
    }
}
