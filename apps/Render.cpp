// orvane render: the scene on a headless window, written as PNG files once every
// picture in view has loaded.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "Commands.h"
#include "Stage.h"

namespace ovapp {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Megabytes(long long bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// "OUT.png" and 7 give "OUT-0007.png".
std::string FramePath(const std::string& output, int frame) {
    const std::size_t dot = output.rfind('.');
    const std::size_t slash = output.rfind('/');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    char number[16];
    std::snprintf(number, sizeof number, "-%04d", frame);
    return hasExtension ? output.substr(0, dot) + number + output.substr(dot)
                        : output + number + ".png";
}

bool ParseStep(const std::string& text, COv3DPoint& step) {
    char rest = 0;
    return std::sscanf(text.c_str(), "%lf,%lf,%lf%c", &step.x, &step.y, &step.z, &rest) == 3;
}

// Pumps the screens' timers until every picture in view shows the version chosen for
// it (or failed), at most until `deadline`. Prints progress unless quiet.
Loading WaitForPictures(Stage& stage, Clock::time_point deadline, bool quiet) {
    Clock::time_point lastPrint{};
    Loading shown;
    while (true) {
        const Loading now = stage.CheckLoading();
        const bool done = now.Done();
        const bool changed = now.loaded != shown.loaded || now.inView != shown.inView;
        if (!quiet &&
            (done ? changed : Clock::now() - lastPrint > std::chrono::milliseconds(500))) {
            std::printf("loading: %d of %d pictures in view, %.1f MB cached for them\n", now.loaded,
                        now.inView, Megabytes(now.bytes));
            lastPrint = Clock::now();
            shown = now;
        }
        if (done || Clock::now() >= deadline)
            return now;
        OvPumpMessages(20);
    }
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string Hex(const CPxRGB& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r & 0xFF, c.g & 0xFF, c.b & 0xFF);
    return text;
}

nlohmann::json Layout(Stage& stage) {
    nlohmann::json objects = nlohmann::json::array();
    COvScreen& screen = stage.Screen();
    for (int i = 0; i < screen.GetDisplayedObjectCount(); ++i) {
        COvObject* object = nullptr;
        CPx2DPoint pos{};
        COvSize size{};
        const ObjectSpec* spec = nullptr;
        if (screen.GetDisplayedObject(i, object, &pos, &size) != 0 ||
            (spec = Stage::SpecOf(object)) == nullptr || spec->kind == ObjectSpec::LINE ||
            !object->IsVisible())
            continue;
        nlohmann::json entry = {{"id", spec->id},
                                {"type", spec->kind == ObjectSpec::PICTURE ? "picture" : "text"},
                                {"box", {pos.x, pos.y, size.width, size.height}}};
        if (spec->kind == ObjectSpec::TEXT) {
            entry["color"] = Hex(spec->textStyle.color);
            entry["background"] = Hex(spec->textStyle.background);
        }
        if (const COvImageInfo* version =
                static_cast<COvImageObject*>(object)->GetNowImageData().m_pImageInfo)
            entry["version"] = static_cast<const char*>(version->m_Info.m_strName);
        objects.push_back(entry);
    }
    // Lines keep their projected end points in their virtual objects.
    const CPtrList* virtuals = stage.Camera().GetVirtualObject();
    for (POSITION pos = virtuals->GetHeadPosition(); pos != nullptr;) {
        auto* line = static_cast<COvVirtualObject*>(virtuals->GetNext(pos));
        const ObjectSpec* spec = Stage::SpecOf(line->GetObject());
        if (spec == nullptr || spec->kind != ObjectSpec::LINE || !line->IsShown())
            continue;
        CPx2DPoint start{}, end{};
        auto* projected = static_cast<COvVirtualLineObject*>(line);
        projected->GetPointVirtual(start, end);
        objects.push_back({{"id", spec->id},
                           {"type", "line"},
                           {"start", {start.x, start.y}},
                           {"end", {end.x, end.y}},
                           {"width", projected->GetLineWidthVirtual()},
                           {"color", Hex(spec->lineStyle.color)}});
    }
    return objects;
}

}  // namespace

int RunRender(const SceneOptions& options, const RenderOptions& render) {
    COv3DPoint step{};
    if (!ParseStep(render.step, step)) {
        std::cerr << "orvane: --step: expected three numbers as 200,0,120, found \"" << render.step
                  << "\"\n";
        return kExitUsage;
    }
    const Clock::time_point start = Clock::now();
    SceneSpec scene;
    const CameraSpec* camera = nullptr;
    const int prepared = PrepareScene(options, scene, camera);
    if (prepared != kExitOk)
        return prepared;

    COvMemoryWindow window(scene.width, scene.height);
    Stage stage;
    const std::string failure = stage.Build(scene, *camera, &window, options.log);
    if (!failure.empty()) {
        std::cerr << "orvane: " << failure << "\n";
        return kExitFailure;
    }

    const int frames = std::max(render.frames, 1);
    std::vector<double> frameTimes;
    int incomplete = 0;
    stage.Scene().Update();
    for (int frame = 1; frame <= frames; ++frame) {
        if (frame > 1) {
            stage.Camera().Move(step);
            if (render.pan != 0)
                stage.Camera().Pan(render.pan);
            stage.Scene().Update();
        }
        const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                 std::chrono::duration<double>(render.timeout));
        const Loading loading = WaitForPictures(stage, deadline, options.quiet);
        if (!loading.Done()) {
            std::cerr << "orvane: only " << loading.loaded << " of " << loading.inView
                      << " pictures in view had loaded after " << render.timeout << " s\n";
            ++incomplete;
        }
        for (const std::string& name : loading.failedNames)
            std::cerr << "orvane: cannot load the picture " << name << "\n";
        incomplete += loading.failed > 0 ? 1 : 0;
        // The frame that is written: drawn once more with everything in memory.
        const Clock::time_point drawStart = Clock::now();
        stage.Screen().Update();
        frameTimes.push_back(Seconds(Clock::now() - drawStart) * 1000.0);

        const std::string path =
            render.frames > 0 ? FramePath(render.output, frame) : render.output;
        const int saved = window.SavePng(path.c_str());
        if (saved != 0) {
            std::cerr << "orvane: cannot write " << path << " (" << saved << ")\n";
            return kExitFailure;
        }
        if (!options.quiet && render.frames > 0)
            std::printf("wrote %s\n", path.c_str());
    }

    if (!render.layout.empty()) {
        std::ofstream out(render.layout);
        out << Layout(stage).dump(1) << "\n";
        if (!out.flush()) {
            std::cerr << "orvane: cannot write " << render.layout << "\n";
            return kExitFailure;
        }
    }
    if (!options.quiet) {
        const CacheFigures cache = stage.CheckCache();
        if (render.frames == 0)
            std::printf("wrote %s (%dx%d) in %.2f s\n", render.output.c_str(), scene.width,
                        scene.height, Seconds(Clock::now() - start));
        else
            std::printf("wrote %d frames in %.2f s\n", frames, Seconds(Clock::now() - start));
        std::printf("frame time with every picture loaded: median %.1f ms, last %.1f ms\n",
                    Median(frameTimes), frameTimes.back());
        std::printf("cache: %d picture versions, %.1f MB in memory (budget %u MB)\n",
                    cache.versions, Megabytes(cache.bytes), scene.budgetMB);
        std::printf("peak memory: %.1f MB\n", PeakMegabytes());
    }
    return incomplete > 0 ? kExitIncomplete : kExitOk;
}

}  // namespace ovapp
