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

// The screen tests' stage (window, scene, default camera, screen, all on a test clock)
// over a blue-grey background, with the pixel reads these tests use.
struct Stage : ovscreentest::Stage {
    static constexpr CPxRGB kBack{0x20, 0x30, 0x40};

    Stage(int width, int height) : ovscreentest::Stage(width, height, kBack) {}
    std::string Pixel(int x, int y) const {
        CPxRGB colour{-1, -1, -1};
        window.GetPixel(x, y, colour);
        return ovscreentest::Hex(colour);
    }
    // Pumps until the window's pixel has the colour; false after the deadline.
    bool PumpUntilPixel(int x, int y, const CPxRGB& colour) {
        const std::string want = ovscreentest::Hex(colour);
        return OvPumpUntilLoaded([&] { return Pixel(x, y) == want; });
    }
};

}  // namespace ovobjtest

#endif
