// A virtual X display for tests of on-screen windows: starts an X server that draws
// into memory (Xvfb) on a free display number and points $DISPLAY at it for the whole
// process; stops the server and restores $DISPLAY when destroyed. Needs the Xvfb
// program (Debian package xvfb, installed by scripts/deps.sh).
//
// The server also ends by itself when its last client disconnects, so that a crashed
// test process leaves no server running: keep one connection open (a COvX11Probe, say)
// from right after the start for as long as the display is used.
#ifndef ORVANE_TESTS_OVVIRTUALDISPLAY_H
#define ORVANE_TESTS_OVVIRTUALDISPLAY_H

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "OvHeadlessFixture.h"

class COvSdlWindow;
class COvX11Probe;

class OvVirtualDisplay {
public:
    // Starts the server with one screen of width x height pixels of `depth` bits (24, or
    // 16 to try a high-colour display); waits at most 20 seconds for it to accept
    // connections.
    explicit OvVirtualDisplay(int width = 1024, int height = 768, int depth = 24);
    ~OvVirtualDisplay();
    OvVirtualDisplay(const OvVirtualDisplay&) = delete;
    OvVirtualDisplay& operator=(const OvVirtualDisplay&) = delete;

    bool IsRunning() const { return m_Pid > 0; }
    // Why the server is not running ("" when it is).
    const std::string& GetError() const { return m_strError; }
    // The display name, as ":99".
    const std::string& GetName() const { return m_strName; }

private:
    void Start(int width, int height, int depth);
    void Stop();

    pid_t m_Pid = -1;
    std::string m_strName;
    std::string m_strError;
    bool m_bHadDisplay = false;
    std::string m_strOldDisplay;
};

// The pixel checks of the headless fixture on an on-screen window, read back from the X
// server through `probe`: pumps (for at most 10 s) until the window shows what is
// expected, then checks what it shows, keeping the pictures of a failure.
::testing::AssertionResult OvDisplayShows(COvX11Probe& probe, const COvSdlWindow& window,
                                          const std::vector<OvPixelCheck>& checks,
                                          int tolerance = 0);
::testing::AssertionResult OvDisplayShowsPicture(
    COvX11Probe& probe, const COvSdlWindow& window,
    const std::function<CPxRGB(int x, int y)>& expected, int tolerance = 0);

#endif
