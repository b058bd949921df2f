// The decoders behind CPxImageData24::LoadImageA, one per file format.
#ifndef PIXMERE_PXDECODERS_H
#define PIXMERE_PXDECODERS_H

#include "PxImage.h"

class CQrReadStream;

// What a decoder learned about the file; handed to the caller as a CPxImageHeader.
struct PxFileFacts {
    int nType = CPxImageHeader::TYPE_UNKNOWN;
    int nWidth = 0;
    int nHeight = 0;
    int nBitCount = 0;
    int nChannels = 0;
    int nPalette = 0;
    int bAlpha = 0;
    int bInterlaced = 0;
    int bTopDown = 0;
    int nXRes = 0;
    int nYRes = 0;
    long long nFileSize = -1;
};

// Each decoder reads from the stream's current position into `image` and returns 0
// or a negative code; on failure the image may hold a partial picture, which the
// caller frees. Sizes are checked against the pixel limit before allocating.
int PxDecodeBmp(CQrReadStream& stream, CPxImageData24& image, PxFileFacts& facts);
int PxDecodePng(CQrReadStream& stream, CPxImageData24& image, PxFileFacts& facts);
int PxDecodeJpeg(CQrReadStream& stream, CPxImageData24& image, PxFileFacts& facts, int flag);

// Returns true when a picture of w x h pixels is within the library's limit.
inline bool PxSizeAllowed(long long w, long long h) {
    return w > 0 && h > 0 && w <= PX_MAX_SIDE && h <= PX_MAX_SIDE && w * h <= PX_MAX_PIXELS;
}

#endif
