// 24-bit pictures, their depth buffer and pixel cursors.
#ifndef PIXMERE_PXIMAGE_H
#define PIXMERE_PXIMAGE_H

#include <cstddef>
#include <limits>
#include <memory>

#include "PxExport.h"
#include "PxTypes.h"

class CQrReadStream;
class CPxImagePixel24;
class CPxZImagePixel24;

// ---------------------------------------------------------------------------
// Allocator and image header
// ---------------------------------------------------------------------------

// Supplies the pixel memory of images that are given one. It must outlive every
// picture (and copy of one) that it supplied; it is not deleted through this
// interface.
class PX_EXPORT CPxMemoryAllocator {
public:
    // Returns `bytes` of memory, or null when it cannot. The content may be anything,
    // such as a block used before: NewImage clears what it gets, ReserveImage and the
    // decoders write every byte.
    virtual void* AllocMemory(std::size_t bytes) = 0;
    // Gives back memory that AllocMemory returned.
    virtual void FreeMemory(void* memory) = 0;

protected:
    ~CPxMemoryAllocator() = default;
};

// What a decoder found in an image file, handed out by LoadImageA on request.
class PX_EXPORT CPxImageHeader {
public:
    // Image types.
    enum { TYPE_UNKNOWN = 0, TYPE_BMP = 1, TYPE_PNG = 2, TYPE_JPEG = 3 };

    virtual ~CPxImageHeader() {}
    // Returns the width in pixels as stored in the file.
    virtual int GetWidth() const = 0;
    // Returns the height in pixels as stored in the file.
    virtual int GetHeight() const = 0;
    // Returns the bits per pixel of the file's own pixel format.
    virtual int GetBitCount() const = 0;
    // Returns the number of colour channels in the file (1 grey, 3 colour, with alpha one more).
    virtual int GetChannels() const = 0;
    // Returns the number of palette entries, 0 without a palette.
    virtual int GetPaletteSize() const = 0;
    // Returns 1 when the file carries an alpha channel or transparency, else 0.
    virtual int HasAlpha() const = 0;
    // Returns 1 when the file is interlaced or progressive, else 0.
    virtual int IsInterlaced() const = 0;
    // Returns 1 when the rows are stored top row first, else 0.
    virtual int IsTopDown() const = 0;
    // Returns the horizontal resolution in pixels per metre, 0 when not given.
    virtual int GetXResolution() const = 0;
    // Returns the vertical resolution in pixels per metre, 0 when not given.
    virtual int GetYResolution() const = 0;
    // Returns the size of the encoded data in bytes, -1 when not known.
    virtual long long GetFileSize() const = 0;

    // Returns the image type (TYPE_...).
    int GetImageType() const { return m_nImageType; }

protected:
    int m_nImageType = TYPE_UNKNOWN;
};

// ---------------------------------------------------------------------------
// Depth buffer
// ---------------------------------------------------------------------------

// The depth of a pixel at which nothing has been drawn yet: the largest finite float
// (bit pattern 0x7F7FFFFF).
constexpr float PX_DEPTH_FAR = std::numeric_limits<float>::max();

// One 32-bit float per pixel, row by row from the top row. Copies share the array;
// it is released with the last copy.
class PX_EXPORT CPxImageZBuffer {
public:
    CPxImageZBuffer() = default;

    // Frees the array, then for positive w and h allocates w x h floats (contents
    // undefined until Clear). Returns 0, -10000 when the allocation fails or
    // w x h is past the pixel limit; on failure the buffer stays empty.
    int Resize(int w, int h);
    // Sets every entry to PX_DEPTH_FAR: nothing drawn at that pixel yet.
    void Clear();
    // Returns the array (null when empty).
    float* GetStart() const { return m_pStart; }
    // Returns the width and height in entries.
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }

    float* m_pStart = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;

private:
    std::shared_ptr<float> m_Owner;
};

// ---------------------------------------------------------------------------
// Pixel cursors
// ---------------------------------------------------------------------------

