// Bad scene files and command lines: each is refused with a message that names the
// place of the fault and an exit status that tells its kind, and nothing is written
// (but for a picture that cannot be loaded, which is left out of the frame).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "AppProcess.h"
#include "AppTestSupport.h"
#include "QrTestServer.h"

namespace {

struct BadCase {
    const char* name;
    const char* scene;  // null: no scene file is written
    std::vector<std::string> options;
    int status;
    const char* message;
};

// A scene with one picture; each case breaks one thing of it.
#define PICTURE(body) R"({"type": "picture", "id": "a", "position": [0, 0, 2000], )" body "}"
#define SCENE(objects) R"({"cameras": [{"id": "c"}], "objects": [)" objects "]}"
#define VERSION R"("versions": [{"name": "pic.png", "width": 8, "height": 6}])"

TEST(BadInputTest, IsRefusedWithItsPlaceAndStatus) {
    const BadCase cases[] = {
        {"syntax", "{\n  \"cameras\": [}", {}, 3, "bad.json:2:15: syntax error"},
        {"empty", "", {}, 3, "bad.json:1:1: syntax error"},
        {"not an object", "[]", {}, 3, "bad.json: top level: expected an object, found an array"},
        {"missing cameras",
         R"({"objects": []})",
         {},
         3,
         "top level: missing required key \"cameras\""},
        {"missing field",
         SCENE(PICTURE(R"("size": [4, 3], "versions": [{"name": "pic.png", "height": 6}])")),
         {},
         3,
         "/objects/0/versions/0: missing required key \"width\""},
        {"wrong type",
         SCENE(PICTURE(R"("size": [4, "tall"], )" VERSION)),
         {},
         3,
         "/objects/0/size/1: expected a number, found \"tall\""},
        {"unknown key",
         SCENE(PICTURE(R"("size": [4, 3], "colour": "#ffffff", )" VERSION)),
         {},
         3,
         "/objects/0/colour: unknown key \"colour\""},
        {"out of range",
         SCENE(PICTURE(
             R"("size": [4, 3], "versions": [{"name": "pic.png", "width": 0, "height": 6}])")),
         {},
         3,
         "/objects/0/versions/0/width: must be a whole number from 1 to 32768, found 0"},
        {"missing picture",
         SCENE(PICTURE(
             R"("size": [4, 3], "versions": [{"name": "gone.png", "width": 8, "height": 6}])")),
         {},
         3,
         "/objects/0/versions/0/name: no picture file at "},
        {"bad colour",
         R"({"screen": {"background": "#12345"}, "cameras": [{}], "objects": []})",
         {},
         3,
         "/screen/background: expected a colour as \"#rrggbb\", found \"#12345\""},
        {"twice the same id",
         SCENE(PICTURE(R"("size": [4, 3], )" VERSION) ", " PICTURE(R"("size": [4, 3], )" VERSION)),
         {},
         3,
         "/objects/1: id \"a\" is used twice (also at /objects/0)"},
        {"unknown type",
         SCENE(R"({"type": "circle"})"),
         {},
         3,
         "/objects/0/type: expected \"picture\", \"text\" or \"line\", found \"circle\""},
        {"parallel camera",
         R"({"cameras": [{"forward": [0, 0, 2], "up": [0, 0, -1]}], "objects": []})",
         {},
         3,
         "/cameras/0: \"forward\" and \"up\" must not be parallel"},
        {"no such file", nullptr, {}, 3, "gone.json: cannot read the scene file"},
        // A file that is there but no picture: the frame is written without it.
        {"unreadable picture",
         SCENE(PICTURE(
             R"("size": [4, 3], "versions": [{"name": "bad.json", "width": 8, "height": 6}])")),
         {},
         4,
         "cannot load the picture "},
        {"no such camera", SCENE(""), {"--camera", "side"}, 2, "the scene has no camera \"side\""},
        {"bad size", SCENE(""), {"--size", "640by480"}, 2, "--size: expected WIDTHxHEIGHT"},
        {"bad option", SCENE(""), {"--frame", "3"}, 2, "--frame"},
    };
    const QrTempDir dir;
    WriteTestPicture(dir.Path() + "/pic.png", 8, 6);
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = dir.Path() + "/gone.json";
        if (c.scene != nullptr) {
            file = dir.Path() + "/bad.json";
            std::ofstream(file) << c.scene;
        }
        const std::string output = dir.Path() + "/out.png";
        std::vector<std::string> arguments = {"render", file, "-o", output};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        AppProcess app;
        EXPECT_EQ(RunApp(app, arguments), c.status) << app.Err();
        EXPECT_NE(app.Err().find(c.message), std::string::npos) << app.Err();
        struct stat info {};
        EXPECT_EQ(stat(output.c_str(), &info) == 0, c.status == 4) << "output written or not";
        std::remove(output.c_str());
    }
}

}  // namespace
