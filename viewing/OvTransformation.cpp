// The transformation family: COvTransformation (the rigid scene-to-camera part and the
// centred-to-canvas part), then COvPerspective and COvTargetPerspective (the projection).
#include "viewing/OvTransformation.h"

#include <cstring>
#include <new>

#include "OvScreen.h"
#include "foundation/OvNumeric.h"
#include "foundation/OvReport.h"
#include "foundation/OvVector.h"

COvTransformation::COvTransformation(COvControl* control)
    : m_pControl(control),
      m_Pos{0.0, 0.0, 0.0},
      m_Forward{0.0, 0.0, 0.0},
      m_Upward{0.0, 0.0, 0.0},
      m_Side{0.0, 0.0, 0.0},
      m_pScreen(nullptr) {}

COvTransformation::COvTransformation(const COvTransformation& other) = default;
COvTransformation& COvTransformation::operator=(const COvTransformation& other) = default;
COvTransformation::~COvTransformation() = default;

int COvTransformation::CameraToScreen(const COv3DPoint&, CPx2DPoint*) const {
    return 0;
}

int COvTransformation::ScreenToCamera(const CPx2DPoint&, const COv3DPoint&, const COv3DPoint&,
                                      COv3DPoint*) const {
    return 0;
}

int COvTransformation::GetSize(const COv3DPoint&, const COvSize3D&, COvSize*) const {
    return 0;
}

int COvTransformation::SetProperty(const char*, double) {
    return OV_TRANSFORMATION_NO_PROPERTY;
}

int COvTransformation::GetProperty(const char*, double*) const {
    return OV_TRANSFORMATION_NO_PROPERTY;
}

int COvTransformation::SetCamera(const COv3DPoint& pos, const COv3DPoint& forward,
                                 const COv3DPoint& upward, const COv3DPoint& side,
                                 COvScreen* screen) {
    if (screen == nullptr) {
        return ov::Report(m_pControl, "COvTransformation", "SetCamera", OV_TRANSFORMATION_NO_SCREEN,
                          "", ov::kFoundHere);
    }
    m_Pos = pos;
    m_Forward = forward;
    m_Upward = upward;
    m_Side = side;
    m_pScreen = screen;
    return 0;
}

int COvTransformation::SceneToCamera(const COv3DPoint& scene, COv3DPoint* camera) const {
    if (camera == nullptr)
        return ov::Report(m_pControl, "COvTransformation", "SceneToCamera", OV_E_NULL_OUTPUT, "",
                          ov::kFoundHere);
    const COv3DPoint d = ov::Sub(scene, m_Pos);
    *camera = COv3DPoint{ov::Dot(d, m_Side), ov::Dot(d, m_Upward), ov::Dot(d, m_Forward)};
    return 0;
}

int COvTransformation::GetCameraVector(COv3DPoint vector, COv3DPoint* camera) const {
    if (camera == nullptr)
        return ov::Report(m_pControl, "COvTransformation", "GetCameraVector", OV_E_NULL_OUTPUT, "",
                          ov::kFoundHere);
    *camera =
        COv3DPoint{ov::Dot(vector, m_Side), ov::Dot(vector, m_Upward), ov::Dot(vector, m_Forward)};
    return 0;
}

int COvTransformation::CameraToScene(const COv3DPoint& camera, COv3DPoint* scene) const {
    if (scene == nullptr)
        return ov::Report(m_pControl, "COvTransformation", "CameraToScene", OV_E_NULL_OUTPUT, "",
                          ov::kFoundHere);
    COv3DPoint s = ov::Add(m_Pos, ov::Scale(m_Side, camera.x));
    s = ov::Add(s, ov::Scale(m_Upward, camera.y));
    *scene = ov::Add(s, ov::Scale(m_Forward, camera.z));
    return 0;
}

int COvTransformation::GetCameraPos(COv3DPoint* pos) const {
    if (pos == nullptr)
        return ov::Report(m_pControl, "COvTransformation", "GetCameraPos", OV_E_NULL_OUTPUT, "",
                          ov::kFoundHere);
    *pos = m_Pos;
    return 0;
}

int COvTransformation::GetViewVector(COv3DPoint* v) const {
    if (v == nullptr)
        return ov::Report(m_pControl, "COvTransformation", "GetViewVector", OV_E_NULL_OUTPUT, "",
                          ov::kFoundHere);
    *v = m_Forward;
    return 0;
}

CPx2DPoint COvTransformation::Centre() const {
    return m_pScreen ? m_pScreen->GetCenter() : CPx2DPoint{0, 0};
}

int COvTransformation::GetScreenToCanvas(CPx2DPoint centred, CPx2DPoint* canvas) const {
    if (canvas == nullptr)
        return ov::Report(m_pControl, "COvTransformation", "GetScreenToCanvas", OV_E_NULL_OUTPUT,
                          "", ov::kFoundHere);
    const CPx2DPoint m = Centre();
    // Saturated: a point grazing the camera plane projects to the end of the range.
    *canvas = CPx2DPoint{ov::ClampPixel(static_cast<long long>(centred.x) + m.x),
                         ov::ClampPixel(static_cast<long long>(m.y) - centred.y)};
    return 0;
}

