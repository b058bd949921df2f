#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "OvControl.h"
#include "OvData.h"
#include "OvLog.h"
#include "data/OvMemManager.h"

namespace {

// Records every event it hears into a shared journal, and may act on the control
// from inside a callback.
struct Recorder final : COvObjectListener, COvCameraListener {
    Recorder(std::string n, std::vector<std::string>& j) : name(std::move(n)), journal(j) {}

    void OnControlDeleting(COvControl*) override { journal.push_back(name + ":deleting"); }
    void OnObjectMoved(COvObject&) override {
        journal.push_back(name + ":moved");
        if (onMoved)
            onMoved();
    }
    void OnCameraMoved(COvCamera&) override { journal.push_back(name + ":camera"); }

    std::string name;
    std::vector<std::string>& journal;
    std::function<void()> onMoved;
};

COvObject& AnyObject() {
    return *reinterpret_cast<COvObject*>(alignof(void*));
}
COvCamera& AnyCamera() {
    return *reinterpret_cast<COvCamera*>(alignof(void*));
}

struct CountingHandler final : COvDataHandler {
    explicit CountingHandler(int* f) : frees(f) {}
    void Free() override { ++*frees; }
    int* frees;
};

TEST(Control, VersionTexts) {
    EXPECT_STREQ(COvControl::GetVersion(0), "TALVORIN Library V1.00");
    const char* notice = COvControl::GetVersion(1);
    EXPECT_STRNE(notice, "TALVORIN Library V1.00");
    EXPECT_EQ(COvControl::GetVersion(0xFFFFFFFFu), notice);
}

TEST(Control, ListenerRegistrationCodes) {
    std::vector<std::string> journal;
    Recorder a("A", journal);
    COvControl control;
    EXPECT_EQ(control.AddObjectListener(&a), 0);
    EXPECT_EQ(control.AddObjectListener(&a), OV_CONTROL_LISTENER_REFUSED);
    EXPECT_EQ(control.AddObjectListener(nullptr), OV_CONTROL_LISTENER_REFUSED);
    EXPECT_EQ(control.AddCameraListener(&a), 0);  // the same object may listen to both
    control.OnObjectMoved(AnyObject());
    EXPECT_THAT(journal, testing::ElementsAre("A:moved"));
    EXPECT_EQ(control.RemoveObjectListener(&a), 0);
    EXPECT_EQ(control.RemoveObjectListener(&a), OV_CONTROL_LISTENER_REFUSED);
    EXPECT_EQ(control.RemoveCameraListener(nullptr), OV_CONTROL_LISTENER_REFUSED);
    EXPECT_EQ(control.RemoveCameraListener(&a), 0);
}

TEST(Control, DispatchSurvivesListenersChangingTheListsInsideCallbacks) {
    std::vector<std::string> journal;
    Recorder a("A", journal), b("B", journal), c("C", journal), d("D", journal);
    COvControl control;
    control.AddObjectListener(&a);
    control.AddObjectListener(&b);
    control.AddObjectListener(&c);

    control.OnObjectMoved(AnyObject());
    EXPECT_THAT(journal, testing::ElementsAre("A:moved", "B:moved", "C:moved"));

    // A removes itself and C (which then must not be called), and adds D (called
    // from the next event on).
    journal.clear();
    a.onMoved = [&] {
        control.RemoveObjectListener(&a);
        control.RemoveObjectListener(&c);
        control.AddObjectListener(&d);
    };
    control.OnObjectMoved(AnyObject());
    EXPECT_THAT(journal, testing::ElementsAre("A:moved", "B:moved"));

    journal.clear();
    control.OnObjectMoved(AnyObject());
    EXPECT_THAT(journal, testing::ElementsAre("B:moved", "D:moved"));

    // B removes itself and the listener right after it; the one after that still hears
    // the event.
    journal.clear();
    control.AddObjectListener(&a);
    a.onMoved = nullptr;
    b.onMoved = [&] {
        control.RemoveObjectListener(&d);
        control.RemoveObjectListener(&b);
    };
    control.OnObjectMoved(AnyObject());
    EXPECT_THAT(journal, testing::ElementsAre("B:moved", "A:moved"));
    journal.clear();
    control.OnObjectMoved(AnyObject());
    EXPECT_THAT(journal, testing::ElementsAre("A:moved"));
}

TEST(Control, ManyListenersAreAllCalledInOrder) {
    std::vector<std::string> journal;
    std::vector<std::unique_ptr<Recorder>> recorders;
    COvControl control;
    for (int i = 0; i < 40; ++i) {
        recorders.push_back(std::make_unique<Recorder>(std::to_string(i), journal));
        control.AddCameraListener(recorders.back().get());
    }
    control.OnCameraMoved(AnyCamera());
    ASSERT_EQ(journal.size(), 40u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(journal[i], std::to_string(i) + ":camera");
}

TEST(Control, DestructionTellsObjectListenersBeforeCameraListeners) {
    std::vector<std::string> journal;
    Recorder cam1("cam1", journal), obj1("obj1", journal), obj2("obj2", journal);
    {
        COvControl control;
        control.AddCameraListener(&cam1);
        control.AddObjectListener(&obj1);
        control.AddObjectListener(&obj2);
    }
    EXPECT_THAT(journal, testing::ElementsAre("obj1:deleting", "obj2:deleting", "cam1:deleting"));
}

TEST(Control, InitCodesAndRepeatedExit) {
    {
        COvControl control;
        control.Exit();  // without Init: nothing
        EXPECT_EQ(control.Init(1000, nullptr), 0);
        EXPECT_NE(control.m_pMemManager, nullptr);
        EXPECT_NE(control.m_pLog, nullptr);
        control.Exit();
        control.Exit();
        EXPECT_EQ(control.m_pMemManager, nullptr);
        EXPECT_EQ(control.m_pLog, nullptr);
    }
    {
        COvControl control;
        EXPECT_EQ(control.Init(1000, "/nonexistent-dir-for-orvane/orvane.log"),
                  OV_CONTROL_LOG_FILE_FAILED);
        // Fully usable without a log file.
        EXPECT_NE(control.m_pMemManager, nullptr);
        control.BeginDraw(3);
        EXPECT_EQ(control.m_pMemManager->GetThreadLimit(), 3);
    }
}

TEST(Control, SecondInitIsRefusedAndLeavesTheServicesRunning) {
    COvControl control;
    ASSERT_EQ(control.Init(500, nullptr), 0);
    COvMemManager* manager = control.m_pMemManager;
    COvLog* log = control.m_pLog;
    EXPECT_EQ(control.Init(900, nullptr), OV_CONTROL_MEMMANAGER_INIT_FAILED);
    EXPECT_EQ(control.m_pMemManager, manager);
    EXPECT_EQ(control.m_pLog, log);
    EXPECT_EQ(manager->GetMaxMem(), 500u);
    COvString line;
    EXPECT_EQ(log->GetLastError(line), OV_CONTROL_MEMMANAGER_INIT_FAILED);
}

TEST(Control, ThreadLimitAndBudgetRules) {
    COvControl control;
    ASSERT_EQ(control.Init(1000, nullptr), 0);
    const struct {
        int asked;
        int expected;
    } limits[] = {{0, 1}, {-5, 1}, {7, 7}, {10, 10}, {11, 10}, {1, 1}};
    for (const auto& l : limits) {
        control.BeginDraw(l.asked);
        EXPECT_EQ(control.m_pMemManager->GetThreadLimit(), l.expected) << l.asked;
    }

    control.SetMaxMem(2147483648u);  // top bit set: ignored
    EXPECT_EQ(control.m_pMemManager->GetMaxMem(), 1000u);
    control.SetMaxMem(0xFFFFFFFFu);
    EXPECT_EQ(control.m_pMemManager->GetMaxMem(), 1000u);
    control.SetMaxMem(2147483647u);
    EXPECT_EQ(control.m_pMemManager->GetMaxMem(), 2147483647u);
    control.SetMaxMem(0);
    EXPECT_EQ(control.m_pMemManager->GetMaxMem(), 0u);
    control.EndDraw();
    EXPECT_FALSE(control.IsNeedDataUpdate());
}

TEST(Control, ReplacingAHandlerFreesTheOldOneOnce) {
    int frees1 = 0, frees2 = 0;
    CountingHandler h1(&frees1), h2(&frees2);
    COvControl control;
    ASSERT_EQ(control.Init(0, nullptr), 0);
    EXPECT_FALSE(control.IsDataHandlerAvailable(5));
    control.AddDataHandler(5, &h1);
    control.AddDataHandler(5, &h2);
    EXPECT_EQ(frees1, 1);
    EXPECT_EQ(frees2, 0);
    EXPECT_TRUE(control.IsDataHandlerAvailable(5));
    control.Exit();
    EXPECT_EQ(frees1, 1);
    EXPECT_EQ(frees2, 1);
}

TEST(Control, DataServicesBeforeInitAreHarmless) {
    COvControl control;
    COvDataInfo info;
    info.Init(1, "missing.png", 0, 0);
    COvMemData* out = reinterpret_cast<COvMemData*>(&info);
    EXPECT_EQ(control.GetData(&out, &info, nullptr), OV_DATA_FAILED);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(control.GetData(nullptr, &info, nullptr), OV_E_NULL_OUTPUT);
    EXPECT_EQ(control.CheckData(nullptr, nullptr), OV_E_NULL_OUTPUT);
    control.Delete(&info);
    control.Delete();
    control.SetMaxMem(5);
    control.BeginDraw(4);
    control.EndDraw();
    EXPECT_FALSE(control.IsNeedDataUpdate());
    EXPECT_FALSE(control.IsDataHandlerAvailable(1));
    int frees = 0;
    CountingHandler handler(&frees);
    control.AddDataHandler(2, &handler);  // not taken: released at once
    EXPECT_EQ(frees, 1);
}

}  // namespace
