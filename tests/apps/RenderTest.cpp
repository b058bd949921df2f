// orvane render, read back from the PNG it writes: pictures (not placeholders) where the
// scene puts them, labels with ink, arrows in their colour.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "AppProcess.h"
#include "AppTestSupport.h"
#include "QrTestServer.h"

namespace {

using nlohmann::json;

// The picture versions were written by the program; the screen shows them scaled, and
// JPEG's own losses stay well below this.
constexpr double kSamePicture = 24;

CPxRGB Colour(const std::string& hex) {
    const int v = std::stoi(hex.substr(1), nullptr, 16);
    return CPxRGB{(v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF};
}

AppBox BoxOf(const json& entry) {
    const json& b = entry["box"];
    return AppBox{b[0].get<int>(), b[1].get<int>(), b[2].get<int>(), b[3].get<int>()};
}

bool Inside(const AppBox& box, int width, int height) {
    return box.x >= 0 && box.y >= 0 && box.x + box.width <= width && box.y + box.height <= height;
}

bool Overlap(const AppBox& a, const AppBox& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

// The boxes that no other box of the layout covers in part, fully on the picture.
std::vector<const json*> Clear(const json& layout, const char* type, int width, int height) {
    std::vector<const json*> clear;
    for (const json& entry : layout) {
        if (entry["type"] != type || !Inside(BoxOf(entry), width, height))
            continue;
        bool covered = false;
        for (const json& other : layout)
            covered = covered || (&other != &entry && other.contains("box") &&
                                  Overlap(BoxOf(entry), BoxOf(other)));
        if (!covered)
            clear.push_back(&entry);
    }
    return clear;
}

// A label shows its background and, on it, ink in the text colour.
void ExpectLabel(const CPxImageData24& image, const AppBox& box, const CPxRGB& ink,
                 const CPxRGB& background) {
    const int area = box.width * box.height;
    EXPECT_GT(CountNear(image, box, background, 16), area / 3);
    EXPECT_GT(CountNear(image, box, ink, 60), area / 50);
}

TEST(RenderTest, DemoShowsPicturesLabelsAndArrows) {
    const QrTempDir dir;
    const std::string png = dir.Path() + "/demo.png", layoutFile = dir.Path() + "/layout.json";
    AppProcess cold;
    ASSERT_EQ(RunApp(cold, {"render", "--cache-dir", dir.Path() + "/cache", "-o", png, "--layout",
                            layoutFile}),
              0)
        << cold.Err();
    EXPECT_NE(cold.Out().find("made the demo pictures"), std::string::npos) << cold.Out();
    // The demo's budget is 64 MB: the whole process stays within 100 MB above it.
    const std::size_t peak = cold.Out().find("peak memory: ");
    ASSERT_NE(peak, std::string::npos) << cold.Out();
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_LT(std::stod(cold.Out().substr(peak + 13)), 164.0) << cold.Out();
#endif

    const CPxImageData24 image = LoadPicture(png);
    ASSERT_FALSE(image.IsEmpty());
    json layout;
    std::ifstream(layoutFile) >> layout;

    int pictures = 0;
    for (const json* entry : Clear(layout, "picture", image.GetWidth(), image.GetHeight())) {
        const AppBox box = BoxOf(*entry);
        if (box.width < 24)
            continue;
        SCOPED_TRACE((*entry)["id"].get<std::string>());
        const CPxImageData24 source = LoadPicture((*entry)["version"].get<std::string>());
        EXPECT_LT(MeanDifference(image, box, source), kSamePicture);
        ++pictures;
    }
    EXPECT_GE(pictures, 6);

    int labels = 0;
    for (const json* entry : Clear(layout, "text", image.GetWidth(), image.GetHeight())) {
        const AppBox box = BoxOf(*entry);
        if (box.width < 60)
            continue;
        SCOPED_TRACE((*entry)["id"].get<std::string>());
        ExpectLabel(image, box, Colour((*entry)["color"]), Colour((*entry)["background"]));
        ++labels;
    }
    EXPECT_GE(labels, 4);

    int arrows = 0;
    for (const json& line : layout) {
        if (line["type"] != "line")
            continue;
        const int x = (line["start"][0].get<int>() + line["end"][0].get<int>()) / 2;
        const int y = (line["start"][1].get<int>() + line["end"][1].get<int>()) / 2;
        const AppBox around{x - 2, y - 2, 5, 5};
        bool hidden = !Inside(around, image.GetWidth(), image.GetHeight());
        for (const json& other : layout)
            hidden = hidden || (other.contains("box") && Overlap(around, BoxOf(other)));
        if (hidden || line["width"].get<int>() < 2)
            continue;
        SCOPED_TRACE(line["id"].get<std::string>());
        EXPECT_GE(CountNear(image, around, Colour(line["color"]), 40), 3);
        ++arrows;
    }
    EXPECT_GE(arrows, 4);

    // The pictures are made once: the next run finds them in the cache.
    AppProcess warm;
    ASSERT_EQ(RunApp(warm, {"render", "--cache-dir", dir.Path() + "/cache", "-o", png}), 0)
        << warm.Err();
    EXPECT_EQ(warm.Out().find("made the demo pictures"), std::string::npos) << warm.Out();
}

// The example's camera sees the plane z = 2000 at one pixel per scene unit, centred on
// the 640 x 360 screen: a scene point (x, y) is the pixel (320 + x, 180 - y).
TEST(RenderTest, ExampleShowsEachObjectWhereItsFilePutsIt) {
    const QrTempDir dir;
    const std::string png = dir.Path() + "/diagram.png";
    const std::string examples = ORVANE_EXAMPLES_DIR;
    AppProcess app;
    ASSERT_EQ(RunApp(app, {"render", examples + "/diagram/scene.json", "-o", png, "-q"}), 0)
        << app.Err();
    EXPECT_EQ(app.Out(), "");
    const CPxImageData24 image = LoadPicture(png);
    ASSERT_EQ(image.GetWidth(), 640);
    ASSERT_EQ(image.GetHeight(), 360);

    const CPxImageData24 harbour = LoadPicture(examples + "/gallery/pictures/p00-160.jpg");
    const CPxImageData24 valley = LoadPicture(examples + "/gallery/pictures/p01-160.png");
    EXPECT_LT(MeanDifference(image, AppBox{30, 50, 240, 180}, harbour), kSamePicture);
    EXPECT_LT(MeanDifference(image, AppBox{370, 50, 240, 180}, valley), kSamePicture);
    // Their frames: 4 pixels inside each box.
    EXPECT_EQ(CountNear(image, AppBox{30, 50, 4, 180}, Colour("#1f5fbf"), 0), 4 * 180);
    // The arrow between them, and the paper colour around it.
    EXPECT_EQ(CountNear(image, AppBox{290, 139, 40, 3}, Colour("#d0391b"), 8), 120);
    EXPECT_EQ(CountNear(image, AppBox{290, 160, 40, 3}, Colour("#f4f1ea"), 0), 120);
    ExpectLabel(image, AppBox{30, 252, 240, 36}, Colour("#202020"), Colour("#ffffff"));
    ExpectLabel(image, AppBox{370, 252, 240, 36}, Colour("#202020"), Colour("#ffffff"));
}

// The same scene with its pictures named by URL, served by Python's own HTTP server,
// renders the very pixels it renders from the files.
TEST(RenderTest, PicturesNamedByUrlShowAsFromFiles) {
    const QrTempDir dir;
    const std::string examples = ORVANE_EXAMPLES_DIR;
    const QrTestServer server(examples + "/gallery");
    ASSERT_TRUE(server.IsRunning());
    json scene = json::parse(std::ifstream(examples + "/diagram/scene.json"));
    const std::string local = "../gallery/";
    for (json& object : scene["objects"]) {
        if (!object.contains("versions"))
            continue;
        for (json& version : object["versions"]) {
            const std::string name = version["name"];
            ASSERT_EQ(name.rfind(local, 0), 0u) << name;
            version["name"] = server.Url(name.substr(local.size()));
        }
    }
    const std::string byUrl = dir.Path() + "/scene.json";
    std::ofstream(byUrl) << scene.dump(2);

    AppProcess fromFiles, fromServer;
    ASSERT_EQ(RunApp(fromFiles, {"render", examples + "/diagram/scene.json", "-o",
                                 dir.Path() + "/files.png", "-q"}),
              0)
        << fromFiles.Err();
    ASSERT_EQ(RunApp(fromServer, {"render", byUrl, "-o", dir.Path() + "/urls.png", "-q"}), 0)
        << fromServer.Err();
    const CPxImageData24 a = LoadPicture(dir.Path() + "/files.png");
    const CPxImageData24 b = LoadPicture(dir.Path() + "/urls.png");
    ASSERT_FALSE(a.IsEmpty());
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    int differing = 0;
    for (int y = 0; y < a.GetHeight(); ++y)
        differing += std::memcmp(a.GetScanLine(y), b.GetScanLine(y), 3 * a.GetWidth()) != 0;
    EXPECT_EQ(differing, 0) << "rows that differ";
}

}  // namespace
