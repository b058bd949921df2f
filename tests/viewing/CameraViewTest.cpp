#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "OvPlatform.h"
#include "OvScreen.h"
#include "tests/scene/SceneFixture.h"

using ovtest::LoggedControl;
using ovtest::PlainObject;

namespace {

// Counts the camera's OutScreen calls.
class Watched final : public COvObject {
public:
    COvVirtualObject* MakeVirtualObject() override { return new COvVirtualObject(); }
    void OutScreen() override { ++outScreenCalls; }
    int outScreenCalls = 0;
};

// The default camera on a headless screen (200 x 100 unless told), in a scene. At
// scene z 1700 (depth 2000, the range) one scene unit is one pixel.
struct View {
    explicit View(int width = 200, int height = 100) : window(width, height) {
        scene.Init(&logged.control);
        cam.Init(&logged.control, {0, 0, -300}, {0, 0, 1}, {0, 1, 0}, 0, 2000);
        screen.Init(&logged.control, &window, OV_RGB(0, 0, 0), nullptr, 0, 0);
        scene.AddCamera(&cam);
        screen.AddCamera(&cam);
    }
    ~View() {
        screen.Exit();
        cam.Exit();
    }
    int Seen() const { return cam.GetVirtualObject()->GetCount(); }
    Watched& Add(COv3DPoint pos, COvSize3D size = {10, 10}) {
        auto& o = *objects.emplace_back(std::make_unique<Watched>());
        o.Init(&logged.control, 1, pos, size, 0, 1, nullptr, COvFrameStyle{0, 0, {0, 0, 0}});
        scene.AddObject(&o);
        return o;
    }

    LoggedControl logged;
    COvMemoryWindow window;
    COvScene scene;
    COvCamera cam;
    COvScreen screen;
    std::vector<std::unique_ptr<Watched>> objects;
};

}  // namespace

