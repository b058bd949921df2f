// COvPerspective and COvTargetPerspective: the projection onto the canvas.
#include "viewing/OvPerspective.h"

#include <cstring>
#include <new>

#include "foundation/OvNumeric.h"
#include "foundation/OvReport.h"
#include "foundation/OvVector.h"

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
