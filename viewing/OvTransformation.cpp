// COvTransformation: the rigid scene-to-camera part and the centred-to-canvas part.
#include "OvCamera.h"
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
