#include "screen/OvImageDraw.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include "foundation/OvReport.h"

namespace {

// Writes the colour into every pixel of a width x height block of rows lineBytes
// apart; the row padding is left as it is.
void FillRows(unsigned char* data, int width, int height, int lineBytes, const CPxRGB& colour) {
    if (data == nullptr || width <= 0 || height <= 0)
        return;
    unsigned char* first = data;
    for (int c = 0; c < width; ++c) {
        first[3 * c] = static_cast<unsigned char>(colour.b);
        first[3 * c + 1] = static_cast<unsigned char>(colour.g);
        first[3 * c + 2] = static_cast<unsigned char>(colour.r);
    }
    const std::size_t rowBytes = 3u * static_cast<std::size_t>(width);
    for (int r = 1; r < height; ++r) {
        std::memcpy(data + static_cast<std::size_t>(r) * lineBytes, first, rowBytes);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle and sizing
// ---------------------------------------------------------------------------

COvImageDraw::COvImageDraw()
    : m_pControl(nullptr),
      m_nLineBytes(0),
      m_nBackFlags(0),
      m_Size{0, 0},
      m_Center{0, 0},
      m_pCanvas(new (std::nothrow) CPxCanvas24(&m_ZImage)),
      m_BackColor{0, 0, 0},
      m_nDrawMode(0),
      m_bPlainBack(false),
      m_bDepthNew(true),
      m_bHandedOut(false),
      m_nDepthResets(0) {}

COvImageDraw::~COvImageDraw() = default;

void COvImageDraw::SetGeometry(int width, int height) {
    m_Size = OV_SIZE(width, height);
    m_Center = OV_2DPOINT(width / 2, height / 2);
    const long long line = PxLineBytes(width);
    m_nLineBytes = line > INT_MAX ? 0 : static_cast<int>(line);
}

int COvImageDraw::Init(COvControl* control, int width, int height) {
    m_pControl = control;
    SetGeometry(width, height);
    m_bDepthNew = true;
    const int code = m_ZImage.NewImage(width, height);
    if (code != 0) {
        SetGeometry(0, 0);
        return code;
    }
    return 0;
}

int COvImageDraw::ResizeScreen(int width, int height, const char* backImagePath) {
    m_BackScreen.FreeData();
    SetGeometry(width, height);
    m_bDepthNew = true;
    if (m_ZImage.NewImage(width, height) != 0) {
        const long long bytes = static_cast<long long>(height) * m_nLineBytes;
        return ov::Report(m_pControl, "COvBackScreen", "ResizeScreen", OV_E_NOMEMORY, bytes,
                          ov::kFoundHere);
    }
    // Without a path there is no picture to decode again: the flag alone is no failure.
    const bool hasPath = backImagePath != nullptr && *backImagePath != '\0';
    if ((m_nBackFlags & OV_BACK_RELEASE_IMAGE) && m_BackImage.IsEmpty() && hasPath) {
        const int code = LoadBackImage(backImagePath);
        if (code != 0)
            return code;
    }
    FillBackColor();
    DrawBackImage(width, height);
    if (m_nBackFlags & OV_BACK_RELEASE_IMAGE)
        m_BackImage.FreeData();
    return 0;
}

// ---------------------------------------------------------------------------
// Background
// ---------------------------------------------------------------------------

bool COvImageDraw::IsBlack() const {
    return (m_BackColor.r & 0xFF) == 0 && (m_BackColor.g & 0xFF) == 0 &&
           (m_BackColor.b & 0xFF) == 0;
}

int COvImageDraw::FillBackColor() {
    m_bPlainBack = false;
    if (IsBlack() && !(m_nBackFlags & OV_BACK_RELEASE_IMAGE) && m_BackImage.IsEmpty()) {
        m_BackScreen.FreeData();
        return 0;
    }
    if (m_BackScreen.GetWidth() != m_Size.width || m_BackScreen.GetHeight() != m_Size.height ||
        m_BackScreen.IsEmpty()) {
        if (m_BackScreen.NewImage(m_Size.width, m_Size.height) != 0) {
            // NOTE: without a composed background the canvas updates fill the plain
            // colour themselves (ClearCanvas), so the screen still shows its colour.
            const long long bytes = static_cast<long long>(m_Size.height) * m_nLineBytes;
            return ov::Report(m_pControl, "COvImageDraw", "FillBackColor", OV_E_NOMEMORY, bytes,
                              ov::kFoundHere);
        }
    }
    FillRows(m_BackScreen.GetData(), m_BackScreen.GetWidth(), m_BackScreen.GetHeight(),
             m_BackScreen.GetLineBytes(), m_BackColor);
    m_bPlainBack = true;
    return 0;
}

int COvImageDraw::DrawBackImage(int width, int height) {
    if (m_BackImage.IsEmpty()) {
        return IsBlack() ? 0 : FillBackColor();
    }
    if (m_BackScreen.GetWidth() != width || m_BackScreen.GetHeight() != height ||
        m_BackScreen.IsEmpty()) {
        FillBackColor();
    }
    if (m_BackScreen.IsEmpty())
        return 0;
    m_bPlainBack = false;
    CPxCanvas24 canvas(&m_BackScreen);
    const int w = m_BackImage.GetWidth();
    const int h = m_BackImage.GetHeight();
    switch (m_nDrawMode) {
        case OV_BACK_STRETCH:
            canvas.DrawImage(&m_BackImage, 0, 0, m_Size.width, m_Size.height);
            break;
        case OV_BACK_CENTRE:
            canvas.DrawImage(&m_BackImage, width / 2 - w / 2, height / 2 - h / 2, w, h);
            break;
        case OV_BACK_LOWER_LEFT:
            canvas.DrawImage(&m_BackImage, 0, m_Size.height - h, w, h);
            break;
        case OV_BACK_TILE:
            // Column by column; the products stay in 64 bits for any area.
            for (long long x = 0; x < width; x += w) {
                for (long long y = 0; y < height; y += h) {
                    canvas.DrawImage(&m_BackImage, static_cast<int>(x), static_cast<int>(y), w, h);
                }
            }
            break;
        default:
            break;  // an unknown placement leaves the plain colour
    }
    return 0;
}

int COvImageDraw::LoadBackImage(const char* path) {
    const int option = (m_nBackFlags & OV_BACK_LOAD_OPTION) ? OV_BACK_LOAD_OPTION : 0;
    const int code = m_BackImage.LoadImageA(path, nullptr, option);
    if (code != 0) {
        ov::Report(m_pControl, "COvImageDraw", "MakeBackImage", code, path, ov::kFoundHere);
        m_nBackFlags &= ~OV_BACK_RELEASE_IMAGE;
    }
    return code;
}

int COvImageDraw::MakeBackImage(int drawMode, int flags, const char* path, int width, int height) {
    m_nBackFlags = flags;
    m_nDrawMode = drawMode;
    m_BackImage.FreeData();
    if (path == nullptr || *path == '\0') {
        if (IsBlack())
            m_BackScreen.FreeData();
        return 0;
    }
    const int code = LoadBackImage(path);
    if (code != 0)
        return code;
    DrawBackImage(width, height);
    if (m_nBackFlags & OV_BACK_RELEASE_IMAGE)
        m_BackImage.FreeData();
    return 0;
}

// ---------------------------------------------------------------------------
// Per frame
// ---------------------------------------------------------------------------

void COvImageDraw::ClearCanvas() {
    unsigned char* pixels = m_ZImage.GetData();
    if (pixels != nullptr) {
        const int width = m_ZImage.GetWidth();
        const int height = m_ZImage.GetHeight();
        const std::size_t bytes = static_cast<std::size_t>(m_ZImage.GetLineBytes()) * height;
        // The composed background is used only when it matches the picture exactly; a
        // surface whose background could not be composed shows the plain colour.
        // A plain colour is filled in rather than copied: half the memory traffic,
        // and the clear is a good part of a canvas update.
        if (m_bPlainBack && m_BackScreen.GetWidth() == width &&
            m_BackScreen.GetHeight() == height) {
            FillRows(pixels, width, height, m_ZImage.GetLineBytes(), m_BackColor);
        } else if (!m_BackScreen.IsEmpty() && m_BackScreen.GetWidth() == width &&
                   m_BackScreen.GetHeight() == height) {
            std::memcpy(pixels, m_BackScreen.GetData(), bytes);
        } else if (IsBlack()) {
            std::memset(pixels, 0, bytes);
        } else {
            FillRows(pixels, width, height, m_ZImage.GetLineBytes(), m_BackColor);
        }
    }
    if ((m_bDepthNew || m_bHandedOut) && m_ZImage.GetBuffer().GetStart() != nullptr) {
        m_ZImage.Clear();
        ++m_nDepthResets;
    }
    m_bDepthNew = false;
}

CPxCanvas24* COvImageDraw::HandOutCanvas() {
    m_bHandedOut = true;
    return m_pCanvas.get();
}

int COvImageDraw::DrawImage(const RECT& area, HDC dc) {
    // The area comes from the window; never read past the picture when the two
    // disagree (a window resized since the last canvas update).
    const int width = std::min<int>(std::max<int>(area.right, 0), m_ZImage.GetWidth());
    const int height = std::min<int>(std::max<int>(area.bottom, 0), m_ZImage.GetHeight());
    if (width == 0 || height == 0)
        return 0;
    const int lines = ::SetDIBitsToDevice(
        dc, 0, 0, static_cast<unsigned int>(width), static_cast<unsigned int>(height), 0,
        m_ZImage.GetHeight() - height, 0, static_cast<unsigned int>(m_ZImage.GetHeight()),
        m_ZImage.GetData(), m_ZImage.GetInfo(), DIB_RGB_COLORS);
    if (lines == 0)
        ov::Report(m_pControl, "COvImageDraw", "DrawImage", OV_IMAGEDRAW_COPY_FAILED,
                   "::SetDIBitsToDevice", ov::kFoundHere);
    return 0;
}
