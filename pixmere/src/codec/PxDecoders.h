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

// The header handed to callers that ask for one.
class CPxFileHeader final : public CPxImageHeader {
public:
    explicit CPxFileHeader(const PxFileFacts& facts) : m_Facts(facts) {
        m_nImageType = facts.nType;
    }
    int GetWidth() const override { return m_Facts.nWidth; }
    int GetHeight() const override { return m_Facts.nHeight; }
    int GetBitCount() const override { return m_Facts.nBitCount; }
    int GetChannels() const override { return m_Facts.nChannels; }
    int GetPaletteSize() const override { return m_Facts.nPalette; }
    int HasAlpha() const override { return m_Facts.bAlpha; }
    int IsInterlaced() const override { return m_Facts.bInterlaced; }
    int IsTopDown() const override { return m_Facts.bTopDown; }
    int GetXResolution() const override { return m_Facts.nXRes; }
    int GetYResolution() const override { return m_Facts.nYRes; }
    long long GetFileSize() const override { return m_Facts.nFileSize; }

private:
    PxFileFacts m_Facts;
};

// Each decoder reads from the stream's current position into `image` and returns 0
// or a negative code; on failure the image may hold a partial picture, which the
// caller frees. Sizes are checked against the pixel limit before allocating.
int PxDecodeBmp(CQrReadStream& stream, CPxImageData24& image, PxFileFacts& facts);
int PxDecodePng(CQrReadStream& stream, CPxImageData24& image, PxFileFacts& facts);
int PxDecodeJpeg(CQrReadStream& stream, CPxImageData24& image, PxFileFacts& facts, int flag);

#endif
