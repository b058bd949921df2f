// Scenes drawn end to end into memory windows and read back pixel by pixel where the
// projection makes positions exact (default camera: at depth 300 one scene unit is
// 2000 / 300 pixels, truncated toward zero).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ScreenFixture.h"

using namespace ovscreentest;

namespace {

const CPxRGB kGrey{0x20, 0x20, 0x20};
const CPxRGB kRed{255, 0, 0};
const CPxRGB kBlue{0, 0, 255};
const CPxRGB kGreen{0, 255, 0};

}  // namespace

TEST(ScreenRender, FramesAndArrowedLinesLandOnExactPixels) {
    Stage stage(640, 480, kGrey);
    // (31, 16, 0) projects to centred (206, 106), canvas (526, 134); its size (31, 16)
    // to 206 x 106 pixels, so its box runs from (423, 81) to (629, 187).
    ProbeObject upper, lower;
    upper.Place(stage.log.control, OV_3DPOINT(31, 16, 0), OV_SIZE3D(31, 16), 2, kRed);
    // The mirror image: centred (-206, -106), canvas (114, 346), box (11, 293)..(217, 399).
    lower.Place(stage.log.control, OV_3DPOINT(-31, -16, 0), OV_SIZE3D(31, 16), 1, kBlue);
    // From canvas (254, 240) to (386, 240), 3 pixels wide, arrow heads at both ends.
    COvLineObject line;
    line.Init(&stage.log.control, OV_3DPOINT(-10, 0, 0), OV_3DPOINT(10, 0, 0),
              COvLineStyle{3, kGreen, 1, 1, 0}, 0, 1, nullptr);
    stage.scene.AddObject(&upper);
    stage.scene.AddObject(&lower);
    stage.scene.AddObject(&line);
    stage.scene.Update();

    EXPECT_TRUE(OvPixelsAre(stage.Pixels(), {{423, 81, kRed},
                                             {424, 120, kRed},
                                             {425, 120, kGrey},
                                             {629, 187, kRed},
                                             {630, 187, kGrey},
                                             {500, 82, kRed},
                                             {500, 83, kGrey},
                                             {500, 186, kRed},
                                             {500, 188, kGrey},
                                             {526, 134, kGrey},
                                             {422, 81, kGrey}}))
        << "2-pixel frame";
    EXPECT_TRUE(OvPixelsAre(stage.Pixels(), {{11, 293, kBlue},
                                             {217, 399, kBlue},
                                             {12, 294, kGrey},
                                             {10, 293, kGrey},
                                             {217, 400, kGrey},
                                             {114, 293, kBlue}}))
        << "1-pixel frame";
    EXPECT_TRUE(OvPixelsAre(stage.Pixels(),
                            {{320, 239, kGreen},
                             {320, 240, kGreen},
                             {320, 241, kGreen},
                             {320, 238, kGrey},
                             {320, 242, kGrey},
                             // The heads reach beyond the band; their tips lie past the ends.
                             {258, 238, kGreen},
                             {258, 242, kGreen},
                             {250, 240, kGrey},
                             {382, 238, kGreen},
                             {382, 242, kGreen},
                             {391, 240, kGrey}}))
        << "line with arrow heads";
    stage.scene.RemoveObject(&line);
}

TEST(ScreenRender, NearerObjectsAreDrawnOverFartherOnes) {
    Stage stage(640, 480, kGrey);
    // Filled squares (a frame at least half the box fills it): the near one is 40
    // pixels at depth 300, the far one 80 pixels at depth 400. The near one is added
    // first, so only the depth sort puts it on top.
    ProbeObject near, far;
    near.Place(stage.log.control, OV_3DPOINT(0, 0, 0), OV_SIZE3D(6, 6), 100, kBlue);
    far.Place(stage.log.control, OV_3DPOINT(0, 0, 100), OV_SIZE3D(16, 16), 100, kRed);
    stage.scene.AddObject(&near);
    stage.scene.AddObject(&far);
    stage.scene.Update();
    EXPECT_TRUE(OvPixelsAre(stage.Pixels(), {{320, 240, kBlue},
                                             {300, 220, kBlue},
                                             {340, 260, kBlue},
                                             {299, 240, kRed},
                                             {280, 200, kRed},
                                             {360, 280, kRed},
                                             {361, 280, kGrey}}))
        << "depth order";

    // Moving the near one behind the far one hides it.
    near.SetPos(OV_3DPOINT(0, 0, 200));
    stage.scene.Update();
    EXPECT_TRUE(OvPixelsAre(stage.Pixels(), {{320, 240, kRed}})) << "after the move";
}

