// The text bitmap renderer: measuring, drawing with styles and the ellipsis, the BMP
// file, bad input, and renderings on several threads sharing the control's faces.
// Fonts differ between machines, so drawing is checked by where ink lies, not by pixels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "OvScene.h"
#include "data/OvMemManager.h"
#include "screen/OvDC.h"
#include "screen/OvFontFaces.h"
#include "tests/scene/SceneFixture.h"

namespace {

const CPxRGB kBack{250, 240, 230};
const CPxRGB kInk{10, 20, 160};

struct Style {
    int size = 24;
    int weight = 0;
    int italic = 0;
    int underline = 0;
    int strike = 0;
    const char* font = "";
};

// Where the pixels that differ from the background lie, within a region.
struct Ink {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1, count = 0;
    double sumX = 0;
    double MeanX() const { return count > 0 ? sumX / count : 0; }
};

Ink InkOf(const CPxImageData24& image, int x0 = 0, int y0 = 0, int x1 = INT_MAX, int y1 = INT_MAX) {
    Ink ink;
    CPxRGB c{};
    for (int y = std::max(y0, 0); y < std::min(y1, image.GetHeight()); ++y) {
        for (int x = std::max(x0, 0); x < std::min(x1, image.GetWidth()); ++x) {
            image.GetPixel(x, y, c);
            if (c.r == kBack.r && c.g == kBack.g && c.b == kBack.b)
                continue;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
            ++ink.count;
            ink.sumX += x;
        }
    }
    return ink;
}

std::vector<unsigned char> PixelsOf(const CPxImageData24& image) {
    const unsigned char* p = image.GetData();
    return p ? std::vector<unsigned char>(p, p + image.GetLineBytes() * image.GetHeight())
             : std::vector<unsigned char>();
}

std::vector<unsigned char> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

unsigned Le(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
    unsigned v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | b[at + i];
    return v;
}

// One rendering as the text object makes it: a width or height of 0 is measured.
int Render(COvControl* control, COvDC& dc, const char* text, const Style& s = {}, int width = 0,
           int height = 0) {
    const int code = dc.Init(control, width, height, text, s.font, s.size);
    if (code != 0)
        return code;
    dc.SetBackColor(kBack);
    return dc.DrawText(text, s.size, kInk, s.weight, s.italic, s.underline, s.strike, s.font);
}

class DCTest : public ::testing::Test {
protected:
    int Render(const char* text, const Style& s = {}, int width = 0, int height = 0) {
        return ::Render(&log.control, dc, text, s, width, height);
    }
    COvSize Measure(const char* text, int size) {
        COvSize measured{0, 0};
        EXPECT_EQ(dc.GetImageSize(text, measured, "", size), 0);
        return measured;
    }
    // True when the log holds the renderer's line for function, code and detail.
    bool Logged(const char* function, int code, const std::string& detail) const {
        return Logged(std::string("[COvDC] [") + function + "] [" + std::to_string(code) + "] [" +
                      detail);
    }
    bool Logged(const std::string& part) const {
        for (const std::string& line : log.Lines()) {
            if (line.find(part) != std::string::npos)
                return true;
        }
        return false;
    }

    ovtest::LoggedControl log;
    COvDC dc;
};

}  // namespace

