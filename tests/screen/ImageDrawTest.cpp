// The drawing surface: geometry, background composition and placements, the frame
// start and the copy to a window.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "ScreenFixture.h"
#include "screen/OvImageDraw.h"

using namespace ovscreentest;

namespace {

const CPxRGB kBack{0x10, 0x20, 0x40};

// Composes a background on a fresh surface as the screen does: colour, then picture.
struct Composed {
    LoggedControl log;
    COvImageDraw surface;
    int result = 0;

    Composed(int width, int height, const CPxRGB& colour, const std::string& path, int mode,
             int flags) {
        surface.Init(&log.control, width, height);
        surface.m_BackColor = colour;
        surface.FillBackColor();
        result = surface.MakeBackImage(mode, flags, path.c_str(), width, height);
        surface.ClearCanvas();
    }
    OvPixels Pixels() const { return OvPixelsOf(surface.m_ZImage); }
};

}  // namespace

TEST(ImageDraw, GeometryFollowsTheSize) {
    struct Case {
        int width, height, lineBytes, centreX, centreY;
    };
    const Case cases[] = {
        {1, 1, 4, 0, 0}, {4, 3, 12, 2, 1}, {5, 2, 16, 2, 1}, {301, 201, 904, 150, 100}};
    LoggedControl log;
    for (const Case& c : cases) {
        COvImageDraw surface;
        ASSERT_EQ(surface.Init(&log.control, c.width, c.height), 0);
        EXPECT_EQ(surface.m_nLineBytes, c.lineBytes) << c.width;
        EXPECT_EQ(surface.m_Center.x, c.centreX);
        EXPECT_EQ(surface.m_Center.y, c.centreY);
        EXPECT_EQ(surface.m_ZImage.GetLineBytes(), c.lineBytes);
        // Resizing stores the same geometry.
        ASSERT_EQ(surface.ResizeScreen(c.height, c.width, nullptr), 0);
        EXPECT_EQ(surface.m_Size.width, c.height);
        EXPECT_EQ(surface.m_Center.y, c.width / 2);
    }
    // A picture the imaging library refuses leaves no geometry behind.
    COvImageDraw huge;
    EXPECT_NE(huge.Init(&log.control, 1 << 20, 1 << 20), 0);
    EXPECT_EQ(huge.m_Size.width, 0);
    EXPECT_EQ(huge.m_nLineBytes, 0);
}

TEST(ImageDraw, FrameStartLaysTheBackgroundAndResetsDepth) {
    LoggedControl log;
    COvImageDraw surface;
    ASSERT_EQ(surface.Init(&log.control, 7, 5), 0);
    // Plain black keeps no composed background: the frame starts all zero.
    surface.m_BackColor = CPxRGB{0, 0, 0};
    EXPECT_EQ(surface.FillBackColor(), 0);
    EXPECT_TRUE(surface.m_BackScreen.IsEmpty());
    std::memset(surface.m_ZImage.GetData(), 0x5A, 5u * surface.m_nLineBytes);
    // The depth buffer as code outside the library reaches it: through the canvas.
    auto* picture = dynamic_cast<CPxZImageData24*>(surface.HandOutCanvas()->GetImage());
    ASSERT_NE(picture, nullptr);
    float* depth = picture->GetBuffer().GetStart();
    ASSERT_NE(depth, nullptr);
    for (int i = 0; i < 35; ++i)
        depth[i] = 1.0f;
    surface.ClearCanvas();
    for (int i = 0; i < 5 * surface.m_nLineBytes; ++i) {
        ASSERT_EQ(surface.m_ZImage.GetData()[i], 0) << i;
    }
    for (int i = 0; i < 35; ++i) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &depth[i], sizeof bits);
        ASSERT_EQ(bits, 0x7F7FFFFFu) << i;
    }
    // A colour is composed once and copied at every frame start.
    surface.m_BackColor = kBack;
    EXPECT_EQ(surface.FillBackColor(), 0);
    EXPECT_FALSE(surface.m_BackScreen.IsEmpty());
    surface.ClearCanvas();
    EXPECT_TRUE(OvPixelsAre(OvPixelsOf(surface.m_ZImage), {{0, 0, kBack}, {6, 4, kBack}}));
}

