// One frame's drawing, ours on 24-bit pictures against pixman and cairo on 32-bit.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <pixman.h>

#include <random>
#include <vector>

#include "BenchRatios.h"
#include "Pixmere.h"

namespace {

constexpr int kW = 1920, kH = 1080, kSprite = 256, kSprites = 500, kShapes = 1000;

struct Pos {
    int x, y;
};

std::vector<Pos> Positions(int size) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> px(-size / 4, kW - size * 3 / 4),
        py(-size / 4, kH - size * 3 / 4);
    std::vector<Pos> v(kSprites);
    for (Pos& p : v)
        p = {px(rng), py(rng)};
    return v;
}

// A sprite with detail in every channel.
void Fill(unsigned char* px, int stride, int bpp) {
    for (int y = 0; y < kSprite; ++y)
        for (int x = 0; x < kSprite; ++x) {
            unsigned char* p = px + y * stride + x * bpp;
            p[0] = static_cast<unsigned char>(x ^ y);
            p[1] = static_cast<unsigned char>(x * 3 + y);
            p[2] = static_cast<unsigned char>(y * 5);
        }
}

void Ours_DrawImage(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    CPxImageData24 dst, sprite;
    dst.NewImage(kW, kH);
    sprite.NewImage(kSprite, kSprite);
    Fill(sprite.GetData(), sprite.GetLineBytes(), 3);
    CPxCanvas24 canvas(&dst);
    const auto pos = Positions(size);
    for (auto _ : state) {
        for (const Pos& p : pos)
            canvas.DrawImage(&sprite, p.x, p.y, size, size);
        benchmark::DoNotOptimize(dst.GetData());
    }
    state.SetItemsProcessed(state.iterations() * kSprites * size * size);
}

void Pixman_Bilinear32(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    std::vector<std::uint32_t> dbits(static_cast<std::size_t>(kW) * kH), sbits(kSprite * kSprite);
    Fill(reinterpret_cast<unsigned char*>(sbits.data()), kSprite * 4, 4);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, dbits.data(), kW * 4);
    pixman_image_t* src =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, kSprite, kSprite, sbits.data(), kSprite * 4);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(double(kSprite) / size),
                                pixman_double_to_fixed(double(kSprite) / size));
    pixman_image_set_transform(src, &t);
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
    const auto pos = Positions(size);
    for (auto _ : state) {
        for (const Pos& p : pos)
            pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, p.x, p.y, size,
                                     size);
        benchmark::DoNotOptimize(dbits.data());
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
    state.SetItemsProcessed(state.iterations() * kSprites * size * size);
}

struct Shape {
    int x1, y1, x2, y2, x3, y3, width;
    CPxRGB color;
};

std::vector<Shape> Shapes() {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> px(0, kW - 1), py(0, kH - 1), d(-120, 120), w(1, 5),
        c(0, 255);
    std::vector<Shape> v(kShapes);
    for (Shape& s : v) {
        s.x1 = px(rng);
        s.y1 = py(rng);
        s.x2 = s.x1 + d(rng);
        s.y2 = s.y1 + d(rng);
        s.x3 = s.x1 + d(rng);
        s.y3 = s.y1 + d(rng);
        s.width = w(rng);
        s.color = CPxRGB{c(rng), c(rng), c(rng)};
    }
    return v;
}

void Ours_Shapes(benchmark::State& state, bool lines) {
    CPxImageData24 dst;
    dst.NewImage(kW, kH);
    CPxCanvas24 canvas(&dst);
    const auto shapes = Shapes();
    for (auto _ : state) {
        for (const Shape& s : shapes) {
            if (lines)
                canvas.DrawLine(s.x1, s.y1, s.x2, s.y2, s.width, s.color);
            else
                canvas.DrawTriangle(s.x1, s.y1, s.x2, s.y2, s.x3, s.y3, s.color);
        }
        benchmark::DoNotOptimize(dst.GetData());
    }
    state.SetItemsProcessed(state.iterations() * kShapes);
}

void Ours_Lines(benchmark::State& state) {
    Ours_Shapes(state, true);
}
void Ours_Triangles(benchmark::State& state) {
    Ours_Shapes(state, false);
}

void Cairo_Shapes(benchmark::State& state, bool lines) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kW, kH);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    const auto shapes = Shapes();
    for (auto _ : state) {
        for (const Shape& s : shapes) {
            cairo_set_source_rgb(cr, s.color.r / 255.0, s.color.g / 255.0, s.color.b / 255.0);
            cairo_move_to(cr, s.x1 + 0.5, s.y1 + 0.5);
            cairo_line_to(cr, s.x2 + 0.5, s.y2 + 0.5);
            if (lines) {
                cairo_set_line_width(cr, s.width);
                cairo_stroke(cr);
            } else {
                cairo_line_to(cr, s.x3 + 0.5, s.y3 + 0.5);
                cairo_close_path(cr);
                cairo_fill(cr);
            }
        }
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    state.SetItemsProcessed(state.iterations() * kShapes);
}

void Cairo_Lines(benchmark::State& state) {
    Cairo_Shapes(state, true);
}
void Cairo_Triangles(benchmark::State& state) {
    Cairo_Shapes(state, false);
}

}  // namespace

BENCHMARK(Ours_DrawImage)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Pixman_Bilinear32)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Ours_Lines)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Cairo_Lines)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Ours_Triangles)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Cairo_Triangles)->Unit(benchmark::kMillisecond)->Repetitions(5);

int main(int argc, char** argv) {
    return RunWithRatios(
        argc, argv,
        {{"DrawImage 256->200, 24-bit vs pixman 32-bit", "Ours_DrawImage/200",
          "Pixman_Bilinear32/200", 1.0},
         {"DrawImage 256->400, 24-bit vs pixman 32-bit", "Ours_DrawImage/400",
          "Pixman_Bilinear32/400", 1.0},
         {"DrawLine x1000 vs cairo stroke", "Ours_Lines", "Cairo_Lines", 1.0},
         {"DrawTriangle x1000 vs cairo fill", "Ours_Triangles", "Cairo_Triangles", 1.0}});
}
