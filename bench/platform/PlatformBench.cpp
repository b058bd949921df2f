// Handing a finished full-HD picture to a headless window, beside the machine's limit
// for the same bytes (one block copy); and the cost of a pump pass over a thread with
// many timers of which none is due.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "OvPlatform.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::size_t kLineBytes = (3 * kWidth + 3) / 4 * 4;

BITMAPINFO FullHdInfo() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// The limit: the picture's bytes copied in one go.
void MachineLimit(benchmark::State& state) {
    std::vector<std::uint8_t> source(kLineBytes * kHeight, 0x5A);
    std::vector<std::uint8_t> target(source.size());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

// What a screen does for every frame: GetDC, SetDIBitsToDevice, ReleaseDC.
void PresentToMemoryWindow(benchmark::State& state) {
    std::vector<std::uint8_t> bits(kLineBytes * kHeight, 0x5A);
    const BITMAPINFO info = FullHdInfo();
    COvMemoryWindow window(kWidth, kHeight);
    for (auto _ : state) {
        HDC dc = GetDC(&window);
        const int lines = SetDIBitsToDevice(dc, 0, 0, kWidth, kHeight, 0, 0, 0, kHeight,
                                            bits.data(), &info, DIB_RGB_COLORS);
        ReleaseDC(&window, dc);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bits.size()));
}

void Never(HWND, unsigned int, OvTimerId, unsigned int) {}

// A pump pass that finds nothing due, with state.range(0) timers set far ahead.
void PumpNothingDue(benchmark::State& state) {
    std::vector<OvTimerId> ids;
    for (int i = 0; i < state.range(0); ++i) {
        ids.push_back(SetTimer(nullptr, 0, 1000000, Never));
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(OvPumpMessages(0));
    }
    for (OvTimerId id : ids) {
        KillTimer(nullptr, id);
    }
}

}  // namespace

BENCHMARK(MachineLimit)->Unit(benchmark::kMicrosecond);
BENCHMARK(PresentToMemoryWindow)->Unit(benchmark::kMicrosecond);
BENCHMARK(PumpNothingDue)->Arg(1)->Arg(100);

BENCHMARK_MAIN();