int COvTransformation::GetCanvasToScreen(CPx2DPoint canvas, CPx2DPoint* centred) const {
    if (centred == nullptr)
        return ov::Report(m_pControl, "COvTransformation", "GetCanvasToScreen", OV_E_NULL_OUTPUT,
                          "", ov::kFoundHere);
    const CPx2DPoint m = Centre();
    *centred = CPx2DPoint{ov::ClampPixel(static_cast<long long>(canvas.x) - m.x),
                          ov::ClampPixel(static_cast<long long>(m.y) - canvas.y)};
    return 0;
}

// ---------------------------------------------------------------------------
// COvPerspective and COvTargetPerspective: the projection onto the canvas
// ---------------------------------------------------------------------------

namespace {

constexpr double kDefaultFocus = 2000.0;

bool IsName(const char* name, const char* expected) {
    return name != nullptr && std::strcmp(name, expected) == 0;
}

}  // namespace

COvTransformation* CreateTransformation(int kind, COvControl* control) {
    if (kind == 3)
        return new (std::nothrow) COvTargetPerspective(control);
    return new (std::nothrow) COvPerspective(control);
}

// ===========================================================================
// Perspective
// ===========================================================================

COvPerspective::COvPerspective(COvControl* control)
    : COvTransformation(control), m_dFocus(kDefaultFocus) {}

COvPerspective::~COvPerspective() = default;

void COvPerspective::Free() {
    delete this;
}

int COvPerspective::CameraToScreen(const COv3DPoint& camera, CPx2DPoint* canvas) const {
    if (!(camera.z > 0.0))
        return OV_TRANSFORMATION_BEHIND;
    const double r = 1.0 / camera.z;
    const CPx2DPoint centred{ov::ToPixel(r * camera.x * m_dFocus),
                             ov::ToPixel(r * camera.y * m_dFocus)};
    // A null output is a failure, not a projection done.
    return GetScreenToCanvas(centred, canvas);
}

int COvPerspective::GetSize(const COv3DPoint& camera, const COvSize3D& size,
                            COvSize* pixels) const {
    if (pixels == nullptr) {
        return ov::Report(m_pControl, "COvPerspective", "GetSize", OV_E_NULL_OUTPUT, "",
                          ov::kFoundHere);
    }
    if (camera.z == 0.0)
        return OV_E_DEGENERATE;
    pixels->width = ov::ToPixel(m_dFocus / camera.z * size.width);
    pixels->height = ov::ToPixel(size.height / camera.z * m_dFocus);
    return 0;
}

int COvPerspective::ScreenToCamera(const CPx2DPoint& canvas, const COv3DPoint& normal,
                                   const COv3DPoint& planePoint, COv3DPoint* camera) const {
    if (camera == nullptr) {
        return ov::Report(m_pControl, "COvPerspective", "ScreenToCamera", OV_E_NULL_OUTPUT, "",
                          ov::kFoundHere);
    }
    if (m_dFocus == 0.0) {
        return ov::Report(m_pControl, "COvPerspective", "ScreenToCamera", OV_E_DEGENERATE, "",
                          ov::kFoundHere);
    }
    CPx2DPoint s{0, 0};
    COv3DPoint n{0.0, 0.0, 0.0};
    COv3DPoint p{0.0, 0.0, 0.0};
    GetCanvasToScreen(canvas, &s);
    GetCameraVector(normal, &n);
    SceneToCamera(planePoint, &p);
    const double den = s.x * n.x + s.y * n.y + m_dFocus * n.z;
    if (den == 0.0)
        return OV_E_DEGENERATE;
    const double z = m_dFocus * ov::Dot(p, n) / den;
    *camera = COv3DPoint{s.x * z / m_dFocus, s.y * z / m_dFocus, z};
    return 0;
}

int COvPerspective::SetProperty(const char* name, double value) {
    if (!IsName(name, "FOCUS"))
        return OV_TRANSFORMATION_NO_PROPERTY;
    m_dFocus = value;
    return 0;
}

int COvPerspective::GetProperty(const char* name, double* value) const {
    if (!IsName(name, "FOCUS") || value == nullptr)
        return OV_TRANSFORMATION_NO_PROPERTY;
    *value = m_dFocus;
    return 0;
}

// ===========================================================================
// Target perspective
// ===========================================================================

COvTargetPerspective::COvTargetPerspective(COvControl* control)
    : COvPerspective(control), m_nTargetZ(0) {}

COvTargetPerspective::~COvTargetPerspective() = default;

void COvTargetPerspective::Free() {
    delete this;
}

int COvTargetPerspective::SetProperty(const char* name, double value) {
    if (IsName(name, "TargetZ")) {
        m_nTargetZ = ov::ToPixel(value);
        return 0;
    }
    return COvPerspective::SetProperty(name, value);
}
