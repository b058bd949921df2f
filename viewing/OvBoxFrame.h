// The outline of a virtual object's box on the canvas, safe for any projected box.
#ifndef ORVANE_VIEWING_OVBOXFRAME_H
#define ORVANE_VIEWING_OVBOXFRAME_H

#include "OvTypes.h"

class CPxCanvas24;

namespace ov {

// Draws the frame of the box with corners topLeft and topLeft + size (both included),
// bands `thickness` wide inside it. The far corner is worked out in 64 bits and the
// corners are clipped to the canvas widened by the band, so that a box whose projected
// size saturated at the int range never overflows, and shows on the canvas as it would
// unclipped (for any band narrower than half the int range). A null canvas draws
// nothing.
void DrawBoxFrame(CPxCanvas24* canvas, CPx2DPoint topLeft, COvSize size, int thickness,
                  const CPxRGB& colour);

}  // namespace ov

#endif
