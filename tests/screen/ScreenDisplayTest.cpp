// The same scene shown in an on-screen window on a virtual X display and in a memory
// window: what reaches the display matches the headless picture pixel for pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "OvHeadlessFixture.h"
#include "OvVirtualDisplay.h"
#include "ScreenFixture.h"
#include "platform/OvX11Probe.h"

using namespace ovscreentest;

// The system's message-bus library, which SDL brings up with its video, keeps a read
// buffer until the process ends.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace {

// A scene of a filled square, a framed object and an arrowed line under one camera,
// shown on a screen bound to the given window.
struct Show {
    LoggedControl log;
    COvScene scene;
    COvCamera camera;
    COvScreen screen;
    ProbeObject square, framed;
    COvLineObject line;

    explicit Show(HWND window) {
        scene.Init(&log.control);
        InitDefaultCamera(camera, log.control);
        screen.Init(&log.control, window, CPxRGB{20, 40, 60}, nullptr, 0, 0);
        square.Place(log.control, OV_3DPOINT(-5, 3, 50), OV_SIZE3D(6, 4), 100, CPxRGB{200, 30, 30});
        framed.Place(log.control, OV_3DPOINT(6, -4, 0), OV_SIZE3D(9, 5), 2, CPxRGB{240, 240, 0});
        line.Init(&log.control, OV_3DPOINT(-12, -8, 0), OV_3DPOINT(10, 7, 20),
                  COvLineStyle{3, CPxRGB{0, 200, 120}, 1, 1, 0}, 0, 1, nullptr);
        scene.AddObject(&square);
        scene.AddObject(&framed);
        scene.AddObject(&line);
        scene.AddCamera(&camera);
        screen.AddCamera(&camera);
        scene.Update();
    }
    ~Show() {
        screen.Exit();
        scene.Exit();
    }
};

}  // namespace

TEST(ScreenDisplay, OnScreenWindowMatchesTheMemoryWindow) {
    unsetenv("WAYLAND_DISPLAY");
    setenv("SDL_VIDEODRIVER", "x11", 1);
    OvVirtualDisplay display(640, 480);
    ASSERT_TRUE(display.IsRunning()) << display.GetError();
    COvX11Probe probe;
    ASSERT_TRUE(probe.IsOpen());

    constexpr int kWidth = 320, kHeight = 240;
    COvMemoryWindow memory(kWidth, kHeight);
    COvSdlWindow onScreen;
    ASSERT_EQ(onScreen.Create("Orvane screen test", kWidth, kHeight), 0);
    Show headless(&memory);
    Show shown(&onScreen);

    const OvPixels expected = OvPixelsOf(memory);
    EXPECT_TRUE(OvDisplayShowsPicture(probe, onScreen, expected.at));
    // Something besides the background was drawn: the square is centred at (132, 103).
    EXPECT_TRUE(OvPixelsAre(expected, {{132, 103, CPxRGB{200, 30, 30}}}));
}
