// The screen's cameras, update cycle, timers, read level and hit tests.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "OvData.h"
#include "Quorra.h"
#include "ScreenFixture.h"
#include "data/OvMemCache.h"
#include "data/OvMemManager.h"

using namespace ovscreentest;
using namespace std::chrono_literals;

namespace {

const CPxRGB kRed{255, 0, 0};
const CPxRGB kBlue{0, 0, 255};

// Makes data of 1000 bytes from any stream.
class SizedHandler final : public COvDataHandler {
public:
    void Free() override { delete this; }
    void FreeData(void** data) override {
        delete static_cast<char*>(*data);
        *data = nullptr;
    }
    void* CreateData(CQrReadStream*, int* size) override {
        *size = 1000;
        return new char('d');
    }
};

// Pumps until the screen's timer ran at least once (or a second has passed).
int PumpOneTick() {
    int ticks = 0;
    for (int i = 0; i < 50 && ticks == 0; ++i)
        ticks += OvPumpMessages(100);
    return ticks;
}

}  // namespace

TEST(Screen, BeforeInit) {
    COvScreen screen;
    screen.SetBackColor(CPxRGB{9, 9, 9});
    EXPECT_EQ(Hex(screen.GetBackColor()), "#000000");
    EXPECT_EQ(screen.GetSize().width, 0);
    EXPECT_EQ(screen.GetCenter().x, 0);
    EXPECT_EQ(screen.GetCanvas(), nullptr);
    EXPECT_EQ(screen.UpdateCanvas(), 0);
    EXPECT_EQ(screen.GetUpdateInterval(), -1);
    EXPECT_EQ(screen.GetReadLevel(), 1);
    COvObject* object = nullptr;
    EXPECT_EQ(screen.GetDisplayedObject(0, object, nullptr, nullptr), OV_SCREEN_NO_SUCH_OBJECT);
    EXPECT_EQ(screen.GetObjectAtPos(OV_2DPOINT(0, 0)), nullptr);
    EXPECT_EQ(screen.Init(nullptr, nullptr, CPxRGB{0, 0, 0}, nullptr, 0, 0), OV_E_NULL_CONTROL);
}

TEST(Screen, InitSizesToTheWindowAndStartsTheTimer) {
    LoggedControl log;
    COvMemoryWindow window(301, 200);
    COvScreen screen;
    screen.SetReadLevel(7);
    ASSERT_EQ(screen.Init(&log.control, &window, CPxRGB{300, -4, 17}, "", 9, 0), 0);
    EXPECT_EQ(screen.GetSize().width, 301);
    EXPECT_EQ(screen.GetCenter().x, 150);
    EXPECT_EQ(screen.GetCenter().y, 100);
    EXPECT_EQ(Hex(screen.GetBackColor()), "#ff0011");
    EXPECT_EQ(screen.GetBackImageDrawMode(), 9);
    EXPECT_STREQ(screen.GetBackImage(), "");
    EXPECT_EQ(screen.GetReadLevel(), 0);
    EXPECT_EQ(screen.GetWindow(), &window);
    // No objects: the slow check runs.
    EXPECT_EQ(screen.GetUpdateInterval(), -1);
    ASSERT_EQ(screen.ReDraw(), 0);
    EXPECT_TRUE(OvPixelsAre(OvPixelsOf(window), {{300, 199, CPxRGB{255, 0, 17}}}));

    // Without a window the screen has no area and ReDraw has nowhere to go.
    COvScreen headless;
    ASSERT_EQ(headless.Init(&log.control, nullptr, CPxRGB{0, 0, 0}, nullptr, 0, 0), 0);
    EXPECT_EQ(headless.GetSize().width, 0);
    EXPECT_EQ(headless.ReDraw(), OV_SCREEN_NO_DC);
    EXPECT_TRUE(LoggedFailure(log, "COvScreen", "WindowDraw", OV_SCREEN_NO_DC));
}

