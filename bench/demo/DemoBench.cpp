// The built-in demo scene on a full-HD screen with every picture loaded: the screen's
// canvas update, beside the same frame drawn with cairo in the same run from the same
// decoded pictures (the same sprites in the same boxes with bilinear filtering, the same
// lines, arrow heads and frames, over the same background).
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "DemoScene.h"
#include "SceneFile.h"
#include "Stage.h"
#include "bench/imaging/BenchRatios.h"
#include "viewing/OvArrowHead.h"

namespace {

using ovapp::ObjectSpec;
using ovapp::Stage;

constexpr int kWidth = 1920, kHeight = 1080;

// The demo scene on a full-HD memory window, every picture in view loaded, shown on a
// plain library screen of its own, as a client shows it.
struct Demo {
    ovapp::SceneSpec scene;
    COvMemoryWindow window{kWidth, kHeight};
    Stage stage;
    COvScreen screen;
    std::string failure;

    Demo() {
        std::string path;
        bool made = false;
        failure = ovapp::EnsureDemo("", path, made);
        if (!failure.empty())
            return;
        scene = ovapp::LoadSceneFile(path);
        scene.width = kWidth;
        scene.height = kHeight;
        failure = stage.Build(scene, scene.cameras.front(), &window, "");
        if (!failure.empty())
            return;
        stage.Scene().Update();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!stage.CheckLoading().Done() && std::chrono::steady_clock::now() < end)
            OvPumpMessages(20);
        if (!stage.CheckLoading().Done()) {
            failure = "the pictures did not load";
            return;
        }
        const char* picture =
            scene.backgroundPicture.empty() ? nullptr : scene.backgroundPicture.c_str();
        screen.Init(&stage.Control(), &window, scene.background, picture,
                    static_cast<int>(scene.placement), 0);
        screen.SetReadLevel(scene.loadingThreads);
        Show(screen);
        if (screen.GetUpdateInterval() != OV_SCREEN_SLOW_PERIOD)
            failure = "the plain screen still waits for pictures";
    }
    ~Demo() { screen.Exit(); }

    // Moves the camera onto `on` (off the other screen) and draws the frame once.
    void Show(COvScreen& on) {
        on.AddCamera(&stage.Camera());
        on.Update();
    }
};

Demo& TheDemo() {
    static Demo demo;
    return demo;
}

void CanvasUpdates(benchmark::State& state, COvScreen& screen) {
    Demo& demo = TheDemo();
    if (!demo.failure.empty()) {
        state.SkipWithError(demo.failure.c_str());
        return;
    }
    demo.Show(screen);
    for (auto _ : state) {
        screen.UpdateCanvas();
        benchmark::ClobberMemory();
    }
}

void Ours_CanvasUpdate(benchmark::State& state) {
    CanvasUpdates(state, TheDemo().screen);
}

// What cairo draws, farthest first as the screen does.
struct Sprite {
    cairo_surface_t* picture = nullptr;  // null for a line
    int x, y, width, height, frame;
    CPxRGB frameColor;
    CPx2DPoint start, end;
    int lineWidth;
    CPxRGB lineColor;
    bool startArrow, endArrow;
};

cairo_surface_t* CairoCopy(const CPxImageData24& image) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.GetWidth(), image.GetHeight());
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image.GetHeight(); ++y) {
        const unsigned char* s = image.GetScanLine(y);
        auto* t = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < image.GetWidth(); ++x)
            t[x] = 0xFF000000u | (unsigned(s[3 * x + 2]) << 16) | (unsigned(s[3 * x + 1]) << 8) |
                   s[3 * x];
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

