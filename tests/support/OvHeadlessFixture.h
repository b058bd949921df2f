// A headless window for tests: a fixture that owns a COvMemoryWindow, pumps the thread's
// messages until a condition holds (with a watchdog), and checks pixels, saving a PNG
// of the window when a check fails. OvTestPicture builds 24-bit pictures to present.
#ifndef ORVANE_TESTS_OVHEADLESSFIXTURE_H
#define ORVANE_TESTS_OVHEADLESSFIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "OvPlatform.h"

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
std::string OvDescribeColour(const CPxRGB& colour);

// Pumps the calling thread's messages until done() holds or `timeout` passes; returns
// done(). Never spins: each pump waits up to 10 ms for a timer.
bool OvPumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Processor time the calling thread has used: a pump that waits must not use any.
std::chrono::nanoseconds OvThreadCpuTime();

class OvHeadlessWindowTest : public ::testing::Test {
protected:
    // Creates (or replaces) the fixture's window and returns it.
    COvMemoryWindow& OpenWindow(int width, int height);
    COvMemoryWindow* Window() const { return m_pWindow.get(); }

    // Passes when the window's pixel (x, y) has the colour (within tolerance). On a
    // failure the window is saved as <test name>.png in $ORVANE_TEST_OUTPUT_DIR (else
    // the working directory) and the message names the file.
    ::testing::AssertionResult PixelIs(int x, int y, const CPxRGB& expected, int tolerance = 0);

    void TearDown() override;

    std::unique_ptr<COvMemoryWindow> m_pWindow;

private:
    std::string SaveFailureSnapshot();
};

#endif
