// Shared pieces of the image and text object tests: picture files that clean up after
// themselves, a stage of window, scene, camera and screen, and log line counts.
#ifndef ORVANE_TESTS_OBJECTSFIXTURE_H
#define ORVANE_TESTS_OBJECTSFIXTURE_H

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>

#include "OvHeadlessFixture.h"
#include "OvScene.h"
#include "OvScreen.h"
#include "Pixmere.h"
#include "tests/screen/ScreenFixture.h"

namespace ovobjtest {

using ovscreentest::LoggedControl;

// A file in the temporary directory, removed with the object.
class TempFile {
public:
    explicit TempFile(const char* suffix) { OvCreateTempFile("ovobjtest", suffix, m_Path); }
    ~TempFile() { std::remove(m_Path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* Path() const { return m_Path.c_str(); }

private:
    std::string m_Path;
};

// A width x height PNG of one colour.
class PictureFile : public TempFile {
public:
    PictureFile(int width, int height, const CPxRGB& colour) : TempFile(".png") {
        CPxImageData24 image;
        image.NewImage(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                image.SetPixel(x, y, colour);
        }
        PxSavePng(image, Path());
    }
};

// The number of log lines holding every one of the parts.
inline int CountLines(const LoggedControl& log, std::initializer_list<std::string> parts) {
    int count = 0;
    for (const std::string& line : log.Lines()) {
        bool all = true;
        for (const std::string& part : parts)
            all = all && line.find(part) != std::string::npos;
        count += all ? 1 : 0;
    }
    return count;
}

// A default camera (at depth 300 one scene unit is 2000 / 300 pixels) on a screen
// showing a memory window over a grey background.
struct Stage {
    static constexpr CPxRGB kBack{0x20, 0x30, 0x40};

    LoggedControl log;
    COvMemoryWindow window;
    COvScene scene;
    COvCamera camera;
    COvScreen screen;

    Stage(int width, int height) : window(width, height) {
        scene.Init(&log.control);
        ovscreentest::InitDefaultCamera(camera, log.control);
        screen.Init(&log.control, &window, kBack, nullptr, 0, 0);
        scene.AddCamera(&camera);
        screen.AddCamera(&camera);
    }
    ~Stage() {
        screen.Exit();
        scene.Exit();
    }
    std::string Pixel(int x, int y) const {
        CPxRGB colour{-1, -1, -1};
        window.GetPixel(x, y, colour);
        return ovscreentest::Hex(colour);
    }
    // Pumps until the window's pixel has the colour; false after the deadline.
    bool PumpUntilPixel(int x, int y, const CPxRGB& colour) {
        const std::string want = ovscreentest::Hex(colour);
        return OvPumpUntil([&] { return Pixel(x, y) == want; });
    }
};

}  // namespace ovobjtest

#endif
