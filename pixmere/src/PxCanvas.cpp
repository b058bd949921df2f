// The canvas: argument checks, geometry of lines, triangles and frames, and the
// hand-over to the scaler and the rasteriser.
#include "PxCanvas.h"

#include <cmath>
#include <cstdint>
#include <new>

#include "PxImage.h"
#include "draw/PxRaster.h"
#include "draw/PxScale.h"

namespace {

void ToBgr(const CPxRGB& c, unsigned char bgr[3]) {
    bgr[0] = static_cast<unsigned char>(c.b);
    bgr[1] = static_cast<unsigned char>(c.g);
    bgr[2] = static_cast<unsigned char>(c.r);
}

bool Drawable(const CPxImageData24* img) {
    return img && !img->IsEmpty();
}

PxPointF Centre(int x, int y) {
    return PxPointF{x + 0.5, y + 0.5};
}

}  // namespace

CPxCanvas24::CPxCanvas24(CPxImageData24* image) : m_pImage(image) {}
CPxCanvas24::~CPxCanvas24() {}

int CPxCanvas24::DrawImage(CPxImageData24* src, int x, int y, int width, int height) {
    if (!src)
        return PX_E_ARGUMENT;
    if (!Drawable(m_pImage) || src->IsEmpty() || width <= 0 || height <= 0)
        return PX_OK;
    // Drawing a picture into itself would read pixels already overwritten.
    if (src->GetData() == m_pImage->GetData())
        return PX_E_ARGUMENT;
    try {
        PxScaleInto(*src, *m_pImage, x, y, width, height);
    } catch (const std::bad_alloc&) {
        return PX_E_NOMEM;  // the tap tables, at most a few rows long, could not be had
    }
    return PX_OK;
}

int CPxCanvas24::DrawLine(int x1, int y1, int x2, int y2, int lineWidth, const CPxRGB& color) {
    if (!Drawable(m_pImage))
        return PX_OK;
    const double dx = static_cast<double>(x2) - x1, dy = static_cast<double>(y2) - y1;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len == 0)
        return PX_OK;
    const double half = (lineWidth < 1 ? 1 : lineWidth) / 2.0;
    // Unit direction times half the width (ux, uy), and its normal (-uy, ux).
    const double ux = dx / len * half, uy = dy / len * half;
    const PxPointF a = Centre(x1, y1), b = Centre(x2, y2);
    const PxPointF quad[4] = {{a.x - ux - uy, a.y - uy + ux},
                              {b.x + ux - uy, b.y + uy + ux},
                              {b.x + ux + uy, b.y + uy - ux},
                              {a.x - ux + uy, a.y - uy - ux}};
    unsigned char bgr[3];
    ToBgr(color, bgr);
    PxFillConvex(*m_pImage, quad, 4, bgr);
    return PX_OK;
}

int CPxCanvas24::DrawTriangle(int x1, int y1, int x2, int y2, int x3, int y3, const CPxRGB& color) {
    if (!Drawable(m_pImage))
        return PX_OK;
    const PxPointF tri[3] = {Centre(x1, y1), Centre(x2, y2), Centre(x3, y3)};
    unsigned char bgr[3];
    ToBgr(color, bgr);
    PxFillConvex(*m_pImage, tri, 3, bgr);
    return PX_OK;
}

int CPxCanvas24::DrawFrame(int x1, int y1, int x2, int y2, int thickness, const CPxRGB& color) {
    if (!Drawable(m_pImage))
        return PX_OK;
    std::int64_t l = x1, r = x2, t = y1, b = y2;
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    ++r;  // both corners are included: [l, r) x [t, b)
    ++b;
    const std::int64_t k = thickness < 1 ? 1 : thickness;
    unsigned char bgr[3];
    ToBgr(color, bgr);
    if (2 * k >= r - l || 2 * k >= b - t) {
        PxFillRect(*m_pImage, l, t, r, b, bgr);
        return PX_OK;
    }
    PxFillRect(*m_pImage, l, t, r, t + k, bgr);          // top
    PxFillRect(*m_pImage, l, b - k, r, b, bgr);          // bottom
    PxFillRect(*m_pImage, l, t + k, l + k, b - k, bgr);  // left
    PxFillRect(*m_pImage, r - k, t + k, r, b - k, bgr);  // right
    return PX_OK;
}
