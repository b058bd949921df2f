// The headless window, device contexts and SetDIBitsToDevice.
#include <png.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "OvHeadlessFixture.h"
#include "OvPlatform.h"

namespace {

using namespace ovtest;

// A picture whose every pixel has its own colour, so misplaced rows or columns show.
CPxRGB Pattern(int x, int y) {
    return CPxRGB{(x * 37 + 11) & 0xFF, (y * 53 + 7) & 0xFF, (x * y + 101) & 0xFF};
}

void FillPattern(OvTestPicture& picture) {
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            picture.Set(x, y, Pattern(x, y));
        }
    }
}

// Reads a PNG file as rows of RGB triplets (libpng's simplified reader).
bool ReadPng(const std::string& path, int& width, int& height, std::vector<std::uint8_t>& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}

class MemoryWindowTest : public OvHeadlessWindowTest {};

}  // namespace

// ---------------------------------------------------------------------------
// The memory window
// ---------------------------------------------------------------------------

TEST_F(MemoryWindowTest, PresentedPictureReadsBackPixelForPixel) {
    COvMemoryWindow& window = OpenWindow(7, 5);  // odd width: rows of the picture are padded
    EXPECT_TRUE(PictureIs([](int, int) { return kBlack; })) << "nothing presented yet";
    for (bool bottomUp : {true, false}) {
        OvTestPicture picture(7, 5, bottomUp);
        FillPattern(picture);
        EXPECT_EQ(picture.ShowIn(&window), 5);
        EXPECT_TRUE(PictureIs(Pattern)) << (bottomUp ? "bottom-up" : "top-down");
    }
    EXPECT_EQ(window.GetPresentCount(), 2);

    CPxRGB untouched{1, 2, 3};
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {7, 0}, {0, 5}}) {
        EXPECT_EQ(window.GetPixel(x, y, untouched), OV_WND_E_ARGUMENT);
    }
    EXPECT_TRUE(OvSameColour(untouched, CPxRGB{1, 2, 3}));
}

TEST_F(MemoryWindowTest, ResizeKeepsWhatWasShownAndChangesTheClientRect) {
    COvMemoryWindow& window = OpenWindow(4, 4);
    OvTestPicture picture(4, 4);
    FillPattern(picture);
    picture.ShowIn(&window);

    ASSERT_EQ(window.Resize(6, 2), 0);
    RECT rect{-1, -1, -1, -1};
    ASSERT_EQ(GetClientRect(&window, &rect), 1);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 6);
    EXPECT_EQ(rect.bottom, 2);
    EXPECT_TRUE(PictureIs([](int x, int y) { return x < 4 ? Pattern(x, y) : kBlack; }));
    CPxRGB c;
    EXPECT_EQ(window.GetPixel(0, 2, c), OV_WND_E_ARGUMENT);

    // A presentation of the old size no longer fits: it is clipped, not written past
    // the end of the smaller picture.
    EXPECT_EQ(picture.ShowIn(&window), 4);
    EXPECT_TRUE(PixelIs(3, 1, Pattern(3, 1)));
    // So is a block cut to a size the window had before another thread shrank it.
    const COvPicture stale{2, 0, 4, 4, picture.MemoryRow(3), -picture.LineBytes()};
    EXPECT_EQ(window.Present(stale), 0);
    EXPECT_TRUE(PixelIs(5, 1, Pattern(3, 1)));
    const COvPicture misplaced{-1, 0, 1, 1, picture.MemoryRow(0), 0};
    EXPECT_EQ(window.Present(misplaced), OV_WND_E_ARGUMENT);

    // Refused sizes leave the window as it was; zero is a valid (minimised) size.
    for (auto [w, h] : {std::pair{-1, 3},
                        {3, -1},
                        {OV_MAX_WINDOW_SIDE + 1, 1},
                        {OV_MAX_WINDOW_SIDE, OV_MAX_WINDOW_SIDE}}) {
        EXPECT_EQ(window.Resize(w, h), OV_WND_E_ARGUMENT) << w << "x" << h;
    }
    EXPECT_EQ(window.GetClientSize().width, 6);
    ASSERT_EQ(window.Resize(0, 0), 0);
    EXPECT_EQ(picture.ShowIn(&window), 4) << "nothing visible is no failure";
}

