#include "DemoScene.h"

#include <jpeglib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

namespace ovapp {

namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

// Bump when the generated scene changes, so that older caches are made again.
constexpr const char* kDemoFolder = "demo-1";

// ---------------------------------------------------------------------------
// Pictures
// ---------------------------------------------------------------------------

struct Rgb {
    double r, g, b;
};

Rgb Hsv(double h, double s, double v) {
    h = (h - std::floor(h)) * 6.0;
    const int sector = static_cast<int>(h);
    const double f = h - sector;
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    switch (sector % 6) {
        case 0:
            return {v, t, p};
        case 1:
            return {q, v, p};
        case 2:
            return {p, v, t};
        case 3:
            return {p, q, v};
        case 4:
            return {t, p, v};
        default:
            return {v, p, q};
    }
}

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double Clamp01(double v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

// A small landscape: a sky, a sun and three ranges of hills, each picture in colours
// and shapes of its own. Shapes are drawn with edges one pixel soft at every size, so
// that the small versions are the large one scaled down, not a different picture.
class Landscape {
public:
    explicit Landscape(int index) {
        const double hue = std::fmod(index * 0.618034, 1.0);
        m_SkyTop = Hsv(hue, 0.55, 0.95);
        m_SkyLow = Hsv(hue + 0.12, 0.25, 1.0);
        m_Sun = Hsv(hue + 0.5, 0.6, 1.0);
        m_SunX = 0.2 + 0.6 * std::fmod(index * 0.381966, 1.0);
        m_SunY = 0.22 + 0.15 * std::fmod(index * 0.7548776, 1.0);
        for (int k = 0; k < 3; ++k) {
            m_Hill[k] = Hsv(hue + 0.3 + 0.08 * k, 0.6, 0.75 - 0.2 * k);
            m_Phase[k] = index * (1.3 + k) + k;
            m_Freq[k] = 4.0 + 3.0 * k + (index % 3);
        }
    }

    // The colour at (u, v) of the unit square; `pixel` is one pixel's size in it.
    Rgb At(double u, double v, double pixel) const {
        Rgb c = Mix(m_SkyTop, m_SkyLow, v);
        const double d = std::hypot(u - m_SunX, (v - m_SunY) * 0.75);
        c = Mix(c, m_Sun, Clamp01((0.11 - d) / pixel + 0.5));
        for (int k = 0; k < 3; ++k) {
            const double ridge = 0.55 + 0.12 * k + 0.06 * std::sin(u * m_Freq[k] + m_Phase[k]) +
                                 0.03 * std::sin(u * m_Freq[k] * 2.7 + m_Phase[k] * 1.7);
            c = Mix(c, m_Hill[k], Clamp01((v - ridge) / pixel + 0.5));
        }
        return c;
    }

private:
    Rgb m_SkyTop, m_SkyLow, m_Sun, m_Hill[3];
    double m_SunX, m_SunY, m_Phase[3], m_Freq[3];
};

int Byte(double v) {
    return static_cast<int>(Clamp01(v) * 255.0 + 0.5);
}

// ---------------------------------------------------------------------------
// JPEG
// ---------------------------------------------------------------------------

// libjpeg reports failures by calling error_exit, which must not return: it jumps
// back to the writer instead of ending the process.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->back, 1);
}

// No object with a destructor may live in this frame: longjmp would skip it.
bool WriteJpeg(const CPxImageData24& image, std::FILE* file, int quality, unsigned char* row,
               JpegError& error) {
    jpeg_compress_struct info;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnJpegError;
    if (setjmp(error.back)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(image.GetWidth());
    info.image_height = static_cast<JDIMENSION>(image.GetHeight());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const unsigned char* bgr = image.GetScanLine(static_cast<int>(info.next_scanline));
        for (int x = 0; x < image.GetWidth(); ++x) {
            row[3 * x] = bgr[3 * x + 2];
            row[3 * x + 1] = bgr[3 * x + 1];
            row[3 * x + 2] = bgr[3 * x];
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// ---------------------------------------------------------------------------
// The wall
// ---------------------------------------------------------------------------

const char* const kFirst[] = {"Amber",  "Quiet", "Northern", "Silver", "Hidden", "Lonely",
                              "Golden", "Misty", "Distant",  "Copper", "Winter", "Early"};
const char* const kSecond[] = {"Ridge", "Harbour", "Valley", "Meadow", "Summit", "Lake",
                               "Dunes", "Forest",  "Coast",  "Plain",  "Hills",  "Canyon"};

std::string Title(int index) {
    return std::string(kFirst[index % 12]) + " " + kSecond[(index * 5 + index / 12) % 12];
}

// A coordinate as the file shows it: whole numbers without a decimal point.
ordered_json Number(double v) {
    const double whole = std::round(v);
    if (whole == v && std::fabs(v) < 1e15)
        return static_cast<long long>(whole);
    return v;
}

ordered_json Point(double x, double y, double z) {
    return ordered_json::array({Number(x), Number(y), Number(z)});
}

// Indented JSON with short arrays of numbers on one line, as a person would write it.
void Pretty(const ordered_json& value, std::string& out, int depth) {
    const std::string indent(2 * (depth + 1), ' ');
    const std::string close(2 * depth, ' ');
    const bool flat =
        value.is_array() && std::all_of(value.begin(), value.end(),
                                        [](const ordered_json& item) { return item.is_number(); });
    if (value.is_object() && !value.empty()) {
        out += "{\n";
        bool first = true;
        for (const auto& item : value.items()) {
            out += (first ? "" : ",\n") + indent + ordered_json(item.key()).dump() + ": ";
            Pretty(item.value(), out, depth + 1);
            first = false;
        }
        out += "\n" + close + "}";
    } else if (value.is_array() && !value.empty() && !flat) {
        out += "[\n";
        for (std::size_t i = 0; i < value.size(); ++i) {
            out += (i == 0 ? "" : ",\n") + indent;
            Pretty(value[i], out, depth + 1);
        }
        out += "\n" + close + "]";
    } else if (flat && !value.empty()) {
        out += "[";
        for (std::size_t i = 0; i < value.size(); ++i)
            out += (i == 0 ? "" : ", ") + value[i].dump();
        out += "]";
    } else {
        out += value.dump();
    }
}

// Scene units: pictures of 400 x 300 on a grid, labels below them.
constexpr double kPictureWidth = 400;
constexpr double kPictureHeight = 300;
constexpr double kStepX = 700;
constexpr double kStepY = 440;
constexpr double kWallZ = 2400;
// The first camera's distance in front of the wall, looking along it to the right.
constexpr double kObliqueBack = 5000;

std::string WritePictures(const fs::path& folder, const WallOptions& options,
                          ordered_json& objects) {
    const int count = options.columns * options.rows;
    for (int index = 0; index < count; ++index) {
        const int column = index % options.columns, row = index / options.columns;
        const double x = column * kStepX;
        const double y = (options.rows - 1) * kStepY / 2 - row * kStepY;
        // JPEG and PNG alternate, as a real collection would mix them.
        const bool jpeg = index % 2 == 0;
        ordered_json versions = ordered_json::array();
        for (int width : options.widths) {
            const int height = std::max(1, width * 3 / 4);
            char name[64];
            std::snprintf(name, sizeof name, "pictures/p%02d-%d.%s", index, width,
                          jpeg ? "jpg" : "png");
            const CPxImageData24 image = MakePicture(index, width, height);
            const std::string path = (folder / name).string();
            std::string failure;
            if (jpeg)
                failure = SaveJpeg(image, path, 88);
            else if (PxSavePng(image, path.c_str()) != 0)
                failure = "cannot write " + path;
            if (!failure.empty())
                return failure;
            versions.push_back({{"name", name}, {"width", width}, {"height", height}});
        }
        const std::string id = "p" + std::to_string(index);
        objects.push_back({{"type", "picture"},
                           {"id", id},
                           {"position", Point(x, y, kWallZ)},
                           {"size", {Number(kPictureWidth), Number(kPictureHeight)}},
                           {"frame", {{"width", 6}, {"color", "#e8e4da"}, {"scaled", true}}},
                           {"versions", versions}});
        if (options.labels) {
            objects.push_back({{"type", "text"},
                               {"id", "label " + id},
                               {"text", Title(index)},
                               {"position", Point(x, y - kPictureHeight / 2 - 45, kWallZ)},
                               {"size", {Number(kPictureWidth), 48}},
                               // About the size the labels are shown at: text drawn
                               // near its own size stays crisp and is cheap to scale.
                               {"pixels", {200, 24}},
                               {"style",
                                {{"font", "DejaVu Sans"},
                                 {"points", 12},
                                 {"bold", true},
                                 {"color", "#f4f1ea"},
                                 {"background", "#2a3440"}}}});
        }
    }
    return "";
}

void AddArrows(const WallOptions& options, ordered_json& objects) {
    // Along each row, every third gap; and down from the top row now and then.
    const double halfW = kPictureWidth / 2, halfH = kPictureHeight / 2;
    for (int row = 0; row < options.rows; ++row) {
        const double y = (options.rows - 1) * kStepY / 2 - row * kStepY;
        for (int column = row % 3; column + 1 < options.columns; column += 3) {
            const double x = column * kStepX;
            objects.push_back(
                {{"type", "line"},
                 {"id", "arrow " + std::to_string(row) + "-" + std::to_string(column)},
                 {"start", Point(x + halfW + 20, y, kWallZ)},
                 {"end", Point(x + kStepX - halfW - 20, y, kWallZ)},
                 {"style",
                  {{"width", 14}, {"color", "#ff8c1a"}, {"endArrow", true}, {"scaled", true}}}});
        }
    }
    if (options.rows < 2)
        return;
    const double top = (options.rows - 1) * kStepY / 2;
    for (int column = 1; column + 1 < options.columns; column += 4) {
        const double x = column * kStepX;
        objects.push_back({{"type", "line"},
                           {"id", "down " + std::to_string(column)},
                           {"start", Point(x + halfW, top - halfH, kWallZ)},
                           {"end", Point(x + kStepX - halfW, top - kStepY + halfH, kWallZ)},
                           {"style",
                            {{"width", 10},
                             {"color", "#4fd1ff"},
                             {"startArrow", true},
                             {"endArrow", true},
                             {"scaled", true}}}});
    }
}

ordered_json Cameras(const WallOptions& options) {
    const double far = (options.columns - 1) * kStepX;
    // Far enough back that the whole wall fills most of a 1280 x 720 screen.
    const double wide = (far + kPictureWidth) * 2000 / 1000;
    const double high = options.rows * kStepY * 2000 / 560;
    const double back = kWallZ - std::max(wide, high);
    return ordered_json::array(
        {{{"id", "oblique"},
          {"position", Point(-1500, 150, kWallZ - kObliqueBack)},
          {"forward", Point(0.6, -0.04, 1)},
          {"up", Point(0, 1, 0)}},
         {{"id", "front"}, {"position", Point(far / 2, 0, back)}, {"forward", Point(0, 0, 1)}},
         {{"id", "start"}, {"position", Point(0, 0, 0)}, {"forward", Point(0, 0, 1)}}});
}

}  // namespace

CPxImageData24 MakePicture(int index, int width, int height) {
    CPxImageData24 image;
    if (image.NewImage(width, height) != 0)
        return image;
    const Landscape landscape(index);
    // Edges are soft over about one pixel of the height, whatever the size.
    const double pixel = 1.0 / height;
    for (int y = 0; y < height; ++y) {
        unsigned char* row = image.GetScanLine(y);
        const double v = (y + 0.5) / height;
        for (int x = 0; x < width; ++x) {
            const Rgb c = landscape.At((x + 0.5) / width, v, pixel * 1.5);
            row[3 * x] = static_cast<unsigned char>(Byte(c.b));
            row[3 * x + 1] = static_cast<unsigned char>(Byte(c.g));
            row[3 * x + 2] = static_cast<unsigned char>(Byte(c.r));
        }
    }
    return image;
}

std::string SaveJpeg(const CPxImageData24& image, const std::string& path, int quality) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return "cannot create " + path + ": " + std::strerror(errno);
    std::vector<unsigned char> row(3 * static_cast<std::size_t>(image.GetWidth()));
    JpegError error{};
    const bool written = WriteJpeg(image, file, quality, row.data(), error);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(path.c_str());
        return "cannot write " + path + ": " + (written ? std::strerror(errno) : error.message);
    }
    return "";
}

std::string WriteWall(const std::string& folder, const WallOptions& options) {
    std::error_code error;
    fs::create_directories(fs::path(folder) / "pictures", error);
    if (error)
        return "cannot create " + folder + "/pictures: " + error.message();
    ordered_json objects = ordered_json::array();
    const std::string failure = WritePictures(folder, options, objects);
    if (!failure.empty())
        return failure;
    if (options.arrows)
        AddArrows(options, objects);
    const ordered_json scene = {
        {"format", 1},
        {"screen", {{"width", 1280}, {"height", 720}, {"background", "#141a22"}}},
        {"memory", {{"budgetMB", options.budgetMB}, {"loadingThreads", 4}}},
        {"cameras", Cameras(options)},
        {"objects", objects}};
    const std::string path = folder + "/scene.json";
    std::string text;
    Pretty(scene, text, 0);
    std::ofstream out(path);
    out << text << "\n";
    out.close();
    if (!out)
        return "cannot write " + path;
    return "";
}

std::string DemoCacheDir(const std::string& cacheDir) {
    if (!cacheDir.empty())
        return cacheDir;
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return std::string(xdg) + "/orvane";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && home[0] != '\0' ? home : "/tmp") + "/.cache/orvane";
}

std::string EnsureDemo(const std::string& cacheDir, std::string& scenePath, bool& made) {
    const fs::path root = DemoCacheDir(cacheDir);
    const fs::path ready = root / kDemoFolder;
    scenePath = (ready / "scene.json").string();
    made = false;
    if (fs::exists(scenePath))
        return "";
    // Made aside and moved into place whole, so that an interrupted run or a second
    // program making it at the same time never leaves half a scene behind.
    const fs::path work = root / (std::string(kDemoFolder) + ".part" + std::to_string(getpid()));
    std::error_code error;
    fs::remove_all(work, error);
    const std::string failure = WriteWall(work.string(), WallOptions{});
    if (!failure.empty()) {
        fs::remove_all(work, error);
        return failure;
    }
    fs::rename(work, ready, error);
    if (error) {
        fs::remove_all(work, error);
        if (!fs::exists(scenePath))
            return "cannot move the demo scene into " + ready.string();
    }
    made = true;
    return "";
}

}  // namespace ovapp