TEST_F(DCTest, MeasuresLinesAtTheUnclampedSize) {
    // One cell per line: MulDiv(points, 96, 72) pixels; 0 or less measures as 8 points.
    struct Case {
        const char* text;
        int size, height;
    };
    const Case cases[] = {
        {"Hello", 12, 16}, {"Hello\nWorld", 12, 32}, {"Hello\n", 12, 32},   {"\n\n", 12, 48},
        {"", 12, 16},      {"Hello", 150, 200},      {"Hello", 1000, 1333}, {"Hello", 0, 11},
        {"Hello", -4, 11}};
    for (const Case& c : cases)
        EXPECT_EQ(Measure(c.text, c.size).height, c.height) << c.text << " at " << c.size;

    const int hello = Measure("Hello", 12).width;
    EXPECT_GT(hello, 0);
    EXPECT_EQ(Measure("Hi\nHello\nH", 12).width, hello);  // the widest line
    EXPECT_EQ(Measure("Hello\n", 12).width, hello);
    EXPECT_EQ(Measure("", 12).width, 0);
    EXPECT_NEAR(Measure("Hello", 24).width, 2 * hello, 2);

    // Only components of 0 or less are measured.
    COvSize given{7, -1};
    ASSERT_EQ(dc.GetImageSize("Hello", given, "", 12), 0);
    EXPECT_EQ(given.width, 7);
    EXPECT_EQ(given.height, 16);
    ASSERT_EQ(dc.Init(&log.control, 200, 0, "ab\nabcd", "", 12), 0);
    EXPECT_EQ(dc.m_Rect.right, 200);
    EXPECT_EQ(dc.m_Rect.bottom, 32);
    ASSERT_EQ(dc.Init(&log.control, 120, 40, "a text far longer than the picture", "", 12), 0);
    EXPECT_EQ(dc.m_Bitmap.GetWidth(), 120);
    EXPECT_EQ(dc.m_Bitmap.GetHeight(), 40);
}

TEST_F(DCTest, DrawsTheMeasuredTextWholeInTheTextColour) {
    const Style s{40};
    ASSERT_EQ(Render("Hello World", s), 0);
    const int w = dc.m_Rect.right, h = dc.m_Rect.bottom;
    const std::vector<unsigned char> fitted = PixelsOf(dc.m_Bitmap);
    bool solid = false, blended = true;
    CPxRGB c{};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            dc.m_Bitmap.GetPixel(x, y, c);
            solid = solid || (c.r == kInk.r && c.g == kInk.g && c.b == kInk.b);
            blended = blended && c.r <= kBack.r && c.r >= kInk.r && c.b <= kBack.b && c.b >= kInk.b;
        }
    }
    EXPECT_TRUE(solid);    // stems are fully covered
    EXPECT_TRUE(blended);  // edges lie between background and text colour

    // A measured line fits as measured: in a larger picture the same pixels, no more.
    COvDC wide;
    ASSERT_EQ(::Render(&log.control, wide, "Hello World", s, w + 40, h + 20), 0);
    EXPECT_EQ(InkOf(wide.m_Bitmap, w, 0).count, 0);
    EXPECT_EQ(InkOf(wide.m_Bitmap, 0, h).count, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            CPxRGB a{}, b{};
            dc.m_Bitmap.GetPixel(x, y, a);
            wide.m_Bitmap.GetPixel(x, y, b);
            ASSERT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b) << x << "," << y;
        }
    }
    EXPECT_EQ(fitted, PixelsOf(dc.m_Bitmap));
}

TEST_F(DCTest, DrawingClampsTheSizeInto8To99Points) {
    const int pairs[][2] = {{150, 99}, {1000, 99}, {0, 8}, {-3, 8}};
    for (const auto& p : pairs) {
        ASSERT_EQ(Render("Ag", Style{p[0]}, 300, 200), 0);
        const auto clamped = PixelsOf(dc.m_Bitmap);
        ASSERT_EQ(Render("Ag", Style{p[1]}, 300, 200), 0);
        EXPECT_EQ(clamped, PixelsOf(dc.m_Bitmap)) << p[0];
    }
    ASSERT_EQ(Render("Ag", Style{98}, 300, 200), 0);
    const auto smaller = PixelsOf(dc.m_Bitmap);
    ASSERT_EQ(Render("Ag", Style{99}, 300, 200), 0);
    EXPECT_NE(smaller, PixelsOf(dc.m_Bitmap));
}

