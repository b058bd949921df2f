#include "screen/OvDC.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "OvScene.h"
#include "foundation/OvReport.h"
#include "screen/OvFontFaces.h"
#include "screen/OvTextLayout.h"

namespace {

constexpr const char* kClass = "COvDC";
constexpr int kMinPoints = 8;
constexpr int kMaxPoints = 99;
constexpr int kBoldWeight = 600;

// The detail each failure is logged with.
const char* DetailOf(int code) {
    switch (code) {
        case OV_TEXT_NO_DISPLAY:
            return "::CreateDC";
        case OV_TEXT_NO_BITMAP:
            return "::CreateCompatibleBitmap";
        case OV_TEXT_NO_SELECT:
            return "::SelectObject";
        case OV_TEXT_NO_FONT:
            return "::CreateFont";
        case OV_TEXT_FILL_FAILED:
            return "::FillRect";
        case OV_TEXT_NO_PIXELS:
            return "::GetDIBits";
        case OV_E_FILE:
            return "::CreateFile";
        case OV_TEXT_WRITE_FAILED:
            return "::WriteFile";
        default:
            return "";
    }
}

unsigned char Low(int component) {
    return static_cast<unsigned char>(component & 0xFF);
}

int FloorDiv64(long long v) {
    const long long q = v >= 0 ? v / 64 : -((-v + 63) / 64);
    return static_cast<int>(std::clamp<long long>(q, INT_MIN / 2, INT_MAX / 2));
}

// Writes all of bytes to a new or emptied file at path. 0, OV_E_FILE or
// OV_TEXT_WRITE_FAILED.
int WriteAll(const char* path, const std::vector<unsigned char>& bytes) {
    const int fd =
        path != nullptr ? ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
    if (fd < 0)
        return OV_E_FILE;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    // NOTE: a short file stays as it is: the picture reader refuses a truncated one, and
    // the path may be something we must not remove.
    const bool closed = ::close(fd) == 0;
    return done == bytes.size() && closed ? 0 : OV_TEXT_WRITE_FAILED;
}

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------

COvDC::COvDC() : m_pControl(nullptr), m_Rect{0, 0, 0, 0} {}

COvDC::~COvDC() {
    Exit();
}

void COvDC::Exit() {
    m_Bitmap.FreeData();
    m_pFaces.reset();
    m_Rect = RECT{0, 0, 0, 0};
}

COvFontFaces* COvDC::Faces() {
    if (!m_pFaces)
        m_pFaces = COvFontFaces::ForControl(m_pControl);
    return m_pFaces.get();
}

int COvDC::Fail(const char* function, int code) {
    return ov::Report(m_pControl, kClass, function, code, DetailOf(code), ov::kFoundHere);
}

int COvDC::Init(COvControl* control, int width, int height, const char* text, const char* fontName,
                int fontSize) {
    Exit();
    if (control == nullptr)
        return OV_E_NULL_CONTROL;
    m_pControl = control;
    COvFontFaces* faces = Faces();
    if (faces == nullptr || faces->Start() != 0)
        return Fail("Init", OV_TEXT_NO_DISPLAY);
    if (width <= 0 || height <= 0) {
        COvSize size{width, height};
        const int code = GetImageSize(text, size, fontName, fontSize);
        if (code != 0)
            return ov::Report(control, kClass, "Init", code, "GetImageSize", ov::kPassedOn);
        // An empty text measures 0 wide; a picture needs a pixel.
        width = std::max(size.width, 1);
        height = std::max(size.height, 1);
    }
    // The imaging library refuses a picture beyond its limit before allocating anything.
    if (m_Bitmap.NewImage(width, height) != 0)
        return Fail("Init", OV_TEXT_NO_BITMAP);
    m_Rect = RECT{0, 0, width, height};
    return 0;
}

// ---------------------------------------------------------------------------
// Measuring
// ---------------------------------------------------------------------------

int COvDC::GetImageSize(const char* text, COvSize& size, const char* fontName, int fontSize) {
    if (size.width > 0 && size.height > 0)
        return 0;
    COvFontFaces* faces = Faces();
    if (faces == nullptr)
        return Fail("GetImageSize", OV_TEXT_NO_DISPLAY);
    COvFontChoice choice{};
    const int found = faces->Find(fontName, false, false, choice);
    if (found != 0)
        return Fail("GetImageSize", found);
    const char* s = text != nullptr ? text : "";
    const std::size_t length = std::strlen(s);
    try {
        const COvTextScale scale(choice.pFace->m_Metrics, OvCellPixels(fontSize), 0);
        COvShaper shaper;
        COvShapedLine line;
        COvLines lines(s, length);
        COvTextSpan span{};
        int width = 0;
        long long count = 0;
        while (lines.Next(span)) {
            const int code =
                shaper.Shape(choice.pFace->m_pFont, s + span.nStart, span.nLength, line);
            if (code != 0)
                return ov::Report(m_pControl, kClass, "GetImageSize", code,
                                  static_cast<long long>(span.nLength), ov::kFoundHere);
            width = std::max(width, scale.Width(line));
            ++count;
        }
        const long long height = count * scale.Cell();
        if (size.width <= 0)
            size.width = width;
        if (size.height <= 0)
            size.height = static_cast<int>(std::min<long long>(height, INT_MAX));
        return 0;
    } catch (const std::bad_alloc&) {
        return ov::Report(m_pControl, kClass, "GetImageSize", OV_E_NOMEMORY,
                          static_cast<long long>(length), ov::kFoundHere);
    }
}

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------

int COvDC::SetBackColor(const CPxRGB& color) {
    if (m_Bitmap.IsEmpty())
        return Fail("SetBackColor", OV_TEXT_FILL_FAILED);
    FillRows(0, m_Bitmap.GetWidth(), 0, m_Bitmap.GetHeight(), color);
    return 0;
}

void COvDC::FillRows(int x, int width, int top, int rows, const CPxRGB& color) {
    const int x0 = std::max(x, 0);
    const int x1 = std::min(x + width, m_Bitmap.GetWidth());
    const int y0 = std::max(top, 0);
    const int y1 = std::min(top + rows, m_Bitmap.GetHeight());
    for (int y = y0; y < y1; ++y) {
        unsigned char* p = m_Bitmap.GetScanLine(y) + 3L * x0;
        for (int i = x0; i < x1; ++i, p += 3) {
            p[0] = Low(color.b);
            p[1] = Low(color.g);
            p[2] = Low(color.r);
        }
    }
}

void COvDC::DrawGlyphs(COvFontFace& face, bool oblique, const COvTextScale& scale,
                       const COvShapedLine& line, int baseline, const CPxRGB& color) {
    for (std::size_t i = 0; i < line.glyphs.size(); ++i) {
        const COvPlacedGlyph& g = line.glyphs[i];
        // The pen is exact in 1/64 pixels; the glyph goes to a whole pixel and is
        // rendered moved by the rest, to the nearest quarter pixel.
        const long long x64 = scale.To64(g.nX) + 64LL * scale.Bold() * static_cast<long long>(i);
        int x = FloorDiv64(x64);
        int quarter = static_cast<int>((x64 - 64LL * x + 8) / 16);
        if (quarter == 4) {
            ++x;
            quarter = 0;
        }
        const COvGlyphImage* image =
            face.Glyph(g.nGlyph, scale.EmSize64(), quarter, scale.Bold(), oblique);
        if (image != nullptr)
            BlendCoverage(x + image->left, baseline - scale.ToPixels(g.nY) - image->top,
                          image->coverage.data(), image->width, image->rows, color);
    }
}

void COvDC::BlendCoverage(int x, int y, const unsigned char* coverage, int width, int height,
                          const CPxRGB& color) {
    const int ink[3] = {Low(color.b), Low(color.g), Low(color.r)};
    const int x0 = std::max(x, 0);
    const int x1 = std::min(x + width, m_Bitmap.GetWidth());
    const int y0 = std::max(y, 0);
    const int y1 = std::min(y + height, m_Bitmap.GetHeight());
    for (int row = y0; row < y1; ++row) {
        const unsigned char* a = coverage + static_cast<long>(row - y) * width;
        unsigned char* p = m_Bitmap.GetScanLine(row) + 3L * x0;
        for (int col = x0; col < x1; ++col, p += 3) {
            const int alpha = a[col - x];
            if (alpha == 0)
                continue;
            for (int c = 0; c < 3; ++c)
                p[c] =
                    static_cast<unsigned char>((p[c] * (255 - alpha) + ink[c] * alpha + 127) / 255);
        }
    }
}

int COvDC::DrawText(const char* text, int fontSize, const CPxRGB& color, int weight, int italic,
                    int underline, int strikeOut, const char* fontName) {
    if (m_Bitmap.IsEmpty())
        return Fail("DrawText", OV_TEXT_NO_SELECT);
    COvFontFaces* faces = Faces();
    if (faces == nullptr)
        return Fail("DrawText", OV_TEXT_NO_DISPLAY);
    COvFontChoice choice{};
    const int found = faces->Find(fontName, weight >= kBoldWeight, italic != 0, choice);
    if (found != 0)
        return Fail("DrawText", found);
    COvFontFace& face = *choice.pFace;
    const int points = std::clamp(fontSize, kMinPoints, kMaxPoints);
    const COvTextScale plain(face.m_Metrics, OvCellPixels(points), 0);
    const COvTextScale scale(face.m_Metrics, plain.Cell(),
                             choice.bEmbolden ? plain.BoldStrength() : 0);
    const char* s = text != nullptr ? text : "";
    const std::size_t length = std::strlen(s);
    const int width = m_Bitmap.GetWidth();
    const int height = m_Bitmap.GetHeight();
    try {
        const COvFaceMetrics& m = face.m_Metrics;
        const int thickness = std::max(1, scale.ToPixels(m.nUnderlineThickness));
        const int underlineTop = std::max(0, scale.ToPixels(-m.nUnderlinePos) - thickness / 2);
        const int strikeTop = -scale.ToPixels(m.nXHeight) / 2 - thickness / 2;
        COvShaper shaper;
        COvShapedLine line;
        COvLines lines(s, length);
        COvTextSpan span{};
        // Only the lines that reach into the picture are shaped and drawn.
        for (int top = 0; top < height && lines.Next(span); top += scale.Cell()) {
            const int code =
                shaper.ShapeFitted(face.m_pFont, scale, s + span.nStart, span.nLength, width, line);
            if (code != 0)
                return ov::Report(m_pControl, kClass, "DrawText", code,
                                  static_cast<long long>(span.nLength), ov::kFoundHere);
            const int baseline = top + scale.Ascent();
            {
                // Shaping needs no lock; the face's glyphs do.
                std::lock_guard<std::mutex> lock(face.m_GlyphLock);
                if (!face.SetSize(scale.EmSize64()))
                    return Fail("DrawText", OV_TEXT_NO_SELECT);
                DrawGlyphs(face, choice.bOblique, scale, line, baseline, color);
            }
            if (line.glyphs.empty())
                continue;
            const int drawn = scale.Width(line);
            if (underline != 0)
                FillRows(0, drawn, baseline + underlineTop, thickness, color);
            if (strikeOut != 0)
                FillRows(0, drawn, baseline + strikeTop, thickness, color);
        }
        return 0;
    } catch (const std::bad_alloc&) {
        return ov::Report(m_pControl, kClass, "DrawText", OV_E_NOMEMORY,
                          static_cast<long long>(length), ov::kFoundHere);
    }
}

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

int COvDC::SaveBitmap(const char* path) {
    if (m_Bitmap.IsEmpty())
        return Fail("SaveBitmap", OV_TEXT_NO_PIXELS);
    std::vector<unsigned char> bytes;
    try {
        if (PxEncodeBmp(m_Bitmap, bytes) != 0)
            return Fail("SaveBitmap", OV_TEXT_NO_PIXELS);
    } catch (const std::bad_alloc&) {
        return ov::Report(
            m_pControl, kClass, "SaveBitmap", OV_E_NOMEMORY,
            54 + static_cast<long long>(m_Bitmap.GetLineBytes()) * m_Bitmap.GetHeight(),
            ov::kFoundHere);
    }
    const int code = WriteAll(path, bytes);
    return code != 0 ? Fail("SaveBitmap", code) : 0;
}
