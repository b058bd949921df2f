// COvCamera: life, binding, placement, turns and the transformation it owns.
#include "OvCamera.h"

#include "OvScene.h"
#include "OvScreen.h"
#include "foundation/OvLifeWatch.h"
#include "foundation/OvReport.h"
#include "foundation/OvVector.h"
#include "viewing/OvTransformation.h"

namespace {

// Radians per degree as the library has always turned: deliberately not pi / 180.
constexpr double kRadiansPerDegree = 0.017453288888889;

// A vector length that can be divided by. NaN and infinite lengths count as
// degenerate too: they would leave a frame no projection can use.
bool IsUsable(double length) {
    return std::isfinite(length) && length > 0.0;
}

}  // namespace

// ===========================================================================
// Life
// ===========================================================================

COvCamera::COvCamera()
    : m_pControl(nullptr),
      m_pScene(nullptr),
      m_pScreen(nullptr),
      m_VirtualObjects(10),
      m_Pos{0.0, 0.0, -300.0},
      m_Forward{0.0, 0.0, 1.0},
      m_Upward{0.0, 1.0, 0.0},
      m_Side{1.0, 0.0, 0.0},
      m_nTransKind(0),
      m_pTransformation(nullptr),
      m_nRange(2000),
      m_bUpdated(0),
      m_RetiredObjects(10),
      m_pLifeWatch(nullptr) {}

COvCamera::~COvCamera() {
    ov::LifeWatch::Bury(m_pLifeWatch);
    COvCamera::Exit();
}

int COvCamera::IsObjectVisible(const COvSize&, const CPx2DPoint&, const COvSize&, double) {
    return 0;
}

void COvCamera::Exit() {
    ReleaseTransformation();
    // The scene and the screen unbind the camera before they tell the listeners, who
    // may destroy it.
    ov::LifeWatch watch(*this);
    if (m_pScene) {
        m_pScene->RemoveCamera(this);
        if (watch.Gone())
            return;
    }
    if (m_pScreen) {
        m_pScreen->RemoveCamera(this);
        if (watch.Gone())
            return;
    }
    RemoveVirtualObject();
}

int COvCamera::Init(COvControl* control, const COv3DPoint& pos, const COv3DPoint& forward,
                    const COv3DPoint& upward, int kind, unsigned int range) {
    Exit();
    if (control == nullptr)
        return OV_E_NULL_CONTROL;
    m_pControl = control;
    if (range == 0)
        return ov::Report(m_pControl, "COvCamera", "Init", OV_CAMERA_BAD_RANGE, "0",
                          ov::kFoundHere);
    m_nRange = range;
    m_nTransKind = kind;
    m_Pos = pos;
    RemoveVirtualObject();
    m_pScene = nullptr;
    SetDirection(forward, upward);
    m_pTransformation = CreateTransformation(kind, control);
    if (m_pTransformation == nullptr) {
        return ov::Report(m_pControl, "COvCamera", "Init", OV_CAMERA_NO_TRANSFORMATION, "",
                          ov::kFoundHere);
    }
    return 0;
}

void COvCamera::ReleaseTransformation() {
    if (m_pTransformation)
        m_pTransformation->Free();
    m_pTransformation = nullptr;
}

void COvCamera::FollowScreen() {
    // NOTE: not through SetCamera, which keeps the last screen when given none: a
    // screen the camera left may be gone, and its centre is no longer this view's.
    if (m_pTransformation)
        m_pTransformation->m_pScreen = m_pScreen;
}

// ===========================================================================
// Binding
// ===========================================================================

void COvCamera::_SetScene(COvScene* scene) {
    m_pScene = scene;
    m_bUpdated = 1;
}

void COvCamera::_RemoveScene() {
    // The view showed the scene's objects, which the camera can no longer follow.
    Retire(true, nullptr);
    m_pScene = nullptr;
    m_bUpdated = 1;
}

void COvCamera::_AddScreen(COvScreen* screen) {
    if (m_pScreen && m_pScreen != screen) {
        ov::LifeWatch watch(*this);
        m_pScreen->RemoveCamera(this);
        if (watch.Gone())
            return;
    }
    m_pScreen = screen;
    FollowScreen();
    m_bUpdated = 1;
}

void COvCamera::_RemoveScreen() {
    m_pScreen = nullptr;
    FollowScreen();
}

void COvCamera::_RemoveObject(COvObject* object) {
    Retire(object == nullptr, object);
}

// ===========================================================================
// Placement and direction
// ===========================================================================

void COvCamera::GetDirection(COv3DPoint* forward, COv3DPoint* upward, COv3DPoint* side) const {
    if (forward)
        *forward = m_Forward;
    if (upward)
        *upward = m_Upward;
    if (side)
        *side = m_Side;
}

