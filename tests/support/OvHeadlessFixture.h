// What every headless pixel test shares: test pictures, pixel checks that keep the
// evidence of a failure, a pump with a watchdog, and a fixture with a memory window
// whose timers run by a test clock.
//
// A failed pixel check writes two pictures into $TEST_OUTPUT_DIR (else the build's
// Testing/pixels folder), named after the test: <Suite>.<Test>.actual.png, what was
// there, and <Suite>.<Test>.diff.png: black where the pixels were as expected, red
// (in a yellow ring) where they were not, and a grey copy of the picture where nothing
// was expected. Later failures of the same test add -2, -3 to the name.
#ifndef ORVANE_TESTS_OVHEADLESSFIXTURE_H
#define ORVANE_TESTS_OVHEADLESSFIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "OvPlatform.h"
#include "OvTestClock.h"

class CPxImageData24;

// Colours the window tests paint and look for.
namespace ovtest {
constexpr CPxRGB kBlack{0, 0, 0};
constexpr CPxRGB kWhite{255, 255, 255};
constexpr CPxRGB kRed{255, 0, 0};
constexpr CPxRGB kGreen{0, 255, 0};
constexpr CPxRGB kBlue{0, 0, 255};
constexpr CPxRGB kOrange{255, 128, 0};
}  // namespace ovtest

// A 24-bit device-independent picture in memory (bottom-up unless asked otherwise),
// addressed with top-left coordinates.
class OvTestPicture {
public:
    OvTestPicture(int width, int height, bool bottomUp = true);

    void Fill(const CPxRGB& colour);
    void Set(int x, int y, const CPxRGB& colour);
    CPxRGB Get(int x, int y) const;
    // Fills the rectangle [x0, x1) x [y0, y1) (top-left coordinates).
    void FillRect(int x0, int y0, int x1, int y1, const CPxRGB& colour);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    int LineBytes() const { return m_nLineBytes; }
    const BITMAPINFO* Info() const { return &m_Info; }
    const std::uint8_t* Bits() const { return m_Bits.data(); }
    // The first byte of memory row `row` (rows in memory order).
    const std::uint8_t* MemoryRow(int row) const;

    // Copies the whole picture to (0, 0) of the window the way the screens do (GetDC,
    // SetDIBitsToDevice, ReleaseDC). Returns SetDIBitsToDevice's result.
    int ShowIn(HWND window) const;

private:
    std::uint8_t* PixelAt(int x, int y);
    const std::uint8_t* PixelAt(int x, int y) const;

    int m_nWidth;
    int m_nHeight;
    bool m_bBottomUp;
    int m_nLineBytes;
    BITMAPINFO m_Info;
    std::vector<std::uint8_t> m_Bits;
};

// Colours compare equal when each component differs by at most `tolerance`.
bool OvSameColour(const CPxRGB& a, const CPxRGB& b, int tolerance = 0);
// "#rrggbb".
std::string OvDescribeColour(const CPxRGB& colour);

// ---------------------------------------------------------------------------
// Pixel checks
// ---------------------------------------------------------------------------

// A picture as the checks read it: its size and its pixels (top-left origin). It
// refers to what it was made of, which must outlive it.
struct OvPixels {
    int width = 0;
    int height = 0;
    std::function<CPxRGB(int x, int y)> at;
};
OvPixels OvPixelsOf(const COvMemoryWindow& window);
OvPixels OvPixelsOf(const CPxImageData24& image);

// One pixel and the colour it should have.
struct OvPixelCheck {
    int x;
    int y;
    CPxRGB colour;
};

// Passes when each listed pixel lies in the picture and has its colour.
::testing::AssertionResult OvPixelsAre(const OvPixels& pixels,
                                       std::initializer_list<OvPixelCheck> checks,
                                       int tolerance = 0);
::testing::AssertionResult OvPixelsAre(const OvPixels& pixels,
                                       const std::vector<OvPixelCheck>& checks, int tolerance = 0);
// Passes when every pixel of the picture has the colour expected(x, y).
::testing::AssertionResult OvPictureIs(const OvPixels& pixels,
                                       const std::function<CPxRGB(int x, int y)>& expected,
                                       int tolerance = 0);

// Whether the same checks pass, quietly (no message, no pictures): for polling a
// picture that is still on its way.
bool OvPixelsMatch(const OvPixels& pixels, const std::vector<OvPixelCheck>& checks,
                   int tolerance = 0);
bool OvPictureMatches(const OvPixels& pixels, const std::function<CPxRGB(int x, int y)>& expected,
                      int tolerance = 0);

// ---------------------------------------------------------------------------
// Pumping
// ---------------------------------------------------------------------------

// Pumps the calling thread's messages until done() holds or `timeout` passes on the
// thread's timer clock (or, as a watchdog, on the real one); returns done(). Never
// spins on the real clock: each pump waits up to 10 ms for a timer.
bool OvPumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Processor time the calling thread has used: a pump that waits must not use any.
std::chrono::nanoseconds OvThreadCpuTime();

// ---------------------------------------------------------------------------
// The fixture
// ---------------------------------------------------------------------------

// A memory window, and a test clock that runs the test thread's timers for the
// length of the test.
class OvHeadlessWindowTest : public ::testing::Test {
protected:
    // Creates (or replaces) the fixture's window and returns it.
    COvMemoryWindow& OpenWindow(int width, int height);
    COvMemoryWindow* Window() const { return m_pWindow.get(); }

    // The checks above, on the fixture's window.
    ::testing::AssertionResult PixelIs(int x, int y, const CPxRGB& expected, int tolerance = 0);
    ::testing::AssertionResult PixelsAre(std::initializer_list<OvPixelCheck> checks,
                                         int tolerance = 0);
    ::testing::AssertionResult PictureIs(const std::function<CPxRGB(int x, int y)>& expected,
                                         int tolerance = 0);

    void TearDown() override;

    OvTestClock m_Clock;
    std::unique_ptr<COvMemoryWindow> m_pWindow;
};

#endif