TEST(MemoryWindow, OutOfRangeConstructionGivesAnEmptyWindow) {
    struct Case {
        int width, height, expectW, expectH;
    } cases[] = {
        {-5, 3, 0, 3},
        {3, -5, 3, 0},
        {OV_MAX_WINDOW_SIDE + 1, 1, 0, 0},
        {OV_MAX_WINDOW_SIDE, OV_MAX_WINDOW_SIDE, 0, 0},  // area beyond the pixel limit
        {OV_MAX_WINDOW_SIDE, 2, OV_MAX_WINDOW_SIDE, 2},
    };
    for (const Case& c : cases) {
        COvMemoryWindow window(c.width, c.height);
        EXPECT_EQ(window.GetClientSize().width, c.expectW) << c.width << "x" << c.height;
        EXPECT_EQ(window.GetClientSize().height, c.expectH) << c.width << "x" << c.height;
    }
}

TEST_F(MemoryWindowTest, SnapshotIsAFaithfulPng) {
    COvMemoryWindow& window = OpenWindow(5, 3);
    OvTestPicture picture(5, 3);
    FillPattern(picture);
    picture.ShowIn(&window);

    std::string path;
    ASSERT_EQ(OvCreateTempFile("OvSnapshot", ".png", path), 0);
    ASSERT_EQ(window.SavePng(path.c_str()), 0);
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    ASSERT_TRUE(ReadPng(path, width, height, rgb));
    std::remove(path.c_str());
    ASSERT_EQ(width, 5);
    ASSERT_EQ(height, 3);
    const OvPixels read{width, height, [&rgb](int x, int y) {
                            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * 5 + x) * 3];
                            return CPxRGB{p[0], p[1], p[2]};
                        }};
    EXPECT_TRUE(OvPictureIs(read, Pattern));

    EXPECT_EQ(window.SavePng(nullptr), OV_WND_E_ARGUMENT);
    EXPECT_EQ(window.SavePng(""), OV_WND_E_ARGUMENT);
    EXPECT_EQ(window.SavePng("/nonexistent-dir/x.png"), OV_E_FILE);
    COvMemoryWindow empty(0, 0);
    EXPECT_EQ(empty.SavePng("unused.png"), OV_WND_E_ARGUMENT);
}

// ---------------------------------------------------------------------------
// Device contexts
// ---------------------------------------------------------------------------

TEST(DeviceContext, TakenAndGivenBackPerWindow) {
    COvMemoryWindow a(2, 2);
    COvMemoryWindow b(2, 2);
    EXPECT_EQ(GetDC(nullptr), nullptr);
    HDC dcA = GetDC(&a);
    ASSERT_NE(dcA, nullptr);
    EXPECT_EQ(ReleaseDC(&b, dcA), 0) << "another window's context";
    EXPECT_EQ(ReleaseDC(nullptr, dcA), 0);
    EXPECT_EQ(ReleaseDC(&a, nullptr), 0);
    EXPECT_EQ(ReleaseDC(&a, dcA), 1);
    EXPECT_EQ(ReleaseDC(&a, dcA), 0) << "given back twice";

    RECT rect{7, 7, 7, 7};
    EXPECT_EQ(GetClientRect(nullptr, &rect), 0);
    EXPECT_EQ(rect.left, 7);
    EXPECT_EQ(GetClientRect(&a, nullptr), 0);
}

// ---------------------------------------------------------------------------
// SetDIBitsToDevice
// ---------------------------------------------------------------------------

