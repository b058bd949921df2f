// COvObject: the base of every scene object.
#include <cstdio>

#include "OvCamera.h"
#include "OvScene.h"
#include "foundation/OvLifeWatch.h"
#include "foundation/OvNumeric.h"
#include "foundation/OvReport.h"

// ===========================================================================
// Life
// ===========================================================================

COvObject::COvObject()
    : m_pControl(nullptr),
      m_nOutScreen(0),
      m_nType(0),
      m_Size{0.0, 0.0},
      m_Pos{0.0, 0.0, 0.0},
      m_nSelected(0),
      m_nVisible(0),
      m_pUserData(nullptr),
      m_Frame{0, 0, {0, 0, 0}},
      m_pScene(nullptr),
      m_pLifeWatch(nullptr) {}

COvObject::COvObject(const COvObject& other)
    : m_pControl(other.m_pControl),
      m_nOutScreen(other.m_nOutScreen),
      m_nType(other.m_nType),
      m_Size(other.m_Size),
      m_Pos(other.m_Pos),
      m_nSelected(other.m_nSelected),
      m_nVisible(other.m_nVisible),
      m_pUserData(other.m_pUserData),
      m_Frame(other.m_Frame),
      m_pScene(nullptr),
      m_pLifeWatch(nullptr) {}

COvObject& COvObject::operator=(const COvObject& other) {
    m_pControl = other.m_pControl;
    m_nOutScreen = other.m_nOutScreen;
    m_nType = other.m_nType;
    m_Size = other.m_Size;
    m_Pos = other.m_Pos;
    m_nSelected = other.m_nSelected;
    m_nVisible = other.m_nVisible;
    m_pUserData = other.m_pUserData;
    m_Frame = other.m_Frame;
    SceneUpdateOn();
    return *this;
}

COvObject::~COvObject() {
    ov::LifeWatch::Bury(m_pLifeWatch);
    if (m_pControl)
        m_pControl->OnObjectDeleting(*this);
    if (m_pScene) {
        m_pScene->RemoveObject(this);
        m_pScene = nullptr;
    }
    m_nOutScreen = 0;
}

int COvObject::Init(COvControl* control, int type, COv3DPoint pos, COvSize3D size, int selected,
                    int visible, void* userData, COvFrameStyle frame) {
    if (control == nullptr)
        return OV_E_NULL_CONTROL;
    m_pControl = control;
    m_nOutScreen = 0;
    if (frame.m_nWidth < 0) {
        return ov::Report(m_pControl, "COvObject", "Init", OV_OBJECT_NEGATIVE_FRAME, frame.m_nWidth,
                          ov::kFoundHere);
    }
    m_nType = type;
    m_Size = size;
    m_Pos = pos;
    m_nSelected = selected;
    m_nVisible = visible;
    m_pUserData = userData;
    m_Frame.m_bScaled = frame.m_bScaled;
    m_Frame.m_nWidth = frame.m_nWidth;
    m_Frame.m_Color = OV_RGB(frame.m_Color.r, frame.m_Color.g, frame.m_Color.b);
    return 0;
}

void COvObject::_SetScene(COvScene* scene) {
    m_pScene = scene;
}

void COvObject::_RemoveScene() {
    m_pScene = nullptr;
}

void COvObject::Exit() {
    m_nOutScreen = 0;
    // The scene clears the scene pointer before it tells the listeners, who may
    // destroy the object or place it elsewhere: nothing is touched after.
    if (m_pScene)
        m_pScene->RemoveObject(this);
}

// ===========================================================================
// Properties
// ===========================================================================

void COvObject::SetVisible(int visible) {
    m_nVisible = visible;
}

void COvObject::SetSelected(int selected) {
    m_nSelected = selected;
    if (m_pControl)
        m_pControl->OnObjectSelectChanged(*this);
}

int COvObject::SetSize(const COvSize3D& size) {
    // The negated test also refuses NaN sides.
    if (!(size.width > 0.0) || !(size.height > 0.0)) {
        char detail[64];
        std::snprintf(detail, sizeof detail, "width = %ld | height = %ld",
                      static_cast<long>(ov::ToPixel(size.width)),
                      static_cast<long>(ov::ToPixel(size.height)));
        return ov::Report(m_pControl, "COvObject", "SetSize", OV_OBJECT_BAD_SIZE, detail,
                          ov::kFoundHere);
    }
    m_Size = size;
    if (m_pControl)
        m_pControl->OnObjectResized(*this);
    return 0;
}

bool COvObject::GetRecommendedSize(COvSize&) const {
    return false;
}

int COvObject::SetFrame(const COvFrameStyle& frame) {
    if (frame.m_nWidth < 0) {
        return ov::Report(m_pControl, "COvObject", "SetFrame", OV_OBJECT_NEGATIVE_FRAME,
                          frame.m_nWidth, ov::kFoundHere);
    }
    m_Frame = frame;
    return 0;
}

void COvObject::SetUserData(void* userData) {
    m_pUserData = userData;
}

void COvObject::SetPos(const COv3DPoint& pos) {
    m_Pos = pos;
    // Marked before the event: a listener may destroy the object inside it.
    SceneUpdateOn();
    if (m_pControl)
        m_pControl->OnObjectMoved(*this);
}

void COvObject::Move(const COv3DPoint& delta) {
    m_Pos.x += delta.x;
    m_Pos.y += delta.y;
    m_Pos.z += delta.z;
    SceneUpdateOn();
    if (m_pControl)
        m_pControl->OnObjectMoved(*this);
}

void COvObject::OutScreen() {}

void COvObject::SceneUpdateOn() {
    if (m_pScene)
        m_pScene->SceneUpdateOn(1);
}
