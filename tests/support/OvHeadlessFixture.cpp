// The headless-window fixture, test pictures and pixel checks.
#include "OvHeadlessFixture.h"

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <utility>

#include "Pixmere.h"

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
// Colours
// ---------------------------------------------------------------------------

bool OvSameColour(const CPxRGB& a, const CPxRGB& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

std::string OvDescribeColour(const CPxRGB& colour) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.r & 0xFF, colour.g & 0xFF,
                  colour.b & 0xFF);
    return text;
}

// ---------------------------------------------------------------------------
// Pixel checks
// ---------------------------------------------------------------------------

OvPixels OvPixelsOf(const COvMemoryWindow& window) {
    const COvSize size = window.GetClientSize();
    return {size.width, size.height, [&window](int x, int y) {
                CPxRGB colour{0, 0, 0};
                window.GetPixel(x, y, colour);
                return colour;
            }};
}

OvPixels OvPixelsOf(const CPxImageData24& image) {
    return {image.GetWidth(), image.GetHeight(), [&image](int x, int y) {
                CPxRGB colour{0, 0, 0};
                image.GetPixel(x, y, colour);
                return colour;
            }};
}

namespace {

using Expectation = std::function<std::optional<CPxRGB>(int x, int y)>;

// Where the evidence of failed checks goes: $TEST_OUTPUT_DIR, else the build's folder.
std::filesystem::path OutputDir() {
    const char* dir = std::getenv("TEST_OUTPUT_DIR");
    if (dir != nullptr && *dir != 0) {
        return dir;
    }
#ifdef ORVANE_TEST_OUTPUT_DIR
    return ORVANE_TEST_OUTPUT_DIR;
#else
    return std::filesystem::current_path();
#endif
}

// "<Suite>.<Test>", with "-2", "-3" for the later failures of the same test.
std::string FailureName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "pixels";
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    static std::map<std::string, int> s_failures;
    const int count = ++s_failures[name];
    return count == 1 ? name : name + "-" + std::to_string(count);
}

// Writes the actual and the difference picture; returns where, or why not.
std::string SaveEvidence(const OvPixels& pixels, const Expectation& expected, int tolerance) {
    CPxImageData24 actual;
    CPxImageData24 diff;
    if (pixels.width <= 0 || pixels.height <= 0 ||
        actual.NewImage(pixels.width, pixels.height) != 0 ||
        diff.NewImage(pixels.width, pixels.height) != 0) {
        return "no pictures written (empty picture)";
    }
    std::vector<std::pair<int, int>> wrong;
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) {
            const CPxRGB got = pixels.at(x, y);
            actual.SetPixel(x, y, got);
            const std::optional<CPxRGB> want = expected(x, y);
            const int grey = (got.r + got.g + got.b) / 6;
            if (want && !OvSameColour(got, *want, tolerance)) {
                wrong.emplace_back(x, y);
            }
            diff.SetPixel(x, y, !want ? CPxRGB{grey, grey, grey} : ovtest::kBlack);
        }
    }
    // A lone wrong pixel is hard to find in a large picture: each gets a yellow ring.
    for (const auto& [wx, wy] : wrong) {
        for (int d = -3; d <= 3; ++d) {
            for (const auto& [x, y] : {std::pair{wx + d, wy - 3},
                                       {wx + d, wy + 3},
                                       {wx - 3, wy + d},
                                       {wx + 3, wy + d}}) {
                diff.SetPixel(x, y, CPxRGB{255, 255, 0});  // outside the picture: ignored
            }
        }
    }
    for (const auto& [wx, wy] : wrong) {
        diff.SetPixel(wx, wy, ovtest::kRed);
    }
    std::error_code error;
    const std::filesystem::path dir = OutputDir();
    std::filesystem::create_directories(dir, error);
    const std::string stem = (dir / FailureName()).string();
    const std::string actualPath = stem + ".actual.png";
    const std::string diffPath = stem + ".diff.png";
    if (PxSavePng(actual, actualPath.c_str()) != 0 || PxSavePng(diff, diffPath.c_str()) != 0) {
        return "no pictures written to " + dir.string();
    }
    return "see " + actualPath + " and " + diffPath;
}

