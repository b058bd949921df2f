// The on-screen window on a virtual X display: what is presented must reach the
// display, and the user's resizing and closing must reach the client.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "OvHeadlessFixture.h"
#include "OvPlatform.h"
#include "OvVirtualDisplay.h"
#include "platform/OvX11Probe.h"

// The system's message-bus library, which SDL brings up with its video, keeps a read
// buffer until the process ends; LeakSanitizer reads this list when it is linked in.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace {

using namespace ovtest;

// Four quadrants and one odd pixel, so that a flipped or shifted picture shows.
OvTestPicture Quadrants(int width, int height) {
    OvTestPicture picture(width, height);
    picture.FillRect(0, 0, width / 2, height / 2, kRed);
    picture.FillRect(width / 2, 0, width, height / 2, kGreen);
    picture.FillRect(0, height / 2, width / 2, height, kBlue);
    picture.FillRect(width / 2, height / 2, width, height, kWhite);
    picture.Set(3, 2, kOrange);
    return picture;
}

class SdlWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Always our own X server, whatever desktop the tests run on.
        unsetenv("WAYLAND_DISPLAY");
        setenv("SDL_VIDEODRIVER", "x11", 1);
        s_pDisplay = std::make_unique<OvVirtualDisplay>(640, 480);
        if (s_pDisplay->IsRunning()) {
            // Connected for the whole suite: the server lives as long as a client does.
            s_pProbe = std::make_unique<COvX11Probe>();
        }
    }
    static void TearDownTestSuite() {
        s_pProbe.reset();
        s_pDisplay.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(s_pDisplay->IsRunning()) << s_pDisplay->GetError();
        ASSERT_TRUE(s_pProbe && s_pProbe->IsOpen())
            << "cannot connect to " << s_pDisplay->GetName();
        m_pProbe = s_pProbe.get();
    }

    static std::unique_ptr<OvVirtualDisplay> s_pDisplay;
    static std::unique_ptr<COvX11Probe> s_pProbe;
    COvX11Probe* m_pProbe = nullptr;
};
std::unique_ptr<OvVirtualDisplay> SdlWindowTest::s_pDisplay;
std::unique_ptr<COvX11Probe> SdlWindowTest::s_pProbe;

}  // namespace

TEST_F(SdlWindowTest, PresentedPictureReachesTheDisplay) {
    COvSdlWindow window;
    ASSERT_EQ(window.Create("Orvane test", 64, 48), 0);
    ASSERT_TRUE(window.IsOpen());
    ASSERT_NE(window.GetNativeWindow(), 0u);
    RECT rect{};
    ASSERT_EQ(GetClientRect(&window, &rect), 1);
    EXPECT_EQ(rect.right, 64);
    EXPECT_EQ(rect.bottom, 48);

    const OvTestPicture picture = Quadrants(64, 48);
    ASSERT_EQ(picture.ShowIn(&window), 48);
    EXPECT_TRUE(
        OvDisplayShowsPicture(*m_pProbe, window, [&](int x, int y) { return picture.Get(x, y); }));

    // Timers keep running while the pump also serves the window.
    OvTestClock clock;
    static int s_ticks = 0;
    s_ticks = 0;
    const OvTimerId id =
        SetTimer(nullptr, 0, 20, [](HWND, unsigned int, OvTimerId, unsigned int) { ++s_ticks; });
    EXPECT_TRUE(OvPumpUntil([] { return s_ticks >= 3; }, std::chrono::seconds(5)));
    KillTimer(nullptr, id);
}

// A high-colour display takes SDL's general pixel converter instead of the true-colour
// copy loop; colours come back within the 5- and 6-bit steps of its channels.
TEST_F(SdlWindowTest, PresentedPictureReachesAHighColourDisplay) {
    OvVirtualDisplay highColour(320, 240, 16);
    ASSERT_TRUE(highColour.IsRunning()) << highColour.GetError();
    COvX11Probe probe;
    ASSERT_TRUE(probe.IsOpen());
    COvSdlWindow window;
    ASSERT_EQ(window.Create("Orvane test", 40, 30), 0);
    for (bool bottomUp : {true, false}) {
        OvTestPicture picture(40, 30, bottomUp);
        picture.FillRect(0, 0, 40, 15, kRed);
        picture.FillRect(0, 15, 40, 30, kBlue);
        picture.Set(3, 2, kOrange);
        ASSERT_EQ(picture.ShowIn(&window), 30);
        EXPECT_TRUE(OvDisplayShowsPicture(
            probe, window, [&](int x, int y) { return picture.Get(x, y); }, 8));
        picture.Fill(kGreen);  // the next round must replace everything
        picture.ShowIn(&window);
    }
    window.Destroy();  // before its display goes
}

TEST_F(SdlWindowTest, PumpWaitsForEventsWithoutSpinning) {
    COvSdlWindow window;
    ASSERT_EQ(window.Create("Orvane test", 64, 48), 0);
    OvPumpMessages(0);  // serves the events of the window's opening
    const auto cpu = OvThreadCpuTime();
    const auto wall = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - wall < std::chrono::milliseconds(300)) {
        OvPumpMessages(100);
    }
    EXPECT_LT(OvThreadCpuTime() - cpu, std::chrono::milliseconds(60));
}

TEST_F(SdlWindowTest, UserResizingChangesTheClientRect) {
    COvSdlWindow window;
    ASSERT_EQ(window.Create("Orvane test", 64, 48), 0);
    ASSERT_EQ(m_pProbe->ResizeWindow(window.GetNativeWindow(), 120, 90), 0);
    RECT rect{};
    EXPECT_TRUE(OvPumpUntil([&] {
        GetClientRect(&window, &rect);
        return rect.right == 120 && rect.bottom == 90;
    })) << rect.right
        << " x " << rect.bottom;

    // A picture of the new size fills the new area.
    const OvTestPicture picture = Quadrants(120, 90);
    ASSERT_EQ(picture.ShowIn(&window), 90);
    EXPECT_TRUE(
        OvDisplayShowsPicture(*m_pProbe, window, [&](int x, int y) { return picture.Get(x, y); }));
}

TEST_F(SdlWindowTest, ClosingIsReportedToTheClient) {
    COvSdlWindow window;
    ASSERT_EQ(window.Create("Orvane test", 64, 48), 0);
    int calls = 0;
    window.SetCloseHandler([&](COvSdlWindow& closing) {
        ++calls;
        EXPECT_EQ(&closing, &window);
        closing.Destroy();
        OvPostQuit(5);
    });
    ASSERT_EQ(m_pProbe->RequestClose(window.GetNativeWindow()), 0);
    EXPECT_EQ(OvRunMessageLoop(), 5);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(window.IsCloseRequested());
    EXPECT_FALSE(window.IsOpen());
    EXPECT_EQ(window.GetClientSize().width, 0);
    const OvTestPicture picture = Quadrants(8, 8);
    const COvPicture block{0, 0, 8, 8, picture.MemoryRow(7), -picture.LineBytes()};
    EXPECT_EQ(window.Present(block), OV_WND_E_CLOSED);

    // Created again, it is a fresh window.
    ASSERT_EQ(window.Create("again", 32, 32), 0);
    EXPECT_FALSE(window.IsCloseRequested());
}

TEST_F(SdlWindowTest, RefusesBadSizes) {
    COvSdlWindow window;
    for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-1, 10}, {OV_MAX_WINDOW_SIDE + 1, 10}}) {
        EXPECT_EQ(window.Create("bad", w, h), OV_WND_E_ARGUMENT) << w << " x " << h;
    }
    EXPECT_FALSE(window.IsOpen());
}
