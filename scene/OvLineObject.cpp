// COvLineObject: a straight segment whose centre and size follow its end points.
#include <new>

#include "OvScene.h"
#include "OvVirtual.h"
#include "foundation/OvLifeWatch.h"
#include "foundation/OvReport.h"
#include "foundation/OvVector.h"

COvLineObject::COvLineObject()
    : m_StartPos{0.0, 0.0, 0.0}, m_EndPos{0.0, 0.0, 0.0}, m_Style{1, {0, 0, 0}, 0, 0, 0} {}

COvLineObject::COvLineObject(const COvLineObject& other) = default;
COvLineObject& COvLineObject::operator=(const COvLineObject& other) = default;

COvLineObject::~COvLineObject() {
    Exit();
}

int COvLineObject::Init(COvControl* control, const COv3DPoint& start, const COv3DPoint& end,
                        const COvLineStyle& style, int selected, int visible, void* userData) {
    if (control == nullptr)
        return OV_E_NULL_CONTROL;
    m_pControl = control;
    const double length = ov::Length(ov::Sub(start, end));
    const COv3DPoint mid = ov::Midpoint(start, end);
    m_StartPos = start;
    m_EndPos = end;
    m_Pos = mid;
    int rc = SetStyle(style);
    if (rc != 0)
        return ov::Report(m_pControl, "COvLineObject", "Init", rc, "SetStyle", ov::kPassedOn);
    // A line has no frame.
    const COvFrameStyle frame{0, 0, {255, 0, 0}};
    rc = COvObject::Init(control, 3, mid, COvSize3D{length, length}, selected, visible, userData,
                         frame);
    if (rc != 0) {
        return ov::Report(m_pControl, "COvLineObject", "Init", rc, "COvObject::Init",
                          ov::kPassedOn);
    }
    return 0;
}

void COvLineObject::GetLinePos(COv3DPoint& start, COv3DPoint& end) const {
    start = m_StartPos;
    end = m_EndPos;
}

void COvLineObject::SetLinePos(const COv3DPoint& start, const COv3DPoint& end) {
    // Copied before storing: either argument may be one of our own members.
    const COv3DPoint newStart = start;
    const COv3DPoint newEnd = end;
    const double length = ov::Length(ov::Sub(newStart, newEnd));
    const COv3DPoint mid = ov::Midpoint(newStart, newEnd);
    m_StartPos = newStart;
    m_EndPos = newEnd;
    {
        // A listener of the resize may destroy the line. Equal points are refused by
        // SetSize (logged), and the line keeps its previous size.
        ov::LifeWatch watch(*this);
        SetSize(COvSize3D{length, length});
        if (watch.Gone())
            return;
    }
    COvObject::SetPos(mid);
}

void COvLineObject::SetStartPos(const COv3DPoint& start) {
    SetLinePos(start, m_EndPos);
}

void COvLineObject::SetEndPos(const COv3DPoint& end) {
    SetLinePos(m_StartPos, end);
}

void COvLineObject::MoveStartPos(const COv3DPoint& delta) {
    SetLinePos(ov::Add(m_StartPos, delta), m_EndPos);
}

void COvLineObject::MoveEndPos(const COv3DPoint& delta) {
    SetLinePos(m_StartPos, ov::Add(m_StartPos, delta));
}

void COvLineObject::SetPos(const COv3DPoint& pos) {
    const COv3DPoint delta = ov::Sub(pos, m_Pos);
    m_StartPos = ov::Add(m_StartPos, delta);
    m_EndPos = ov::Add(m_EndPos, delta);
    COvObject::SetPos(pos);
}

void COvLineObject::Move(const COv3DPoint& delta) {
    m_StartPos = ov::Add(m_StartPos, delta);
    m_EndPos = ov::Add(m_EndPos, delta);
    COvObject::Move(delta);
}

int COvLineObject::SetStyle(const COvLineStyle& style) {
    if (style.m_nWidth <= 0) {
        return ov::Report(m_pControl, "COvLineObject", "SetStyle", OV_LINE_BAD_WIDTH,
                          style.m_nWidth, ov::kFoundHere);
    }
    m_Style = style;
    return 0;
}

COvVirtualObject* COvLineObject::MakeVirtualObject() {
    return new (std::nothrow) COvVirtualLineObject();
}
