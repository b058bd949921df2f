// The headless-window fixture and test pictures.
#include "OvHeadlessFixture.h"

#include <time.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

// ---------------------------------------------------------------------------
// OvTestPicture
// ---------------------------------------------------------------------------

OvTestPicture::OvTestPicture(int width, int height, bool bottomUp)
    : m_nWidth(width),
      m_nHeight(height),
      m_bBottomUp(bottomUp),
      m_nLineBytes((width * 3 + 3) / 4 * 4),
      m_Info(),
      m_Bits(static_cast<std::size_t>(m_nLineBytes) * height, 0) {
    BITMAPINFOHEADER& h = m_Info.bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = bottomUp ? height : -height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<std::uint32_t>(m_Bits.size());
}

std::uint8_t* OvTestPicture::PixelAt(int x, int y) {
    const int row = m_bBottomUp ? m_nHeight - 1 - y : y;
    return m_Bits.data() + static_cast<std::size_t>(row) * m_nLineBytes + 3 * x;
}

const std::uint8_t* OvTestPicture::PixelAt(int x, int y) const {
    return const_cast<OvTestPicture*>(this)->PixelAt(x, y);
}

const std::uint8_t* OvTestPicture::MemoryRow(int row) const {
    return m_Bits.data() + static_cast<std::size_t>(row) * m_nLineBytes;
}

void OvTestPicture::Set(int x, int y, const CPxRGB& colour) {
    std::uint8_t* p = PixelAt(x, y);
    p[0] = static_cast<std::uint8_t>(colour.b);
    p[1] = static_cast<std::uint8_t>(colour.g);
    p[2] = static_cast<std::uint8_t>(colour.r);
}

CPxRGB OvTestPicture::Get(int x, int y) const {
    const std::uint8_t* p = PixelAt(x, y);
    return CPxRGB{p[2], p[1], p[0]};
}

void OvTestPicture::FillRect(int x0, int y0, int x1, int y1, const CPxRGB& colour) {
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            Set(x, y, colour);
        }
    }
}

void OvTestPicture::Fill(const CPxRGB& colour) {
    FillRect(0, 0, m_nWidth, m_nHeight, colour);
}

int OvTestPicture::ShowIn(HWND window) const {
    HDC dc = GetDC(window);
    const int lines = SetDIBitsToDevice(
        dc, 0, 0, static_cast<unsigned>(m_nWidth), static_cast<unsigned>(m_nHeight), 0, 0, 0,
        static_cast<unsigned>(m_nHeight), Bits(), Info(), DIB_RGB_COLORS);
    ReleaseDC(window, dc);
    return lines;
}

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------

bool OvSameColour(const CPxRGB& a, const CPxRGB& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

std::string OvDescribeColour(const CPxRGB& colour) {
    std::ostringstream text;
    text << "(" << colour.r << ", " << colour.g << ", " << colour.b << ")";
    return text.str();
}

bool OvPumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return done();
        }
        OvPumpMessages(10);
    }
    return true;
}

std::chrono::nanoseconds OvThreadCpuTime() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// ---------------------------------------------------------------------------
// OvHeadlessWindowTest
// ---------------------------------------------------------------------------

COvMemoryWindow& OvHeadlessWindowTest::OpenWindow(int width, int height) {
    m_pWindow = std::make_unique<COvMemoryWindow>(width, height);
    return *m_pWindow;
}

void OvHeadlessWindowTest::TearDown() {
    m_pWindow.reset();
}

std::string OvHeadlessWindowTest::SaveFailureSnapshot() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "window";
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    const char* dir = std::getenv("ORVANE_TEST_OUTPUT_DIR");
    const std::string path = (dir && *dir ? std::string(dir) + "/" : std::string()) + name + ".png";
    return m_pWindow && m_pWindow->SavePng(path.c_str()) == 0 ? path : std::string("(not saved)");
}

::testing::AssertionResult OvHeadlessWindowTest::PixelIs(int x, int y, const CPxRGB& expected,
                                                         int tolerance) {
    if (!m_pWindow) {
        return ::testing::AssertionFailure() << "no window";
    }
    CPxRGB actual{-1, -1, -1};
    if (m_pWindow->GetPixel(x, y, actual) != 0) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is outside";
    }
    if (OvSameColour(actual, expected, tolerance)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "pixel (" << x << ", " << y << ") is " << OvDescribeColour(actual) << ", expected "
           << OvDescribeColour(expected) << "; window saved as " << SaveFailureSnapshot();
}
