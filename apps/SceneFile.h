// The scene file: a JSON description of a screen, its cameras and its objects, read
// into plain values that the stage turns into library objects. Every value is checked
// here, so that a bad file is refused with the place of the fault before anything is
// built.
#ifndef ORVANE_APPS_SCENEFILE_H
#define ORVANE_APPS_SCENEFILE_H

#include <stdexcept>
#include <string>
#include <vector>

#include "OvTypes.h"

namespace ovapp {

// A scene file that cannot be used. what() names the file and the place: line and
// column for a syntax error, the JSON pointer of the value otherwise.
class SceneError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FrameSpec {
    bool scaled = false;  // width in scene units instead of pixels
    int width = 0;        // 0: no frame
    CPxRGB color{255, 255, 255};
};

struct VersionSpec {
    // A path (made absolute against the scene file's folder) or a URL, as the stream
    // creators take it.
    std::string name;
    int width = 0;
    int height = 0;
};

struct TextStyleSpec {
    std::string font = "DejaVu Sans";
    int points = 12;
    CPxRGB color{0, 0, 0};
    CPxRGB background{255, 255, 255};
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    bool fixedSize = false;  // shown at its pixel size whatever its distance
};

struct LineStyleSpec {
    int width = 1;
    CPxRGB color{255, 255, 255};
    bool startArrow = false;
    bool endArrow = false;
    bool scaled = false;
};

struct ObjectSpec {
    enum Kind { PICTURE, TEXT, LINE };
    Kind kind = PICTURE;
    std::string id;     // the file's id, or "<kind> <index>"
    std::string where;  // JSON pointer of the object, for messages
    COv3DPoint position{0, 0, 0};
    COvSize3D size{1, 1};
    bool visible = true;
    bool selected = false;
    FrameSpec frame;
    std::vector<VersionSpec> versions;  // pictures
    std::string text;                   // texts
    TextStyleSpec textStyle;
    COvSize pixels{0, 0};       // texts: bitmap size, a side of 0 measured from the text
    COv3DPoint start{0, 0, 0};  // lines
    COv3DPoint end{0, 0, 0};
    LineStyleSpec lineStyle;
};

struct CameraSpec {
    std::string id;
    COv3DPoint position{0, 0, 0};
    COv3DPoint forward{0, 0, 1};
    COv3DPoint up{0, 1, 0};
    unsigned int range = 1000000;
    double focus = 0;  // 0: the projection's own
};

// Where a background picture goes: stretched, centred, lower-left or tiled.
enum class Placement { STRETCHED = 0, CENTRED = 1, LOWER_LEFT = 2, TILED = 3 };

struct SceneSpec {
    std::string file;  // where it was read from, for messages
    int width = 1280;
    int height = 720;
    CPxRGB background{0, 0, 0};
    std::string backgroundPicture;  // empty: none
    Placement placement = Placement::STRETCHED;
    unsigned int budgetMB = 64;  // 0: no limit
    int loadingThreads = 4;
    std::vector<CameraSpec> cameras;
    std::vector<ObjectSpec> objects;
};

// The largest window side the program opens or renders.
constexpr int kMaxScreenSide = 16384;

// Reads and checks a scene file. Relative picture names are taken from the file's
// folder; a picture file that is not there is an error. Throws SceneError.
SceneSpec LoadSceneFile(const std::string& path);
// The same for a text in memory; `file` names it in messages, `folder` is where
// relative picture names are found.
SceneSpec ParseScene(const std::string& text, const std::string& file, const std::string& folder);

// A camera of the scene by id, or by its index when `name` is a number; the first when
// `name` is empty. Null when there is none.
const CameraSpec* FindCamera(const SceneSpec& scene, const std::string& name);

}  // namespace ovapp

#endif
