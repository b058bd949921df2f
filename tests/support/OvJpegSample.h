// JPEG files made with libjpeg itself, for the decoder's tests and the loading
// benchmarks: the decoder is checked against the reference encoder, not against itself.
#ifndef ORVANE_TESTS_OVJPEGSAMPLE_H
#define ORVANE_TESTS_OVJPEGSAMPLE_H

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

// Encodes a w x h picture whose row y `fill` writes (w x components bytes).
inline std::vector<unsigned char> OvEncodeJpeg(
    int w, int h, int components, J_COLOR_SPACE space, int quality, bool progressive,
    const std::function<void(int, unsigned char*)>& fill) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(w) * components);
    while (c.next_scanline < c.image_height) {
        fill(static_cast<int>(c.next_scanline), row.data());
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<unsigned char> out(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

// A photo-like RGB picture (smooth gradients with texture), different for each seed.
inline std::vector<unsigned char> OvMakePhotoJpeg(int w, int h, int seed, int quality) {
    return OvEncodeJpeg(w, h, 3, JCS_RGB, quality, false, [=](int y, unsigned char* row) {
        for (int x = 0; x < w; ++x) {
            unsigned char* p = row + static_cast<std::size_t>(x) * 3;
            p[0] = static_cast<unsigned char>(x / 4 + seed * 40 + ((x * y) >> 9) % 17);
            p[1] = static_cast<unsigned char>(y / 3 + ((x ^ y) & 15));
            p[2] = static_cast<unsigned char>((x + y) / 7 + seed * 13);
        }
    });
}

// Writes bytes to path; false when the file cannot be written whole.
inline bool OvWriteFile(const char* path, const std::vector<unsigned char>& bytes) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    const bool whole = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && whole;
}

#endif
