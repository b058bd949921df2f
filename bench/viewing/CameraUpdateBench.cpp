// One camera update over many objects, next to the bare arithmetic of the same
// culling and projection over a plain array (the machine's limit for this work).
//
// Mode 0: half of the objects in view; 1: all in view; 2: all culled (outside the
// screen). "per_object" is the time of one update divided by the object count.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "OvCamera.h"
#include "OvControl.h"
#include "OvPlatform.h"
#include "OvScene.h"
#include "OvScreen.h"
#include "OvVirtual.h"

namespace {

class Dot final : public COvObject {
public:
    COvVirtualObject* MakeVirtualObject() override { return new COvVirtualObject(); }
};

// Object i of n for the mode: in view near the centre, or far to the side.
COv3DPoint Place(int i, int mode) {
    const bool seen = mode == 1 || (mode == 0 && i % 2 == 0);
    const double spread = (i % 100) - 50;
    return seen ? COv3DPoint{spread, spread * 0.5, (i % 1000) * 1.0}
                : COv3DPoint{5000.0 + spread, 0.0, (i % 1000) * 1.0};
}

struct World {
    World(int n, int mode) : window(800, 600) {
        control.Init(0, nullptr);
        scene.Init(&control);
        cam.Init(&control, {0, 0, -300}, {0, 0, 1}, {0, 1, 0}, 0, 2000);
        screen.Init(&control, &window, OV_RGB(0, 0, 0), nullptr, 0, 0);
        scene.AddCamera(&cam);
        screen.AddCamera(&cam);
        objects.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            objects[i].Init(&control, 1, Place(i, mode), {2, 2}, 0, 1, nullptr,
                            COvFrameStyle{0, 0, {0, 0, 0}});
            scene.AddObject(&objects[i]);
        }
    }
    ~World() {
        screen.Exit();
        scene.Exit();
        cam.Exit();
        control.Exit();
    }

    COvControl control;
    COvMemoryWindow window;
    COvScene scene;
    COvCamera cam;
    COvScreen screen;
    std::vector<Dot> objects;
};

void PerObject(benchmark::State& state, int n) {
    state.counters["per_object"] = benchmark::Counter(
        n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_CameraUpdate(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    World world(n, static_cast<int>(state.range(1)));
    for (auto _ : state) {
        world.cam.UpdateObject();
        benchmark::DoNotOptimize(world.cam.GetVirtualObject()->GetCount());
    }
    state.counters["seen"] = world.cam.GetVirtualObject()->GetCount();
    PerObject(state, n);
}

// The same dot products, projection, truncation and box test over a plain array,
// keeping the seen points in a preallocated array.
void BM_BareProjection(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int mode = static_cast<int>(state.range(1));
    std::vector<COv3DPoint> points(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        points[i] = Place(i, mode);
    struct Seen {
        COv3DPoint q;
        int x, y, w, h;
    };
    std::vector<Seen> seen(static_cast<size_t>(n));
    const COv3DPoint pos{0, 0, -300};
    const double focus = 2000.0;
    for (auto _ : state) {
        size_t count = 0;
        for (const COv3DPoint& p : points) {
            const COv3DPoint q{p.x - pos.x, p.y - pos.y, p.z - pos.z};  // unit axes
            if (!(q.z > 0.0))
                continue;
            const double r = 1.0 / q.z;
            const int x = static_cast<int>(r * q.x * focus) + 400;
            const int y = 300 - static_cast<int>(r * q.y * focus);
            const int w = static_cast<int>(focus / q.z * 2.0);
            const int h = static_cast<int>(2.0 / q.z * focus);
            if (w <= 0 || h <= 0 || q.z > 2000.0)
                continue;
            if (x + w / 2 <= 0 || x - w / 2 >= 800 || y + h / 2 <= 0 || y - h / 2 >= 600)
                continue;
            seen[count++] = Seen{q, x, y, w, h};
        }
        benchmark::DoNotOptimize(count);
        benchmark::ClobberMemory();
    }
    PerObject(state, n);
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int mode : {0, 1, 2}) {
        for (int n : {10000, 100000, 1000000})
            b->Args({n, mode});
    }
}

}  // namespace

BENCHMARK(BM_CameraUpdate)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareProjection)->Apply(Sizes)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
