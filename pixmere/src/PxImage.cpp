// Pictures, depth buffers and pixel cursors.
#include "PxImage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Row size of a 24-bit picture; widths reaching here are within the pixel limit.
int LineBytes(int width) {
    return static_cast<int>(PxLineBytes(width));
}

// Sets count floats from dst on to value with sixteen-byte vector stores, which the
// compiler maps to whatever the target has (a plain loop stays scalar at the
// optimisation level this file is built with). The depth buffer is cleared every frame.
void FillFloats(float* dst, std::size_t count, float value) {
#if defined(__GNUC__)
    typedef float Vec4 __attribute__((vector_size(16)));
    const Vec4 v = {value, value, value, value};
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        std::memcpy(dst + i, &v, sizeof v);
        std::memcpy(dst + i + 4, &v, sizeof v);
        std::memcpy(dst + i + 8, &v, sizeof v);
        std::memcpy(dst + i + 12, &v, sizeof v);
    }
    for (; i < count; ++i)
        dst[i] = value;
#else
    std::fill_n(dst, count, value);
#endif
}

}  // namespace

// ---------------------------------------------------------------------------
// CPxImageZBuffer
// ---------------------------------------------------------------------------

int CPxImageZBuffer::Resize(int w, int h) {
    m_Owner.reset();
    m_pStart = nullptr;
    m_nWidth = m_nHeight = 0;
    if (w <= 0 || h <= 0)
        return PX_OK;
    if (!PxSizeAllowed(w, h))
        return PX_E_NOMEM;  // as a failed allocation: callers know only that code
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    float* mem = new (std::nothrow) float[count];
    if (!mem)
        return PX_E_NOMEM;
    m_Owner.reset(mem, std::default_delete<float[]>());
    m_pStart = mem;
    m_nWidth = w;
    m_nHeight = h;
    return PX_OK;
}

void CPxImageZBuffer::Clear() {
    if (!m_pStart)
        return;
    FillFloats(m_pStart, static_cast<std::size_t>(m_nWidth) * static_cast<std::size_t>(m_nHeight),
               PX_DEPTH_FAR);
}

// ---------------------------------------------------------------------------
// CPxImageData24
// ---------------------------------------------------------------------------

CPxImageData24::CPxImageData24(CPxMemoryAllocator* allocator) : m_pAllocator(allocator) {
    SetInfo(0, 0);
}

CPxImageData24::CPxImageData24(const CPxImageData24& other) = default;
CPxImageData24& CPxImageData24::operator=(const CPxImageData24& other) = default;
CPxImageData24::~CPxImageData24() {}

void CPxImageData24::SetInfo(int width, int height) {
    std::memset(&m_Info, 0, sizeof m_Info);
    BITMAPINFOHEADER& h = m_Info.bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    h.biSizeImage =
        static_cast<std::uint32_t>(LineBytes(width)) * static_cast<std::uint32_t>(height);
    m_nWidth = width;
    m_nHeight = height;
    m_nLineBytes = LineBytes(width);
}

void CPxImageData24::InitPixel(CPxZImagePixel24& pixel) {
    InitPixel(static_cast<CPxImagePixel24&>(pixel));
    pixel.m_pZTop = nullptr;
    pixel.m_nWidth = 0;
    pixel.m_pZCurrent = nullptr;
}

void CPxImageData24::InitPixel(CPxImagePixel24& pixel) {
    pixel.m_pTop = m_pData ? GetScanLine(0) : nullptr;
    pixel.m_nStep = -m_nLineBytes;
    pixel.m_pCurrent = pixel.m_pTop;
}

void CPxImageData24::ImageSizeChanged() {}

int CPxImageData24::NewImage(int width, int height) {
    return Allocate(width, height, true);
}

int CPxImageData24::ReserveImage(int width, int height) {
    if (m_pData && width == m_nWidth && height == m_nHeight && m_Owner.use_count() == 1)
        return PX_OK;
    return Allocate(width, height, false);
}

int CPxImageData24::Allocate(int width, int height, bool clear) {
    m_Owner.reset();
    m_pData = nullptr;
    if (!PxSizeAllowed(width, height)) {
        SetInfo(0, 0);
        ImageSizeChanged();
        return (width <= 0 || height <= 0) ? PX_OK : PX_E_TOO_LARGE;
    }
    const std::size_t line = static_cast<std::size_t>(LineBytes(width));
    const std::size_t bytes = line * static_cast<std::size_t>(height);
    unsigned char* mem = nullptr;
    if (m_pAllocator) {
        mem = static_cast<unsigned char*>(m_pAllocator->AllocMemory(bytes));
        if (mem) {
            CPxMemoryAllocator* allocator = m_pAllocator;
            m_Owner.reset(mem, [allocator](unsigned char* p) { allocator->FreeMemory(p); });
            // An allocator may hand out memory that was used before (a pool).
            if (clear)
                std::memset(mem, 0, bytes);
        }
    } else {
        mem = static_cast<unsigned char*>(clear ? std::calloc(bytes, 1) : std::malloc(bytes));
        if (mem)
            m_Owner.reset(mem, std::free);
    }
    if (!mem) {
        SetInfo(0, 0);
        ImageSizeChanged();
        return PX_E_NOMEM;
    }
    const std::size_t used = 3 * static_cast<std::size_t>(width);
    if (!clear && used < line) {
        for (int y = 0; y < height; ++y)
            std::memset(mem + y * line + used, 0, line - used);
    }
    m_pData = mem;
    SetInfo(width, height);
    m_bSizeRefused = false;
    ImageSizeChanged();
    if (m_bSizeRefused) {
        // What the picture carries beside its pixels could not follow: no picture.
        FreeData();
        return PX_E_NOMEM;
    }
    return PX_OK;
}

void CPxImageData24::RefuseSize() {
    m_bSizeRefused = true;
}

void CPxImageData24::FreeData() {
    m_Owner.reset();
    m_pData = nullptr;
    SetInfo(0, 0);
    ImageSizeChanged();
}

// ---------------------------------------------------------------------------
// CPxZImageData24
// ---------------------------------------------------------------------------

CPxZImageData24::CPxZImageData24(CPxMemoryAllocator* allocator) : CPxImageData24(allocator) {}
CPxZImageData24::~CPxZImageData24() {}

void CPxZImageData24::InitPixel(CPxZImagePixel24& pixel) {
    // The row size follows the header, as a caller that rewrote the header expects.
    const int bits = m_Info.bmiHeader.biBitCount;
    const int line = static_cast<int>((static_cast<long long>(bits) / 8 * m_nWidth + 3) / 4 * 4);
    pixel.m_pTop = m_pData ? m_pData + static_cast<long>(m_nHeight - 1) * line : nullptr;
    pixel.m_nStep = -line;
    pixel.m_pCurrent = pixel.m_pTop;
    pixel.m_pZTop = m_ZBuffer.m_pStart;
    pixel.m_nWidth = m_ZBuffer.m_nWidth;
    pixel.m_pZCurrent = m_ZBuffer.m_pStart;
}

void CPxZImageData24::InitPixel(CPxImagePixel24& pixel) {
    CPxImageData24::InitPixel(pixel);
}

void CPxZImageData24::ImageSizeChanged() {
    if (m_ZBuffer.m_nWidth == m_nWidth && m_ZBuffer.m_nHeight == m_nHeight && m_ZBuffer.m_pStart)
        return;
    if (m_ZBuffer.Resize(m_nWidth, m_nHeight) != PX_OK)
        RefuseSize();
}
