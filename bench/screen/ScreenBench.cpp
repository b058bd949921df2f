// The canvas update of a full-HD screen whose view did not change, beside the
// machine's limit for the same work: one block copy of the picture's bytes, and one
// vectorised fill of the depth buffer when the canvas has been handed out (argument 1;
// with argument 0 nothing outside the library can have written the depth buffer, so the
// update leaves it alone).
#include <benchmark/benchmark.h>

#include <immintrin.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "OvCamera.h"
#include "OvControl.h"
#include "OvPlatform.h"
#include "OvScene.h"
#include "OvScreen.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::size_t kLineBytes = (3 * kWidth + 3) / 4 * 4;
constexpr std::size_t kPixels = static_cast<std::size_t>(kWidth) * kHeight;

void CanvasUpdate(benchmark::State& state) {
    COvControl control;
    control.Init(0, nullptr);
    COvMemoryWindow window(kWidth, kHeight);
    COvScene scene;
    scene.Init(&control);
    COvCamera camera;
    camera.Init(&control, OV_3DPOINT(0, 0, -300), OV_3DPOINT(0, 0, 1), OV_3DPOINT(0, 1, 0), 0,
                2000);
    COvScreen screen;
    // A colour keeps a composed background that every update copies.
    screen.Init(&control, &window, CPxRGB{30, 60, 90}, nullptr, 0, 0);
    scene.AddCamera(&camera);
    screen.AddCamera(&camera);
    scene.Update();
    const bool handedOut = state.range(0) != 0;
    if (handedOut)
        benchmark::DoNotOptimize(screen.GetCanvas());
    for (auto _ : state) {
        screen.UpdateCanvas();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations()) *
        static_cast<std::int64_t>(kLineBytes * kHeight + (handedOut ? kPixels * 4 : 0)));
    screen.Exit();
    scene.Exit();
    control.Exit();
}

void MachineLimit(benchmark::State& state) {
    std::vector<unsigned char> background(kLineBytes * kHeight, 0x5A);
    std::vector<unsigned char> picture(kLineBytes * kHeight);
    std::vector<float> depth(kPixels);
    const __m128 farthest = _mm_set1_ps(3.4028235e38f);
    const bool withDepth = state.range(0) != 0;
    for (auto _ : state) {
        std::memcpy(picture.data(), background.data(), background.size());
        float* d = depth.data();
        for (std::size_t i = 0; withDepth && i + 4 <= kPixels; i += 4)
            _mm_storeu_ps(d + i, farthest);
        benchmark::DoNotOptimize(picture.data());
        benchmark::DoNotOptimize(depth.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations()) *
        static_cast<std::int64_t>(picture.size() + (withDepth ? depth.size() * 4 : 0)));
}

}  // namespace

BENCHMARK(MachineLimit)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(CanvasUpdate)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