TEST(Screen, WindowTooLargeForThePictureFailsEveryDraw) {
    // A window of the client's own kind that reports more pixels than a picture may have.
    class HugeWindow final : public COvWindow {
    public:
        COvSize GetClientSize() const override { return size; }
        int Present(const COvPicture&) override { return 0; }
        COvSize size{100, 80};
    };
    LoggedControl log;
    HugeWindow window;
    COvScreen screen;
    ASSERT_EQ(screen.Init(&log.control, &window, CPxRGB{1, 2, 3}, nullptr, 0, 0), 0);
    window.size = COvSize{40000, 100};
    EXPECT_EQ(screen.ReDraw(), OV_E_NOMEMORY);
    EXPECT_TRUE(LoggedFailure(log, "COvScreen", "Draw", OV_E_NOMEMORY));
    // Tried again, not passed over as done.
    EXPECT_EQ(screen.ReDraw(), OV_E_NOMEMORY);
    window.size = COvSize{120, 90};
    EXPECT_EQ(screen.ReDraw(), 0);
    EXPECT_EQ(screen.GetSize().width, 120);
}

TEST(Screen, CamerasMoveBetweenScreensWithTheirEvents) {
    LoggedControl log;
    ScreenJournal journal(log.control);
    COvMemoryWindow window(100, 100);
    COvScreen first, second;
    COvCamera one, two;
    std::map<const void*, std::string> names = {
        {&first, "A"}, {&second, "B"}, {&one, "one"}, {&two, "two"}};
    journal.name = [&](const void* p) { return names[p]; };
    first.Init(&log.control, &window, CPxRGB{0, 0, 0}, nullptr, 0, 0);
    second.Init(&log.control, &window, CPxRGB{0, 0, 0}, nullptr, 0, 0);
    InitDefaultCamera(one, log.control);
    InitDefaultCamera(two, log.control);

    first.AddCamera(&one);
    first.AddCamera(&one);  // already here
    first.AddCamera(nullptr);
    first.AddCamera(&two);
    EXPECT_EQ(journal.Take(), (std::vector<std::string>{"added:A:one", "added:A:two"}));
    EXPECT_EQ(first.GetCameraList()->GetCount(), 2);
    EXPECT_EQ(one.GetScreen(), &first);

    second.AddCamera(&one);
    EXPECT_EQ(journal.Take(), (std::vector<std::string>{"removed:A:one", "added:B:one"}));
    EXPECT_EQ(one.GetScreen(), &second);
    EXPECT_EQ(first.GetCameraList()->GetCount(), 1);

    first.RemoveCamera(&one);  // not on this screen
    EXPECT_TRUE(journal.Take().empty());
    second.AddCamera(&two);
    first.AddCamera(&one);
    journal.Take();
    first.AddCamera(&two);
    // Last added first.
    first.RemoveAllCameras();
    EXPECT_EQ(journal.Take(), (std::vector<std::string>{"removed:B:two", "added:A:two",
                                                        "removed:A:two", "removed:A:one"}));
    EXPECT_EQ(one.GetScreen(), nullptr);
    EXPECT_EQ(first.GetCameraList()->GetCount(), 0);
}

TEST(Screen, CameraOperationsReachTheScreen) {
    Stage stage;
    ProbeObject object;
    stage.Add(object, OV_3DPOINT(0, 0, 0), OV_SIZE3D(3, 3));
    struct Step {
        const char* name;
        std::function<void()> run;
        int draws, presents;  // what one run adds
    };
    const Step steps[] = {
        {"camera Update", [&] { stage.camera.Update(); }, 1, 1},
        {"camera UpdateScreen", [&] { stage.camera.UpdateScreen(); }, 1, 0},
        {"scene Update", [&] { stage.scene.Update(); }, 1, 1},
        {"screen UpdateCamera", [&] { stage.screen.UpdateCamera(); }, 0, 0},
    };
    for (const Step& step : steps) {
        const int drawn = object.log.drawn;
        const long long presents = stage.window.GetPresentCount();
        step.run();
        EXPECT_EQ(object.log.drawn - drawn, step.draws) << step.name;
        EXPECT_EQ(stage.window.GetPresentCount() - presents, step.presents) << step.name;
    }
    // UpdateCamera rebuilt the view and marked the camera for the next canvas update.
    EXPECT_EQ(stage.camera.IsUpdated(), 1);
    EXPECT_EQ(stage.screen.GetObjectAtPos(OV_2DPOINT(320, 240)), &object);
}