// A cursor over the pixels of a 24-bit picture.
class PX_EXPORT CPxImagePixel24 {
public:
    // Moves the cursor to pixel (x, y), y counted from the top. No bounds check.
    void MoveTo(int x, int y) { m_pCurrent = m_pTop + static_cast<long>(y) * m_nStep + 3L * x; }
    // Returns the colour under the cursor.
    CPxRGB Get() const { return CPxRGB{m_pCurrent[2], m_pCurrent[1], m_pCurrent[0]}; }
    // Writes `c` under the cursor.
    void Set(const CPxRGB& c) {
        m_pCurrent[0] = static_cast<unsigned char>(c.b);
        m_pCurrent[1] = static_cast<unsigned char>(c.g);
        m_pCurrent[2] = static_cast<unsigned char>(c.r);
    }

    unsigned char* m_pTop = nullptr;      // first byte of the top row
    int m_nStep = 0;                      // bytes to the next row down (minus the row size)
    unsigned char* m_pCurrent = nullptr;  // the current pixel
};

// A cursor over the pixels and the depth entries of a picture with a depth buffer.
class PX_EXPORT CPxZImagePixel24 : public CPxImagePixel24 {
public:
    // Moves both cursors to pixel (x, y). No bounds check.
    void MoveTo(int x, int y) {
        CPxImagePixel24::MoveTo(x, y);
        if (m_pZTop)
            m_pZCurrent = m_pZTop + static_cast<long>(y) * m_nWidth + x;
    }

    float* m_pZTop = nullptr;  // depth of the top-left pixel
    int m_nWidth = 0;          // depth entries per row
    float* m_pZCurrent = nullptr;
};

// ---------------------------------------------------------------------------
// 24-bit picture
// ---------------------------------------------------------------------------

// A 24-bit device-independent bitmap: rows bottom-up (the top row is the last in
// memory), each pixel the bytes blue, green, red, rows padded to 4 bytes.
// Copies share the pixels; they are released with the last copy (or FreeData on
// every copy).
class PX_EXPORT CPxImageData24 {
public:
    // Load options (LoadImageA's flag).
    // PX_LOAD_FAST: trade a little quality for decoding speed (JPEG: fast integer
    // transform and plain chroma upsampling). Other bits are ignored.
    enum { PX_LOAD_FAST = 2 };

    // An empty picture (0 x 0, no pixels) whose pixels will come from `allocator`
    // (null: the heap).
    explicit CPxImageData24(CPxMemoryAllocator* allocator = nullptr);
    CPxImageData24(const CPxImageData24& other);
    CPxImageData24& operator=(const CPxImageData24& other);

    // Points `pixel` at the top row; the depth members become null and 0.
    virtual void InitPixel(CPxZImagePixel24& pixel);
    // Points `pixel` at the top row.
    virtual void InitPixel(CPxImagePixel24& pixel);
    // Called after the size changed (NewImage, FreeData, LoadImageA); nothing here.
    // An override that cannot follow a new size calls RefuseSize: the picture is then
    // freed and the call that changed its size fails with -10000.
    virtual void ImageSizeChanged();
    // Frees the pixels.
    virtual ~CPxImageData24();

    // Gives the picture fresh zero-filled pixels of width x height. A non-positive
    // width or height gives an empty picture and 0. Returns 0, PX_E_TOO_LARGE past
    // the pixel limit, or -10000 when the memory cannot be had; on failure the
    // picture is empty. Calls ImageSizeChanged.
    int NewImage(int width, int height);
    // As NewImage, but keeps the present pixel memory when the size is unchanged and
    // no copy shares it, and leaves the pixel values undefined (the padding bytes are
    // zero): for callers that write every pixel, such as the decoders.
    int ReserveImage(int width, int height);
    // Frees the pixels; the picture is empty (0 x 0) afterwards. Calls ImageSizeChanged.
    void FreeData();

    // Decodes the image file at `path` (BMP, PNG or JPEG, told apart by content,
    // not by name) into this picture. Everything becomes 24-bit colour: palettes,
    // grey, 16-bit samples (rounded to 8 bits) and CMYK. PNG alpha and transparency
    // are composited over black; BMP alpha is ignored; no gamma correction is made.
    // The picture's memory is reused when its size is unchanged and no copy shares
    // it. `header`, when not null, receives a new header that the caller deletes
    // (null on failure). `flag`: the PX_LOAD_ bits. Returns 0 or a negative code
    // (PX_E_OPEN, PX_E_FORMAT, PX_E_CORRUPT, PX_E_UNSUPPORTED, PX_E_TOO_LARGE, -10000);
    // on failure the picture is empty.
    int LoadImageA(const char* path, CPxImageHeader** header, int flag);
    // The same from the current position of `stream`.
    int LoadImageA(CQrReadStream* stream, CPxImageHeader** header, int flag);

