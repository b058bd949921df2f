// COvVirtualLineObject: a line between two projected end points, with arrow heads.
#include <cmath>

#include "OvCamera.h"
#include "OvScene.h"
#include "OvVirtual.h"
#include "Pixmere.h"
#include "foundation/OvNumeric.h"
#include "foundation/OvReport.h"
#include "viewing/OvArrowHead.h"

bool ov::ArrowHead(CPx2DPoint at, CPx2DPoint toward, int w, CPx2DPoint vertices[3]) {
    const double dx = static_cast<double>(toward.x) - at.x;
    const double dy = static_cast<double>(toward.y) - at.y;
    const double length = std::sqrt(dx * dx + dy * dy);
    const double a = 3.0 * w;
    if (!(length > a) || !(a > 0.0))
        return false;
    const double ux = dx / length;
    const double uy = dy / length;
    // n is u turned a quarter: (u.y, -u.x).
    const double nx = uy;
    const double ny = -ux;
    const double baseX = at.x + 2.0 * w * ux;
    const double baseY = at.y + 2.0 * w * uy;
    vertices[0] = CPx2DPoint{ToPixel(at.x - w * ux), ToPixel(at.y - w * uy)};
    vertices[1] = CPx2DPoint{ToPixel(baseX + 1.5 * w * nx), ToPixel(baseY + 1.5 * w * ny)};
    vertices[2] = CPx2DPoint{ToPixel(baseX - 1.5 * w * nx), ToPixel(baseY - 1.5 * w * ny)};
    return true;
}

COvVirtualLineObject::COvVirtualLineObject()
    : m_StartVirtual{0, 0}, m_EndVirtual{0, 0}, m_nLineWidthVirtual(0) {}

COvVirtualLineObject::~COvVirtualLineObject() = default;

int COvVirtualLineObject::InitVirtual(COvCamera*, COvTransformation* transformation) {
    const auto* line = dynamic_cast<const COvLineObject*>(m_pObject);
    if (line == nullptr || transformation == nullptr)
        return OV_E_DEGENERATE;

    const COv3DPoint* ends[2] = {&line->GetStartPos(), &line->GetEndPos()};
    CPx2DPoint projected[2] = {{0, 0}, {0, 0}};
    COv3DPoint q{0.0, 0.0, 0.0};
    for (int i = 0; i < 2; ++i) {
        transformation->SceneToCamera(*ends[i], &q);
        const int rc = transformation->CameraToScreen(q, &projected[i]);
        if (rc != 0) {
            return ov::Report(m_pControl, "COvVirtualLineObject", "VirtualLineObjectInit", rc,
                              "pTransformation->CameraToScreen", ov::kPassedOn);
        }
    }
    m_StartVirtual = projected[0];
    m_EndVirtual = projected[1];

    const COvLineStyle& style = line->GetStyle();
    const int w = style.m_nWidth;
    if (style.m_bScaled) {
        // Projected at the depth of the end point (q holds it); no minimum width.
        COvSize width{0, 0};
        const int rc = transformation->GetSize(q, COvSize3D{double(w), double(w)}, &width);
        if (rc != 0) {
            return ov::Report(m_pControl, "COvVirtualLineObject", "VirtualLineObjectInit", rc,
                              " pTransformation->GetSize", ov::kPassedOn);
        }
        m_nLineWidthVirtual = width.width;
    } else {
        m_nLineWidthVirtual = w;
        if (m_Size.width <= 0)
            m_Size.width = w;
        if (m_Size.height <= 0)
            m_Size.height = w;
    }
    return 0;
}

bool COvVirtualLineObject::HitTest(const CPx2DPoint&, const CPx2DPoint&, const COvSize&) {
    return false;
}

int COvVirtualLineObject::Draw(CPxCanvas24* canvas, CPx2DPoint) {
    const auto* line = dynamic_cast<const COvLineObject*>(m_pObject);
    if (canvas == nullptr || line == nullptr)
        return 0;
    const COvLineStyle& style = line->GetStyle();
    const int w = m_nLineWidthVirtual;
    const CPx2DPoint s = m_StartVirtual;
    const CPx2DPoint e = m_EndVirtual;
    canvas->DrawLine(s.x, s.y, e.x, e.y, w, style.m_Color);
    CPx2DPoint head[3];
    if (style.m_nStartArrow == 1 && ov::ArrowHead(s, e, w, head)) {
        canvas->DrawTriangle(head[0].x, head[0].y, head[1].x, head[1].y, head[2].x, head[2].y,
                             style.m_Color);
    }
    if (style.m_nEndArrow == 1 && ov::ArrowHead(e, s, w, head)) {
        canvas->DrawTriangle(head[0].x, head[0].y, head[1].x, head[1].y, head[2].x, head[2].y,
                             style.m_Color);
    }
    return 0;
}

void COvVirtualLineObject::GetPointVirtual(CPx2DPoint& start, CPx2DPoint& end) {
    start = m_StartVirtual;
    end = m_EndVirtual;
}

void COvVirtualLineObject::SetPointVirtual(const CPx2DPoint& start, const CPx2DPoint& end) {
    m_StartVirtual = start;
    m_EndVirtual = end;
}