TEST(SetDIBitsToDevice, RefusesWhatItCannotDraw) {
    COvMemoryWindow window(4, 4);
    OvTestPicture picture(4, 4);
    picture.Fill(kRed);
    HDC dc = GetDC(&window);
    BITMAPINFO info = *picture.Info();
    auto copy = [&](const BITMAPINFO* i, const void* bits, unsigned use, HDC d) {
        return SetDIBitsToDevice(d, 0, 0, 4, 4, 0, 0, 0, 4, bits, i, use);
    };
    EXPECT_EQ(copy(&info, picture.Bits(), DIB_RGB_COLORS, nullptr), 0);
    EXPECT_EQ(copy(nullptr, picture.Bits(), DIB_RGB_COLORS, dc), 0);
    EXPECT_EQ(copy(&info, nullptr, DIB_RGB_COLORS, dc), 0);
    EXPECT_EQ(copy(&info, picture.Bits(), 1, dc), 0) << "palette colours";

    struct Bad {
        const char* what;
        void (*spoil)(BITMAPINFOHEADER&);
    } bad[] = {
        {"32 bits", [](BITMAPINFOHEADER& h) { h.biBitCount = 32; }},
        {"compressed", [](BITMAPINFOHEADER& h) { h.biCompression = 1; }},
        {"zero width", [](BITMAPINFOHEADER& h) { h.biWidth = 0; }},
        {"negative width", [](BITMAPINFOHEADER& h) { h.biWidth = -4; }},
        {"zero height", [](BITMAPINFOHEADER& h) { h.biHeight = 0; }},
        {"short header", [](BITMAPINFOHEADER& h) { h.biSize = 12; }},
        {"huge height", [](BITMAPINFOHEADER& h) { h.biHeight = -0x7FFFFFFF - 1; }},
    };
    for (const Bad& b : bad) {
        BITMAPINFO spoilt = info;
        b.spoil(spoilt.bmiHeader);
        EXPECT_EQ(copy(&spoilt, picture.Bits(), DIB_RGB_COLORS, dc), 0) << b.what;
    }
    EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 4, 4, 0, 0, 0, 0, picture.Bits(), &info, 0), 0)
        << "no scan lines";
    EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 4, 4, 0, 0, 4, 1, picture.Bits(), &info, 0), 0)
        << "band above the picture";
    EXPECT_EQ(window.GetPresentCount(), 0);

    ReleaseDC(&window, dc);
    EXPECT_EQ(copy(&info, picture.Bits(), DIB_RGB_COLORS, dc), 0) << "released context";
    EXPECT_EQ(window.GetPresentCount(), 0);
}

