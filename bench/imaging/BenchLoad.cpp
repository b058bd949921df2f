// LoadImageA on 1024 x 768 JPEG files against a bare libjpeg-turbo decode of the
// same bytes to 24-bit BGR.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "BenchRatios.h"
#include "OvJpegSample.h"
#include "Pixmere.h"
#include "Quorra.h"

namespace {

constexpr int kW = 1024, kH = 768, kFiles = 4;

const std::vector<std::vector<unsigned char>>& Files() {
    static const std::vector<std::vector<unsigned char>> files = [] {
        std::vector<std::vector<unsigned char>> v;
        for (int i = 0; i < kFiles; ++i)
            v.push_back(OvMakePhotoJpeg(kW, kH, i, 90));
        return v;
    }();
    return files;
}

void Ours_LoadJpeg(benchmark::State& state) {
    const auto& files = Files();
    CPxImageData24 img;
    for (auto _ : state) {
        for (const auto& f : files) {
            CQrMemoryReadStream s(f.data(), f.size());
            if (img.LoadImageA(&s, nullptr, 0) != 0)
                state.SkipWithError("decode failed");
        }
        benchmark::DoNotOptimize(img.GetData());
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}

void Bare_LibjpegTurbo(benchmark::State& state) {
    const auto& files = Files();
    std::vector<unsigned char> out(static_cast<std::size_t>(kW) * kH * 3);
    for (auto _ : state) {
        for (const auto& f : files) {
            jpeg_decompress_struct c;
            jpeg_error_mgr err;
            c.err = jpeg_std_error(&err);
            jpeg_create_decompress(&c);
            jpeg_mem_src(&c, f.data(), f.size());
            jpeg_read_header(&c, TRUE);
            c.out_color_space = JCS_EXT_BGR;
            jpeg_start_decompress(&c);
            while (c.output_scanline < c.output_height) {
                JSAMPROW row = &out[static_cast<std::size_t>(c.output_scanline) * kW * 3];
                jpeg_read_scanlines(&c, &row, 1);
            }
            jpeg_finish_decompress(&c);
            jpeg_destroy_decompress(&c);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}

}  // namespace

BENCHMARK(Ours_LoadJpeg)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Bare_LibjpegTurbo)->Unit(benchmark::kMillisecond)->Repetitions(5);

int main(int argc, char** argv) {
    return RunWithRatios(argc, argv,
                         {{"LoadImageA JPEG 1024x768 vs bare libjpeg-turbo", "Ours_LoadJpeg",
                           "Bare_LibjpegTurbo", 0.95}});
}