TEST(ScreenRender, NewColourKeepsThePictureDecoded) {
    const std::string path = WritePicture(10, 10, Gradient);
    LoggedControl log;
    COvMemoryWindow window(40, 30);
    OpenScreen screen;
    ASSERT_EQ(screen.Init(&log.control, &window, kGrey, path.c_str(), 1, OV_BACK_RELEASE_IMAGE), 0);
    EXPECT_STREQ(screen.GetBackImage(), path.c_str());
    EXPECT_TRUE(screen.Surface()->m_BackImage.IsEmpty());
    screen.SetBackColor(kBlue);
    EXPECT_FALSE(screen.Surface()->m_BackImage.IsEmpty());
    EXPECT_EQ(screen.Surface()->m_nBackFlags, 0);
    screen.ReDraw();
    EXPECT_TRUE(OvPixelsAre(OvPixelsOf(window), {{0, 0, kBlue}, {15, 10, Gradient(0, 0)}}))
        << "recomposed";
    std::remove(path.c_str());
}

TEST(ScreenRender, ResizedWindowIsFoundAtTheNextRedraw) {
    const std::string path = WritePicture(10, 10, Gradient);
    Stage stage(200, 100, kGrey);
    // Lower-left; released after composing, so the resize decodes it again.
    stage.screen.SetBackImage(path.c_str(), 2, OV_BACK_RELEASE_IMAGE);
    ProbeObject square;
    // 20 pixels at depth 300, centred on the canvas centre.
    square.Place(stage.log.control, OV_3DPOINT(0, 0, 0), OV_SIZE3D(3, 3), 100, kRed);
    stage.scene.AddObject(&square);
    stage.scene.Update();
    EXPECT_TRUE(
        OvPixelsAre(stage.Pixels(),
                    {{100, 50, kRed}, {90, 40, kRed}, {89, 40, kGrey}, {0, 90, Gradient(0, 0)}}))
        << "before";

    ASSERT_EQ(stage.window.Resize(300, 150), 0);
    ASSERT_EQ(stage.screen.ReDraw(), 0);
    EXPECT_EQ(stage.screen.GetSize().width, 300);
    EXPECT_EQ(stage.screen.GetCenter().y, 75);
    EXPECT_TRUE(OvPixelsAre(stage.Pixels(), {{150, 75, kRed},
                                             {140, 65, kRed},
                                             {139, 75, kGrey},
                                             {100, 50, kGrey},
                                             {0, 90, kGrey},
                                             {0, 140, Gradient(0, 0)},
                                             {9, 149, Gradient(9, 9)},
                                             {299, 149, kGrey}}))
        << "after";
    std::remove(path.c_str());
}

// ---------------------------------------------------------------------------
// The depth buffer at the start of each canvas update
// ---------------------------------------------------------------------------

namespace {

// Code outside the library that keeps a depth buffer of its own drawing: it notes
// whether the buffer was reset (every entry the farthest value), then writes into it.
struct DepthUser {
    std::vector<bool> foundFar;
    void Use(CPxCanvas24* canvas) {
        auto* image = dynamic_cast<CPxZImageData24*>(canvas->GetImage());
        float* start = image ? image->GetBuffer().GetStart() : nullptr;
        ASSERT_NE(start, nullptr);
        foundFar.push_back(std::all_of(start, start + image->GetWidth() * image->GetHeight(),
                                       [](float z) { return z == PX_DEPTH_FAR; }));
        start[7] = 1.0f;
    }
};

class DepthVirtual final : public COvVirtualObject {
public:
    explicit DepthVirtual(DepthUser& user) : m_User(user) {}
    int Draw(CPxCanvas24* canvas, CPx2DPoint) override {
        m_User.Use(canvas);
        return 0;
    }

private:
    DepthUser& m_User;
};

class DepthObject final : public COvObject {
public:
    explicit DepthObject(COvControl& control) {
        Init(&control, 1, OV_3DPOINT(0, 0, 0), OV_SIZE3D(3, 3), 0, 1, nullptr, COvFrameStyle{});
    }
    COvVirtualObject* MakeVirtualObject() override { return new DepthVirtual(user); }
    DepthUser user;
};

class DepthHookScreen final : public COvScreen {
public:
    DepthUser user;

protected:
    int DrawFront(CPxCanvas24* canvas) override {
        user.Use(canvas);
        return 0;
    }
};

}  // namespace