TEST(Screen, AddingACameraStopsTheTimerUntilTheNextUpdate) {
    Stage stage;
    ProbeObject a;
    a.interval = 300;
    stage.Add(a, OV_3DPOINT(0, 0, 0), OV_SIZE3D(10, 10));
    stage.scene.Update();
    EXPECT_EQ(stage.screen.GetUpdateInterval(), 300);
    COvCamera other;
    InitDefaultCamera(other, stage.log.control);
    stage.screen.AddCamera(&other);
    // Stopped: pumping runs nothing of this screen; the interval keeps its value.
    EXPECT_EQ(OvPumpMessages(350), 0);
    EXPECT_EQ(stage.screen.GetUpdateInterval(), 300);
    stage.screen.UpdateCanvas();
    EXPECT_EQ(PumpOneTick(), 1);
}

TEST(Screen, TimerRunsAtTheShortestPeriodAskedFor) {
    Stage stage;
    COvControl& control = stage.log.control;
    control.SetMaxMem(100);
    auto* creator = new CQrMemoryStreamCreator;
    creator->RegisterBuffer("first", "x", 1);
    creator->RegisterBuffer("second", "y", 1);
    control.AddStreamCreator(creator);
    control.AddDataHandler(7, new SizedHandler);
    // Loads (or finds) the datum of 1000 bytes of that name and gives it back; the
    // cache keeps it.
    auto request = [&control](const char* name) {
        COvDataInfo info;
        info.Init(7, name, 2, 1);  // shared by name
        COvMemData* data = nullptr;
        const int code = control.GetData(&data, &info, nullptr);
        if (data != nullptr)
            control.UnLockData(data);
        return code;
    };
    ProbeObject slow, fast, hidden, idle;
    slow.interval = 500;
    fast.interval = 200;
    hidden.interval = 20;  // hidden objects do not count
    idle.interval = -5;    // neither do failures
    stage.Add(slow, OV_3DPOINT(-20, 0, 0), OV_SIZE3D(5, 5));
    stage.Add(fast, OV_3DPOINT(20, 0, 0), OV_SIZE3D(5, 5));
    stage.Add(hidden, OV_3DPOINT(0, 20, 0), OV_SIZE3D(5, 5));
    stage.Add(idle, OV_3DPOINT(0, -20, 0), OV_SIZE3D(5, 5));
    hidden.SetVisible(0);
    stage.scene.Update();
    EXPECT_EQ(stage.screen.GetUpdateInterval(), 200);
    EXPECT_EQ(hidden.log.prepared, 0);
    EXPECT_EQ(fast.log.prepared, fast.log.unprepared);

    // Each tick, 200 ms apart, updates the canvas and redraws the window.
    const long long presents = stage.window.GetPresentCount();
    const int prepared = fast.log.prepared;
    auto start = stage.clock.Elapsed();
    ASSERT_EQ(OvPumpMessages(5000), 1);
    EXPECT_EQ(stage.clock.Elapsed() - start, 200ms);
    EXPECT_EQ(fast.log.prepared, prepared + 1);
    EXPECT_EQ(fast.log.drawn, fast.log.unprepared);
    EXPECT_EQ(stage.window.GetPresentCount(), presents + 1);

    // Nobody asks any more: the slow check neither draws nor touches the window. The
    // update trims the cache, which is over its budget (the newest datum stays).
    fast.interval = slow.interval = 0;
    ASSERT_EQ(request("first"), 0);
    stage.scene.Update();
    EXPECT_EQ(stage.screen.GetUpdateInterval(), -1);
    const long long after = stage.window.GetPresentCount();
    const int drawn = fast.log.drawn;
    start = stage.clock.Elapsed();
    EXPECT_EQ(OvPumpMessages(5000), 1);
    EXPECT_EQ(stage.clock.Elapsed() - start, 2000ms);
    EXPECT_EQ(fast.log.drawn, drawn);
    EXPECT_EQ(stage.window.GetPresentCount(), after);

    // The cache, over its budget more than 2000 ms after its last trim, finds at its
    // next insertion that a trim is due: the next slow tick requests and releases the
    // shown objects' data, then trims.
    ASSERT_EQ(request("first"), 0);
    ASSERT_EQ(request("second"), 0);
    ASSERT_TRUE(control.IsNeedDataUpdate());
    ASSERT_EQ(control.m_pMemManager->m_Cache.GetStats().records, 2);
    const int requested = fast.log.prepared;
    EXPECT_EQ(OvPumpMessages(2500), 1);
    EXPECT_EQ(fast.log.prepared, requested + 1);
    EXPECT_EQ(fast.log.unprepared, fast.log.prepared);
    EXPECT_EQ(fast.log.drawn, drawn);
    EXPECT_EQ(stage.window.GetPresentCount(), after);
    EXPECT_FALSE(control.IsNeedDataUpdate());
    EXPECT_EQ(control.m_pMemManager->m_Cache.GetStats().records, 1);
}