TEST(SetDIBitsToDevice, PlacesClipsAndBandsLikeThePlatform) {
    // A 4 x 4 bottom-up picture: its rows from the top are red, green, blue, white.
    OvTestPicture picture(4, 4);
    const CPxRGB rows[4] = {kRed, kGreen, kBlue, kWhite};
    for (int y = 0; y < 4; ++y) {
        picture.FillRect(0, y, 4, y + 1, rows[y]);
    }
    picture.Set(0, 0, kWhite);  // marks the top-left corner
    struct Case {
        const char* what;
        int xDest, yDest;
        unsigned width, height;
        int xSrc, ySrc;
        unsigned startScan, cLines;
        int bandFromMemoryRow;  // bits begin at this memory row of the picture
        int result;
        // Expected window content (6 x 6), one letter a pixel: r g b w, '.' untouched.
        const char* expect[6];
    } cases[] = {
        // clang-format off
        {"whole picture at an offset", 1, 2, 4, 4, 0, 0, 0, 4, 0, 4,
         {"......", "......", ".wrrr.", ".gggg.", ".bbbb.", ".wwww."}},
        {"clipped at the right and bottom", 3, 4, 4, 4, 0, 0, 0, 4, 0, 4,
         {"......", "......", "......", "......", "...wrr", "...ggg"}},
        {"clipped at the left and top", -1, -2, 4, 4, 0, 0, 0, 4, 0, 4,
         {"bbb...", "www...", "......", "......", "......", "......"}},
        // Source origin is the picture's bottom-left: ySrc 1 skips the white bottom row;
        // the rectangle covers two of the four scan lines given.
        {"source rectangle", 0, 0, 2, 2, 1, 1, 0, 4, 0, 2,
         {"gg....", "bb....", "......", "......", "......", "......"}},
        // Scan lines 2 and 3 (from the bottom) are the green and red rows.
        {"one band of two scan lines", 0, 0, 4, 4, 0, 0, 2, 2, 2, 2,
         {"wrrr..", "gggg..", "......", "......", "......", "......"}},
        {"band outside the source rectangle", 0, 0, 4, 2, 0, 0, 2, 2, 2, 0,
         {"......", "......", "......", "......", "......", "......"}},
        {"entirely outside the window", 7, 0, 4, 4, 0, 0, 0, 4, 0, 4,
         {"......", "......", "......", "......", "......", "......"}},
        {"cLines beyond the picture", 0, 0, 4, 4, 0, 0, 0, 100, 0, 4,
         {"wrrr..", "gggg..", "bbbb..", "wwww..", "......", "......"}},
        // clang-format on
    };
    const CPxRGB untouched{9, 9, 9};
    for (const Case& c : cases) {
        COvMemoryWindow window(6, 6);
        OvTestPicture background(6, 6);
        background.Fill(untouched);
        background.ShowIn(&window);

        HDC dc = GetDC(&window);
        const int lines = SetDIBitsToDevice(
            dc, c.xDest, c.yDest, c.width, c.height, c.xSrc, c.ySrc, c.startScan, c.cLines,
            picture.MemoryRow(c.bandFromMemoryRow), picture.Info(), DIB_RGB_COLORS);
        ReleaseDC(&window, dc);
        EXPECT_EQ(lines, c.result) << c.what;
        EXPECT_TRUE(OvPictureIs(OvPixelsOf(window), [&](int x, int y) {
            switch (c.expect[y][x]) {
                case 'r':
                    return kRed;
                case 'g':
                    return kGreen;
                case 'b':
                    return kBlue;
                case 'w':
                    return kWhite;
                default:
                    return untouched;
            }
        })) << c.what;
    }
}

// A window of the client's own toolkit gets blocks that fit its client area.
TEST(SetDIBitsToDevice, DerivedWindowsGetBlocksInsideTheirClientArea) {
    class RecordingWindow : public COvWindow {
    public:
        COvSize GetClientSize() const override { return COvSize{3, 2}; }
        int Present(const COvPicture& p) override {
            blocks.push_back(p);
            return refuse ? -1 : 0;
        }
        std::vector<COvPicture> blocks;
        bool refuse = false;
    };
    RecordingWindow window;
    OvTestPicture picture(5, 5);
    ASSERT_EQ(picture.ShowIn(&window), 5);
    ASSERT_EQ(window.blocks.size(), 1u);
    const COvPicture& block = window.blocks[0];
    EXPECT_EQ(block.x, 0);
    EXPECT_EQ(block.y, 0);
    EXPECT_EQ(block.width, 3);
    EXPECT_EQ(block.height, 2);
    EXPECT_EQ(block.pTop, picture.MemoryRow(4)) << "the top row of a bottom-up picture";
    EXPECT_EQ(block.nPitch, -picture.LineBytes());

    window.refuse = true;
    EXPECT_EQ(picture.ShowIn(&window), 0) << "a window's refusal is a failure";
}

#if !defined(ORVANE_HAVE_SDL)
// Built without SDL, the on-screen window refuses to open and takes no pictures.
TEST(SdlWindow, WithoutSdlItNeverOpens) {
    COvSdlWindow window;
    EXPECT_EQ(window.Create("none", 0, 10), OV_WND_E_ARGUMENT);
    EXPECT_EQ(window.Create("none", 10, 10), OV_WND_E_NODISPLAY);
    EXPECT_FALSE(window.IsOpen());
    OvTestPicture picture(2, 2);
    EXPECT_EQ(picture.ShowIn(&window), 2) << "a 0 x 0 client area shows nothing, and fails nothing";
    EXPECT_EQ(OvPumpMessages(0), 0);
}
#endif
