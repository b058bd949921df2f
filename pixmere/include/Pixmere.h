// The imaging library: 24-bit pictures with depth buffers, the canvas that draws on
// them, decoders (BMP, PNG, JPEG) and encoders (BMP, PNG).
#ifndef PIXMERE_PIXMERE_H
#define PIXMERE_PIXMERE_H

#include "PxCanvas.h"
#include "PxCodec.h"
#include "PxExport.h"
#include "PxImage.h"
#include "PxTypes.h"

#endif
