// The small value types of the imaging library and the device-independent
// bitmap header that describes its 24-bit pictures.
#ifndef PIXMERE_PXTYPES_H
#define PIXMERE_PXTYPES_H

#include <cstdint>

// A point on a picture, in pixels; the origin is the top-left corner, y grows downwards.
struct CPx2DPoint {
    int x;
    int y;
};

// A colour, one component per integer, each 0..255, red first. In 24-bit pixel
// memory the same colour is stored as the bytes blue, green, red.
struct CPxRGB {
    int r;
    int g;
    int b;
};

// The device-independent bitmap header, laid out as on the platform that first
// defined it (40 bytes), so that pictures can be written to and read from BMP files
// and handed to windows unchanged.
struct BITMAPINFOHEADER {
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight;  // positive: rows bottom-up
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression;
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};

struct RGBQUAD {
    std::uint8_t rgbBlue;
    std::uint8_t rgbGreen;
    std::uint8_t rgbRed;
    std::uint8_t rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must match the file layout");

#ifndef BI_RGB
#define BI_RGB 0u
#endif

// Status codes of the imaging library. Allocation and file-open failures use the
// codes the rest of the library uses for them.
constexpr int PX_OK = 0;
constexpr int PX_E_NOMEM = -10000;        // memory could not be allocated
constexpr int PX_E_OPEN = -10001;         // a file could not be opened or created
constexpr int PX_E_ARGUMENT = -70001;     // a null pointer or a value out of range
constexpr int PX_E_FORMAT = -70002;       // the content is no image format the library reads
constexpr int PX_E_CORRUPT = -70003;      // the file is damaged, truncated or inconsistent
constexpr int PX_E_UNSUPPORTED = -70004;  // a valid variant of the format that is not read
constexpr int PX_E_TOO_LARGE = -70005;    // the picture exceeds the pixel limit
constexpr int PX_E_WRITE = -70006;        // a file could not be written completely
constexpr int PX_E_EMPTY = -70007;        // an empty picture where one with pixels is needed

// The largest picture the library builds or decodes: 64 Mi pixels (192 MiB of
// pixel memory), and no side longer than 32768 pixels. Sizes read from a file are
// checked against it before anything is allocated.
constexpr long long PX_MAX_PIXELS = 1LL << 26;
constexpr int PX_MAX_SIDE = 1 << 15;

// Returns true when a picture of w x h pixels has pixels and is within the limit.
constexpr bool PxSizeAllowed(long long w, long long h) {
    return w > 0 && h > 0 && w <= PX_MAX_SIDE && h <= PX_MAX_SIDE && w * h <= PX_MAX_PIXELS;
}

// Returns the bytes of one row of a 24-bit picture `width` pixels wide: 3 x width
// rounded up to a multiple of 4 (0 for no width).
constexpr long long PxLineBytes(long long width) {
    return width > 0 ? (3 * width + 3) / 4 * 4 : 0;
}

#endif
