// Scaled drawing of one picture into another.
#ifndef PIXMERE_PXSCALE_H
#define PIXMERE_PXSCALE_H

#include <cstdint>

class CPxImageData24;

// Draws `src` scaled into the rectangle (x, y, w, h) of `dst`, clipped to `dst`.
// Both pictures hold pixels and w, h are positive. Coordinates are 64-bit so that
// a rectangle anywhere in the int range needs no overflow checks.
void PxScaleInto(const CPxImageData24& src, CPxImageData24& dst, std::int64_t x, std::int64_t y,
                 std::int64_t w, std::int64_t h);

#endif
