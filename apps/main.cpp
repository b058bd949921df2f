// orvane: renders a scene file (or the built-in demo scene) to PNG files without a
// display, shows it in a window to explore, or writes a wall scene of generated
// pictures to start a scene of your own from.
#include <Orvane.h>
#include <sys/resource.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <iostream>

#include "Commands.h"
#include "DemoScene.h"

namespace ovapp {

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

namespace {

bool ParseSize(const std::string& text, int& width, int& height) {
    char x = 0;
    char rest = 0;
    return std::sscanf(text.c_str(), "%d%c%d%c", &width, &x, &height, &rest) == 3 &&
           (x == 'x' || x == 'X') && width >= 1 && height >= 1 && width <= kMaxScreenSide &&
           height <= kMaxScreenSide;
}

void AddSceneOptions(CLI::App& command, SceneOptions& options) {
    command.add_option("scene", options.scene,
                       "Scene file (JSON); without one, the built-in demo scene");
    command.add_option("--camera", options.camera, "Camera of the scene: its id or index");
    command.add_option("--size", options.size, "Window size in pixels, as 1280x720");
    command.add_option("--budget", options.budgetMB, "Picture cache budget in MB (0: no limit)")
        ->check(CLI::Range(0, 2047));
    command.add_option("--threads", options.threads, "Loading threads (1 to 10)")
        ->check(CLI::Range(1, 10));
    command.add_option("--cache-dir", options.cacheDir,
                       "Where the demo's pictures are made (default $XDG_CACHE_HOME/orvane or "
                       "~/.cache/orvane)");
    command.add_option("--log", options.log, "Write the library's log to this file");
}

int Generate(const std::string& folder, const WallOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    const std::string failure = WriteWall(folder, options);
    if (!failure.empty()) {
        std::cerr << "orvane: " << failure << "\n";
        return kExitFailure;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("wrote %s/scene.json with %d pictures in %.2f s\n", folder.c_str(),
                options.columns * options.rows, took.count());
    return kExitOk;
}

}  // namespace

int PrepareScene(const SceneOptions& options, SceneSpec& scene, const CameraSpec*& camera) {
    std::string path = options.scene;
    if (path.empty()) {
        const auto start = std::chrono::steady_clock::now();
        bool made = false;
        const std::string failure = EnsureDemo(options.cacheDir, path, made);
        if (!failure.empty()) {
            std::cerr << "orvane: cannot make the demo scene: " << failure << "\n";
            return kExitFailure;
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (made && !options.quiet)
            std::printf("made the demo pictures in %s (%.2f s)\n", path.c_str(), took.count());
    }
    try {
        scene = LoadSceneFile(path);
    } catch (const SceneError& e) {
        std::cerr << "orvane: " << e.what() << "\n";
        return kExitBadScene;
    }
    if (!options.size.empty() && !ParseSize(options.size, scene.width, scene.height)) {
        std::cerr << "orvane: --size: expected WIDTHxHEIGHT, each 1 to " << kMaxScreenSide
                  << ", found \"" << options.size << "\"\n";
        return kExitUsage;
    }
    if (options.budgetMB >= 0)
        scene.budgetMB = static_cast<unsigned int>(options.budgetMB);
    if (options.threads > 0)
        scene.loadingThreads = options.threads;
    camera = FindCamera(scene, options.camera);
    if (camera == nullptr) {
        std::cerr << "orvane: the scene has no camera \"" << options.camera << "\"\n";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace ovapp

int main(int argc, char** argv) {
    using namespace ovapp;
    // Progress lines reach a pipe as they are printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    CLI::App app{"Renders three-dimensional scenes of pictures, labels and arrows with Orvane."};
    app.require_subcommand(1);
    app.set_version_flag(
        "--version", std::string("orvane " ORVANE_VERSION " (") + COvControl::GetVersion(0) + ")");
    app.footer(
        "Exit status: 0 done, 1 failure, 2 bad command line, 3 bad scene file,\n"
        "4 output written with pictures missing (not loaded in time or unreadable).");

    SceneOptions sceneOptions;
    RenderOptions render;
    CLI::App* renderCommand =
        app.add_subcommand("render", "Render the scene without a display and write PNG files");
    AddSceneOptions(*renderCommand, sceneOptions);
    renderCommand->add_option("-o,--output", render.output, "The PNG file to write")->required();
    renderCommand
        ->add_option("--frames", render.frames,
                     "Fly the camera and write this many numbered frames (OUT-0001.png, ...)")
        ->check(CLI::Range(0, 100000));
    renderCommand
        ->add_option("--step", render.step,
                     "Camera movement per frame in camera axes (side,up,forward)")
        ->capture_default_str();
    renderCommand->add_option("--pan", render.pan, "Camera turn per frame in degrees")
        ->capture_default_str();
    renderCommand
        ->add_option("--timeout", render.timeout,
                     "Seconds to wait for the pictures in view of each frame")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 86400.0));
    renderCommand->add_option("--layout", render.layout,
                              "Write where each object of the last frame is shown (JSON)");
    renderCommand->add_flag("-q,--quiet", sceneOptions.quiet, "Print nothing but failures");

    ViewOptions view;
    CLI::App* viewCommand = app.add_subcommand(
        "view",
        "Show the scene in a window: drag to turn, wheel or W/S to move, A/D to roll, arrows "
        "to pan and tilt, click to select, R to reset, Q or Escape to quit");
    AddSceneOptions(*viewCommand, sceneOptions);
    viewCommand->add_option("--seconds", view.seconds, "Close by itself after this long")
        ->check(CLI::Range(0.0, 86400.0));

    std::string folder;
    WallOptions wall;
    CLI::App* generateCommand = app.add_subcommand(
        "generate", "Write a wall of generated pictures and its scene file into a folder");
    generateCommand->add_option("folder", folder, "Where to write scene.json and pictures/")
        ->required();
    generateCommand->add_option("--columns", wall.columns, "Pictures per row")
        ->capture_default_str()
        ->check(CLI::Range(1, 200));
    generateCommand->add_option("--rows", wall.rows, "Rows of pictures")
        ->capture_default_str()
        ->check(CLI::Range(1, 50));
    generateCommand->add_option("--widths", wall.widths, "Widths of each picture's versions")
        ->capture_default_str()
        ->delimiter(',')
        ->check(CLI::Range(4, 4096));
    generateCommand->add_flag("--no-labels", "Leave out the labels")->each([&](const std::string&) {
        wall.labels = false;
    });
    generateCommand->add_flag("--no-arrows", "Leave out the arrows")->each([&](const std::string&) {
        wall.arrows = false;
    });

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }

    if (renderCommand->parsed())
        return RunRender(sceneOptions, render);
    if (viewCommand->parsed())
        return RunView(sceneOptions, view);
    return Generate(folder, wall);
}