TEST(Screen, ReadLevelIsClampedWhenDrawing) {
    Stage stage;
    struct Case {
        int level, threads;
    };
    for (const Case c : {Case{25, 10}, Case{-3, 1}, Case{0, 1}, Case{4, 4}}) {
        stage.screen.SetReadLevel(c.level);
        EXPECT_EQ(stage.screen.GetReadLevel(), c.level);
        stage.screen.UpdateCanvas();
        EXPECT_EQ(stage.log.control.m_pMemManager->GetThreadLimit(), c.threads) << c.level;
    }
}

TEST(Screen, UnchangedViewIsNeitherMergedNorSorted) {
    Stage stage;
    ProbeObject near, far;
    stage.Add(near, OV_3DPOINT(-20, 0, 0), OV_SIZE3D(5, 5));
    stage.Add(far, OV_3DPOINT(20, 0, 100), OV_SIZE3D(5, 5));
    stage.scene.Update();
    ASSERT_EQ(stage.Displayed(), (std::vector<COvObject*>{&far, &near}));

    // Swap the depths behind the screen's back: an unchanged view keeps its order.
    const CPtrList* objects = stage.camera.GetVirtualObject();
    auto* first = static_cast<COvVirtualObject*>(objects->GetHead());
    auto* second = static_cast<COvVirtualObject*>(objects->GetTail());
    first->Set3DPoint(OV_3DPOINT(0, 0, 900));
    second->Set3DPoint(OV_3DPOINT(0, 0, 100));
    stage.screen.UpdateCanvas();
    EXPECT_EQ(stage.Displayed(), (std::vector<COvObject*>{&far, &near}));

    // A marked camera makes the next update merge and sort again.
    stage.camera.CameraUpdateOn(1);
    stage.screen.UpdateCanvas();
    EXPECT_EQ(stage.Displayed(), (std::vector<COvObject*>{&near, &far}));
    EXPECT_EQ(stage.camera.IsUpdated(), 0);
}