TEST(CameraView, CullingAtTheBoundaries) {
    const CPx2DPoint m{100, 50};
    struct Case {
        const char* name;
        COv3DPoint pos;
        COvSize3D size;
        int seen;
    };
    const Case cases[] = {
        {"at the range", {0, 0, 1700}, {10, 10}, 1},
        {"beyond the range", {0, 0, 1700.5}, {10, 10}, 0},
        {"0.67 pixels wide", {0, 0, 0}, {0.1, 10}, 0},
        {"one pixel wide", {0, 0, 0}, {0.16, 0.16}, 1},
        {"touching the left edge", {-105, 0, 1700}, {10, 10}, 0},
        {"one pixel in from the left", {-104, 0, 1700}, {10, 10}, 1},
        {"touching the right edge", {105, 0, 1700}, {10, 10}, 0},
        {"one pixel in from the right", {104, 0, 1700}, {10, 10}, 1},
        {"above the top", {0, 55, 1700}, {10, 10}, 0},
        {"below the bottom", {0, -55, 1700}, {10, 10}, 0},
        {"behind the camera", {0, 0, -400}, {10, 10}, 0},
        {"on the camera plane", {0, 0, -300}, {10, 10}, 0},
        // Projects far beyond the int range: saturated, never overflowing.
        {"grazing the camera plane", {1000, -1000, -299.9999999}, {10, 10}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        View v;
        ASSERT_EQ(v.screen.GetCenter().x, m.x);
        ASSERT_EQ(v.screen.GetCenter().y, m.y);
        v.Add(c.pos, c.size);
        EXPECT_EQ(v.cam.UpdateObject(), 0);
        EXPECT_EQ(v.Seen(), c.seen);
    }
}

TEST(CameraView, VirtualObjectsCarryTheProjection) {
    View v(800, 400);
    Watched& o = v.Add({31, 16, 0}, {31, 16});
    o.SetFrame(COvFrameStyle{1, 3, {1, 2, 3}});
    v.cam.CameraUpdateOn(0);
    v.cam.UpdateObject();
    EXPECT_EQ(v.cam.IsUpdated(), 1);
    ASSERT_EQ(v.Seen(), 1);
    auto* vo = static_cast<COvVirtualObject*>(v.cam.GetVirtualObject()->GetHead());
    EXPECT_EQ(vo->GetObject(), &o);
    EXPECT_EQ(vo->Get2DPoint().x, 400 + 206);
    EXPECT_EQ(vo->Get2DPoint().y, 200 - 106);
    EXPECT_EQ(vo->GetSize().width, 206);
    EXPECT_EQ(vo->GetSize().height, 106);
    EXPECT_EQ(vo->Get3DPoint().z, 300.0);
    EXPECT_EQ(vo->GetFrameSize(), 20);  // 3 scene units at depth 300

    // A scaled frame too thin to project still shows one pixel; a pixel frame stays.
    const struct {
        COvFrameStyle frame;
        int pixels;
    } frames[] = {{{1, 0, {}}, 0}, {{0, 4, {}}, 4}};
    for (const auto& f : frames) {
        o.SetFrame(f.frame);
        v.cam.UpdateObject();
        vo = static_cast<COvVirtualObject*>(v.cam.GetVirtualObject()->GetHead());
        EXPECT_EQ(vo->GetFrameSize(), f.pixels);
    }
    // Half a pixel of scaled frame still shows as one.
    v.cam.SetRange(5000);
    o.SetFrame(COvFrameStyle{1, 1, {}});
    o.SetPos({0, 0, 3700});
    v.cam.UpdateObject();
    vo = static_cast<COvVirtualObject*>(v.cam.GetVirtualObject()->GetHead());
    EXPECT_EQ(vo->GetFrameSize(), 1);

    // The view moves with the camera.
    v.cam.Pan(180);
    v.cam.UpdateObject();
    EXPECT_EQ(v.Seen(), 0);
}

TEST(CameraView, OutScreenFlags) {
    View v;
    Watched& inside = v.Add({0, 0, 0});
    Watched& outside = v.Add({1000, 0, 0});
    Watched& behind = v.Add({0, 0, -1000});
    behind.SetOutScreen(1);  // as a previous update left it
    v.cam.UpdateObject();
    EXPECT_EQ(inside.GetOutScreen(), 1);
    EXPECT_EQ(inside.outScreenCalls, 0);
    EXPECT_EQ(outside.GetOutScreen(), 0);
    EXPECT_EQ(outside.outScreenCalls, 1);
    // Behind the camera: untouched.
    EXPECT_EQ(behind.GetOutScreen(), 1);
    EXPECT_EQ(behind.outScreenCalls, 0);

    // Hidden objects are projected all the same; the screen skips them.
    inside.SetVisible(0);
    v.cam.UpdateObject();
    EXPECT_EQ(v.Seen(), 1);
    v.screen.UpdateCanvas();
    EXPECT_EQ(v.screen.GetObjectAtPos({100, 50}), nullptr);
}

TEST(CameraView, NoScreenNoView) {
    View v;
    v.Add({0, 0, 0});
    v.cam.UpdateObject();
    EXPECT_EQ(v.Seen(), 1);
    // Off its screen the camera has no canvas to project onto: its view is empty.
    v.screen.RemoveCamera(&v.cam);
    EXPECT_EQ(v.cam.GetScreen(), nullptr);
    v.cam.UpdateObject();
    EXPECT_EQ(v.Seen(), 0);
    // Off the scene, too.
    v.screen.AddCamera(&v.cam);
    v.cam.UpdateObject();
    EXPECT_EQ(v.Seen(), 1);
    v.scene.RemoveCamera(&v.cam);
    EXPECT_EQ(v.Seen(), 0);
    v.cam.UpdateObject();
    EXPECT_EQ(v.Seen(), 0);
}

TEST(CameraView, HookHidesObjects) {
    struct Picky final : COvCamera {
        int IsObjectVisible(const COvSize& screen, const CPx2DPoint& p, const COvSize&,
                            double z) override {
            lastScreen = screen;
            lastZ = z;
            return p.x > 100;  // only the left half
        }
        COvSize lastScreen{};
        double lastZ = 0;
    };
    LoggedControl logged;
    COvMemoryWindow window(200, 100);
    COvScene scene;
    scene.Init(&logged.control);
    Picky cam;
    cam.Init(&logged.control, {0, 0, -300}, {0, 0, 1}, {0, 1, 0}, 0, 2000);
    COvScreen screen;
    screen.Init(&logged.control, &window, OV_RGB(0, 0, 0), nullptr, 0, 0);
    scene.AddCamera(&cam);
    screen.AddCamera(&cam);
    PlainObject left, right;
    left.Init(&logged.control, {-3, 0, 0});
    right.Init(&logged.control, {3, 0, 0});
    scene.AddObject(&left);
    scene.AddObject(&right);
    cam.UpdateObject();
    ASSERT_EQ(cam.GetVirtualObject()->GetCount(), 1);
    EXPECT_EQ(static_cast<COvVirtualObject*>(cam.GetVirtualObject()->GetHead())->GetObject(),
              &left);
    EXPECT_EQ(cam.lastScreen.width, 200);
    EXPECT_EQ(cam.lastZ, 300.0);
    screen.Exit();
}

// An object that leaves the scene is never reached through the views built for it,
// neither by drawing nor by hit tests, even before the cameras' next update.
TEST(CameraView, StaleViewsNeverReachLeftObjects) {
    struct Case {
        const char* name;
        std::function<void(View&, std::unique_ptr<Watched>&)> leave;
    };
    const Case cases[] = {
        {"destroyed", [](View&, std::unique_ptr<Watched>& o) { o.reset(); }},
        {"removed, then destroyed",
         [](View& v, std::unique_ptr<Watched>& o) {
             v.scene.RemoveObject(o.get());
             o.reset();
         }},
        {"exited", [](View&, std::unique_ptr<Watched>& o) { o->Exit(); }},
        {"all removed, then destroyed",
         [](View& v, std::unique_ptr<Watched>& o) {
             v.scene.RemoveAllObjects();
             o.reset();
         }},
        {"camera left the scene, then destroyed",
         [](View& v, std::unique_ptr<Watched>& o) {
             v.scene.RemoveCamera(&v.cam);
             o.reset();
         }},
        {"scene cleared, then destroyed",
         [](View& v, std::unique_ptr<Watched>& o) {
             v.scene.Exit();
             o.reset();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        View v;
        v.Add({0, 0, 0}, {40, 40});
        v.scene.Update();
        ASSERT_EQ(v.screen.GetObjectAtPos({100, 50}), v.objects[0].get());
        ASSERT_EQ(v.screen.GetDisplayedObjectCount(), 1);

        c.leave(v, v.objects[0]);
        // Between the two updates: hit tests, queries and a redraw.
        EXPECT_EQ(v.screen.GetObjectAtPos({100, 50}), nullptr);
        COvObjectList hits;
        EXPECT_EQ(v.screen.GetAllObjectsAtPos({100, 50}, &hits), 0);
        EXPECT_EQ(v.screen.GetDisplayedObjectCount(), 0);
        EXPECT_EQ(v.screen.Update(), 0);
        v.scene.Update();
        EXPECT_EQ(v.Seen(), 0);
    }
}

TEST(CameraView, ListenerMayDestroyTheRemovedObject) {
    struct Destroyer final : COvObjectListener {
        void OnObjectRemoved(COvScene&, COvObject& o) override {
            if (victim && &o == victim->get())
                victim->reset();
        }
        std::unique_ptr<Watched>* victim = nullptr;
    };
    View v;
    v.Add({0, 0, 0}, {40, 40});
    v.Add({1, 0, 0}, {40, 40});
    v.scene.Update();
    Destroyer destroyer;
    destroyer.victim = &v.objects[0];
    v.logged.control.AddObjectListener(&destroyer);
    v.scene.RemoveObject(v.objects[0].get());
    EXPECT_EQ(v.objects[0], nullptr);
    EXPECT_EQ(v.screen.GetObjectAtPos({100, 50}), v.objects[1].get());
    v.screen.Update();
    v.logged.control.RemoveObjectListener(&destroyer);
}

// The camera's transformation projects around the centre of the screen the camera is
// on now, and around (0, 0) when it is on none, whatever became of earlier screens.
TEST(CameraView, TransformationFollowsTheCamerasScreen) {
    using Change = std::function<void(COvCamera&, std::unique_ptr<COvScreen>&, COvScreen&)>;
    struct Case {
        const char* name;
        Change change;
        CPx2DPoint centre;
    };
    const Case cases[] = {
        {"removed", [](COvCamera& c, auto& first, COvScreen&) { first->RemoveCamera(&c); }, {0, 0}},
        {"screen exited", [](COvCamera&, auto& first, COvScreen&) { first->Exit(); }, {0, 0}},
        {"screen destroyed", [](COvCamera&, auto& first, COvScreen&) { first.reset(); }, {0, 0}},
        {"moved to another screen",
         [](COvCamera& c, auto&, COvScreen& second) { second.AddCamera(&c); },
         {200, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoggedControl logged;
        COvMemoryWindow small(100, 60);
        COvMemoryWindow large(400, 200);
        auto first = std::make_unique<COvScreen>();
        first->Init(&logged.control, &small, OV_RGB(0, 0, 0), nullptr, 0, 0);
        COvScreen second;
        second.Init(&logged.control, &large, OV_RGB(0, 0, 0), nullptr, 0, 0);
        COvCamera cam;
        cam.Init(&logged.control, {0, 0, -300}, {0, 0, 1}, {0, 1, 0}, 0, 2000);
        first->AddCamera(&cam);
        // Taken once, as a client converting clicked pixels would keep it.
        COvTransformation* t = cam.GetTransformation();
        CPx2DPoint p{-1, -1};
        ASSERT_EQ(t->CameraToScreen({0, 0, 300}, &p), 0);
        EXPECT_EQ(p.x, 50);

        c.change(cam, first, second);
        ASSERT_EQ(t->CameraToScreen({0, 0, 300}, &p), 0);
        EXPECT_EQ(p.x, c.centre.x);
        EXPECT_EQ(p.y, c.centre.y);
        second.Exit();
    }
}
