// COvScene: the container that ties objects to cameras.
#include "OvScene.h"
#include "OvCamera.h"
#include "OvScreen.h"
#include "foundation/OvLifeWatch.h"

COvScene::COvScene()
    : m_pControl(nullptr),
      m_Objects(10),
      m_Cameras(10),
      m_pObjectList(std::make_unique<COvObjectList>(&m_Objects)),
      m_pCameraList(std::make_unique<COvCameraList>(&m_Cameras)) {}

COvScene::~COvScene() {
    RemoveAllCameras();
    RemoveAllObjects();
}

int COvScene::Init(COvControl* control) {
    if (control == nullptr)
        return OV_E_NULL_CONTROL;
    m_pControl = control;
    return 0;
}

// ===========================================================================
// Objects
// ===========================================================================

void COvScene::AddObject(COvObject* obj) {
    if (obj == nullptr || obj->GetScene() == this)
        return;
    if (COvScene* previous = obj->GetScene()) {
        ov::LifeWatch watch(*obj);
        previous->RemoveObject(obj);
        // The listeners of the removal may have destroyed the object or placed it in a
        // scene themselves (this one included): what they did stands.
        if (watch.Gone() || obj->GetScene() != nullptr)
            return;
    }
    m_Objects.AddTail(obj);
    SceneUpdateOn(1);
    obj->_SetScene(this);
    if (m_pControl)
        m_pControl->OnObjectAdded(*this, *obj);
}

void COvScene::RemoveObject(COvObject* obj) {
    POSITION pos = obj ? m_Objects.Find(obj) : nullptr;
    if (pos == nullptr)
        return;
    obj->_RemoveScene();
    m_Objects.RemoveAt(pos);
    // NOTE: the scene is done with the object before anyone hears of the removal: a
    // listener may well destroy the object inside its callback.
    for (POSITION p = m_Cameras.GetHeadPosition(); p;)
        m_Cameras.GetNext(p)->_RemoveObject(obj);
    SceneUpdateOn(1);
    if (m_pControl)
        m_pControl->OnObjectRemoved(*this, *obj);
}

void COvScene::RemoveAllObjects() {
    if (!m_Objects.IsEmpty()) {
        for (POSITION p = m_Cameras.GetHeadPosition(); p;) {
            m_Cameras.GetNext(p)->_RemoveObject(nullptr);
        }
    }
    while (!m_Objects.IsEmpty()) {
        COvObject* obj = m_Objects.RemoveTail();
        obj->_RemoveScene();
        if (m_pControl)
            m_pControl->OnObjectRemoved(*this, *obj);
    }
    SceneUpdateOn(1);
}

// ===========================================================================
// Cameras
// ===========================================================================

void COvScene::AddCamera(COvCamera* cam) {
    if (cam == nullptr || cam->GetScene() == this)
        return;
    if (COvScene* previous = cam->GetScene()) {
        ov::LifeWatch watch(*cam);
        previous->RemoveCamera(cam);
        // As for objects: a listener's destruction or placement of the camera stands.
        if (watch.Gone() || cam->GetScene() != nullptr)
            return;
    }
    m_Cameras.AddTail(cam);
    cam->_SetScene(this);
    if (m_pControl)
        m_pControl->OnCameraAddedToScene(*this, *cam);
}

void COvScene::RemoveCamera(COvCamera* cam) {
    POSITION pos = cam ? m_Cameras.Find(cam) : nullptr;
    if (pos == nullptr)
        return;
    m_Cameras.RemoveAt(pos);
    cam->_RemoveScene();
    if (m_pControl)
        m_pControl->OnCameraRemovedFromScene(*this, *cam);
}

void COvScene::RemoveAllCameras() {
    while (!m_Cameras.IsEmpty()) {
        COvCamera* cam = m_Cameras.RemoveTail();
        cam->_RemoveScene();
        if (m_pControl)
            m_pControl->OnCameraRemovedFromScene(*this, *cam);
    }
}

// ===========================================================================
// Updates
// ===========================================================================

void COvScene::SceneUpdateOn(int flag) {
    for (POSITION p = m_Cameras.GetHeadPosition(); p;)
        m_Cameras.GetNext(p)->CameraUpdateOn(flag);
}

void COvScene::UpdateCamera() {
    for (POSITION p = m_Cameras.GetHeadPosition(); p;)
        m_Cameras.GetNext(p)->UpdateObject();
}

void COvScene::Update() {
    for (POSITION p = m_Cameras.GetHeadPosition(); p;) {
        COvCamera* cam = m_Cameras.GetNext(p);
        cam->UpdateObject();
        if (COvScreen* screen = cam->GetScreen())
            screen->Update();
    }
}

void COvScene::Exit() {
    RemoveAllCameras();
    RemoveAllObjects();
}
