#include "OvControl.h"

#include <array>
#include <memory>
#include <new>
#include <vector>

#include "OvData.h"
#include "OvLog.h"
#include "Quorra.h"
#include "data/OvMemManager.h"
#include "foundation/OvReport.h"

namespace {

const char kVersion[] = "TALVORIN Library V1.00";
const char kNotice[] =
    "Orvane: three-dimensional scenes of flat objects in windows. "
    "Licensed to the application it is delivered with.";
const char kLogFormat[] = "[[d] [t]] [[c]] [[f]] [[i]] [[m]]";
const int kReservedSetting = 16;

// Calls each listener of the list, in registration order. The walk goes over a
// snapshot, so listeners may add or remove listeners (themselves or others) from
// inside their callback; one removed meanwhile is skipped, one added is called from
// the next event on.
template <class Listener, class Call>
void Dispatch(const CPtrList& listeners, Call call) {
    const int count = listeners.GetCount();
    if (count == 0)
        return;
    std::array<void*, 16> inlineSnapshot;
    std::vector<void*> heapSnapshot;
    void** snapshot = inlineSnapshot.data();
    if (count > static_cast<int>(inlineSnapshot.size())) {
        heapSnapshot.resize(count);
        snapshot = heapSnapshot.data();
    }
    int taken = 0;
    for (POSITION pos = listeners.GetHeadPosition(); pos != nullptr;) {
        snapshot[taken++] = listeners.GetNext(pos);
    }
    for (int i = 0; i < taken; ++i) {
        if (i > 0 && listeners.Find(snapshot[i]) == nullptr)
            continue;
        call(static_cast<Listener*>(snapshot[i]));
    }
}

int AddListener(CPtrList& listeners, void* listener) {
    if (listener == nullptr || listeners.Find(listener) != nullptr) {
        return OV_CONTROL_LISTENER_REFUSED;
    }
    listeners.AddTail(listener);
    return 0;
}

int RemoveListener(CPtrList& listeners, void* listener) {
    POSITION pos = listener ? listeners.Find(listener) : nullptr;
    if (pos == nullptr)
        return OV_CONTROL_LISTENER_REFUSED;
    listeners.RemoveAt(pos);
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------

COvControl::COvControl() : m_pMemManager(nullptr), m_pLog(nullptr) {}

COvControl::~COvControl() {
    Dispatch<COvObjectListener>(m_ObjectListeners,
                                [this](COvObjectListener* l) { l->OnControlDeleting(this); });
    Dispatch<COvCameraListener>(m_CameraListeners,
                                [this](COvCameraListener* l) { l->OnControlDeleting(this); });
    Exit();
}

const char* COvControl::GetVersion(unsigned int kind) {
    return kind == 0 ? kVersion : kNotice;
}

int COvControl::Init(unsigned int maxMem, const char* logPath) {
    if (m_pMemManager != nullptr || m_pLog != nullptr) {
        // A second Init would orphan the running services and the data clients hold;
        // the client must Exit first.
        return ov::Report(this, "COvControl", "Init", OV_CONTROL_MEMMANAGER_INIT_FAILED,
                          "already initialised", ov::kFoundHere);
    }
    // The services are handed over only once they run: a failed Init leaves none.
    std::unique_ptr<COvMemManager> manager;
    std::unique_ptr<COvLog> log;
    try {
        manager = std::make_unique<COvMemManager>();
    } catch (const std::bad_alloc&) {
        return OV_CONTROL_NO_MEMMANAGER;
    }
    try {
        log = std::make_unique<COvLog>();
    } catch (const std::bad_alloc&) {
        return OV_CONTROL_NO_LOG;
    }
    if (manager->Init(this, maxMem, kReservedSetting) != 0)
        return OV_CONTROL_MEMMANAGER_INIT_FAILED;
    const int code = log->Init(logPath, kLogFormat) != 0 ? OV_CONTROL_LOG_FILE_FAILED : 0;
    m_pMemManager = manager.release();
    m_pLog = log.release();
    return code;
}

void COvControl::Exit() {
    if (m_pMemManager != nullptr) {
        m_pMemManager->Shutdown();
        delete m_pMemManager;
        m_pMemManager = nullptr;
    }
    if (m_pLog != nullptr) {
        m_pLog->Exit();
        delete m_pLog;
        m_pLog = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Listeners and events
// ---------------------------------------------------------------------------

int COvControl::AddObjectListener(COvObjectListener* listener) {
    return AddListener(m_ObjectListeners, listener);
}

int COvControl::AddCameraListener(COvCameraListener* listener) {
    return AddListener(m_CameraListeners, listener);
}

int COvControl::RemoveObjectListener(COvObjectListener* listener) {
    return RemoveListener(m_ObjectListeners, listener);
}

int COvControl::RemoveCameraListener(COvCameraListener* listener) {
    return RemoveListener(m_CameraListeners, listener);
}

void COvControl::OnObjectMoved(COvObject& object) {
    Dispatch<COvObjectListener>(m_ObjectListeners,
                                [&](COvObjectListener* l) { l->OnObjectMoved(object); });
}

void COvControl::OnObjectResized(COvObject& object) {
    Dispatch<COvObjectListener>(m_ObjectListeners,
                                [&](COvObjectListener* l) { l->OnObjectResized(object); });
}

void COvControl::OnObjectSelectChanged(COvObject& object) {
    Dispatch<COvObjectListener>(m_ObjectListeners,
                                [&](COvObjectListener* l) { l->OnObjectSelectChanged(object); });
}

void COvControl::OnObjectShowChanged(COvObject& object) {
    Dispatch<COvObjectListener>(m_ObjectListeners,
                                [&](COvObjectListener* l) { l->OnObjectShowChanged(object); });
}

void COvControl::OnObjectAdded(COvScene& scene, COvObject& object) {
    Dispatch<COvObjectListener>(m_ObjectListeners,
                                [&](COvObjectListener* l) { l->OnObjectAdded(scene, object); });
}

void COvControl::OnObjectRemoved(COvScene& scene, COvObject& object) {
    Dispatch<COvObjectListener>(m_ObjectListeners,
                                [&](COvObjectListener* l) { l->OnObjectRemoved(scene, object); });
}

void COvControl::OnObjectDeleting(COvObject& object) {
    Dispatch<COvObjectListener>(m_ObjectListeners,
                                [&](COvObjectListener* l) { l->OnObjectDeleting(object); });
}

void COvControl::OnCameraMoved(COvCamera& camera) {
    Dispatch<COvCameraListener>(m_CameraListeners,
                                [&](COvCameraListener* l) { l->OnCameraMoved(camera); });
}

void COvControl::OnCameraRolled(COvCamera& camera) {
    Dispatch<COvCameraListener>(m_CameraListeners,
                                [&](COvCameraListener* l) { l->OnCameraRolled(camera); });
}

void COvControl::OnCameraAddedToScene(COvScene& scene, COvCamera& camera) {
    Dispatch<COvCameraListener>(
        m_CameraListeners, [&](COvCameraListener* l) { l->OnCameraAddedToScene(scene, camera); });
}

void COvControl::OnCameraRemovedFromScene(COvScene& scene, COvCamera& camera) {
    Dispatch<COvCameraListener>(m_CameraListeners, [&](COvCameraListener* l) {
        l->OnCameraRemovedFromScene(scene, camera);
    });
}

void COvControl::OnCameraAddedToScreen(COvScreen& screen, COvCamera& camera) {
    Dispatch<COvCameraListener>(
        m_CameraListeners, [&](COvCameraListener* l) { l->OnCameraAddedToScreen(screen, camera); });
}

void COvControl::OnCameraRemovedFromScreen(COvScreen& screen, COvCamera& camera) {
    Dispatch<COvCameraListener>(m_CameraListeners, [&](COvCameraListener* l) {
        l->OnCameraRemovedFromScreen(screen, camera);
    });
}

// ---------------------------------------------------------------------------
// Logging
// ---------------------------------------------------------------------------

void COvControl::Logput(const char* className, const char* function, int code, const char* info,
                        int origin) {
    ov::Report(this, className, function, code, info, origin);
}

void COvControl::Logput(const char* className, const char* function, int code, int info,
                        int origin) {
    ov::Report(this, className, function, code, static_cast<long long>(info), origin);
}

// ---------------------------------------------------------------------------
// Data services
// ---------------------------------------------------------------------------

int COvControl::GetData(COvMemData** out, COvDataInfo* info, CPtrList* substitutes) {
    if (out == nullptr || info == nullptr) {
        return ov::Report(this, "COvControl", "GetData", OV_E_NULL_OUTPUT, out ? "info" : "out",
                          ov::kFoundHere);
    }
    *out = nullptr;
    if (m_pMemManager == nullptr)
        return OV_DATA_FAILED;
    return m_pMemManager->GetData(out, info, substitutes);
}

int COvControl::CheckData(COvMemData** out, CPtrList* infos) {
    if (out == nullptr)
        return ov::Report(this, "COvControl", "CheckData", OV_E_NULL_OUTPUT, "out", ov::kFoundHere);
    *out = m_pMemManager != nullptr ? m_pMemManager->CheckData(infos) : nullptr;
    return 0;
}

void COvControl::UnLockData(COvMemData* data) {
    if (data != nullptr && m_pMemManager != nullptr)
        m_pMemManager->UnLockData(data);
}

void COvControl::Delete(COvDataInfo* info) {
    if (info != nullptr && m_pMemManager != nullptr)
        m_pMemManager->Delete(info);
}

void COvControl::Delete() {
    if (m_pMemManager != nullptr)
        m_pMemManager->DeleteAll();
}

void COvControl::SetMaxMem(unsigned int maxMem) {
    if (m_pMemManager != nullptr)
        m_pMemManager->SetMaxMem(maxMem);
}

bool COvControl::IsNeedDataUpdate() {
    return m_pMemManager != nullptr && m_pMemManager->IsNeedDataUpdate();
}

void COvControl::AddStreamCreator(CQrStreamCreator* creator) {
    if (creator == nullptr) {
        ov::Report(this, "COvControl", "AddStreamCreator", OV_E_NULL_OUTPUT, "creator",
                   ov::kFoundHere);
        return;
    }
    if (m_pMemManager == nullptr) {
        creator->Free();  // handed over but not taken: released rather than leaked
        return;
    }
    if (m_pMemManager->AddStreamCreator(creator) < 0) {
        ov::Report(this, "COvControl", "AddStreamCreator", OV_E_NOMEMORY, "creator not added",
                   ov::kFoundHere);
    }
}

void COvControl::AddDataHandler(int type, COvDataHandler* handler) {
    if (handler == nullptr) {
        ov::Report(this, "COvControl", "AddDataHandler", OV_E_NULL_OUTPUT, "handler",
                   ov::kFoundHere);
        return;
    }
    if (m_pMemManager == nullptr) {
        handler->Free();
        return;
    }
    m_pMemManager->AddDataHandler(type, handler);
}

bool COvControl::IsDataHandlerAvailable(int type) {
    return m_pMemManager != nullptr && m_pMemManager->IsDataHandlerAvailable(type);
}

// ---------------------------------------------------------------------------
// Drawing pass
// ---------------------------------------------------------------------------

void COvControl::BeginDraw(int threads) {
    if (m_pMemManager != nullptr)
        m_pMemManager->BeginDraw(threads);  // clamped there
}

void COvControl::EndDraw() {
    if (m_pMemManager != nullptr)
        m_pMemManager->EndDraw();
}