TEST(ImageDraw, PicturesArePlacedByTheirMode) {
    struct Case {
        const char* name;
        int width, height;  // surface
        int picW, picH;     // picture
        int mode;
        PixelFunction expected;
    };
    auto at = [](int left, int top, int w, int h) { return GradientAt(left, top, w, h, kBack); };
    const Case cases[] = {
        {"stretched at its own size", 64, 40, 64, 40, 0, at(0, 0, 64, 40)},
        {"centred, larger than the surface", 50, 30, 80, 41, 1, at(-15, -5, 80, 41)},
        {"centred, smaller than the surface", 300, 201, 100, 50, 1, at(100, 75, 100, 50)},
        {"lower-left", 300, 201, 40, 60, 2, at(0, 141, 40, 60)},
        {"lower-left, taller than the surface", 300, 201, 40, 250, 2, at(0, -49, 40, 250)},
        {"tiled, partial copies at the edges", 130, 50, 60, 20, 3,
         [](int x, int y) { return Gradient(x % 60, y % 20); }},
        {"unknown mode: the colour alone", 50, 20, 10, 10, 7, at(0, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        const std::string path = WritePicture(c.picW, c.picH, Gradient);
        Composed composed(c.width, c.height, kBack, path, c.mode, 0);
        EXPECT_EQ(composed.result, 0) << c.name;
        EXPECT_TRUE(OvPictureIs(composed.Pixels(), c.expected)) << c.name;
        std::remove(path.c_str());
    }
    // Stretching scales the picture over the whole surface.
    const std::string plain = WritePicture(3, 2, [](int, int) { return CPxRGB{200, 10, 30}; });
    Composed stretched(90, 50, kBack, plain, 0, 0);
    EXPECT_TRUE(OvPictureIs(stretched.Pixels(), [](int, int) { return CPxRGB{200, 10, 30}; }));
    std::remove(plain.c_str());
}

TEST(ImageDraw, ReleasedPictureIsDecodedAgainOnResize) {
    const std::string path = WritePicture(20, 10, Gradient);
    Composed composed(60, 30, CPxRGB{0, 0, 0}, path, 1, OV_BACK_RELEASE_IMAGE);
    ASSERT_EQ(composed.result, 0);
    COvImageDraw& surface = composed.surface;
    // Black with a released picture: the composed background stays, the picture goes.
    EXPECT_TRUE(surface.m_BackImage.IsEmpty());
    EXPECT_FALSE(surface.m_BackScreen.IsEmpty());
    EXPECT_TRUE(OvPixelsAre(composed.Pixels(), {{20, 10, Gradient(0, 0)}}));

    ASSERT_EQ(surface.ResizeScreen(80, 50, path.c_str()), 0);
    EXPECT_TRUE(surface.m_BackImage.IsEmpty());
    surface.ClearCanvas();
    EXPECT_TRUE(OvPixelsAre(
        composed.Pixels(),
        {{30, 20, Gradient(0, 0)}, {49, 29, Gradient(19, 9)}, {29, 20, CPxRGB{0, 0, 0}}}));

    // The file is gone: the resize reports the decoder's code, logs the path, and later
    // resizes no longer try the file.
    std::remove(path.c_str());
    const int code = surface.ResizeScreen(40, 40, path.c_str());
    EXPECT_LT(code, 0);
    EXPECT_TRUE(Logged(composed.log, {"COvImageDraw", "MakeBackImage", path}));
    EXPECT_EQ(surface.m_nBackFlags & OV_BACK_RELEASE_IMAGE, 0);
    EXPECT_EQ(surface.ResizeScreen(41, 40, path.c_str()), 0);

    // The flag without a picture asks for nothing to be decoded.
    EXPECT_EQ(surface.MakeBackImage(1, OV_BACK_RELEASE_IMAGE, nullptr, 41, 40), 0);
    const size_t lines = composed.log.Lines().size();
    EXPECT_EQ(surface.ResizeScreen(50, 40, nullptr), 0);
    EXPECT_EQ(surface.ResizeScreen(60, 40, ""), 0);
    EXPECT_EQ(composed.log.Lines().size(), lines);
}

TEST(ImageDraw, UndecodablePictureLeavesThePlainColour) {
    const std::string path = TempPath("ovscreenbad", ".png");
    {
        std::ofstream out(path);
        out << "not a picture";
    }
    Composed composed(30, 20, kBack, path, 1, OV_BACK_RELEASE_IMAGE | OV_BACK_LOAD_OPTION);
    EXPECT_LT(composed.result, 0);
    EXPECT_TRUE(Logged(composed.log, {"COvImageDraw", "MakeBackImage", path}));
    EXPECT_EQ(composed.surface.m_nBackFlags, OV_BACK_LOAD_OPTION);
    EXPECT_TRUE(OvPictureIs(composed.Pixels(), [](int, int) { return kBack; }));
    std::remove(path.c_str());
}

TEST(ImageDraw, BackgroundThatCannotBeAllocatedLeavesThePlainColour) {
    LoggedControl log;
    COvImageDraw surface;
    ASSERT_EQ(surface.Init(&log.control, 12, 8), 0);
    // A size the imaging library refuses stands for memory that cannot be had.
    surface.m_Size = OV_SIZE(1 << 20, 1 << 20);
    surface.m_BackColor = kBack;
    EXPECT_EQ(surface.FillBackColor(), OV_E_NOMEMORY);
    EXPECT_TRUE(surface.m_BackScreen.IsEmpty());
    EXPECT_TRUE(LoggedFailure(log, "COvImageDraw", "FillBackColor", OV_E_NOMEMORY));

    // A picture cannot be composed either; nothing is drawn out of bounds.
    const std::string path = WritePicture(4, 4, Gradient);
    EXPECT_EQ(surface.MakeBackImage(3, 0, path.c_str(), 12, 8), 0);
    std::remove(path.c_str());

    // The frame start still shows the colour.
    surface.ClearCanvas();
    EXPECT_TRUE(OvPictureIs(OvPixelsOf(surface.m_ZImage), [](int, int) { return kBack; }));
}

TEST(ImageDraw, CopyToTheWindowIsClippedToThePicture) {
    LoggedControl log;
    COvImageDraw surface;
    ASSERT_EQ(surface.Init(&log.control, 6, 4), 0);
    surface.m_BackColor = kBack;
    surface.FillBackColor();
    surface.ClearCanvas();
    surface.m_ZImage.SetPixel(5, 0, CPxRGB{255, 255, 255});

    // The window is larger than the picture: only the picture's part is copied.
    COvMemoryWindow window(10, 9);
    HDC dc = GetDC(&window);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(surface.DrawImage(RECT{0, 0, 10, 9}, dc), 0);
    ReleaseDC(&window, dc);
    EXPECT_TRUE(OvPictureIs(OvPixelsOf(window), [](int x, int y) {
        if (x >= 6 || y >= 4)
            return CPxRGB{0, 0, 0};
        return x == 5 && y == 0 ? CPxRGB{255, 255, 255} : kBack;
    }));

    // A failed copy is logged and still answers 0.
    EXPECT_EQ(surface.DrawImage(RECT{0, 0, 6, 4}, nullptr), 0);
    EXPECT_TRUE(LoggedFailure(log, "COvImageDraw", "DrawImage", OV_IMAGEDRAW_COPY_FAILED));
}
