// The built-in demo scene: a wall of generated pictures with labels and arrows, made
// on first use into a cache folder and described by an ordinary scene file there.
#ifndef ORVANE_APPS_DEMOSCENE_H
#define ORVANE_APPS_DEMOSCENE_H

#include <string>
#include <vector>

#include "Pixmere.h"

namespace ovapp {

struct WallOptions {
    int columns = 16;
    int rows = 3;
    std::vector<int> widths = {64, 256, 1024};  // one version per width, 4:3
    bool labels = true;
    bool arrows = true;
    int budgetMB = 64;
};

// Writes a wall scene into `folder` (created when missing): pictures/ and scene.json.
// Returns "" or a message.
std::string WriteWall(const std::string& folder, const WallOptions& options);

// The folder the demo scene lives in: `cacheDir` when given, else $XDG_CACHE_HOME/orvane
// or ~/.cache/orvane.
std::string DemoCacheDir(const std::string& cacheDir);
// The demo's scene file under the cache folder, made first when it is not there yet.
// Sets `made` when it had to be made. Returns "" or a message.
std::string EnsureDemo(const std::string& cacheDir, std::string& scenePath, bool& made);

// The generated picture `index` at width x height: the same picture at every size.
CPxImageData24 MakePicture(int index, int width, int height);
// Writes a picture as a baseline JPEG of the given quality. Returns "" or a message.
std::string SaveJpeg(const CPxImageData24& image, const std::string& path, int quality);

}  // namespace ovapp

#endif