TEST_F(DCTest, StylesChangeTheInk) {
    // DejaVu Sans has bold and oblique faces; the math face has neither, so its styles
    // are synthesised.
    struct Case {
        const char* font;
        bool synthesised;
    };
    const Case cases[] = {{"DejaVu Sans", false}, {"DejaVu Math TeX Gyre", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.font);
        COvFontChoice bold{}, italic{};
        COvFontFaces faces;
        ASSERT_EQ(faces.Find(c.font, true, false, bold), 0);
        ASSERT_EQ(faces.Find(c.font, false, true, italic), 0);
        EXPECT_EQ(bold.bEmbolden, c.synthesised);
        EXPECT_EQ(italic.bOblique, c.synthesised);

        const int w = 200, h = 50;
        auto inkOf = [&](const char* text, Style s) {
            s.size = 30;
            s.font = c.font;
            EXPECT_EQ(Render(text, s, w, h), 0);
            return InkOf(dc.m_Bitmap);
        };
        const Ink plain = inkOf("xox", {});
        const Ink bold700 = inkOf("xox", Style{0, 700});
        EXPECT_GT(bold700.count, plain.count * 23 / 20);
        EXPECT_GE(bold700.right, plain.right);

        // Nothing of "xox" lies below the baseline; an underline does, along the text.
        EXPECT_EQ(inkOf("xox", {}).bottom, plain.bottom);
        inkOf("xox", Style{0, 0, 0, 1});
        const Ink under = InkOf(dc.m_Bitmap, 0, plain.bottom + 1);
        EXPECT_GT(under.count, 0);
        EXPECT_GE(under.right - under.left, plain.right - plain.left - 2);

        // A strike-out fills a row across the text in the middle half of the x-height.
        inkOf("xox", Style{0, 0, 0, 0, 1});
        const int quarter = (plain.bottom - plain.top) / 4;
        int crossed = 0;
        for (int y = plain.top + quarter; y <= plain.bottom - quarter; ++y)
            crossed = std::max(crossed, InkOf(dc.m_Bitmap, 0, y, w, y + 1).count);
        EXPECT_GE(crossed, (plain.right - plain.left) * 9 / 10);

        // Italic leans: the tops of upright stems move right of their feet.
        auto lean = [&](int italicFlag) {
            const Ink all = inkOf("lll", Style{0, 0, italicFlag});
            const int third = (all.bottom - all.top) / 3;
            return InkOf(dc.m_Bitmap, 0, 0, w, all.top + third).MeanX() -
                   InkOf(dc.m_Bitmap, 0, all.bottom - third).MeanX();
        };
        EXPECT_GT(lean(2), lean(0) + 2.0);
    }
}

TEST_F(DCTest, ALineTooWideEndsInAnEllipsisInsideThePicture) {
    const char* text = "The quick brown fox jumps over the lazy dog\nab";
    ASSERT_EQ(Render(text, Style{12}, 90, 0), 0);
    const int w = dc.m_Rect.right;
    const Ink first = InkOf(dc.m_Bitmap, 0, 0, w, 16);
    EXPECT_GT(InkOf(dc.m_Bitmap, w - 14, 0, w, 16).count, 0);  // the ellipsis' dots
    EXPECT_EQ(InkOf(dc.m_Bitmap, w - 1, 0, w, 16).count, 0);   // nothing cut at the edge
    EXPECT_LT(first.right, w - 1);
    // The dots sit on the baseline: the last few columns have ink only low in the cell.
    EXPECT_GT(InkOf(dc.m_Bitmap, w - 4, 0, w, 16).top, first.top + 4);
    // The short second line is drawn as it is.
    const Ink second = InkOf(dc.m_Bitmap, 0, 16, w, 32);
    EXPECT_GT(second.count, 0);
    EXPECT_LT(second.right, 20);
}