// Compares; on a failure, with evidence, says what differs and keeps the pictures.
::testing::AssertionResult Compare(const OvPixels& pixels, const Expectation& expected,
                                   int tolerance, int outside, bool evidence) {
    constexpr int kShown = 5;
    int wrong = 0;
    std::string first;
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) {
            const std::optional<CPxRGB> want = expected(x, y);
            if (!want) {
                continue;
            }
            const CPxRGB got = pixels.at(x, y);
            if (OvSameColour(got, *want, tolerance)) {
                continue;
            }
            if (++wrong <= kShown) {
                first += "\n  (" + std::to_string(x) + ", " + std::to_string(y) + ") is " +
                         OvDescribeColour(got) + ", expected " + OvDescribeColour(*want);
            }
        }
    }
    if (wrong == 0 && outside == 0) {
        return ::testing::AssertionSuccess();
    }
    if (!evidence) {
        return ::testing::AssertionFailure();
    }
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    if (outside > 0) {
        failure << outside << " checked pixel(s) outside the " << pixels.width << " x "
                << pixels.height << " picture";
    }
    if (wrong > 0) {
        failure << wrong << " pixel(s) differ" << (wrong > kShown ? ", the first:" : ":") << first;
    }
    return failure << "\n  " << SaveEvidence(pixels, expected, tolerance);
}

// The listed checks as an expectation; counts those outside the picture.
struct Listed {
    Listed(const OvPixels& pixels, const std::vector<OvPixelCheck>& checks) {
        for (const OvPixelCheck& check : checks) {
            if (check.x < 0 || check.y < 0 || check.x >= pixels.width || check.y >= pixels.height) {
                ++outside;
            }
            wanted[{check.x, check.y}] = check.colour;
        }
    }
    Expectation At() const {
        return [this](int x, int y) -> std::optional<CPxRGB> {
            const auto it = wanted.find({x, y});
            return it == wanted.end() ? std::nullopt : std::optional<CPxRGB>(it->second);
        };
    }
    std::map<std::pair<int, int>, CPxRGB> wanted;
    int outside = 0;
};

Expectation Everywhere(const std::function<CPxRGB(int x, int y)>& expected) {
    return [&expected](int x, int y) { return std::optional<CPxRGB>(expected(x, y)); };
}

}  // namespace

::testing::AssertionResult OvPixelsAre(const OvPixels& pixels,
                                       const std::vector<OvPixelCheck>& checks, int tolerance) {
    const Listed listed(pixels, checks);
    return Compare(pixels, listed.At(), tolerance, listed.outside, true);
}

::testing::AssertionResult OvPixelsAre(const OvPixels& pixels,
                                       std::initializer_list<OvPixelCheck> checks, int tolerance) {
    return OvPixelsAre(pixels, std::vector<OvPixelCheck>(checks), tolerance);
}

::testing::AssertionResult OvPictureIs(const OvPixels& pixels,
                                       const std::function<CPxRGB(int x, int y)>& expected,
                                       int tolerance) {
    return Compare(pixels, Everywhere(expected), tolerance, 0, true);
}

bool OvPixelsMatch(const OvPixels& pixels, const std::vector<OvPixelCheck>& checks, int tolerance) {
    const Listed listed(pixels, checks);
    return Compare(pixels, listed.At(), tolerance, listed.outside, false);
}

bool OvPictureMatches(const OvPixels& pixels, const std::function<CPxRGB(int x, int y)>& expected,
                      int tolerance) {
    return Compare(pixels, Everywhere(expected), tolerance, 0, false);
}

// ---------------------------------------------------------------------------
// Pumping
// ---------------------------------------------------------------------------

bool OvPumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = OvTimerNow() + timeout;
    const auto watchdog = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (OvTimerNow() >= end || std::chrono::steady_clock::now() >= watchdog) {
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

::testing::AssertionResult OvHeadlessWindowTest::PixelIs(int x, int y, const CPxRGB& expected,
                                                         int tolerance) {
    return PixelsAre({{x, y, expected}}, tolerance);
}

::testing::AssertionResult OvHeadlessWindowTest::PixelsAre(
    std::initializer_list<OvPixelCheck> checks, int tolerance) {
    if (!m_pWindow) {
        return ::testing::AssertionFailure() << "no window";
    }
    return OvPixelsAre(OvPixelsOf(*m_pWindow), checks, tolerance);
}

::testing::AssertionResult OvHeadlessWindowTest::PictureIs(
    const std::function<CPxRGB(int x, int y)>& expected, int tolerance) {
    if (!m_pWindow) {
        return ::testing::AssertionFailure() << "no window";
    }
    return OvPictureIs(OvPixelsOf(*m_pWindow), expected, tolerance);
}
