// JPEG through libjpeg-turbo, decoded straight into the picture's rows as BGR.
#include <cstdio>  // jpeglib.h needs FILE

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <vector>

#include "PxDecoders.h"
#include "Quorra.h"

namespace {

// A hostile progressive file can hold thousands of tiny scans, each costing a pass
// over the whole picture; real encoders write a dozen or so.
constexpr int kMaxScans = 256;
constexpr long kMaxDecoderMemory = 768L * 1024 * 1024;

struct ErrorState {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool truncated;
};

void OnError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorState*>(cinfo->err)->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    auto* err = reinterpret_cast<ErrorState*>(cinfo->err);
    // Premature end of data: libjpeg would fill the rest with grey and carry on.
    if (level < 0 && err->mgr.msg_code == JWRN_JPEG_EOF)
        err->truncated = true;
}

void OnProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans)
        std::longjmp(reinterpret_cast<ErrorState*>(cinfo->err)->jump, 1);
}

// ---------------------------------------------------------------------------
// Source manager over a stream that does not lie in memory
// ---------------------------------------------------------------------------

struct StreamSource {
    jpeg_source_mgr mgr;
    CQrReadStream* stream;
    ErrorState* err;
    JOCTET buffer[64 * 1024];
};

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<StreamSource*>(cinfo->src);
    const std::int64_t got = src->stream->Read(src->buffer, sizeof src->buffer);
    if (got <= 0) {
        // An inserted end marker ends the data cleanly; the picture is refused later.
        src->err->truncated = true;
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        src->mgr.next_input_byte = src->buffer;
        src->mgr.bytes_in_buffer = 2;
        return TRUE;
    }
    src->mgr.next_input_byte = src->buffer;
    src->mgr.bytes_in_buffer = static_cast<std::size_t>(got);
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<StreamSource*>(cinfo->src);
    if (count <= 0)
        return;
    while (count > static_cast<long>(src->mgr.bytes_in_buffer)) {
        count -= static_cast<long>(src->mgr.bytes_in_buffer);
        FillInput(cinfo);
        if (src->err->truncated)
            return;
    }
    src->mgr.next_input_byte += count;
    src->mgr.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// Converts Adobe's inverted CMYK into BGR.
void CmykRow(const unsigned char* src, unsigned char* dst, int w) {
    for (int x = 0; x < w; ++x, src += 4, dst += 3) {
        const unsigned k = src[3];
        dst[0] = static_cast<unsigned char>((src[2] * k + 127) / 255);
        dst[1] = static_cast<unsigned char>((src[1] * k + 127) / 255);
        dst[2] = static_cast<unsigned char>((src[0] * k + 127) / 255);
    }
}

struct Decompressor {
    jpeg_decompress_struct cinfo;
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
};

// NOTE: errors arrive by longjmp; every owner lives in the caller's frame.
int Decode(Decompressor& d, ErrorState& err, StreamSource* source, CQrReadStream& stream,
           CPxImageData24& image, PxFileFacts& facts, int flag, std::vector<unsigned char>& temp) {
    jpeg_decompress_struct& c = d.cinfo;
    if (setjmp(err.jump))
        return PX_E_CORRUPT;
    jpeg_create_decompress(&c);
    c.mem->max_memory_to_use = kMaxDecoderMemory;
    const unsigned char* mem = stream.GetMemory();
    if (mem) {
        const std::int64_t pos = stream.Tell(), size = stream.GetSize();
        jpeg_mem_src(&c, mem + pos, static_cast<unsigned long>(size - pos));
    } else {
        source->mgr.init_source = InitSource;
        source->mgr.fill_input_buffer = FillInput;
        source->mgr.skip_input_data = SkipInput;
        source->mgr.resync_to_restart = jpeg_resync_to_restart;
        source->mgr.term_source = TermSource;
        source->mgr.bytes_in_buffer = 0;
        source->mgr.next_input_byte = nullptr;
        c.src = &source->mgr;
    }
    if (jpeg_read_header(&c, TRUE) != JPEG_HEADER_OK)
        return PX_E_CORRUPT;
    if (!PxSizeAllowed(c.image_width, c.image_height))
        return PX_E_TOO_LARGE;
    facts.nType = CPxImageHeader::TYPE_JPEG;
    facts.nWidth = static_cast<int>(c.image_width);
    facts.nHeight = static_cast<int>(c.image_height);
    facts.nChannels = c.num_components;
    facts.nBitCount = 8 * c.num_components;
    facts.bInterlaced = jpeg_has_multiple_scans(&c) ? 1 : 0;
    facts.bTopDown = 1;
    if (c.density_unit == 2) {  // dots per centimetre
        facts.nXRes = c.X_density * 100;
        facts.nYRes = c.Y_density * 100;
    } else if (c.density_unit == 1) {  // dots per inch
        facts.nXRes = c.X_density * 10000 / 254;
        facts.nYRes = c.Y_density * 10000 / 254;
    }
    const bool cmyk = c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
    c.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    if (flag & CPxImageData24::PX_LOAD_FAST) {
        c.dct_method = JDCT_IFAST;
        c.do_fancy_upsampling = FALSE;
    }
    jpeg_progress_mgr progress{};
    progress.progress_monitor = OnProgress;
    if (c.progressive_mode)
        c.progress = &progress;

    jpeg_start_decompress(&c);
    const int w = static_cast<int>(c.output_width), h = static_cast<int>(c.output_height);
    if (image.ReserveImage(w, h) != 0)
        return PX_E_NOMEM;
    if (cmyk)
        temp.resize(static_cast<std::size_t>(w) * 4);
    while (c.output_scanline < c.output_height) {
        const int y = static_cast<int>(c.output_scanline);
        JSAMPROW row = cmyk ? temp.data() : image.GetScanLine(y);
        if (jpeg_read_scanlines(&c, &row, 1) != 1)
            return PX_E_CORRUPT;
        if (cmyk)
            CmykRow(temp.data(), image.GetScanLine(y), w);
        if (err.truncated)
            return PX_E_CORRUPT;
    }
    jpeg_finish_decompress(&c);
    return err.truncated ? PX_E_CORRUPT : PX_OK;
}

}  // namespace

int PxDecodeJpeg(CQrReadStream& stream, CPxImageData24& image, PxFileFacts& facts, int flag) {
    Decompressor d{};
    ErrorState err{};
    d.cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnError;
    err.mgr.emit_message = OnMessage;
    std::unique_ptr<StreamSource> source;
    if (!stream.GetMemory()) {
        source = std::make_unique<StreamSource>();
        source->stream = &stream;
        source->err = &err;
    }
    std::vector<unsigned char> temp;
    return Decode(d, err, source.get(), stream, image, facts, flag, temp);
}