TEST_F(DCTest, WritesTheBitmapFileLayout) {
    struct Case {
        int width, height, fileSize, row;
    };
    const Case cases[] = {{5, 2, 86, 16}, {4, 1, 66, 12}};
    char name[] = "/tmp/ovdctestXXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::string path = name;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        {
            std::ofstream junk(path, std::ios::binary);
            junk << std::string(1000, 'x');  // an existing, longer file is replaced
        }
        ASSERT_EQ(dc.Init(&log.control, c.width, c.height, "", "", 12), 0);
        ASSERT_EQ(dc.SetBackColor(kBack), 0);
        dc.m_Bitmap.SetPixel(0, 0, CPxRGB{255, 0, 0});  // top-left
        ASSERT_EQ(dc.SaveBitmap(path.c_str()), 0);
        const std::vector<unsigned char> b = FileBytes(path);
        ASSERT_EQ(static_cast<int>(b.size()), c.fileSize);
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        const unsigned header[][3] = {{2, 4, unsigned(c.fileSize)},
                                      {6, 4, 0},
                                      {10, 4, 54},
                                      {14, 4, 40},
                                      {18, 4, unsigned(c.width)},
                                      {22, 4, unsigned(c.height)},
                                      {26, 2, 1},
                                      {28, 2, 24}};
        for (const auto& field : header)
            EXPECT_EQ(Le(b, field[0], int(field[1])), field[2]) << "offset " << field[0];
        for (std::size_t at = 30; at < 54; ++at)
            EXPECT_EQ(b[at], 0) << at;
        for (int row = 0; row < c.height; ++row) {
            const std::size_t start = 54 + std::size_t(row) * c.row;
            for (int pad = 3 * c.width; pad < c.row; ++pad)
                EXPECT_EQ(b[start + pad], 0);
            // Bottom row first: the top-left red pixel lies in the last row.
            const bool top = row == c.height - 1;
            EXPECT_EQ(b[start], top ? 0 : kBack.b);
            EXPECT_EQ(b[start + 2], top ? 255 : kBack.r);
        }
        // The imaging library reads it back as drawn.
        CPxImageData24 back;
        ASSERT_EQ(back.LoadImageA(path.c_str(), nullptr, 0), 0);
        EXPECT_EQ(PixelsOf(back), PixelsOf(dc.m_Bitmap));
    }
    std::remove(path.c_str());

    EXPECT_EQ(dc.SaveBitmap("/no-such-directory-here/text.bmp"), OV_E_FILE);
    EXPECT_TRUE(Logged("SaveBitmap", OV_E_FILE, "::CreateFile]"));
    if (access("/dev/full", W_OK) == 0) {  // every write fails there: no space
        EXPECT_EQ(dc.SaveBitmap("/dev/full"), OV_TEXT_WRITE_FAILED);
        EXPECT_EQ(access("/dev/full", F_OK), 0);  // and nothing is removed
    }
}

TEST_F(DCTest, OperationsWithoutAPictureFail) {
    COvDC fresh;
    EXPECT_EQ(fresh.Init(nullptr, 10, 10, "a", "", 12), OV_E_NULL_CONTROL);
    ASSERT_EQ(dc.Init(&log.control, 10, 10, "a", "", 12), 0);
    dc.Exit();
    dc.Exit();
    for (COvDC* d : {&fresh, &dc}) {
        EXPECT_EQ(d->SetBackColor(kBack), OV_TEXT_FILL_FAILED);
        EXPECT_EQ(d->DrawText("a", 12, kInk, 0, 0, 0, 0, ""), OV_TEXT_NO_SELECT);
        EXPECT_EQ(d->SaveBitmap("/tmp/never-written.bmp"), OV_TEXT_NO_PIXELS);
    }
    EXPECT_TRUE(Logged("DrawText", OV_TEXT_NO_SELECT, "::SelectObject]"));
}

