// The screen's geometry, its displayed list (merge and sort) and the hit tests.
#include <algorithm>
#include <cmath>
#include <limits>
#include <typeinfo>

#include "OvCamera.h"
#include "OvScene.h"
#include "OvScreen.h"
#include "OvVirtual.h"
#include "foundation/OvNumeric.h"
#include "foundation/OvReport.h"
#include "screen/OvImageDraw.h"

namespace {

const COvSize kNoSize{0, 0};
const CPx2DPoint kNoPoint{0, 0};

// Sort key: camera depth, a NaN depth counting as farthest so that the order stays
// strict whatever the objects hold.
double DepthOf(const COvVirtualObject* object) {
    const double z = object->Get3DPoint().z;
    return std::isnan(z) ? std::numeric_limits<double>::infinity() : z;
}

// True for the library's own virtual objects, which draw pictures, lines, triangles and
// frames only and never reach the depth buffer; a subclass may do anything.
bool DrawsPixelsOnly(const COvVirtualObject& object) {
    const std::type_info& type = typeid(object);
    return type == typeid(COvVirtualImageObject) || type == typeid(COvVirtualTextObject) ||
           type == typeid(COvVirtualLineObject) || type == typeid(COvVirtualObject);
}

}  // namespace

// ---------------------------------------------------------------------------
// Hooks
// ---------------------------------------------------------------------------

int COvScreen::DrawBack(CPxCanvas24*) {
    return 0;
}

int COvScreen::DrawFront(CPxCanvas24*) {
    return 0;
}

void COvScreen::GetObjectOffset(const COvSize* size, CPx2DPoint& offset) {
    offset = size ? OV_2DPOINT(size->width / 2, size->height / 2) : OV_2DPOINT(0, 0);
}

void COvScreen::CheckDrawArea(RECT& area) {
    if (m_hWnd != nullptr) {
        area = RECT{0, 0, 0, 0};
        GetClientRect(m_hWnd, &area);
    } else if (m_pDrawWindow != nullptr) {
        area = RECT{0, 0, m_pDrawWindow->m_Size.width, m_pDrawWindow->m_Size.height};
    } else {
        area = RECT{0, 0, 0, 0};
    }
}

// ---------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------

const COvSize& COvScreen::GetSize() const {
    return m_pDrawWindow ? m_pDrawWindow->m_Size : kNoSize;
}

const CPx2DPoint& COvScreen::GetCenter() const {
    return m_pDrawWindow ? m_pDrawWindow->m_Center : kNoPoint;
}

CPxCanvas24* COvScreen::GetCanvas() {
    return m_pDrawWindow ? m_pDrawWindow->HandOutCanvas() : nullptr;
}

int COvScreen::ResizeScreen() {
    if (m_pDrawWindow == nullptr)
        return OV_SCREEN_SIZE_UNCHANGED;
    RECT area{0, 0, 0, 0};
    CheckDrawArea(area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width == m_pDrawWindow->m_Size.width && height == m_pDrawWindow->m_Size.height)
        return OV_SCREEN_SIZE_UNCHANGED;
    return m_pDrawWindow->ResizeScreen(width, height, m_strBackImage);
}

int COvScreen::IsObjectIn(double z, CPx2DPoint* point, COvSize* size) {
    if (!(z > 0.0) || point == nullptr || size == nullptr)
        return 1;
    RECT area{0, 0, 0, 0};
    CheckDrawArea(area);
    CPx2DPoint offset{0, 0};
    GetObjectOffset(size, offset);
    // In 64 bits: projected positions may lie anywhere in the int range.
    const long long x = point->x;
    const long long y = point->y;
    if (x + offset.x <= 0 || x - offset.x >= area.right)
        return 1;
    if (y + offset.y <= 0 || y - offset.y >= area.bottom)
        return 1;
    return 0;
}

// ---------------------------------------------------------------------------
// Displayed list
// ---------------------------------------------------------------------------

int COvScreen::IsScreenUpdated() {
    int updated = m_bCameraChanged;
    for (POSITION pos = m_Cameras.GetHeadPosition(); pos != nullptr;) {
        if (m_Cameras.GetNext(pos)->IsUpdated())
            updated = 1;
    }
    if (updated) {
        m_bCameraChanged = 0;
        for (POSITION pos = m_Cameras.GetHeadPosition(); pos != nullptr;) {
            m_Cameras.GetNext(pos)->CameraUpdateOn(0);
        }
    }
    return updated;
}

bool COvScreen::IsMergeCurrent() const {
    std::size_t index = 0;
    for (POSITION pos = m_Cameras.GetHeadPosition(); pos != nullptr;) {
        const CPtrList* objects = m_Cameras.GetNext(pos)->GetVirtualObject();
        for (POSITION at = objects->GetHeadPosition(); at != nullptr; ++index) {
            const void* object = objects->GetNext(at);
            if (index >= m_Merged.size() || m_Merged[index] != object)
                return false;
        }
    }
    return index == m_Merged.size();
}

