// The BMP reader: Windows and OS/2 headers, palettes of 1, 4 and 8 bits, 16-, 24-
// and 32-bit pixels with or without bit fields, 8- and 4-bit run-length coding,
// bottom-up and top-down rows. Alpha channels are ignored.
#include <algorithm>
#include <cstring>
#include <vector>

#include "PxDecoders.h"
#include "Quorra.h"

namespace {

// ---------------------------------------------------------------------------
// Little helpers
// ---------------------------------------------------------------------------

std::uint32_t U32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t U16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
// The first step of the run-length buffer, which doubles from there as data arrives.
constexpr std::int64_t kRleChunk = 64 * 1024;

// One colour channel described by a bit mask: where it lies and how to widen it to 8 bits.
struct Channel {
    int shift = 0;
    std::uint32_t max = 0;  // largest value after shifting; 0: the channel is absent

    explicit Channel(std::uint32_t mask = 0) {
        if (!mask)
            return;
        while (!(mask & 1u)) {
            mask >>= 1;
            ++shift;
        }
        max = mask;
    }
    unsigned char Get(std::uint32_t px) const {
        if (!max)
            return 0;
        const std::uint32_t v = (px >> shift) & max;
        return static_cast<unsigned char>((static_cast<std::uint64_t>(v) * 255 + max / 2) / max);
    }
};

struct BmpInfo {
    std::int64_t width = 0;
    std::int64_t height = 0;  // positive: bottom-up
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t sizeImage = 0;
    std::uint32_t masks[3] = {0, 0, 0};
    bool haveMasks = false;
    std::vector<RGBQUAD> palette;
};

// ---------------------------------------------------------------------------
// Headers
// ---------------------------------------------------------------------------

int ReadHeaders(CQrReadStream& s, std::int64_t base, BmpInfo& info, PxFileFacts& facts,
                std::int64_t& dataPos) {
    unsigned char fh[14];
    if (s.ReadExact(fh, 14) != 0)
        return PX_E_CORRUPT;
    if (fh[0] != 'B' || fh[1] != 'M')
        return PX_E_FORMAT;
    const std::uint32_t offBits = U32(fh + 10);

    unsigned char ih[124] = {};
    if (s.ReadExact(ih, 4) != 0)
        return PX_E_CORRUPT;
    const std::uint32_t hsize = U32(ih);
    if (hsize < 12 || hsize > 124)
        return PX_E_CORRUPT;
    const std::uint32_t keep = std::min<std::uint32_t>(hsize, sizeof ih);
    if (s.ReadExact(ih + 4, keep - 4) != 0)
        return PX_E_CORRUPT;
    if (hsize > keep && s.Skip(hsize - keep) != 0)
        return PX_E_CORRUPT;

    const bool core = hsize == 12;
    // OS/2 2.x headers (16 or 64 bytes) share the Windows layout but number their
    // compressions differently.
    const bool os2 = hsize == 16 || hsize == 64;
    if (!core && !os2 && hsize != 40 && hsize != 52 && hsize != 56 && hsize != 108 && hsize != 124)
        return PX_E_CORRUPT;
    int planes;
    if (core) {
        // Unsigned 16-bit sides: core pictures are always bottom-up.
        info.width = U16(ih + 4);
        info.height = U16(ih + 6);
        planes = U16(ih + 8);
        info.bits = U16(ih + 10);
    } else {
        if (hsize < 16)
            return PX_E_CORRUPT;
        info.width = static_cast<std::int32_t>(U32(ih + 4));
        info.height = static_cast<std::int32_t>(U32(ih + 8));
        planes = U16(ih + 12);
        info.bits = U16(ih + 14);
        if (hsize >= 20)
            info.compression = U32(ih + 16);
        if (hsize >= 24)
            info.sizeImage = U32(ih + 20);
        if (hsize >= 32) {
            facts.nXRes = static_cast<std::int32_t>(U32(ih + 24));
            facts.nYRes = static_cast<std::int32_t>(U32(ih + 28));
        }
    }
    const std::uint32_t clrUsed = (!core && hsize >= 36) ? U32(ih + 32) : 0;
    if (planes != 1)
        return PX_E_CORRUPT;
    if (os2 && info.compression != kRgb && info.compression != kRle8 && info.compression != kRle4)
        return PX_E_UNSUPPORTED;  // OS/2 Huffman and 24-bit run-length coding
    if (info.height < 0) {
        info.topDown = true;
        info.height = -info.height;
    }
    if (!PxSizeAllowed(info.width, info.height)) {
        return (info.width <= 0 || info.height <= 0) ? PX_E_CORRUPT : PX_E_TOO_LARGE;
    }

    switch (info.compression) {
        case kRgb:
            if (info.bits != 1 && info.bits != 2 && info.bits != 4 && info.bits != 8 &&
                info.bits != 16 && info.bits != 24 && info.bits != 32)
                return PX_E_CORRUPT;
            break;
        case kRle8:
            if (info.bits != 8 || info.topDown)
                return PX_E_CORRUPT;
            break;
        case kRle4:
            if (info.bits != 4 || info.topDown)
                return PX_E_CORRUPT;
            break;
        case kBitFields:
        case kAlphaBitFields:
            if (info.bits != 16 && info.bits != 32)
                return PX_E_CORRUPT;
            info.haveMasks = true;
            if (hsize >= 52) {
                for (int i = 0; i < 3; ++i)
                    info.masks[i] = U32(ih + 40 + 4 * i);
            } else {
                // The masks follow a 40-byte header (a fourth one for alpha).
                unsigned char m[16];
                const int n = info.compression == kAlphaBitFields ? 16 : 12;
                if (s.ReadExact(m, n) != 0)
                    return PX_E_CORRUPT;
                for (int i = 0; i < 3; ++i)
                    info.masks[i] = U32(m + 4 * i);
            }
            break;
        default:
            return PX_E_UNSUPPORTED;  // embedded JPEG or PNG, and unknown codings
    }

    const std::int64_t here = s.Tell();
    const std::int64_t fileEnd = s.GetSize();
    if (offBits != 0 && fileEnd >= 0 && base + offBits > fileEnd)
        return PX_E_CORRUPT;
    if (info.bits <= 8) {
        std::int64_t count = clrUsed ? clrUsed : (1LL << info.bits);
        if (count > 256 && clrUsed > 4096)
            return PX_E_CORRUPT;  // a count no writer makes
        count = std::min<std::int64_t>(count, 1LL << info.bits);
        const int entry = core ? 3 : 4;
        // A palette never runs into the pixels: the pixel offset bounds it.
        if (offBits != 0 && base + offBits > here)
            count = std::min<std::int64_t>(count, (base + offBits - here) / entry);
        if (count <= 0)
            return PX_E_CORRUPT;
        std::vector<unsigned char> raw(static_cast<std::size_t>(count * entry));
        if (s.ReadExact(raw.data(), static_cast<std::int64_t>(raw.size())) != 0)
            return PX_E_CORRUPT;
        info.palette.resize(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < info.palette.size(); ++i) {
            info.palette[i] = RGBQUAD{raw[i * entry], raw[i * entry + 1], raw[i * entry + 2], 0};
        }
        facts.nPalette = static_cast<int>(count);
    }
    dataPos = offBits != 0 ? base + offBits : s.Tell();
    if (dataPos < base + 14 + 12)
        return PX_E_CORRUPT;

    facts.nType = CPxImageHeader::TYPE_BMP;
    facts.nWidth = static_cast<int>(info.width);
    facts.nHeight = static_cast<int>(info.height);
    facts.nBitCount = info.bits;
    facts.nChannels = 3;
    facts.bTopDown = info.topDown ? 1 : 0;
    facts.nFileSize = fileEnd >= 0 ? fileEnd - base : -1;
    return PX_OK;
}

// ---------------------------------------------------------------------------
// Pixels
// ---------------------------------------------------------------------------

// Converts one stored row into BGR bytes.
void ConvertRow(const BmpInfo& info, const unsigned char* src, unsigned char* dst,
                const Channel* ch) {
    const int w = static_cast<int>(info.width);
    const std::size_t pal = info.palette.size();
    auto put = [&](int x, unsigned idx) {
        unsigned char* d = dst + 3 * x;
        if (idx < pal) {
            d[0] = info.palette[idx].rgbBlue;
            d[1] = info.palette[idx].rgbGreen;
            d[2] = info.palette[idx].rgbRed;
        } else {
            d[0] = d[1] = d[2] = 0;  // an index past the palette shows black
        }
    };
    switch (info.bits) {
        case 1:
        case 2:
        case 4:
        case 8: {
            const int b = info.bits;
            const unsigned mask = (1u << b) - 1;
            for (int x = 0; x < w; ++x) {
                const long bit = static_cast<long>(x) * b;
                const unsigned byte = src[bit >> 3];
                put(x, (byte >> (8 - b - (bit & 7))) & mask);
            }
            break;
        }
        case 24:
            std::memcpy(dst, src, static_cast<std::size_t>(w) * 3);
            break;
        case 16:
            for (int x = 0; x < w; ++x) {
                const std::uint32_t px = U16(src + 2 * x);
                dst[3 * x] = ch[2].Get(px);
                dst[3 * x + 1] = ch[1].Get(px);
                dst[3 * x + 2] = ch[0].Get(px);
            }
            break;
        case 32:
            for (int x = 0; x < w; ++x) {
                const std::uint32_t px = U32(src + 4 * x);
                dst[3 * x] = ch[2].Get(px);
                dst[3 * x + 1] = ch[1].Get(px);
                dst[3 * x + 2] = ch[0].Get(px);
            }
            break;
        default:
            break;
    }
}

int ReadUncompressed(CQrReadStream& s, const BmpInfo& info, CPxImageData24& image) {
    const std::int64_t rowBytes = (info.width * info.bits + 31) / 32 * 4;
    const std::int64_t need = rowBytes * info.height;
    const std::int64_t size = s.GetSize();
    // A truncated file is refused before the picture is allocated.
    if (size >= 0 && need > size - s.Tell())
        return PX_E_CORRUPT;
    const int rc = image.ReserveImage(static_cast<int>(info.width), static_cast<int>(info.height));
    if (rc != 0)
        return rc;
    const int h = static_cast<int>(info.height);
    const long line = image.m_nLineBytes;
    unsigned char* data = image.m_pData;
    // Bottom-up 24-bit rows are already the picture's own layout.
    if (info.bits == 24 && !info.topDown && rowBytes == line) {
        return s.ReadExact(data, need) == 0 ? PX_OK : PX_E_CORRUPT;
    }
    Channel ch[3];
    if (info.haveMasks) {
        for (int i = 0; i < 3; ++i)
            ch[i] = Channel(info.masks[i]);
    } else if (info.bits == 16) {
        ch[0] = Channel(0x7C00);
        ch[1] = Channel(0x03E0);
        ch[2] = Channel(0x001F);
    } else {
        ch[0] = Channel(0xFF0000);
        ch[1] = Channel(0x00FF00);
        ch[2] = Channel(0x0000FF);
    }
    std::vector<unsigned char> row(static_cast<std::size_t>(rowBytes));
    for (int i = 0; i < h; ++i) {
        if (s.ReadExact(row.data(), rowBytes) != 0)
            return PX_E_CORRUPT;
        unsigned char* dst = data + (info.topDown ? (h - 1 - i) : i) * line;
        ConvertRow(info, row.data(), dst, ch);
    }
    return PX_OK;
}

// Run-length coded rows (bottom-up). Pixels that the codes skip stay black.
int ReadRle(CQrReadStream& s, const BmpInfo& info, CPxImageData24& image) {
    const std::int64_t fileSize = s.GetSize();
    // No coding spends more than two bytes per pixel plus the row ends: the bound on
    // what is read when the stream's size is not known.
    const std::int64_t most = 2 * info.width * info.height + 4 * info.height + 64;
    std::int64_t avail = fileSize >= 0 ? fileSize - s.Tell() : most;
    if (info.sizeImage != 0 && info.sizeImage < avail)
        avail = info.sizeImage;
    avail = std::min(avail, most);
    if (avail <= 0)
        return PX_E_CORRUPT;
    // Without a known size the buffer grows with the data that arrives: the header's
    // size or the worst case is only a bound, never what a short file makes us allocate.
    const std::int64_t first = fileSize >= 0 ? avail : std::min(avail, kRleChunk);
    std::vector<unsigned char> code;
    std::int64_t got = 0;
    for (;;) {
        if (got == static_cast<std::int64_t>(code.size())) {
            if (got == avail)
                break;
            code.resize(static_cast<std::size_t>(std::min(avail, std::max(first, 2 * got))));
        }
        const std::int64_t n =
            s.Read(code.data() + got, static_cast<std::int64_t>(code.size()) - got);
        if (n <= 0)
            break;  // streams may hand out less than asked for; read until the data ends
        got += n;
    }
    if (got <= 0)
        return PX_E_CORRUPT;
    code.resize(static_cast<std::size_t>(got));

    const int rc = image.NewImage(static_cast<int>(info.width), static_cast<int>(info.height));
    if (rc != 0)
        return rc;
    const int w = static_cast<int>(info.width), h = static_cast<int>(info.height);
    const bool four = info.compression == kRle4;
    const std::size_t pal = info.palette.size();
    auto put = [&](int x, int y, unsigned idx) {
        if (x >= w || y >= h || idx >= pal)
            return;
        unsigned char* d = image.m_pData + static_cast<long>(y) * image.m_nLineBytes + 3 * x;
        d[0] = info.palette[idx].rgbBlue;
        d[1] = info.palette[idx].rgbGreen;
        d[2] = info.palette[idx].rgbRed;
    };
    std::size_t i = 0;
    int x = 0, y = 0;  // y counts stored rows, bottom row first
    const std::size_t n = code.size();
    while (y < h) {
        if (i + 2 > n)
            return PX_E_CORRUPT;
        const unsigned count = code[i], value = code[i + 1];
        i += 2;
        // Runs past the end of a row or moves out of the picture mark a damaged file.
        if (count > 0) {
            if (count > static_cast<unsigned>(w - x))
                return PX_E_CORRUPT;
            for (unsigned k = 0; k < count; ++k, ++x) {
                put(x, y, four ? ((k & 1) ? (value & 15) : (value >> 4)) : value);
            }
            continue;
        }
        if (value == 0) {  // end of row
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            return PX_OK;
        } else if (value == 2) {  // move
            if (i + 2 > n)
                return PX_E_CORRUPT;
            x += code[i];
            y += code[i + 1];
            i += 2;
            if (x > w || y >= h)
                return PX_E_CORRUPT;
        } else {  // a literal run of `value` pixels, padded to 16 bits
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            if (i + bytes > n || value > static_cast<unsigned>(w - x))
                return PX_E_CORRUPT;
            for (unsigned k = 0; k < value; ++k, ++x) {
                const unsigned b = code[i + (four ? k / 2 : k)];
                put(x, y, four ? ((k & 1) ? (b & 15) : (b >> 4)) : b);
            }
            i += (bytes + 1) & ~static_cast<std::size_t>(1);
        }
    }
    return PX_OK;
}

}  // namespace

int PxDecodeBmp(CQrReadStream& stream, CPxImageData24& image, PxFileFacts& facts) {
    const std::int64_t base = stream.Tell();
    BmpInfo info;
    std::int64_t dataPos = 0;
    int rc = ReadHeaders(stream, base, info, facts, dataPos);
    if (rc != 0)
        return rc;
    if (stream.Seek(dataPos) != 0)
        return PX_E_CORRUPT;
    if (info.compression == kRle8 || info.compression == kRle4)
        return ReadRle(stream, info, image);
    return ReadUncompressed(stream, info, image);
}
