#include "SceneFile.h"

#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

namespace ovapp {

namespace {

using nlohmann::json;

// ---------------------------------------------------------------------------
// Places and messages
// ---------------------------------------------------------------------------

// A JSON pointer one step below `at`.
std::string Below(const std::string& at, const std::string& key) {
    std::string escaped;
    for (char c : key) {
        if (c == '~')
            escaped += "~0";
        else if (c == '/')
            escaped += "~1";
        else
            escaped += c;
    }
    return at + "/" + escaped;
}

std::string Below(const std::string& at, std::size_t index) {
    return at + "/" + std::to_string(index);
}

std::string Shown(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

// One value of the file and where it is.
class Value {
public:
    Value(const json& value, std::string at, const std::string& file)
        : m_Json(value), m_strAt(std::move(at)), m_File(file) {}

    [[noreturn]] void Fail(const std::string& message) const {
        throw SceneError(m_File + ": " + (m_strAt.empty() ? "top level" : m_strAt) + ": " +
                         message);
    }
    [[noreturn]] void Expected(const char* what) const {
        Fail(std::string("expected ") + what + ", found " + Found());
    }

    const json& Json() const { return m_Json; }
    const std::string& At() const { return m_strAt; }
    const std::string& File() const { return m_File; }

    double Number(double min, double max) const {
        if (!m_Json.is_number())
            Expected("a number");
        const double value = m_Json.get<double>();
        if (!std::isfinite(value) || value < min || value > max)
            Fail("must be from " + Shown(min) + " to " + Shown(max) + ", found " + Shown(value));
        return value;
    }
    // A number above `min`, at most `max`.
    double NumberAbove(double min, double max) const {
        const double value = Number(min, max);
        if (value <= min)
            Fail("must be greater than " + Shown(min) + ", found " + Shown(value));
        return value;
    }
    long long Integer(long long min, long long max) const {
        if (!m_Json.is_number() || m_Json.get<double>() != std::floor(m_Json.get<double>()))
            Expected("a whole number");
        const double value = m_Json.get<double>();
        if (value < static_cast<double>(min) || value > static_cast<double>(max))
            Fail("must be a whole number from " + std::to_string(min) + " to " +
                 std::to_string(max) + ", found " + Shown(value));
        return static_cast<long long>(value);
    }
    bool Bool() const {
        if (!m_Json.is_boolean())
            Expected("true or false");
        return m_Json.get<bool>();
    }
    std::string String(bool allowEmpty = true) const {
        if (!m_Json.is_string())
            Expected("a string");
        std::string text = m_Json.get<std::string>();
        if (!allowEmpty && text.empty())
            Fail("must not be empty");
        if (text.find('\0') != std::string::npos)
            Fail("must not hold a NUL character");
        return text;
    }
    // "#rrggbb" or [r, g, b] with components 0..255.
    CPxRGB Color() const {
        if (m_Json.is_string()) {
            const std::string text = m_Json.get<std::string>();
            int parts[3];
            if (text.size() == 7 && text[0] == '#' &&
                text.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos) {
                for (int i = 0; i < 3; ++i)
                    parts[i] = std::stoi(text.substr(1 + 2 * i, 2), nullptr, 16);
                return CPxRGB{parts[0], parts[1], parts[2]};
            }
            Fail("expected a colour as \"#rrggbb\", found \"" + text + "\"");
        }
        if (!m_Json.is_array() || m_Json.size() != 3)
            Expected("a colour (\"#rrggbb\" or [red, green, blue])");
        int parts[3];
        for (std::size_t i = 0; i < 3; ++i)
            parts[i] = static_cast<int>(Item(i).Integer(0, 255));
        return CPxRGB{parts[0], parts[1], parts[2]};
    }
    // [x, y, z] of finite numbers.
    COv3DPoint Point() const {
        if (!m_Json.is_array() || m_Json.size() != 3)
            Expected("a point [x, y, z]");
        double parts[3];
        for (std::size_t i = 0; i < 3; ++i)
            parts[i] = Item(i).Number(-kFar, kFar);
        return COv3DPoint{parts[0], parts[1], parts[2]};
    }
    // [x, y, z], not all zero.
    COv3DPoint Direction() const {
        const COv3DPoint v = Point();
        if (v.x == 0 && v.y == 0 && v.z == 0)
            Fail("a direction must not be [0, 0, 0]");
        return v;
    }
    // The i-th element of an array.
    Value Item(std::size_t index) const {
        return Value(m_Json[index], Below(m_strAt, index), m_File);
    }
    // A non-empty array.
    std::size_t Array(const char* what) const {
        if (!m_Json.is_array())
            Expected(what);
        return m_Json.size();
    }

    // Coordinates beyond this are refused: the projection works in doubles but turns
    // them into 32-bit pixels.
    static constexpr double kFar = 1e9;

private:
    std::string Found() const {
        if (m_Json.is_string())
            return "\"" + m_Json.get<std::string>() + "\"";
        if (m_Json.is_number() || m_Json.is_boolean() || m_Json.is_null())
            return m_Json.dump();
        return std::string(m_Json.is_array() ? "an array" : "an object");
    }

    const json& m_Json;
    std::string m_strAt;
    const std::string& m_File;
};

// A JSON object whose keys are checked against the ones it may have.
class Object {
public:
    Object(const Value& value, const std::vector<const char*>& keys) : m_Value(value) {
        if (!value.Json().is_object())
            value.Expected("an object");
        for (const auto& item : value.Json().items()) {
            bool known = false;
            std::string list;
            for (const char* key : keys) {
                known = known || item.key() == key;
                list += std::string(list.empty() ? "" : ", ") + key;
            }
            if (!known)
                Value(item.value(), Below(value.At(), item.key()), value.File())
                    .Fail("unknown key \"" + item.key() + "\" (expected one of: " + list + ")");
        }
    }

    bool Has(const char* key) const { return m_Value.Json().contains(key); }
    Value Get(const char* key) const {
        if (!Has(key))
            m_Value.Fail(std::string("missing required key \"") + key + "\"");
        return Value(m_Value.Json()[key], Below(m_Value.At(), key), m_Value.File());
    }
    const Value& Self() const { return m_Value; }

    bool Bool(const char* key, bool fallback) const {
        return Has(key) ? Get(key).Bool() : fallback;
    }
    CPxRGB Color(const char* key, CPxRGB fallback) const {
        return Has(key) ? Get(key).Color() : fallback;
    }
    int Integer(const char* key, int fallback, int min, int max) const {
        return Has(key) ? static_cast<int>(Get(key).Integer(min, max)) : fallback;
    }

private:
    Value m_Value;
};

// ---------------------------------------------------------------------------
// Sections
// ---------------------------------------------------------------------------

bool IsUrl(const std::string& name) {
    return name.find("://") != std::string::npos;
}

// A picture name as the stream creators take it: URLs as they are, paths made
// absolute against the scene's folder and checked to be there.
std::string PictureName(const Value& value, const std::string& folder) {
    std::string name = value.String(false);
    if (IsUrl(name))
        return name;
    if (name[0] != '/' && !folder.empty())
        name = folder + "/" + name;
    struct stat info {};
    if (stat(name.c_str(), &info) != 0)
        value.Fail("no picture file at " + name);
    if (!S_ISREG(info.st_mode))
        value.Fail(name + " is not a file");
    return name;
}

void ReadScreen(const Object& screen, SceneSpec& scene, const std::string& folder) {
    scene.width = screen.Integer("width", scene.width, 1, kMaxScreenSide);
    scene.height = screen.Integer("height", scene.height, 1, kMaxScreenSide);
    scene.background = screen.Color("background", scene.background);
    if (screen.Has("backgroundPicture"))
        scene.backgroundPicture = PictureName(screen.Get("backgroundPicture"), folder);
    if (screen.Has("backgroundPlacement")) {
        const Value value = screen.Get("backgroundPlacement");
        static const std::map<std::string, Placement> kPlacements = {
            {"stretched", Placement::STRETCHED},
            {"centred", Placement::CENTRED},
            {"lower-left", Placement::LOWER_LEFT},
            {"tiled", Placement::TILED}};
        const auto found = kPlacements.find(value.String());
        if (found == kPlacements.end())
            value.Fail("expected \"stretched\", \"centred\", \"lower-left\" or \"tiled\"");
        scene.placement = found->second;
    }
}

void ReadMemory(const Object& memory, SceneSpec& scene) {
    scene.budgetMB = static_cast<unsigned int>(memory.Integer("budgetMB", 64, 0, 2047));
    scene.loadingThreads = memory.Integer("loadingThreads", scene.loadingThreads, 1, 10);
}

CameraSpec ReadCamera(const Value& value, std::size_t index) {
    const Object camera(value, {"id", "position", "forward", "up", "range", "focus"});
    CameraSpec spec;
    spec.id = camera.Has("id") ? camera.Get("id").String(false) : std::to_string(index);
    if (camera.Has("position"))
        spec.position = camera.Get("position").Point();
    if (camera.Has("forward"))
        spec.forward = camera.Get("forward").Direction();
    if (camera.Has("up"))
        spec.up = camera.Get("up").Direction();
    const COv3DPoint& f = spec.forward;
    const COv3DPoint& u = spec.up;
    const COv3DPoint cross{f.y * u.z - f.z * u.y, f.z * u.x - f.x * u.z, f.x * u.y - f.y * u.x};
    if (cross.x == 0 && cross.y == 0 && cross.z == 0)
        camera.Self().Fail("\"forward\" and \"up\" must not be parallel");
    spec.range = static_cast<unsigned int>(camera.Integer("range", 1000000, 1, 2000000000));
    if (camera.Has("focus"))
        spec.focus = camera.Get("focus").NumberAbove(0, 1e7);
    return spec;
}

FrameSpec ReadFrame(const Value& value) {
    const Object frame(value, {"width", "color", "scaled"});
    FrameSpec spec;
    spec.width = frame.Integer("width", 1, 0, 1000);
    spec.color = frame.Color("color", spec.color);
    spec.scaled = frame.Bool("scaled", false);
    return spec;
}

COvSize3D ReadSize(const Value& value) {
    if (!value.Json().is_array() || value.Json().size() != 2)
        value.Expected("a size [width, height]");
    return COvSize3D{value.Item(0).NumberAbove(0, Value::kFar),
                     value.Item(1).NumberAbove(0, Value::kFar)};
}

void ReadPicture(const Object& object, ObjectSpec& spec, const std::string& folder) {
    const Value versions = object.Get("versions");
    const std::size_t count = versions.Array("an array of versions");
    if (count == 0)
        versions.Fail("a picture needs at least one version");
    for (std::size_t i = 0; i < count; ++i) {
        const Object version(versions.Item(i), {"name", "width", "height"});
        VersionSpec v;
        v.name = PictureName(version.Get("name"), folder);
        v.width = static_cast<int>(version.Get("width").Integer(1, 32768));
        v.height = static_cast<int>(version.Get("height").Integer(1, 32768));
        spec.versions.push_back(v);
    }
}

void ReadText(const Object& object, ObjectSpec& spec) {
    spec.text = object.Get("text").String();
    if (object.Has("pixels")) {
        const Value pixels = object.Get("pixels");
        if (!pixels.Json().is_array() || pixels.Json().size() != 2)
            pixels.Expected("a size in pixels [width, height]");
        spec.pixels.width = static_cast<int>(pixels.Item(0).Integer(0, 4096));
        spec.pixels.height = static_cast<int>(pixels.Item(1).Integer(0, 4096));
    }
    if (!object.Has("style"))
        return;
    const Object style(object.Get("style"), {"font", "points", "color", "background", "bold",
                                             "italic", "underline", "strikeout", "fixedSize"});
    TextStyleSpec& s = spec.textStyle;
    if (style.Has("font"))
        s.font = style.Get("font").String(false);
    s.points = style.Integer("points", s.points, 1, 400);
    s.color = style.Color("color", s.color);
    s.background = style.Color("background", s.background);
    s.bold = style.Bool("bold", s.bold);
    s.italic = style.Bool("italic", s.italic);
    s.underline = style.Bool("underline", s.underline);
    s.strikeout = style.Bool("strikeout", s.strikeout);
    s.fixedSize = style.Bool("fixedSize", s.fixedSize);
}

void ReadLine(const Object& object, ObjectSpec& spec) {
    spec.start = object.Get("start").Point();
    spec.end = object.Get("end").Point();
    if (!object.Has("style"))
        return;
    const Object style(object.Get("style"), {"width", "color", "startArrow", "endArrow", "scaled"});
    LineStyleSpec& s = spec.lineStyle;
    s.width = style.Integer("width", s.width, 1, 1000);
    s.color = style.Color("color", s.color);
    s.startArrow = style.Bool("startArrow", s.startArrow);
    s.endArrow = style.Bool("endArrow", s.endArrow);
    s.scaled = style.Bool("scaled", s.scaled);
}

ObjectSpec ReadObject(const Value& value, std::size_t index, const std::string& folder) {
    if (!value.Json().is_object())
        value.Expected("an object");
    if (!value.Json().contains("type"))
        value.Fail("missing required key \"type\"");
    const Value type(value.Json()["type"], Below(value.At(), "type"), value.File());
    const std::string kind = type.String();
    ObjectSpec spec;
    spec.where = value.At();
    if (kind == "line") {
        const Object object(value, {"type", "id", "start", "end", "style", "visible", "selected"});
        spec.kind = ObjectSpec::LINE;
        ReadLine(object, spec);
        spec.visible = object.Bool("visible", true);
        spec.selected = object.Bool("selected", false);
        spec.id =
            object.Has("id") ? object.Get("id").String(false) : "line " + std::to_string(index);
        return spec;
    }
    if (kind != "picture" && kind != "text")
        type.Fail("expected \"picture\", \"text\" or \"line\", found \"" + kind + "\"");
    const bool picture = kind == "picture";
    static const std::vector<const char*> kPictureKeys = {
        "type", "id", "position", "size", "versions", "frame", "visible", "selected"};
    static const std::vector<const char*> kTextKeys = {"type",    "id",      "position", "size",
                                                       "text",    "style",   "pixels",   "frame",
                                                       "visible", "selected"};
    const Object object(value, picture ? kPictureKeys : kTextKeys);
    spec.kind = picture ? ObjectSpec::PICTURE : ObjectSpec::TEXT;
    spec.id =
        object.Has("id") ? object.Get("id").String(false) : kind + " " + std::to_string(index);
    spec.position = object.Get("position").Point();
    spec.size = ReadSize(object.Get("size"));
    spec.visible = object.Bool("visible", true);
    spec.selected = object.Bool("selected", false);
    if (object.Has("frame"))
        spec.frame = ReadFrame(object.Get("frame"));
    if (picture)
        ReadPicture(object, spec, folder);
    else
        ReadText(object, spec);
    return spec;
}

// Ids name objects in messages and in the viewer: each is used once.
template <class Spec>
void CheckUnique(const std::vector<Spec>& items, const Value& list) {
    std::map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto [at, fresh] = seen.emplace(items[i].id, i);
        if (!fresh)
            list.Item(i).Fail("id \"" + items[i].id + "\" is used twice (also at " +
                              Below(list.At(), at->second) + ")");
    }
}

// Line and column of a byte offset, both counted from 1.
std::string LineAndColumn(const std::string& text, std::size_t offset) {
    offset = std::min(offset, text.size());
    int line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return std::to_string(line) + ":" + std::to_string(offset - lineStart + 1);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

SceneSpec ParseScene(const std::string& text, const std::string& file, const std::string& folder) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::parse_error& e) {
        // The parser's own text carries its id and position; keep only the reason.
        std::string reason = e.what();
        const std::size_t start = reason.find("syntax error");
        if (start != std::string::npos)
            reason = reason.substr(start);
        // The byte the parser reports is one past the offending character.
        throw SceneError(file + ":" + LineAndColumn(text, e.byte == 0 ? 0 : e.byte - 1) + ": " +
                         reason);
    }
    const Object root(Value(document, "", file),
                      {"format", "screen", "memory", "cameras", "objects"});
    if (root.Has("format"))
        root.Get("format").Integer(1, 1);
    SceneSpec scene;
    scene.file = file;
    if (root.Has("screen"))
        ReadScreen(Object(root.Get("screen"), {"width", "height", "background", "backgroundPicture",
                                               "backgroundPlacement"}),
                   scene, folder);
    if (root.Has("memory"))
        ReadMemory(Object(root.Get("memory"), {"budgetMB", "loadingThreads"}), scene);
    const Value cameras = root.Get("cameras");
    const std::size_t cameraCount = cameras.Array("an array of cameras");
    if (cameraCount == 0)
        cameras.Fail("a scene needs at least one camera");
    for (std::size_t i = 0; i < cameraCount; ++i)
        scene.cameras.push_back(ReadCamera(cameras.Item(i), i));
    CheckUnique(scene.cameras, cameras);
    const Value objects = root.Get("objects");
    const std::size_t objectCount = objects.Array("an array of objects");
    for (std::size_t i = 0; i < objectCount; ++i)
        scene.objects.push_back(ReadObject(objects.Item(i), i, folder));
    CheckUnique(scene.objects, objects);
    return scene;
}

SceneSpec LoadSceneFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    struct stat info {};
    if (!in || stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        throw SceneError(path + ": cannot read the scene file");
    // Scene files are small; anything this large is not one.
    constexpr off_t kLargest = 64 << 20;
    if (info.st_size > kLargest)
        throw SceneError(path + ": larger than 64 MB, not a scene file");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw SceneError(path + ": cannot read the scene file");
    return ParseScene(text.str(), path, FolderOf(path));
}

const CameraSpec* FindCamera(const SceneSpec& scene, const std::string& name) {
    if (scene.cameras.empty())
        return nullptr;
    if (name.empty())
        return &scene.cameras.front();
    for (const CameraSpec& camera : scene.cameras) {
        if (camera.id == name)
            return &camera;
    }
    if (name.find_first_not_of("0123456789") == std::string::npos && name.size() < 9) {
        const std::size_t index = std::stoul(name);
        if (index < scene.cameras.size())
            return &scene.cameras[index];
    }
    return nullptr;
}

}  // namespace ovapp
