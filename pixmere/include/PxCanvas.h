// Drawing on a 24-bit picture: scaled pictures, lines, triangles, frames.
#ifndef PIXMERE_PXCANVAS_H
#define PIXMERE_PXCANVAS_H

#include "PxExport.h"
#include "PxTypes.h"

class CPxImageData24;

// Draws into one picture, which it does not own. Every operation is clipped to the
// picture and safe for any coordinates in the int range: the work done is bounded
// by the visible part, never by how far outside a shape reaches. Colours use the
// low byte of each component. Coordinates are pixel indices: pixel (x, y) covers
// the square [x, x+1) x [y, y+1), its centre at (x + 0.5, y + 0.5).
class PX_EXPORT CPxCanvas24 {
public:
    // A canvas that draws into `image` (null: every operation draws nothing).
    explicit CPxCanvas24(CPxImageData24* image);
    CPxCanvas24(const CPxCanvas24& other) = default;
    CPxCanvas24& operator=(const CPxCanvas24& other) = default;
    virtual ~CPxCanvas24();

    // Returns the picture drawn into.
    CPxImageData24* GetImage() const { return m_pImage; }

    // Draws `src` scaled into the rectangle with top-left (x, y) and the given size.
    // Each target pixel takes the source at its centre mapped into the source, with
    // bilinear filtering (edges clamped); where the source shrinks by more than 2x
    // along an axis, each target pixel averages the source pixels its footprint covers
    // instead, so reduced pictures do not shimmer. A 1:1 draw copies exactly.
    // Returns 0 (also when nothing is visible), or PX_E_ARGUMENT for a null `src` or
    // a `src` whose pixels are the canvas's own; an empty `src` or a non-positive size
    // draws nothing and returns 0.
    int DrawImage(CPxImageData24* src, int x, int y, int width, int height);

    // Draws the segment from the centre of pixel (x1, y1) to the centre of pixel
    // (x2, y2) as a band `lineWidth` pixels wide (a width below 1 counts as 1) whose
    // square ends reach half the width beyond the end points, so that a horizontal or
    // vertical line of odd width covers whole pixels from end to end. A pixel is
    // blended with the colour by the share of its 4 x 4 samples, at (x + (i + 0.5) / 4,
    // y + (j + 0.5) / 4), inside the band. A zero-length segment draws nothing.
    // Returns 0.
    int DrawLine(int x1, int y1, int x2, int y2, int lineWidth, const CPxRGB& color);

    // Fills the triangle whose corners are the centres of the three pixels, in either
    // winding. A pixel is blended with the colour by the share of its area inside the
    // triangle, measured with 4x4 samples; a degenerate triangle draws nothing.
    // Returns 0.
    int DrawTriangle(int x1, int y1, int x2, int y2, int x3, int y3, const CPxRGB& color);

    // Draws the outline of the rectangle with corner pixels (x1, y1) and (x2, y2)
    // (any order, both included) with bands `thickness` pixels wide lying inside the
    // rectangle (a thickness below 1 counts as 1; one at least half the rectangle
    // fills it). Pixels are set exactly, without blending. Returns 0.
    int DrawFrame(int x1, int y1, int x2, int y2, int thickness, const CPxRGB& color);

    CPxImageData24* m_pImage;
};

// The font settings of a text-drawing device context.
class PX_EXPORT CPxCanvasFont {
public:
    // A font without a context and with all settings 0.
    CPxCanvasFont() : m_hDC(nullptr), m_nHeight(0), m_nWeight(0), m_nStyle(0) {}
    CPxCanvasFont(const CPxCanvasFont& other) = default;
    CPxCanvasFont& operator=(const CPxCanvasFont& other) = default;

    // Returns the device context.
    void* GetDC() const { return m_hDC; }

    void* m_hDC;
    int m_nHeight;  // cell height in pixels
    int m_nWeight;  // 0 normal, 700 bold
    int m_nStyle;   // bits: 2 italic, 4 underline, 8 strike-out
};

#endif
