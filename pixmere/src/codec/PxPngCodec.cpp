// PNG through libpng: the decoder (every colour type and depth becomes 24-bit BGR,
// alpha composited over black) and the 8-bit RGB encoder.
#include <png.h>

#include <csetjmp>
#include <new>
#include <vector>

#include "PxCodec.h"
#include "PxDecoders.h"
#include "Quorra.h"

namespace {

constexpr png_uint_32 kChunkCache = 16;
constexpr png_alloc_size_t kChunkBytes = 256 * 1024;

void OnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

void ReadFromStream(png_structp png, png_bytep out, std::size_t size) {
    auto* s = static_cast<CQrReadStream*>(png_get_io_ptr(png));
    if (s->ReadExact(out, static_cast<std::int64_t>(size)) != 0)
        png_error(png, "truncated");
}

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
};

struct PngWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

// Blends BGRA pixels over black into BGR.
void CompositeRow(const unsigned char* src, unsigned char* dst, int w) {
    for (int x = 0; x < w; ++x, src += 4, dst += 3) {
        const unsigned a = src[3];
        dst[0] = static_cast<unsigned char>((src[0] * a + 127) / 255);
        dst[1] = static_cast<unsigned char>((src[1] * a + 127) / 255);
        dst[2] = static_cast<unsigned char>((src[2] * a + 127) / 255);
    }
}

// NOTE: libpng reports errors by longjmp; nothing with a destructor may live in the
// frames it jumps over, so every owner is the caller's.
int DecodeRows(PngReader& r, CPxImageData24& image, PxFileFacts& facts,
               std::vector<unsigned char>& temp, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(r.png)))
        return PX_E_CORRUPT;
    png_read_info(r.png, r.info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(r.png, r.info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    if (!PxSizeAllowed(w, h))
        return PX_E_TOO_LARGE;

    facts.nType = CPxImageHeader::TYPE_PNG;
    facts.nWidth = static_cast<int>(w);
    facts.nHeight = static_cast<int>(h);
    facts.nChannels = png_get_channels(r.png, r.info);
    facts.nBitCount = depth * facts.nChannels;
    facts.bInterlaced = interlace != PNG_INTERLACE_NONE;
    facts.bTopDown = 1;
    png_uint_32 xres = 0, yres = 0;
    int unit = 0;
    if (png_get_pHYs(r.png, r.info, &xres, &yres, &unit) && unit == PNG_RESOLUTION_METER) {
        facts.nXRes = static_cast<int>(xres);
        facts.nYRes = static_cast<int>(yres);
    }
    if (colour == PNG_COLOR_TYPE_PALETTE) {
        png_colorp pal = nullptr;
        int n = 0;
        if (png_get_PLTE(r.png, r.info, &pal, &n))
            facts.nPalette = n;
        png_set_palette_to_rgb(r.png);
    }
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(r.png);
    if (png_get_valid(r.png, r.info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(r.png);
        facts.bAlpha = 1;
    }
    if (colour & PNG_COLOR_MASK_ALPHA)
        facts.bAlpha = 1;
    if (depth == 16)
        png_set_scale_16(r.png);
    if (!(colour & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(r.png);
    png_set_bgr(r.png);
    const int passes = png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    const int channels = png_get_channels(r.png, r.info);
    if (channels != 3 && channels != 4)
        return PX_E_UNSUPPORTED;

    if (image.ReserveImage(static_cast<int>(w), static_cast<int>(h)) != 0)
        return PX_E_NOMEM;
    const int height = static_cast<int>(h), width = static_cast<int>(w);
    if (channels == 3) {
        rows.resize(h);
        for (int y = 0; y < height; ++y)
            rows[y] = image.GetScanLine(y);
        png_read_image(r.png, rows.data());
    } else if (passes == 1) {
        temp.resize(static_cast<std::size_t>(w) * 4);
        for (int y = 0; y < height; ++y) {
            png_read_row(r.png, temp.data(), nullptr);
            CompositeRow(temp.data(), image.GetScanLine(y), width);
        }
    } else {
        temp.resize(static_cast<std::size_t>(w) * 4 * h);
        rows.resize(h);
        for (int y = 0; y < height; ++y)
            rows[y] = temp.data() + static_cast<std::size_t>(y) * w * 4;
        png_read_image(r.png, rows.data());
        for (int y = 0; y < height; ++y)
            CompositeRow(rows[y], image.GetScanLine(y), width);
    }
    png_read_end(r.png, nullptr);
    return PX_OK;
}

void WriteToVector(png_structp png, png_bytep data, std::size_t size) {
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    // NOTE: an exception must not cross libpng's C frames; it becomes libpng's error,
    // raised once the exception is gone.
    bool failed = false;
    try {
        out->insert(out->end(), data, data + size);
    } catch (const std::bad_alloc&) {
        failed = true;
    }
    if (failed)
        png_error(png, "out of memory");
}
void FlushNothing(png_structp) {}

int EncodeRows(PngWriter& wr, const CPxImageData24& image, std::vector<unsigned char>& out,
               std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(wr.png)))
        return PX_E_NOMEM;
    png_set_write_fn(wr.png, &out, WriteToVector, FlushNothing);
    png_set_IHDR(wr.png, wr.info, static_cast<png_uint_32>(image.m_nWidth),
                 static_cast<png_uint_32>(image.m_nHeight), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Snapshots are written often; a fast level keeps them cheap at little cost in size.
    png_set_compression_level(wr.png, 3);
    png_write_info(wr.png, wr.info);
    png_set_bgr(wr.png);
    png_write_image(wr.png, rows.data());
    png_write_end(wr.png, nullptr);
    return PX_OK;
}

}  // namespace

int PxDecodePng(CQrReadStream& stream, CPxImageData24& image, PxFileFacts& facts) {
    PngReader r;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!r.png)
        return PX_E_NOMEM;
    r.info = png_create_info_struct(r.png);
    if (!r.info)
        return PX_E_NOMEM;
    png_set_read_fn(r.png, &stream, ReadFromStream);
    png_set_user_limits(r.png, PX_MAX_SIDE, PX_MAX_SIDE);
    // Ancillary chunks are not used, but libpng keeps those it knows (text, profiles)
    // until the end: a small file of many compressed chunks must not make it inflate
    // and hold much. At most kChunkCache of them are kept, each of at most
    // kChunkBytes; the rest are skipped unread.
    png_set_chunk_cache_max(r.png, kChunkCache);
    png_set_chunk_malloc_max(r.png, kChunkBytes);
    png_set_keep_unknown_chunks(r.png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    std::vector<unsigned char> temp;
    std::vector<png_bytep> rows;
    return DecodeRows(r, image, facts, temp, rows);
}

int PxEncodePng(const CPxImageData24& image, std::vector<unsigned char>& out) {
    out.clear();
    if (image.IsEmpty())
        return PX_E_EMPTY;
    PngWriter wr;
    wr.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!wr.png)
        return PX_E_NOMEM;
    wr.info = png_create_info_struct(wr.png);
    if (!wr.info)
        return PX_E_NOMEM;
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.m_nHeight));
    for (int y = 0; y < image.m_nHeight; ++y)
        rows[y] = image.GetScanLine(y);
    const int rc = EncodeRows(wr, image, out, rows);
    if (rc != 0)
        out.clear();
    return rc;
}
