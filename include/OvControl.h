// The library's root object, the listener interfaces and the event dispatch.
#ifndef ORVANE_OVCONTROL_H
#define ORVANE_OVCONTROL_H

#include "OvExport.h"
#include "OvPtrList.h"
#include "OvTypes.h"

class COvCamera;
class COvControl;
class COvDataHandler;
class COvDataInfo;
class COvLog;
class COvMemData;
class COvMemManager;
class COvObject;
class COvScene;
class COvScreen;
class CQrStreamCreator;

// Object events. Every operation has an empty default body.
class OV_EXPORT COvObjectListener {
public:
    COvObjectListener() {}
    COvObjectListener(const COvObjectListener&) {}
    COvObjectListener& operator=(const COvObjectListener&) { return *this; }

    virtual void OnControlDeleting(COvControl*) {}
    virtual void OnObjectMoved(COvObject&) {}
    virtual void OnObjectResized(COvObject&) {}
    virtual void OnObjectSelectChanged(COvObject&) {}
    virtual void OnObjectShowChanged(COvObject&) {}
    virtual void OnObjectAdded(COvScene&, COvObject&) {}
    virtual void OnObjectRemoved(COvScene&, COvObject&) {}
    virtual void OnObjectDeleting(COvObject&) {}

protected:
    // Not virtual (the interface has no destructor slot), so not public either: a
    // listener is never deleted through this interface.
    ~COvObjectListener() {}
};

// Camera events. Every operation has an empty default body.
class OV_EXPORT COvCameraListener {
public:
    COvCameraListener() {}
    COvCameraListener(const COvCameraListener&) {}
    COvCameraListener& operator=(const COvCameraListener&) { return *this; }

    virtual void OnControlDeleting(COvControl*) {}
    virtual void OnCameraMoved(COvCamera&) {}
    virtual void OnCameraRolled(COvCamera&) {}
    virtual void OnCameraAddedToScene(COvScene&, COvCamera&) {}
    virtual void OnCameraRemovedFromScene(COvScene&, COvCamera&) {}
    virtual void OnCameraAddedToScreen(COvScreen&, COvCamera&) {}
    virtual void OnCameraRemovedFromScreen(COvScreen&, COvCamera&) {}

protected:
    ~COvCameraListener() {}
};

// Status codes of the control.
enum {
    OV_CONTROL_MEMMANAGER_INIT_FAILED = -1,
    OV_CONTROL_NO_MEMMANAGER = -2,
    OV_CONTROL_NO_LOG = -3,
    OV_CONTROL_LOG_FILE_FAILED = 56000,
    OV_CONTROL_LISTENER_REFUSED = -56001,
};

// Construct, register listeners, Init, hand the control to every scene, camera,
// screen and object, then Exit (or destroy). All operations run on the client's
// thread. The control must outlive everything initialised with it.
class OV_EXPORT COvControl {
public:
    COvControl();
    COvControl(const COvControl&) = delete;
    COvControl& operator=(const COvControl&) = delete;
    // Tells every object listener, then every camera listener, OnControlDeleting;
    // then Exit.
    virtual ~COvControl();

    // 0 returns "TALVORIN Library V1.00"; anything else a fixed notice text.
    static const char* GetVersion(unsigned int kind);

    // Creates and starts the memory manager (budget maxMem bytes, see SetMaxMem) and
    // the log (null path: no log file). 0; -2 / -3 when the manager / log cannot be
    // created; -1 when the manager's start fails; 56000 when the log file cannot be
    // opened (everything else runs). After -1, -2 or -3 no service is left behind.
    // On a control that is already running, Init refuses and returns -1 without
    // touching the running services (Exit first).
    int Init(unsigned int maxMem, const char* logPath);
    // Cancels every pending load, empties the cache, waits for the loading threads,
    // closes the log. Safe to repeat and without Init.
    void Exit();

    // 0, or -56001 for null or an already registered listener.
    int AddObjectListener(COvObjectListener* listener);
    int AddCameraListener(COvCameraListener* listener);
    // 0, or -56001 for null or a listener not registered.
    int RemoveObjectListener(COvObjectListener* listener);
    int RemoveCameraListener(COvCameraListener* listener);

    // Event dispatch, to the listeners of the kind in registration order. A listener
    // may add or remove listeners inside its callback: one removed is not called later
    // in the same dispatch; one added is called from the next event on.
    void OnObjectMoved(COvObject& object);
    void OnObjectResized(COvObject& object);
    void OnObjectSelectChanged(COvObject& object);
    void OnObjectShowChanged(COvObject& object);
    void OnObjectAdded(COvScene& scene, COvObject& object);
    void OnObjectRemoved(COvScene& scene, COvObject& object);
    void OnObjectDeleting(COvObject& object);
    void OnCameraMoved(COvCamera& camera);
    void OnCameraRolled(COvCamera& camera);
    void OnCameraAddedToScene(COvScene& scene, COvCamera& camera);
    void OnCameraRemovedFromScene(COvScene& scene, COvCamera& camera);
    void OnCameraAddedToScreen(COvScreen& screen, COvCamera& camera);
    void OnCameraRemovedFromScreen(COvScreen& screen, COvCamera& camera);

    // A line in the control's log; nothing without a log.
    void Logput(const char* className, const char* function, int code, const char* info,
                int origin);
    void Logput(const char* className, const char* function, int code, int info, int origin);

    // Data services; each needs a successful Init (without one they do nothing and
    // getting data answers -1).
    // 0 ready (*out locked), 200 queued for loading, -1 failed to load (*out then a
    // locked substitute from the list of COvDataInfo*, or null).
    int GetData(COvMemData** out, COvDataInfo* info, CPtrList* substitutes);
    // *out = the first datum of the list in memory (locked), or null. Returns 0.
    int CheckData(COvMemData** out, CPtrList* infos);
    void UnLockData(COvMemData* data);
    // Cancels the pending load of the datum, then drops it from the cache.
    void Delete(COvDataInfo* info);
    // Cancels every pending load, then empties the cache.
    void Delete();
    // The cache's budget in bytes; 0 means no limit; a value with the top bit set is
    // ignored.
    void SetMaxMem(unsigned int maxMem);
    bool IsNeedDataUpdate();
    // The creator (and handler) is handed over: the library calls its Free().
    void AddStreamCreator(CQrStreamCreator* creator);
    // Replaces (and Free()s) a handler already registered for the type.
    void AddDataHandler(int type, COvDataHandler* handler);
    bool IsDataHandlerAvailable(int type);

    // Drawing pass: BeginDraw sets how many loading threads may run (clamped into
    // 1..10); EndDraw trims the cache to its budget now.
    void BeginDraw(int threads);
    void EndDraw();

    COvMemManager* m_pMemManager;
    COvLog* m_pLog;

protected:
    CPtrList m_CameraListeners;
    CPtrList m_ObjectListeners;
};

#endif
