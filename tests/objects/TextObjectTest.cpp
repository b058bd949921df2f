// Text objects: their bitmap files, their sizes, and the text on a memory window.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "ObjectsFixture.h"

using namespace ovobjtest;
using ovscreentest::Hex;

namespace {

const COvFrameStyle kNoFrame{0, 0, {0, 0, 0}};

COvTextStyle Style(int size = 12, int fixed = 0, CPxRGB back = ovtest::kWhite) {
    COvTextStyle style;
    style.m_nSize = size;
    style.m_bFixedSize = fixed;
    style.m_TextColor = ovtest::kBlack;
    style.m_BackColor = back;
    style.m_nStyle = 0;
    return style;
}

int InitText(COvTextObject& text, COvControl& control, const char* what, COvSize size,
             const COvTextStyle& style = Style(), COvSize3D size3D = {15, 15}, double z = 0) {
    return text.Init(&control, what, style, OV_3DPOINT(0, 0, z), size3D, size, 0, 1, nullptr,
                     kNoFrame);
}

// The bitmap file the object shows (its one image version).
std::string FileOf(const COvTextObject& text) {
    const COvImageInfo* info = text.GetImageList()->GetImageInfo(0);
    return info ? std::string(info->m_Info.m_strName) : std::string();
}

COvSize BitmapSize(const COvTextObject& text) {
    const COvImageInfo* info = text.GetImageList()->GetImageInfo(0);
    return info ? COvSize{info->m_nWidth, info->m_nHeight} : COvSize{0, 0};
}

bool Exists(const std::string& path, mode_t* mode = nullptr) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return false;
    if (mode != nullptr)
        *mode = st.st_mode & 0777;
    return true;
}

}  // namespace

TEST(TextObject, EachObjectHasItsOwnPrivateFileUntilItExits) {
    LoggedControl log;
    std::string second;
    {
        COvTextObject a, b;
        ASSERT_EQ(InitText(a, log.control, "one", {0, 0}), 0);
        ASSERT_EQ(InitText(b, log.control, "two", {0, 0}), 0);
        EXPECT_EQ(a.GetType(), 2);
        const std::string first = FileOf(a);
        second = FileOf(b);
        EXPECT_NE(first, second);
        EXPECT_EQ(first.rfind(OvGetTempDir() + "/OvText", 0), 0u) << first;
        mode_t mode = 0;
        ASSERT_TRUE(Exists(first, &mode));
        EXPECT_EQ(mode, 0600u);

        a.Exit();
        EXPECT_FALSE(Exists(first));
        EXPECT_EQ(a.GetImageList()->GetCount(), 0);
        a.Exit();
        EXPECT_TRUE(Exists(second));
    }
    EXPECT_FALSE(Exists(second)) << "destruction deletes the file too";
}

TEST(TextObject, NoTemporaryFileIsReportedAsAFailure) {
    LoggedControl log;
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", "/nonexistent/ovobjtest", 1);
    COvTextObject text;
    const int rc = InitText(text, log.control, "text", {0, 0});
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_EQ(rc, OV_E_FILE);
    EXPECT_EQ(text.GetType(), 2);
    EXPECT_EQ(text.GetImageList()->GetCount(), 0);
    const std::string code = "[" + std::to_string(OV_E_FILE) + "]";
    EXPECT_EQ(CountLines(log, {"[TextToFile] " + code}), 1);
    EXPECT_EQ(CountLines(log, {"[Init] " + code + " [TextToFile]"}), 1);
}

TEST(TextObject, BitmapSizeIsGivenOrMeasuredPerSide) {
    LoggedControl log;
    COvTextObject given, oneLine, twoLines;
    ASSERT_EQ(InitText(given, log.control, "a text longer than its bitmap", {120, 0}), 0);
    ASSERT_EQ(InitText(oneLine, log.control, "ab", {0, 0}), 0);
    ASSERT_EQ(InitText(twoLines, log.control, "ab\nabcd", {0, 0}), 0);
    EXPECT_EQ(BitmapSize(given).width, 120);
    EXPECT_EQ(BitmapSize(given).height, BitmapSize(oneLine).height);
    EXPECT_EQ(BitmapSize(twoLines).height, 2 * BitmapSize(oneLine).height);
    EXPECT_GT(BitmapSize(twoLines).width, BitmapSize(oneLine).width);
}

TEST(TextObject, FixedSizeStyleKeepsItsPixelSizeAtEveryDistance) {
    Stage stage(640, 480);
    for (double z : {0.0, 500.0}) {
        COvTextObject text;
        ASSERT_EQ(
            InitText(text, stage.log.control, "fixed", {0, 0}, Style(12, 1), {120.9, 30.2}, z), 0);
        stage.scene.AddObject(&text);
        stage.scene.Update();
        COvObject* shown = nullptr;
        COvSize size{0, 0};
        ASSERT_EQ(stage.screen.GetDisplayedObject(0, shown, nullptr, &size), 0) << z;
        EXPECT_EQ(size.width, 120) << z;
        EXPECT_EQ(size.height, 30) << z;
        stage.scene.RemoveObject(&text);
    }
}

// 15 units at depth 300 are 100 pixels: the box runs from (110, 70) to (210, 170).
TEST(TextObject, TextIsDrawnInsideItsBoxAndRestyledOnTheWindow) {
    Stage stage(320, 240);
    COvTextObject text;
    ASSERT_EQ(InitText(text, stage.log.control, "HH\nHH", {0, 0}, Style(24)), 0);
    stage.scene.AddObject(&text);
    stage.scene.Update();
    ASSERT_TRUE(stage.PumpUntilPixel(209, 169, ovtest::kWhite));

    int ink = 0, outside = 0;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            CPxRGB c{0, 0, 0};
            stage.window.GetPixel(x, y, c);
            const bool dark = c.r < 96 && c.g < 96 && c.b < 96 && Hex(c) != Hex(Stage::kBack);
            const bool inBox = x >= 110 && x <= 210 && y >= 70 && y <= 170;
            (inBox ? ink : outside) += dark ? 1 : 0;
        }
    }
    EXPECT_GT(ink, 100) << "the glyphs are drawn in the text colour";
    EXPECT_EQ(outside, 0);

    // A new style is shown at the next update, not only once the cache lets go.
    text.SetStyle(Style(24, 0, ovtest::kGreen));
    stage.scene.Update();
    EXPECT_TRUE(stage.PumpUntilPixel(209, 169, ovtest::kGreen));
}
