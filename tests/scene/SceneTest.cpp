#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "OvPlatform.h"
#include "OvScreen.h"
#include "tests/scene/SceneFixture.h"

using ovtest::Journal;
using ovtest::LoggedControl;
using ovtest::PlainObject;
using Events = std::vector<std::string>;

namespace {

// A control, a journal and two named scenes with one camera and three objects.
struct SceneSetup {
    SceneSetup() : journal(logged.control) {
        a.Init(&logged.control);
        b.Init(&logged.control);
        cam.Init(&logged.control, {0, 0, -300}, {0, 0, 1}, {0, 1, 0}, 0, 2000);
        journal.Name(&a, "A");
        journal.Name(&b, "B");
        journal.Name(&cam, "cam");
        for (int i = 0; i < 3; ++i) {
            objects[i].Init(&logged.control, {0, 0, 0});
            journal.Name(&objects[i], std::to_string(i + 1));
        }
    }

    LoggedControl logged;
    Journal journal;
    COvScene a;
    COvScene b;
    COvCamera cam;
    PlainObject objects[3];
};

std::vector<COvObject*> Listed(const COvScene& scene) {
    std::vector<COvObject*> listed;
    const COvObjectList* view = scene.GetObjectList();
    for (void* pos = view->Begin(); pos != view->End();)
        listed.push_back(view->GetNext(pos));
    return listed;
}

}  // namespace

TEST(Scene, InitNeedsControl) {
    COvScene scene;
    EXPECT_EQ(scene.Init(nullptr), OV_E_NULL_CONTROL);
    LoggedControl logged;
    EXPECT_EQ(scene.Init(&logged.control), 0);
}

TEST(Scene, AddingMovingAndRemovingObjects) {
    SceneSetup s;
    COvObject* one = &s.objects[0];
    s.a.AddCamera(&s.cam);
    s.journal.Take();

    s.cam.CameraUpdateOn(0);
    s.a.AddObject(one);
    s.a.AddObject(one);  // already here
    s.a.AddObject(nullptr);
    EXPECT_EQ(s.journal.Take(), Events{"added:A:1"});
    EXPECT_EQ(s.cam.IsUpdated(), 1);
    EXPECT_EQ(one->GetScene(), &s.a);
    EXPECT_EQ(Listed(s.a), std::vector<COvObject*>{one});

    // Into a second scene: it leaves the first one first.
    s.b.AddObject(one);
    EXPECT_EQ(s.journal.Take(), (Events{"removed:A:1", "added:B:1"}));
    EXPECT_EQ(s.a.GetObjectList()->GetCount(), 0);
    EXPECT_EQ(one->GetScene(), &s.b);

    // Removing what is not there raises nothing and marks no camera.
    s.cam.CameraUpdateOn(0);
    s.a.RemoveObject(one);
    s.a.RemoveObject(nullptr);
    EXPECT_TRUE(s.journal.Take().empty());
    EXPECT_EQ(s.cam.IsUpdated(), 0);

    s.b.RemoveObject(one);
    EXPECT_EQ(s.journal.Take(), Events{"removed:B:1"});
    EXPECT_EQ(one->GetScene(), nullptr);
}

TEST(Scene, RemoveAllAndExitOrder) {
    SceneSetup s;
    const COvObjectList* view = s.a.GetObjectList();  // taken before anything is added
    for (auto& o : s.objects)
        s.a.AddObject(&o);
    EXPECT_EQ(view->GetCount(), 3);
    EXPECT_EQ(view->Find(&s.objects[1]), s.a.GetObjectList()->Find(&s.objects[1]));
    s.journal.Take();

    s.a.RemoveAllObjects();
    EXPECT_EQ(s.journal.Take(), (Events{"removed:A:3", "removed:A:2", "removed:A:1"}));
    for (auto& o : s.objects)
        EXPECT_EQ(o.GetScene(), nullptr);

    for (auto& o : s.objects)
        s.a.AddObject(&o);
    s.a.AddCamera(&s.cam);
    s.journal.Take();
    s.a.Exit();
    EXPECT_EQ(s.journal.Take(),
              (Events{"cameraRemoved:A:cam", "removed:A:3", "removed:A:2", "removed:A:1"}));
    EXPECT_EQ(s.cam.GetScene(), nullptr);
}