TEST(Screen, HitTestsFindShownObjectsInDepthOrder) {
    Stage stage;
    ProbeObject back, front, hidden, aside;
    COvLineObject line;
    // Depth 400 and 300, both centred on the canvas centre (320, 240).
    stage.Add(front, OV_3DPOINT(0, 0, 0), OV_SIZE3D(3, 3));   // 20 x 20 pixels
    stage.Add(back, OV_3DPOINT(0, 0, 100), OV_SIZE3D(8, 8));  // 40 x 40 pixels
    stage.Add(hidden, OV_3DPOINT(0, 0, 50), OV_SIZE3D(6, 6));
    stage.Add(aside, OV_3DPOINT(31, 0, 0), OV_SIZE3D(3, 3));  // centred at x 526
    hidden.SetVisible(0);
    line.Init(&stage.log.control, OV_3DPOINT(-10, 0, -10), OV_3DPOINT(10, 0, -10),
              COvLineStyle{2, kBlue, 0, 0, 0}, 0, 1, nullptr);
    stage.scene.AddObject(&line);
    stage.scene.Update();

    EXPECT_EQ(stage.Displayed(), (std::vector<COvObject*>{&back, &hidden, &front, &aside, &line}));
    struct Case {
        int x, y;
        COvObject* top;
        std::vector<COvObject*> all;
    };
    const Case cases[] = {
        {320, 240, &front, {&back, &front}},
        {310, 230, &front, {&back, &front}},  // the 20-pixel box reaches 310..330
        {309, 240, &back, {&back}},
        {300, 260, &back, {&back}},  // the 40-pixel box reaches 300..340
        {299, 240, nullptr, {}},
        {536, 250, &aside, {&aside}},
        {516, 240, &aside, {&aside}},
        {515, 240, nullptr, {}},
        {5, 5, nullptr, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(stage.screen.GetObjectAtPos(OV_2DPOINT(c.x, c.y)), c.top) << c.x << "," << c.y;
        COvObjectList list;
        list.Add(&line);  // entries already there stay and count
        const int count = stage.screen.GetAllObjectsAtPos(OV_2DPOINT(c.x, c.y), &list);
        EXPECT_EQ(count, static_cast<int>(c.all.size()) + 1);
        std::vector<COvObject*> found;
        for (void* pos = list.Begin(); pos != list.End();)
            found.push_back(list.GetNext(pos));
        found.erase(found.begin());
        EXPECT_EQ(found, c.all) << c.x << "," << c.y;
    }
    EXPECT_EQ(stage.screen.GetAllObjectsAtPos(OV_2DPOINT(0, 0), nullptr), OV_E_NULL_OUTPUT);

    // The displayed entries: top-left corner and size, hidden ones included.
    COvObject* object = nullptr;
    CPx2DPoint pos{0, 0};
    COvSize size{0, 0};
    ASSERT_EQ(stage.screen.GetDisplayedObject(0, object, &pos, &size), 0);
    EXPECT_EQ(object, &back);
    EXPECT_EQ(pos.x, 300);
    EXPECT_EQ(pos.y, 220);
    EXPECT_EQ(size.width, 40);
    ASSERT_EQ(stage.screen.GetDisplayedObject(1, object, nullptr, nullptr), 0);
    EXPECT_EQ(object, &hidden);
    object = &line;
    EXPECT_EQ(stage.screen.GetDisplayedObject(-1, object, &pos, &size), -1);
    EXPECT_EQ(stage.screen.GetDisplayedObject(5, object, &pos, &size), -1);
    EXPECT_EQ(object, &line);
    stage.scene.RemoveObject(&line);
}

TEST(Screen, IsObjectInTellsWhatCannotBeSeen) {
    Stage stage;  // 640 x 480
    struct Case {
        double z;
        int x, y, w, h;
        int hidden;
    };
    const Case cases[] = {
        {0.0, 320, 240, 10, 10, 1}, {-1.0, 320, 240, 10, 10, 1},    {1.0, 320, 240, 10, 10, 0},
        {5.0, -5, 240, 10, 10, 1},  {5.0, -4, 240, 10, 10, 0},      {5.0, 645, 240, 10, 10, 1},
        {5.0, 644, 240, 10, 10, 0}, {5.0, 320, -5, 10, 10, 1},      {5.0, 320, 485, 10, 10, 1},
        {5.0, 320, 484, 10, 10, 0}, {5.0, -2147483647, 0, 2, 2, 1},
    };
    for (const Case& c : cases) {
        CPx2DPoint point{c.x, c.y};
        COvSize size{c.w, c.h};
        EXPECT_EQ(stage.screen.IsObjectIn(c.z, &point, &size), c.hidden)
            << c.z << " " << c.x << "," << c.y;
    }
}

TEST(Screen, QueriesNeverReadObjectsACameraReleased) {
    Stage stage;
    ProbeObject object;
    stage.Add(object, OV_3DPOINT(0, 0, 0), OV_SIZE3D(3, 3));
    stage.scene.Update();
    ASSERT_EQ(stage.screen.GetObjectAtPos(OV_2DPOINT(320, 240)), &object);

    // The camera rebuilds its view (releasing what the screen merged) and the flag is
    // cleared by the client before the screen sees it.
    object.SetPos(OV_3DPOINT(31, 0, 0));
    stage.camera.UpdateObject();
    stage.camera.CameraUpdateOn(0);
    EXPECT_EQ(stage.screen.GetObjectAtPos(OV_2DPOINT(320, 240)), nullptr);
    EXPECT_EQ(stage.screen.GetObjectAtPos(OV_2DPOINT(526, 240)), &object);
    COvObjectList list;
    EXPECT_EQ(stage.screen.GetAllObjectsAtPos(OV_2DPOINT(526, 240), &list), 1);
    COvObject* found = nullptr;
    CPx2DPoint pos{0, 0};
    ASSERT_EQ(stage.screen.GetDisplayedObject(0, found, &pos, nullptr), 0);
    EXPECT_EQ(pos.x, 516);

    // The canvas update draws the new objects, whatever the flags say.
    stage.camera.UpdateObject();
    stage.camera.CameraUpdateOn(0);
    const int drawn = object.log.drawn;
    stage.screen.Update();
    EXPECT_EQ(object.log.drawn, drawn + 1);

    // A camera that leaves (or is destroyed) takes its objects off the screen.
    {
        COvCamera transient;
        InitDefaultCamera(transient, stage.log.control);
        stage.scene.AddCamera(&transient);
        stage.screen.AddCamera(&transient);
        stage.scene.Update();
        EXPECT_EQ(stage.screen.GetDisplayedObjectCount(), 2);
    }
    EXPECT_EQ(stage.screen.GetAllObjectsAtPos(OV_2DPOINT(526, 240), &list), 2);
    stage.screen.Exit();
    EXPECT_EQ(stage.screen.GetDisplayedObjectCount(), 0);
    EXPECT_EQ(stage.screen.GetObjectAtPos(OV_2DPOINT(526, 240)), nullptr);
}

// A subclass may anchor objects anywhere: a box far to the left of its anchor gets a
// top-left corner saturated at the int range, never an overflow.
TEST(Screen, TopLeftOfAFarAnchorSaturates) {
    struct BottomRightAnchor final : COvScreen {
        void GetObjectOffset(const COvSize* size, CPx2DPoint& offset) override {
            offset = OV_2DPOINT(size->width, size->height);
        }
    };
    LoggedControl log;
    COvMemoryWindow window(640, 480);
    COvScene scene;
    scene.Init(&log.control);
    COvCamera camera;
    InitDefaultCamera(camera, log.control);
    BottomRightAnchor screen;
    screen.Init(&log.control, &window, CPxRGB{0, 0, 0}, nullptr, 0, 0);
    scene.AddCamera(&camera);
    screen.AddCamera(&camera);
    // Centred at canvas x -100, its projected size saturated.
    ProbeObject object;
    object.Place(log.control, OV_3DPOINT(-63, 0, 0), OV_SIZE3D(1e12, 1e12), 1, CPxRGB{255, 0, 0});
    scene.AddObject(&object);
    scene.Update();
    EXPECT_EQ(object.log.drawn, 1);
    COvObject* found = nullptr;
    CPx2DPoint topLeft{0, 0};
    ASSERT_EQ(screen.GetDisplayedObject(0, found, &topLeft, nullptr), 0);
    EXPECT_EQ(topLeft.x, std::numeric_limits<int>::min());
    screen.Exit();
    scene.Exit();
}
