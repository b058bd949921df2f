// orvane view on a virtual X display, driven by real X input as a user would drive it:
// it draws, follows a resize, turns on a drag, moves on the wheel, rolls on a key,
// reports the object clicked (its frame shows the selection) and ends when its window
// is closed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "AppProcess.h"
#include "OvHeadlessFixture.h"
#include "OvVirtualDisplay.h"
#include "QrTestServer.h"
#include "platform/OvX11Probe.h"

// The system's message-bus library, which SDL brings up with its video, keeps a read
// buffer until the process ends.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace {

// Runs xdotool; its standard output, or "" when it failed.
std::string Xdotool(const std::string& arguments) {
    std::string output;
    FILE* pipe = popen(("xdotool " + arguments + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    return pclose(pipe) == 0 ? (output.empty() ? " " : output) : "";
}

class ViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        unsetenv("WAYLAND_DISPLAY");
        setenv("SDL_VIDEODRIVER", "x11", 1);
        s_pDisplay = std::make_unique<OvVirtualDisplay>(1024, 768);
        if (s_pDisplay->IsRunning())
            s_pProbe = std::make_unique<COvX11Probe>();
    }
    static void TearDownTestSuite() {
        s_pProbe.reset();
        s_pDisplay.reset();
    }

    // Waits until the window's pixel reads back as `colour` from the X server.
    bool PixelBecomes(std::uint64_t window, int x, int y, const CPxRGB& colour) {
        std::vector<CPxRGB> pixel;
        return OvPumpUntil([&] {
            return s_pProbe->ReadPixels(window, x, y, 1, 1, pixel) == 0 &&
                   OvSameColour(pixel[0], colour, 2);
        });
    }

    static std::unique_ptr<OvVirtualDisplay> s_pDisplay;
    static std::unique_ptr<COvX11Probe> s_pProbe;
};

std::unique_ptr<OvVirtualDisplay> ViewTest::s_pDisplay;
std::unique_ptr<COvX11Probe> ViewTest::s_pProbe;

TEST_F(ViewTest, FollowsTheUsersInputAndEndsWhenClosed) {
    ASSERT_TRUE(s_pDisplay->IsRunning()) << s_pDisplay->GetError();
    ASSERT_TRUE(s_pProbe->IsOpen());
    ASSERT_NE(Xdotool("version"), "") << "xdotool is missing (scripts/deps.sh installs it)";

    // The program brings up SDL's video too, and with it the same buffer.
    const QrTempDir dir;
    const std::string suppressions = dir.Path() + "/lsan.supp";
    std::ofstream(suppressions) << "leak:libdbus-1.so\n";
    setenv("LSAN_OPTIONS", ("suppressions=" + suppressions).c_str(), 1);

    AppProcess app;
    ASSERT_TRUE(app.Start(ORVANE_APP_PATH,
                          {"view", std::string(ORVANE_EXAMPLES_DIR) + "/diagram/scene.json"}));
    ASSERT_TRUE(app.WaitForOutput("showing ")) << app.Out() << app.Err();
    const std::string found = Xdotool("search --sync --name \"^Orvane - \"");
    const std::uint64_t window = std::strtoull(found.c_str(), nullptr, 10);
    ASSERT_NE(window, 0u) << found;
    const std::string w = " --window " + std::to_string(window) + " ";

    // Drawn: the paper background and the harbour picture's blue frame (see the
    // render test for where the example's objects lie).
    const CPxRGB paper{0xf4, 0xf1, 0xea};
    EXPECT_TRUE(PixelBecomes(window, 5, 5, paper));
    EXPECT_TRUE(PixelBecomes(window, 31, 140, CPxRGB{0x1f, 0x5f, 0xbf}));

    // A click on the harbour picture selects it; its frame turns to the selection's. The
    // pointer rests first: a click that comes with the focus is not the user's.
    Xdotool("mousemove" + w + "150 140 sleep 0.2 click 1");
    EXPECT_TRUE(app.WaitForOutput("clicked harbour at (150, 140)")) << app.Out();
    EXPECT_TRUE(app.WaitForOutput("event: harbour selected")) << app.Out();
    EXPECT_TRUE(PixelBecomes(window, 31, 140, CPxRGB{255, 214, 0}));

    // A larger window is drawn to its new corner.
    Xdotool("windowsize " + std::to_string(window) + " 800 450");
    EXPECT_TRUE(app.WaitForOutput("window resized to 800x450")) << app.Out();
    EXPECT_TRUE(PixelBecomes(window, 795, 445, paper));

    Xdotool("mousemove" + w + "400 300 mousedown 1 mousemove" + w + "440 300 mousemove" + w +
            "480 310 mouseup 1");
    EXPECT_TRUE(app.WaitForOutput("event: camera turned")) << app.Out();
    Xdotool("click 4");
    EXPECT_TRUE(app.WaitForOutput("event: camera moved")) << app.Out();

    ASSERT_EQ(s_pProbe->RequestClose(window), 0);
    EXPECT_EQ(app.Finish(std::chrono::seconds(20)), 0) << app.Err();
    EXPECT_NE(app.Out().find("closed"), std::string::npos) << app.Out();
}

}  // namespace
