// The image object on its own: which version it chooses, when it asks the callback,
// what it releases, what it hands out while a version loads or after it failed.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "ObjectsFixture.h"

using namespace ovobjtest;

namespace {

const COvFrameStyle kNoFrame{0, 0, {0, 0, 0}};

struct Version {
    int width, height;
};

// An image object with the versions in the order given, all of priority 0.
int Build(COvImageObject& image, COvControl& control, std::initializer_list<Version> versions,
          COvImageObject::SelectFunc callback = nullptr, const char* name = "v") {
    int rc = 0;
    bool first = true;
    for (const Version& v : versions) {
        const std::string file =
            std::string(name) + std::to_string(v.width) + "x" + std::to_string(v.height);
        if (first) {
            rc = image.Init(&control, file.c_str(), OV_3DPOINT(0, 0, 0), OV_SIZE3D(10, 10),
                            OV_SIZE(v.width, v.height), 0, 1, nullptr, callback, kNoFrame, 0, 0);
        } else {
            rc = image.AddImage(file.c_str(), OV_SIZE(v.width, v.height), 0, 0);
        }
        first = false;
        if (rc != 0)
            return rc;
    }
    return rc;
}

// GetImage, with any lock handed out given back at once.
int Ask(COvImageObject& image, COvControl& control, COvSize size) {
    COvMemData* data = nullptr;
    const int rc = image.GetImage(size, &data);
    control.UnLockData(data);
    return rc;
}

Version Chosen(const COvImageObject& image) {
    const COvImageInfo* now = image.GetNowImageData().m_pImageInfo;
    return now ? Version{now->m_nWidth, now->m_nHeight} : Version{0, 0};
}

// What the selection callback saw.
struct Selections {
    int calls = 0;
    COvImageInfo* previous = nullptr;
    COvImageInfo* next = nullptr;
    bool releasePrevious = false;
};
Selections g_Selections;

void Select(const COvImageInfoList*, COvImageInfoList* release, COvImageInfo* previous,
            COvImageInfo* next) {
    ++g_Selections.calls;
    g_Selections.previous = previous;
    g_Selections.next = next;
    if (g_Selections.releasePrevious && previous != nullptr)
        release->Add(previous);
}

class ImageObject : public ::testing::Test {
protected:
    void SetUp() override { g_Selections = Selections(); }
    // A control that was never started: every datum answers -1, nothing loads.
    COvControl idle;
};

}  // namespace

TEST_F(ImageObject, ChoosesTheVersionNearestToTheShownSize) {
    struct Case {
        const char* what;
        std::initializer_list<Version> versions;
        COvSize request;
        Version chosen;
    };
    const Case cases[] = {
        {"nearest key", {{100, 100}, {200, 200}, {400, 400}}, {150, 150}, {200, 200}},
        {"tie goes to the larger", {{60, 80}, {120, 160}}, {90, 120}, {120, 160}},
        {"equal keys: the later added", {{30, 40}, {40, 30}}, {30, 40}, {40, 30}},
        {"sides past 46340 do not overflow",
         {{50000, 50000}, {60000, 60000}},
         {54000, 54000},
         {50000, 50000}},
        {"request past 46340 picks the largest",
         {{10, 10}, {2000, 2000}},
         {INT_MAX, 1},
         {2000, 2000}},
    };
    for (const Case& c : cases) {
        COvImageObject image;
        ASSERT_EQ(Build(image, idle, c.versions), 0) << c.what;
        Ask(image, idle, c.request);
        EXPECT_EQ(Chosen(image).width, c.chosen.width) << c.what;
        EXPECT_EQ(Chosen(image).height, c.chosen.height) << c.what;
    }
}

TEST_F(ImageObject, CallbackRunsOncePerNewChoice) {
    COvImageObject image;
    ASSERT_EQ(Build(image, idle, {{100, 100}, {200, 200}}, Select), 0);
    Ask(image, idle, OV_SIZE(200, 200));
    Ask(image, idle, OV_SIZE(200, 200));
    EXPECT_EQ(g_Selections.calls, 1);
    EXPECT_EQ(g_Selections.previous, nullptr);
    COvImageInfo* large = g_Selections.next;
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(large->m_nWidth, 200);

    // A new version makes the same size choose again.
    ASSERT_EQ(image.AddImage("v300", OV_SIZE(300, 300), 0, 0), 0);
    Ask(image, idle, OV_SIZE(200, 200));
    EXPECT_EQ(g_Selections.calls, 2);
    EXPECT_EQ(g_Selections.previous, nullptr) << "AddImage drops the current choice";
    Ask(image, idle, OV_SIZE(100, 100));
    EXPECT_EQ(g_Selections.calls, 3);
    EXPECT_EQ(g_Selections.previous, large);
}

