// Anti-aliased filling of convex polygons and exact filling of rectangles.
#ifndef PIXMERE_PXRASTER_H
#define PIXMERE_PXRASTER_H

#include <cstdint>

class CPxImageData24;

struct PxPointF {
    double x;
    double y;
};

// Fills the convex polygon of `n` corners (3 or 4, either winding) in `img`,
// blending each pixel with the colour (bytes b, g, r) by the share of its 4 x 4
// samples inside the polygon. Only the visible part of the polygon costs work.
void PxFillConvex(CPxImageData24& img, const PxPointF* pts, int n, const unsigned char bgr[3]);

// Sets every pixel of the rectangle [x0, x1) x [y0, y1), clipped to `img`.
void PxFillRect(CPxImageData24& img, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                std::int64_t y1, const unsigned char bgr[3]);

#endif