TEST_F(DCTest, BadInputGivesADefinedResult) {
    // Empty text and bare line feeds: a picture one pixel wide, one cell per line.
    ASSERT_EQ(Render(""), 0);
    EXPECT_EQ(dc.m_Rect.right, 1);
    EXPECT_EQ(dc.m_Rect.bottom, 32);
    ASSERT_EQ(Render("\n\n\n"), 0);
    EXPECT_EQ(dc.m_Rect.bottom, 4 * 32);
    ASSERT_EQ(dc.Init(&log.control, 0, 0, nullptr, nullptr, 12), 0);
    EXPECT_EQ(dc.DrawText(nullptr, 12, kInk, 0, 0, 0, 0, nullptr), 0);

    // Invalid UTF-8, also cut inside a sequence at the end, draws replacement characters.
    ASSERT_EQ(Render("\xff\xfe\xc3(\xe2\x82"), 0);
    EXPECT_GT(InkOf(dc.m_Bitmap).count, 0);

    // Every style at once.
    ASSERT_EQ(Render("Styled", Style{24, 700, 2, 4, 8}), 0);
    // An unknown family draws as the default one; a family that fontconfig binds to an
    // installed one (as the DejaVu families stand in for Bitstream Vera's) as that one.
    auto drawn = [&](const char* font) {
        EXPECT_EQ(Render("Fallback", Style{24, 0, 0, 0, 0, font}, 200, 40), 0);
        return PixelsOf(dc.m_Bitmap);
    };
    EXPECT_EQ(drawn("No Such Family 0x7f"), drawn(""));
    EXPECT_EQ(drawn("Bitstream Vera Serif"), drawn("dejavuserif"));
    EXPECT_NE(drawn("DejaVu Serif"), drawn(""));

    // 1000 points is measured as such, drawn at 99.
    ASSERT_EQ(Render("Hi", Style{1000}), 0);
    EXPECT_EQ(dc.m_Rect.bottom, 1333);

    // Wider than any picture: refused with one line, before anything is allocated.
    const std::size_t before = log.Lines().size();
    const std::string wide(40000, 'W');
    EXPECT_EQ(Render(wide.c_str(), Style{12}), OV_TEXT_NO_BITMAP);
    EXPECT_TRUE(dc.m_Bitmap.IsEmpty());
    EXPECT_EQ(log.Lines().size(), before + 1);
    const std::string feeds(100000, '\n');  // as tall
    EXPECT_EQ(Render(feeds.c_str(), Style{12}), OV_TEXT_NO_BITMAP);
    EXPECT_TRUE(Logged("Init", OV_TEXT_NO_BITMAP, ""));
}

TEST(DCThreads, RenderingsShareTheControlsFacesAndDrawAsAlone) {
    const Style styles[] = {Style{12}, Style{20, 700}, Style{16, 0, 2, 4},
                            Style{30, 0, 0, 0, 8, "DejaVu Serif"}};
    const char* texts[] = {"Threads", "share\nfaces",
                           "\xC3\x9C"
                           "berschrift",
                           "ligature ffi"};
    std::vector<std::vector<unsigned char>> expected;
    ovtest::LoggedControl alone;
    for (int i = 0; i < 4; ++i) {
        COvDC dc;
        ASSERT_EQ(Render(&alone.control, dc, texts[i], styles[i]), 0);
        expected.push_back(PixelsOf(dc.m_Bitmap));
    }

    // The threads start on faces nothing has loaded yet, and race to load and render.
    ovtest::LoggedControl shared;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < 20; ++n) {
                const int i = (t + n) % 4;
                COvDC dc;
                if (Render(&shared.control, dc, texts[i], styles[i]) != 0 ||
                    PixelsOf(dc.m_Bitmap) != expected[i])
                    ++wrong;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    // Four faces (sans, its bold and oblique, serif), each loaded and asked for once.
    const std::shared_ptr<COvFontFaces> faces = shared.control.m_pMemManager->m_pFontFaces;
    ASSERT_TRUE(faces);
    EXPECT_EQ(faces->GetFaceCount(), 4);
    EXPECT_EQ(faces->GetMatchCount(), 4);

    // A control without a running manager renders with faces of its own.
    COvControl idle;
    COvDC dc;
    ASSERT_EQ(Render(&idle, dc, texts[0], styles[0]), 0);
    EXPECT_EQ(PixelsOf(dc.m_Bitmap), expected[0]);
}