TEST_F(ImageObject, RemovesVersionsBySizeOrName) {
    COvImageObject image;
    ASSERT_EQ(Build(image, idle, {{200, 200}, {50, 400}, {100, 100}}), 0);
    ASSERT_EQ(image.AddImage("other", OV_SIZE(200, 200), 0, 0), 0);
    COvSize recommended{0, 0};
    EXPECT_TRUE(image.GetRecommendedSize(recommended));
    EXPECT_EQ(recommended.height, 400) << "the largest key, not the widest";

    image.RemoveImage(OV_SIZE(200, 200));  // both, whatever their names
    image.RemoveImage("v100x100");
    const COvImageInfoList* list = image.GetImageList();
    ASSERT_EQ(list->GetCount(), 1);
    EXPECT_EQ(list->GetImageInfo(0)->m_nWidth, 50);
    image.RemoveAllImages();
    EXPECT_EQ(Ask(image, idle, OV_SIZE(10, 10)), OV_IMAGE_NO_VERSION);
}

TEST_F(ImageObject, RefusesBadInputWithNamedCodes) {
    LoggedControl log;
    COvImageObject image;
    auto init = [&](const char* name) {
        return image.Init(&log.control, name, {0, 0, 0}, {1, 1}, OV_SIZE(1, 1), 0, 1, nullptr,
                          nullptr, kNoFrame, 0, 0);
    };
    EXPECT_EQ(init(nullptr), OV_IMAGE_NULL_NAME);
    ASSERT_EQ(init("a"), 0);
    const size_t before = log.Lines().size();
    EXPECT_EQ(image.AddImage("b", OV_SIZE(0, 5), 0, 0), OV_IMAGE_BAD_SIZE);
    EXPECT_EQ(log.Lines().size(), before) << "a side below 1 is refused quietly";
    EXPECT_EQ(image.AddImage(nullptr, OV_SIZE(5, 5), 0, 0), OV_IMAGE_NULL_NAME);
    EXPECT_EQ(image.AddImage("c", OV_SIZE(INT_MAX, INT_MAX), 0, 0), OV_IMAGE_BAD_DIAGONAL);
    EXPECT_EQ(image.GetImage(OV_SIZE(1, 1), nullptr), OV_E_NULL_OUTPUT);
    EXPECT_EQ(image.GetImageList()->GetCount(), 1);
    // Each refusal but the quiet one left one line: Init's and AddImage's null names.
    const std::pair<int, int> lines[] = {
        {OV_IMAGE_NULL_NAME, 2}, {OV_IMAGE_BAD_DIAGONAL, 1}, {OV_E_NULL_OUTPUT, 1}};
    for (const auto& [code, count] : lines)
        EXPECT_EQ(CountLines(log, {"[COvImageObject]", "[" + std::to_string(code) + "]"}), count);
}

TEST_F(ImageObject, HandsOutASubstituteWhileLoadingAndAfterAFailedLoad) {
    LoggedControl log;
    PictureFile small(8, 8, ovtest::kRed), large(64, 64, ovtest::kBlue);
    COvImageObject image;
    // The small version loads on the asking thread whenever it serves as a substitute.
    ASSERT_EQ(image.Init(&log.control, small.Path(), {0, 0, 0}, {1, 1}, OV_SIZE(8, 8), 0, 1,
                         nullptr, nullptr, kNoFrame, 2, 0),
              0);
    ASSERT_EQ(image.AddImage(large.Path(), OV_SIZE(64, 64), 0, 0), 0);
    ASSERT_EQ(image.AddImage("/nonexistent/ovobjtest.png", OV_SIZE(512, 512), 0, 0), 0);

    COvMemData* data = nullptr;
    EXPECT_EQ(image.GetImage(OV_SIZE(64, 64), &data), OV_DATA_QUEUED);
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(data->m_Info.m_strName, small.Path());
    log.control.UnLockData(data);

    int rc = OV_DATA_QUEUED;
    ASSERT_TRUE(OvPumpUntil(
        [&] { return (rc = Ask(image, log.control, OV_SIZE(512, 512))) != OV_DATA_QUEUED; }));
    EXPECT_EQ(rc, OV_DATA_FAILED);
    EXPECT_EQ(image.GetImage(OV_SIZE(512, 512), &data), OV_DATA_FAILED);
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(data->m_Info.m_strName, small.Path());
    log.control.UnLockData(data);
    EXPECT_EQ(CountLines(log, {"COvImageObject", "GetImage", "/nonexistent/ovobjtest.png"}), 1)
        << "a broken file is reported once, not at every redraw";
}

TEST_F(ImageObject, LeavingTheViewReleasesWhatTheCallbackLists) {
    LoggedControl log;
    PictureFile file(16, 16, ovtest::kGreen);
    COvImageObject image;
    ASSERT_EQ(image.Init(&log.control, file.Path(), {0, 0, 0}, {1, 1}, OV_SIZE(16, 16), 0, 1,
                         nullptr, Select, kNoFrame, 0, 0),
              0);
    ASSERT_TRUE(OvPumpUntil([&] { return Ask(image, log.control, OV_SIZE(16, 16)) == 0; }));

    g_Selections.releasePrevious = true;
    image.OutScreen();  // not in view before: nothing happens
    EXPECT_EQ(g_Selections.calls, 1);
    image.SetOutScreen(1);
    image.OutScreen();
    EXPECT_EQ(g_Selections.calls, 2);
    EXPECT_EQ(g_Selections.next, nullptr);
    EXPECT_EQ(Ask(image, log.control, OV_SIZE(16, 16)), OV_DATA_QUEUED)
        << "the released version is loaded again";
}