void COvScreen::ObjectMerge() {
    m_Merged.clear();
    for (POSITION pos = m_Cameras.GetHeadPosition(); pos != nullptr;) {
        const CPtrList* objects = m_Cameras.GetNext(pos)->GetVirtualObject();
        for (POSITION at = objects->GetHeadPosition(); at != nullptr;) {
            m_Merged.push_back(static_cast<COvVirtualObject*>(objects->GetNext(at)));
        }
    }
    m_ppDisplayed = m_Merged;
    m_nDisplayed = static_cast<int>(m_ppDisplayed.size());
}

void COvScreen::ObjectSort() {
    // Stable, so that a rebuild of the same objects gives the same order and the hit
    // tests agree with what was drawn for objects at equal depth.
    std::stable_sort(m_ppDisplayed.begin(), m_ppDisplayed.end(),
                     [](const COvVirtualObject* a, const COvVirtualObject* b) {
                         return DepthOf(a) > DepthOf(b);
                     });
}

void COvScreen::RefreshDisplayed() {
    bool stale = m_bCameraChanged != 0;
    for (POSITION pos = m_Cameras.GetHeadPosition(); pos != nullptr && !stale;) {
        if (m_Cameras.GetNext(pos)->IsUpdated())
            stale = true;
    }
    if (stale || !IsMergeCurrent()) {
        ObjectMerge();
        ObjectSort();
    }
}

CPx2DPoint COvScreen::TopLeftOf(const COvVirtualObject* object) {
    CPx2DPoint offset{0, 0};
    GetObjectOffset(&object->GetSize(), offset);
    // In 64 bits: a subclass's offset may reach anywhere in the int range.
    const CPx2DPoint& centre = object->Get2DPoint();
    return OV_2DPOINT(ov::ClampPixel(static_cast<long long>(centre.x) - offset.x),
                      ov::ClampPixel(static_cast<long long>(centre.y) - offset.y));
}

int COvScreen::DrawObject(COvVirtualObject* object) {
    CPxCanvas24* canvas = nullptr;
    if (m_pDrawWindow != nullptr) {
        canvas = DrawsPixelsOnly(*object) ? m_pDrawWindow->m_pCanvas.get()
                                          : m_pDrawWindow->HandOutCanvas();
    }
    return object->Draw(canvas, TopLeftOf(object));
}

// ---------------------------------------------------------------------------
// Queries
// ---------------------------------------------------------------------------

bool COvScreen::ShownBox(const COvVirtualObject* object, CPx2DPoint& topLeft, COvSize& size) {
    if (!object->IsShown())
        return false;
    size = object->GetSize();
    topLeft = TopLeftOf(object);
    return true;
}

COvObject* COvScreen::GetObjectAtPos(const CPx2DPoint& point) {
    RefreshDisplayed();
    for (auto it = m_ppDisplayed.rbegin(); it != m_ppDisplayed.rend(); ++it) {
        if (IsHit(*it, point))
            return (*it)->GetObject();
    }
    return nullptr;
}

int COvScreen::GetAllObjectsAtPos(const CPx2DPoint& point, COvObjectList* list) {
    if (list == nullptr) {
        return ov::Report(m_pControl, "COvScreen", "GetAllObjectsAtPos", OV_E_NULL_OUTPUT, "list",
                          ov::kFoundHere);
    }
    RefreshDisplayed();
    for (COvVirtualObject* object : m_ppDisplayed) {
        if (IsHit(object, point))
            list->Add(object->GetObject());
    }
    return list->GetCount();
}

int COvScreen::GetDisplayedObject(int index, COvObject*& object, CPx2DPoint* pos, COvSize* size) {
    RefreshDisplayed();
    if (index < 0 || index >= m_nDisplayed)
        return OV_SCREEN_NO_SUCH_OBJECT;
    const COvVirtualObject* entry = m_ppDisplayed[static_cast<std::size_t>(index)];
    object = entry->GetObject();
    if (pos != nullptr)
        *pos = TopLeftOf(entry);
    if (size != nullptr)
        *size = entry->GetSize();
    return 0;
}

int COvScreen::GetDisplayedObjectCount() const {
    return m_nDisplayed;
}

bool COvScreen::IsHit(COvVirtualObject* object, const CPx2DPoint& point) {
    CPx2DPoint topLeft{0, 0};
    COvSize size{0, 0};
    if (!ShownBox(object, topLeft, size))
        return false;
    CPx2DPoint offset{0, 0};
    GetObjectOffset(&size, offset);
    const long long x = object->Get2DPoint().x;
    const long long y = object->Get2DPoint().y;
    if (point.x < x - offset.x || point.x > x + offset.x)
        return false;
    if (point.y < y - offset.y || point.y > y + offset.y)
        return false;
    return object->HitTest(point, topLeft, size);
}