    // Returns the width, the height in pixels.
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    // Returns the bytes per row (3 x width rounded up to 4).
    int GetLineBytes() const { return m_nLineBytes; }
    // Returns the pixel memory (bottom row first), null when empty.
    unsigned char* GetData() const { return m_pData; }
    // Returns the header describing the pixel memory.
    BITMAPINFO* GetInfo() { return &m_Info; }
    const BITMAPINFO* GetInfo() const { return &m_Info; }
    // Returns the bytes per pixel.
    static int GetBpp() { return 3; }
    // Returns true without pixels.
    bool IsEmpty() const { return m_pData == nullptr; }
    // Returns the allocator given at construction.
    CPxMemoryAllocator* GetAllocator() const { return m_pAllocator; }

    // Returns the first byte of row y counted from the top. No bounds check.
    unsigned char* GetScanLine(int y) const {
        return m_pData + static_cast<long>(m_nHeight - 1 - y) * m_nLineBytes;
    }
    // Reads pixel (x, y) into `c`. Returns false without pixels or outside the picture.
    bool GetPixel(int x, int y, CPxRGB& c) const {
        if (!m_pData || x < 0 || x >= m_nWidth || y < 0 || y >= m_nHeight)
            return false;
        const unsigned char* p = GetScanLine(y) + 3L * x;
        c.b = p[0];
        c.g = p[1];
        c.r = p[2];
        return true;
    }
    // Writes the low bytes of `c` at pixel (x, y). Returns false without pixels or
    // outside the picture (nothing written).
    bool SetPixel(int x, int y, const CPxRGB& c) {
        if (!m_pData || x < 0 || x >= m_nWidth || y < 0 || y >= m_nHeight)
            return false;
        unsigned char* p = GetScanLine(y) + 3L * x;
        p[0] = static_cast<unsigned char>(c.b);
        p[1] = static_cast<unsigned char>(c.g);
        p[2] = static_cast<unsigned char>(c.r);
        return true;
    }
    // Points `pixel` at the top row. Returns false without pixels.
    bool GetImagePixel(CPxImagePixel24& pixel) {
        if (!m_pData)
            return false;
        InitPixel(pixel);
        return true;
    }
    bool GetImagePixel(CPxZImagePixel24& pixel) {
        if (!m_pData)
            return false;
        InitPixel(pixel);
        return true;
    }

    BITMAPINFO m_Info;
    unsigned char* m_pData = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nLineBytes = 0;
    CPxMemoryAllocator* m_pAllocator = nullptr;

protected:
    // From ImageSizeChanged: what the picture carries beside its pixels could not be
    // had at the new size.
    void RefuseSize();

private:
    void SetInfo(int width, int height);
    int Allocate(int width, int height, bool clear);
    std::shared_ptr<unsigned char> m_Owner;
    bool m_bSizeRefused = false;
};

// A 24-bit picture with a depth buffer of the same size.
class PX_EXPORT CPxZImageData24 : public CPxImageData24 {
public:
    explicit CPxZImageData24(CPxMemoryAllocator* allocator = nullptr);
    CPxZImageData24(const CPxZImageData24& other) = default;
    CPxZImageData24& operator=(const CPxZImageData24& other) = default;

    // Points `pixel` at the top row and the depth members at the depth buffer.
    void InitPixel(CPxZImagePixel24& pixel) override;
    void InitPixel(CPxImagePixel24& pixel) override;
    // Reallocates the depth buffer to the picture's size (none for an empty picture).
    // When it cannot be allocated the size is refused: NewImage, ReserveImage and
    // LoadImageA then fail with -10000 and leave the picture empty, as a picture
    // without its depth buffer is no use here.
    void ImageSizeChanged() override;
    ~CPxZImageData24() override;

    // Sets every depth entry to the largest finite float.
    void Clear() { m_ZBuffer.Clear(); }
    // Returns the depth buffer.
    CPxImageZBuffer& GetBuffer() { return m_ZBuffer; }
    const CPxImageZBuffer& GetBuffer() const { return m_ZBuffer; }

    CPxImageZBuffer m_ZBuffer;
};

#endif