// The screen's displayed list, with each image's current datum copied for cairo.
std::vector<Sprite> Sprites(Demo& demo) {
    std::map<const COvObject*, COvVirtualObject*> virtuals;
    const CPtrList* list = demo.stage.Camera().GetVirtualObject();
    for (POSITION pos = list->GetHeadPosition(); pos != nullptr;) {
        auto* v = static_cast<COvVirtualObject*>(list->GetNext(pos));
        virtuals[v->GetObject()] = v;
    }
    std::vector<Sprite> sprites;
    COvScreen& screen = demo.screen;
    for (int i = 0; i < screen.GetDisplayedObjectCount(); ++i) {
        COvObject* object = nullptr;
        CPx2DPoint topLeft{};
        COvSize size{};
        screen.GetDisplayedObject(i, object, &topLeft, &size);
        const ObjectSpec* spec = Stage::SpecOf(object);
        COvVirtualObject* v = virtuals[object];
        if (spec == nullptr || v == nullptr || !object->IsVisible())
            continue;
        Sprite s{};
        if (spec->kind == ObjectSpec::LINE) {
            auto* line = static_cast<COvVirtualLineObject*>(v);
            line->GetPointVirtual(s.start, s.end);
            s.lineWidth = line->GetLineWidthVirtual();
            s.lineColor = spec->lineStyle.color;
            s.startArrow = spec->lineStyle.startArrow;
            s.endArrow = spec->lineStyle.endArrow;
        } else {
            COvImageInfo* version =
                static_cast<COvImageObject*>(object)->GetNowImageData().m_pImageInfo;
            COvMemData* data = nullptr;
            if (version == nullptr ||
                demo.stage.Control().GetData(&data, &version->m_Info, nullptr) != 0)
                continue;
            s.picture = CairoCopy(*static_cast<CPxImageData24*>(data->m_pData));
            demo.stage.Control().UnLockData(data);
            s.x = topLeft.x;
            s.y = topLeft.y;
            s.width = size.width;
            s.height = size.height;
            s.frame = v->GetFrameSize();
            s.frameColor = object->GetFrame().m_Color;
        }
        sprites.push_back(s);
    }
    return sprites;
}

void SetColor(cairo_t* cr, const CPxRGB& c) {
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

void DrawSprite(cairo_t* cr, const Sprite& s) {
    if (s.picture == nullptr) {
        SetColor(cr, s.lineColor);
        cairo_set_line_width(cr, s.lineWidth);
        cairo_move_to(cr, s.start.x + 0.5, s.start.y + 0.5);
        cairo_line_to(cr, s.end.x + 0.5, s.end.y + 0.5);
        cairo_stroke(cr);
        CPx2DPoint head[3];
        for (int end = 0; end < 2; ++end) {
            const bool wanted = end == 0 ? s.startArrow : s.endArrow;
            if (!wanted || !ov::ArrowHead(end == 0 ? s.start : s.end, end == 0 ? s.end : s.start,
                                          s.lineWidth, head))
                continue;
            cairo_move_to(cr, head[0].x + 0.5, head[0].y + 0.5);
            cairo_line_to(cr, head[1].x + 0.5, head[1].y + 0.5);
            cairo_line_to(cr, head[2].x + 0.5, head[2].y + 0.5);
            cairo_close_path(cr);
            cairo_fill(cr);
        }
        return;
    }
    cairo_save(cr);
    cairo_rectangle(cr, s.x, s.y, s.width, s.height);
    cairo_translate(cr, s.x, s.y);
    cairo_scale(cr, double(s.width) / cairo_image_surface_get_width(s.picture),
                double(s.height) / cairo_image_surface_get_height(s.picture));
    cairo_set_source_surface(cr, s.picture, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_fill(cr);
    cairo_restore(cr);
    if (s.frame > 0) {
        // The frame's four bands inside the box, set without blending.
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        SetColor(cr, s.frameColor);
        const int f = std::min(s.frame, std::min(s.width, s.height) / 2 + 1);
        cairo_rectangle(cr, s.x, s.y, s.width, f);
        cairo_rectangle(cr, s.x, s.y + s.height - f, s.width, f);
        cairo_rectangle(cr, s.x, s.y + f, f, s.height - 2 * f);
        cairo_rectangle(cr, s.x + s.width - f, s.y + f, f, s.height - 2 * f);
        cairo_fill(cr);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    }
}

void Cairo_SameFrame(benchmark::State& state) {
    Demo& demo = TheDemo();
    if (!demo.failure.empty()) {
        state.SkipWithError(demo.failure.c_str());
        return;
    }
    demo.Show(demo.screen);
    const std::vector<Sprite> sprites = Sprites(demo);
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(target);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    for (auto _ : state) {
        SetColor(cr, demo.scene.background);
        cairo_paint(cr);
        for (const Sprite& s : sprites)
            DrawSprite(cr, s);
        cairo_surface_flush(target);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(target));
        benchmark::ClobberMemory();
    }
    state.counters["sprites"] = static_cast<double>(sprites.size());
    cairo_destroy(cr);
    cairo_surface_destroy(target);
    for (const Sprite& s : sprites) {
        if (s.picture != nullptr)
            cairo_surface_destroy(s.picture);
    }
}

}  // namespace

BENCHMARK(Ours_CanvasUpdate)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Cairo_SameFrame)->Unit(benchmark::kMillisecond)->Repetitions(5);

int main(int argc, char** argv) {
    // Ours may take at most 0.75 of cairo's time: cairo / ours >= 1 / 0.75.
    return RunInterleavedWithRatios(argc, argv,
                                    {{"demo frame: canvas update vs cairo", "Ours_CanvasUpdate",
                                      "Cairo_SameFrame", 1.0 / 0.75}});
}
