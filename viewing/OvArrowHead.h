// The arrow head of a projected line, kept apart from drawing so that its vertices
// can be checked exactly.
#ifndef ORVANE_VIEWING_OVARROWHEAD_H
#define ORVANE_VIEWING_OVARROWHEAD_H

#include "OvTypes.h"

namespace ov {

// The triangle at `at` pointing away from `toward` for a line of width w (tip w
// pixels beyond `at`, 3w long, 3w wide), vertices truncated toward zero: tip first.
// False (nothing written) when the line is not longer than 3w or w is not positive.
bool ArrowHead(CPx2DPoint at, CPx2DPoint toward, int w, CPx2DPoint vertices[3]);

}  // namespace ov

#endif
