// Encoders of 24-bit pictures into BMP and PNG files.
#ifndef PIXMERE_PXCODEC_H
#define PIXMERE_PXCODEC_H

#include <vector>

#include "PxExport.h"

class CPxImageData24;

// Encodes `image` as an uncompressed 24-bit BMP: a 14-byte file header ("BM", file
// size, two reserved zeros, pixel offset 54), the 40-byte BITMAPINFOHEADER (positive
// height, 1 plane, 24 bits, no compression, image size 0, resolutions and colour
// counts 0), then the rows bottom row first, each padded to 4 bytes with zeros.
// Replaces `out`. Returns 0, or PX_E_EMPTY for a picture without pixels.
PX_EXPORT int PxEncodeBmp(const CPxImageData24& image, std::vector<unsigned char>& out);
// Writes the BMP encoding of `image` to `path`, replacing any file there. Returns 0,
// PX_E_EMPTY, -10001 when the file cannot be created, or PX_E_WRITE (the partial
// file is removed).
PX_EXPORT int PxSaveBmp(const CPxImageData24& image, const char* path);

// Encodes `image` as an 8-bit RGB PNG. Replaces `out`. Returns 0, PX_E_EMPTY, or
// -10000 when the encoder fails.
PX_EXPORT int PxEncodePng(const CPxImageData24& image, std::vector<unsigned char>& out);
// Writes the PNG encoding of `image` to `path`. Returns as PxSaveBmp.
PX_EXPORT int PxSavePng(const CPxImageData24& image, const char* path);

#endif
