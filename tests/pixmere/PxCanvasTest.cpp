// Canvas drawing: scaling, clipping, lines, triangles and frames.
#include <gtest/gtest.h>

#include "PxTestSupport.h"