TEST(Scene, CamerasAndTheirFlags) {
    SceneSetup s;
    COvCamera second;
    second.Init(&s.logged.control, {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 0, 100);
    s.journal.Name(&second, "second");
    s.journal.Take();

    s.a.AddCamera(&s.cam);
    s.a.AddCamera(&s.cam);
    s.a.AddCamera(&second);
    EXPECT_EQ(s.journal.Take(), (Events{"cameraAdded:A:cam", "cameraAdded:A:second"}));
    EXPECT_EQ(s.a.GetCameraList()->GetCount(), 2);

    s.a.SceneUpdateOn(0);
    EXPECT_EQ(s.cam.IsUpdated() + second.IsUpdated(), 0);
    s.objects[0].Init(&s.logged.control, {1, 1, 1});
    s.a.AddObject(&s.objects[0]);
    EXPECT_EQ(s.cam.IsUpdated() + second.IsUpdated(), 2);
    s.a.SceneUpdateOn(0);
    s.objects[0].SetPos({2, 2, 2});  // a move in the scene marks every camera
    EXPECT_EQ(s.cam.IsUpdated() + second.IsUpdated(), 2);
    s.a.SceneUpdateOn(0);
    s.objects[0].SetSize({3, 3});  // a resize does not
    EXPECT_EQ(s.cam.IsUpdated() + second.IsUpdated(), 0);
    EXPECT_EQ(s.journal.Take(), (Events{"added:A:1", "moved:1", "resized:1"}));

    s.b.AddCamera(&s.cam);
    EXPECT_EQ(s.journal.Take(), (Events{"cameraRemoved:A:cam", "cameraAdded:B:cam"}));
    EXPECT_EQ(s.cam.GetScene(), &s.b);
    s.a.RemoveCamera(&s.cam);  // not in A any more
    EXPECT_TRUE(s.journal.Take().empty());

    // Exit of a camera leaves its scene with the event.
    second.Exit();
    EXPECT_EQ(s.journal.Take(), Events{"cameraRemoved:A:second"});
    EXPECT_EQ(s.a.GetCameraList()->GetCount(), 0);

    // A camera on no screen: Update and UpdateCamera run without drawing anything.
    s.b.Update();
    s.b.UpdateCamera();
    EXPECT_EQ(s.cam.GetVirtualObject()->GetCount(), 0);
}

TEST(Scene, DestroyingMembersLeavesTheScene) {
    SceneSetup s;
    auto plain = std::make_unique<PlainObject>();
    plain->Init(&s.logged.control, {0, 0, 0});
    auto line = std::make_unique<COvLineObject>();
    line->Init(&s.logged.control, {0, 0, 0}, {1, 0, 0}, ovtest::Style(1), 0, 1, nullptr);
    auto cam = std::make_unique<COvCamera>();
    cam->Init(&s.logged.control, {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 0, 10);
    s.journal.Name(plain.get(), "plain");
    s.journal.Name(line.get(), "line");
    s.journal.Name(cam.get(), "c");
    s.a.AddObject(plain.get());
    s.a.AddObject(line.get());
    s.a.AddCamera(cam.get());
    s.journal.Take();

    plain.reset();
    line.reset();
    cam.reset();
    // A plain object says it is deleting first; a line leaves its scene first.
    EXPECT_EQ(s.journal.Take(), (Events{"deleting:plain", "removed:A:plain", "removed:A:line",
                                        "deleting:line", "cameraRemoved:A:c"}));
    EXPECT_EQ(s.a.GetObjectList()->GetCount(), 0);
    EXPECT_EQ(s.a.GetCameraList()->GetCount(), 0);
}

TEST(Scene, DestroyedSceneClearsBackPointers) {
    SceneSetup s;
    {
        COvScene scene;
        scene.Init(&s.logged.control);
        scene.AddObject(&s.objects[0]);
        scene.AddCamera(&s.cam);
    }
    EXPECT_EQ(s.objects[0].GetScene(), nullptr);
    EXPECT_EQ(s.cam.GetScene(), nullptr);
}

TEST(ListBase, OwnershipAndCopies) {
    PlainObject x;
    PlainObject y;
    COvObjectList own;
    own.Add(&x);
    own.Add(&y);
    EXPECT_EQ(own.GetCount(), 2);
    EXPECT_EQ(own.Find(&y) != nullptr, true);
    void* pos = own.Begin();
    EXPECT_EQ(own.GetNext(pos), &x);
    EXPECT_EQ(own.GetNext(pos), &y);
    EXPECT_EQ(pos, own.End());
    EXPECT_THROW(own.GetNext(pos), std::invalid_argument);

    {
        // Copies are views: the list is released once, by its owner (ASan checks).
        COvObjectList copy(own);
        COvObjectList assigned;
        assigned = own;
        assigned = assigned;
        EXPECT_EQ(copy.GetCount(), 2);
        EXPECT_EQ(assigned.GetCount(), 2);
    }
    EXPECT_EQ(own.GetCount(), 2);
    COvObjectList empty(nullptr);
    EXPECT_EQ(empty.GetCount(), 0);
    EXPECT_EQ(empty.Begin(), nullptr);
}

// Moving an object or a camera into scene B (or a camera onto a screen) raises its
// removal from where it was first; a listener may destroy it there, or add it itself.
TEST(Scene, ListenerMayDestroyOrPlaceWhatMovesHere) {
    enum Kind { kObject, kCamera, kScreenCamera };
    const char* const triggers[] = {"removed:A:o", "cameraRemoved:A:c", "offScreen:from:c"};
    for (const Kind kind : {kObject, kCamera, kScreenCamera}) {
        for (const bool destroy : {true, false}) {
            SCOPED_TRACE(std::string(triggers[kind]) + (destroy ? ", destroyed" : ", placed"));
            SceneSetup s;
            COvMemoryWindow window(40, 30);
            COvScreen from, to;
            from.Init(&s.logged.control, &window, OV_RGB(0, 0, 0), nullptr, 0, 0);
            to.Init(&s.logged.control, &window, OV_RGB(0, 0, 0), nullptr, 0, 0);
            auto object = std::make_unique<PlainObject>();
            object->Init(&s.logged.control, {0, 0, 0});
            auto camera = std::make_unique<COvCamera>();
            camera->Init(&s.logged.control, {0, 0, -300}, {0, 0, 1}, {0, 1, 0}, 0, 2000);
            s.journal.Name(object.get(), "o");
            s.journal.Name(camera.get(), "c");
            s.journal.Name(&from, "from");
            s.a.AddObject(object.get());
            s.a.AddCamera(camera.get());
            from.AddCamera(camera.get());

            const std::function<void()> add[] = {[&] { s.b.AddObject(object.get()); },
                                                 [&] { s.b.AddCamera(camera.get()); },
                                                 [&] { to.AddCamera(camera.get()); }};
            const std::function<int()> listed[] = {[&] { return s.b.GetObjectList()->GetCount(); },
                                                   [&] { return s.b.GetCameraList()->GetCount(); },
                                                   [&] { return to.GetCameraList()->GetCount(); }};
            s.journal.onEvent = [&](const std::string& event) {
                if (event != triggers[kind])
                    return;
                if (!destroy)
                    add[kind]();
                else if (kind == kObject)
                    object.reset();
                else
                    camera.reset();
            };
            add[kind]();
            s.journal.onEvent = nullptr;
            EXPECT_EQ(listed[kind](), destroy ? 0 : 1);
            // Listed once: once destroyed, nothing is left behind.
            object.reset();
            camera.reset();
            EXPECT_EQ(listed[kind](), 0);
            s.b.Update();
            to.Update();
        }
    }
}
