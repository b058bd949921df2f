// The commands of the orvane program and what they share.
#ifndef ORVANE_APPS_COMMANDS_H
#define ORVANE_APPS_COMMANDS_H

#include <string>

#include "SceneFile.h"

namespace ovapp {

// Exit statuses of the program.
enum ExitCode {
    kExitOk = 0,
    kExitFailure = 1,     // the library or the system failed (no window, no output file)
    kExitUsage = 2,       // a bad command line
    kExitBadScene = 3,    // a scene file that cannot be used
    kExitIncomplete = 4,  // the output was written, but pictures were missing from it
};

// What every command that shows a scene takes.
struct SceneOptions {
    std::string scene;     // empty: the built-in demo
    std::string camera;    // id or index; empty: the first
    std::string size;      // "WxH"; empty: the scene's
    std::string cacheDir;  // where the demo is made
    std::string log;       // the library's log file; empty: none
    int budgetMB = -1;     // -1: the scene's
    int threads = -1;      // -1: the scene's
    bool quiet = false;
};

struct RenderOptions {
    std::string output;
    int frames = 0;                  // 0: one picture at `output`; else numbered frames
    std::string step = "200,0,120";  // camera movement per frame, in camera axes
    int pan = 0;                     // whole degrees per frame
    double timeout = 60;             // seconds to wait for the pictures of one frame
    std::string layout;              // where to write the boxes of the last frame
};

struct ViewOptions {
    double seconds = 0;  // close by itself after this long; 0: when the user closes it
};

// Reads the scene (making the demo when none is named) and applies the overrides.
// Returns an exit code; kExitOk with `scene` and `camera` set.
int PrepareScene(const SceneOptions& options, SceneSpec& scene, const CameraSpec*& camera);

int RunRender(const SceneOptions& options, const RenderOptions& render);
int RunView(const SceneOptions& options, const ViewOptions& view);

// Megabytes of the largest resident set the process has had.
double PeakMegabytes();

}  // namespace ovapp

#endif