int COvCamera::SetRange(unsigned int range) {
    m_bUpdated = 1;
    if (range == 0) {
        return ov::Report(m_pControl, "COvCamera", "SetRange", OV_CAMERA_BAD_RANGE, "0",
                          ov::kFoundHere);
    }
    m_nRange = range;
    return 0;
}

void COvCamera::SetPos(const COv3DPoint& pos) {
    m_bUpdated = 1;
    m_Pos = pos;
    if (m_pControl)
        m_pControl->OnCameraMoved(*this);
}

int COvCamera::Move(const COv3DPoint& delta) {
    m_Pos = ov::Add(m_Pos, ov::Scale(m_Forward, delta.z));
    m_Pos = ov::Add(m_Pos, ov::Scale(m_Upward, delta.y));
    m_Pos = ov::Add(m_Pos, ov::Scale(m_Side, delta.x));
    m_bUpdated = 1;
    if (m_pControl)
        m_pControl->OnCameraMoved(*this);
    return 0;
}

// Turns a away from b about the axis k; only a and b change.
int COvCamera::Turn(const char* name, int degrees, COv3DPoint& a, COv3DPoint& b,
                    const COv3DPoint& k) {
    m_bUpdated = 1;
    const double theta = (degrees % 360) * kRadiansPerDegree;
    const double co = std::cos(theta);
    const double si = std::sin(theta);
    const COv3DPoint v = ov::Sub(ov::Scale(a, co), ov::Scale(b, si));
    const COv3DPoint w = ov::Cross(v, k);
    const COv3DPoint turned = ov::Cross(k, w);
    const double lenTurned = ov::Length(turned);
    const double lenW = ov::Length(w);
    if (!IsUsable(lenTurned) || !IsUsable(lenW))
        return ov::Report(m_pControl, "COvCamera", name, OV_E_DEGENERATE, "", ov::kFoundHere);
    a = ov::Scale(turned, 1.0 / lenTurned);
    b = ov::Scale(w, 1.0 / lenW);
    if (m_pControl)
        m_pControl->OnCameraRolled(*this);
    return 0;
}

int COvCamera::Roll(int degrees) {
    return Turn("Roll", degrees, m_Upward, m_Side, m_Forward);
}

int COvCamera::Pan(int degrees) {
    return Turn("Pan", degrees, m_Side, m_Forward, m_Upward);
}

int COvCamera::Tilt(int degrees) {
    return Turn("Tilt", degrees, m_Forward, m_Upward, m_Side);
}

int COvCamera::SetDirection(const COv3DPoint& forward, const COv3DPoint& upward) {
    const double lenF = ov::Length(forward);
    if (!IsUsable(lenF))
        return ov::Report(m_pControl, "COvCamera", "SetDirection", OV_E_DEGENERATE, "",
                          ov::kFoundHere);
    const COv3DPoint f = ov::Scale(forward, 1.0 / lenF);
    const COv3DPoint s = ov::Cross(upward, f);
    const COv3DPoint n = ov::Cross(f, s);
    const double lenS = ov::Length(s);
    const double lenN = ov::Length(n);
    if (!IsUsable(lenN) || !IsUsable(lenS))
        return ov::Report(m_pControl, "COvCamera", "SetDirection", OV_E_DEGENERATE, "",
                          ov::kFoundHere);
    m_Forward = f;
    m_Upward = ov::Scale(n, 1.0 / lenN);
    m_Side = ov::Scale(s, 1.0 / lenS);
    if (m_pControl)
        m_pControl->OnCameraRolled(*this);
    return 0;
}

// ===========================================================================
// Transformation
// ===========================================================================

COvTransformation* COvCamera::GetTransformation() {
    if (m_pTransformation) {
        m_pTransformation->SetCamera(m_Pos, m_Forward, m_Upward, m_Side, m_pScreen);
    }
    return m_pTransformation;
}

int COvCamera::SetTransformation(COvTransformation* t) {
    if (t == nullptr)
        return OV_CAMERA_TRANSFORMATION_REFUSED;
    if (t != m_pTransformation)
        ReleaseTransformation();
    m_pTransformation = t;
    FollowScreen();
    m_nTransKind = -1;
    return 0;
}

int COvCamera::SetTransformation(int kind) {
    COvTransformation* t = CreateTransformation(kind, m_pControl);
    if (t == nullptr)
        return OV_CAMERA_TRANSFORMATION_REFUSED;
    ReleaseTransformation();
    m_pTransformation = t;
    FollowScreen();
    m_nTransKind = kind;
    return 0;
}

int COvCamera::SetTransProperty(const char* name, double value) {
    return m_pTransformation ? m_pTransformation->SetProperty(name, value)
                             : OV_TRANSFORMATION_NO_PROPERTY;
}

int COvCamera::GetTransProperty(const char* name, double* value) {
    return m_pTransformation ? m_pTransformation->GetProperty(name, value)
                             : OV_TRANSFORMATION_NO_PROPERTY;
}