TEST(ScreenDepth, WritesFromOutsideTheLibraryAreResetAtTheNextUpdate) {
    const std::vector<bool> threeFar(3, true);
    {
        SCOPED_TRACE("a client's virtual object");
        BasicStage<COvScreen> stage(64, 48);
        DepthObject object(stage.log.control);
        stage.scene.AddObject(&object);
        stage.scene.Update();
        for (int i = 0; i < 2; ++i)
            stage.screen.UpdateCanvas();
        EXPECT_EQ(object.user.foundFar, threeFar);
    }
    {
        SCOPED_TRACE("a screen subclass's hooks");
        BasicStage<DepthHookScreen> stage(64, 48);
        stage.screen.user.foundFar.clear();
        for (int i = 0; i < 3; ++i)
            stage.screen.UpdateCanvas();
        EXPECT_EQ(stage.screen.user.foundFar, threeFar);
    }
    {
        SCOPED_TRACE("a caller of GetCanvas, writing between updates");
        BasicStage<COvScreen> stage(64, 48);
        DepthUser user;
        for (int i = 0; i < 3; ++i) {
            stage.screen.UpdateCanvas();
            user.Use(stage.screen.GetCanvas());
        }
        EXPECT_EQ(user.foundFar, threeFar);
    }
}

TEST(ScreenDepth, TheLibrarysOwnFramesLeaveItResetWithoutAFill) {
    BasicStage<COvScreen> stage(64, 48, kGrey);
    // A line, and a picture that is not there: drawn as its placeholder outline.
    COvLineObject line;
    line.Init(&stage.log.control, OV_3DPOINT(-3, 0, 0), OV_3DPOINT(3, 0, 0),
              COvLineStyle{3, kGreen, 1, 1, 0}, 0, 1, nullptr);
    COvImageObject missing;
    missing.Init(&stage.log.control, "no such picture.png", OV_3DPOINT(0, 3, 0), OV_SIZE3D(2, 2),
                 COvSize{10, 10}, 0, 1, nullptr, nullptr, COvFrameStyle{0, 1, kBlue}, 0, 0);
    stage.scene.AddObject(&line);
    stage.scene.AddObject(&missing);
    stage.scene.Update();
    const COvImageDraw& surface = *SurfaceOf(stage.screen);
    // The new buffer was filled once; the library's own drawing needs no more fills.
    EXPECT_EQ(surface.m_nDepthResets, 1);
    for (int i = 0; i < 3; ++i)
        stage.screen.Update();
    EXPECT_EQ(surface.m_nDepthResets, 1);
    EXPECT_TRUE(OvPixelsAre(stage.Pixels(), {{32, 24, kGreen}, {0, 0, kGrey}}));

    // A new size brings a new buffer: filled once more.
    ASSERT_EQ(stage.window.Resize(80, 60), 0);
    ASSERT_EQ(stage.screen.ReDraw(), 0);
    stage.screen.UpdateCanvas();
    EXPECT_EQ(surface.m_nDepthResets, 2);

    // Handed out, the canvas may be written at any time: every update fills.
    DepthUser user;
    user.Use(stage.screen.GetCanvas());
    EXPECT_EQ(user.foundFar, std::vector<bool>{true});
    stage.screen.UpdateCanvas();
    stage.screen.UpdateCanvas();
    EXPECT_EQ(surface.m_nDepthResets, 4);
    stage.scene.RemoveObject(&line);
    stage.scene.RemoveObject(&missing);
}
