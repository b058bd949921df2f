// Image objects drawn end to end into a memory window: the placeholder while the
// picture loads, the picture once it is there, the version that suits the box, and
// files that cannot be shown.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "Quorra.h"

#include "ObjectsFixture.h"

using namespace ovobjtest;
using ovscreentest::Hex;

namespace {

const CPxRGB kPlaceholder{43, 43, 43};
const CPxRGB kFrame{255, 128, 0};

// An object centred on the screen's middle, `units` scene units wide and high.
int Place(COvImageObject& image, Stage& stage, const char* file, COvSize size, double units,
          int priority = 0, int frame = 0) {
    const int rc =
        image.Init(&stage.log.control, file, OV_3DPOINT(0, 0, 0), OV_SIZE3D(units, units), size, 0,
                   1, nullptr, nullptr, COvFrameStyle{0, frame, kFrame}, priority, 0);
    stage.scene.AddObject(&image);
    return rc;
}

// Serves "held:<path>" as the file at path once the test lets go, so that a load
// cannot finish before the test has looked at the first frame.
class HeldFiles final : public CQrStreamCreator {
public:
    void Free() override {}
    CQrReadStream* CreateStream(const char* name) override {
        if (std::strncmp(name, "held:", 5) != 0)
            return nullptr;
        std::unique_lock<std::mutex> lock(m_Lock);
        m_Go.wait(lock, [this] { return m_bReleased; });
        return m_Files.CreateStream(name + 5);
    }
    void FreeStream(CQrReadStream* stream) override { m_Files.FreeStream(stream); }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(m_Lock);
            m_bReleased = true;
        }
        m_Go.notify_all();
    }

private:
    CQrFileStreamCreator m_Files;
    std::mutex m_Lock;
    std::condition_variable m_Go;
    bool m_bReleased = false;
};

// A stage whose loads wait for the test; released before the control waits for them.
struct HeldStage {
    HeldFiles files;
    Stage stage{320, 240};
    HeldStage() { stage.log.control.AddStreamCreator(&files); }
    ~HeldStage() { files.Release(); }
};

}  // namespace

// 15 units at depth 300 are 100 pixels: on a 320 x 240 window the box's top-left corner
// is (110, 70) and its outline runs through x = 110 and x = 210.
TEST(ImageScreen, PlaceholderWhileLoadingThenThePictureThenTheSlowTimer) {
    HeldStage held;
    Stage& stage = held.stage;
    PictureFile file(32, 32, ovtest::kRed);
    COvImageObject image;
    const std::string name = std::string("held:") + file.Path();
    ASSERT_EQ(Place(image, stage, name.c_str(), OV_SIZE(32, 32), 15.0), 0);
    stage.scene.Update();

    EXPECT_EQ(stage.screen.GetUpdateInterval(), OV_DATA_QUEUED)
        << "a loading picture asks for 200 ms";
    EXPECT_EQ(stage.Pixel(110, 120), Hex(kPlaceholder));
    EXPECT_EQ(stage.Pixel(160, 120), Hex(Stage::kBack));

    held.files.Release();
    EXPECT_TRUE(stage.PumpUntilPixel(160, 120, ovtest::kRed));
    EXPECT_EQ(stage.Pixel(110, 120), Hex(ovtest::kRed));
    EXPECT_EQ(stage.screen.GetUpdateInterval(), -1);
}

// 37.5 units are about 250 pixels: of the versions 64, 256 and 1024 pixels wide the
// 256 one is nearest. Its frame is drawn over the picture.
TEST(ImageScreen, ShowsTheVersionNearestToItsBox) {
    Stage stage(640, 480);
    PictureFile v64(64, 64, ovtest::kRed), v256(256, 256, ovtest::kGreen),
        v1024(1024, 1024, ovtest::kBlue);
    COvImageObject image;
    ASSERT_EQ(Place(image, stage, v64.Path(), OV_SIZE(64, 64), 37.5, 0, 3), 0);
    ASSERT_EQ(image.AddImage(v1024.Path(), OV_SIZE(1024, 1024), 0, 0), 0);
    ASSERT_EQ(image.AddImage(v256.Path(), OV_SIZE(256, 256), 0, 0), 0);
    stage.scene.Update();

    EXPECT_TRUE(stage.PumpUntilPixel(320, 240, ovtest::kGreen));
    EXPECT_EQ(image.GetNowImageData().m_pImageInfo->m_nWidth, 256);
    COvObject* shown = nullptr;
    CPx2DPoint topLeft{0, 0};
    ASSERT_EQ(stage.screen.GetDisplayedObject(0, shown, &topLeft, nullptr), 0);
    EXPECT_EQ(stage.Pixel(topLeft.x + 2, 240), Hex(kFrame));
    EXPECT_EQ(stage.Pixel(topLeft.x + 3, 240), Hex(ovtest::kGreen));
}

TEST(ImageScreen, FilesThatCannotBeShownGetThePlaceholderOrTheSubstitute) {
    // A PNG cut after its first 60 bytes, a text file, a path that does not exist.
    TempFile truncated(".png"), text(".png");
    {
        PictureFile whole(64, 64, ovtest::kRed);
        std::ifstream in(whole.Path(), std::ios::binary);
        std::vector<char> bytes(60);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::ofstream(truncated.Path(), std::ios::binary).write(bytes.data(), in.gcount());
        std::ofstream(text.Path()) << "not a picture\n";
    }
    PictureFile substitute(8, 8, ovtest::kGreen);
    struct Case {
        const char* what;
        std::string file;
        bool withSubstitute;
    };
    const Case cases[] = {
        {"missing", "/nonexistent/ovobjtest.png", false},
        {"truncated", truncated.Path(), false},
        {"not a picture", text.Path(), false},
        {"missing, a smaller version in memory", "/nonexistent/ovobjtest.png", true},
    };
    for (const Case& c : cases) {
        Stage stage(320, 240);
        COvImageObject image;
        ASSERT_EQ(Place(image, stage, c.file.c_str(), OV_SIZE(100, 100), 15.0), 0) << c.what;
        if (c.withSubstitute) {
            ASSERT_EQ(image.AddImage(substitute.Path(), OV_SIZE(8, 8), 2, 0), 0);
        }
        stage.scene.Update();

        EXPECT_TRUE(OvPumpUntil([&] { return stage.screen.GetUpdateInterval() == -1; })) << c.what;
        const CPxRGB inside = c.withSubstitute ? ovtest::kGreen : Stage::kBack;
        const CPxRGB edge = c.withSubstitute ? ovtest::kGreen : kPlaceholder;
        EXPECT_EQ(stage.Pixel(160, 120), Hex(inside)) << c.what;
        EXPECT_EQ(stage.Pixel(110, 120), Hex(edge)) << c.what;
        stage.screen.Update();
        EXPECT_EQ(CountLines(stage.log, {"GetImage", "-1", c.file}), 1) << c.what;
    }
}
