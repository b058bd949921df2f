// COvVirtualObject: the common part of every projected object; draws the frame.
#include "OvCamera.h"
#include "OvScene.h"
#include "OvVirtual.h"
#include "Pixmere.h"

COvVirtualObject::COvVirtualObject()
    : m_pControl(nullptr),
      m_nFrameSize(0),
      m_Size{0, 0},
      m_3DPoint{0.0, 0.0, 0.0},
      m_2DPoint{0, 0},
      m_pObject(nullptr) {}

COvVirtualObject::COvVirtualObject(const COvVirtualObject& other) = default;
COvVirtualObject& COvVirtualObject::operator=(const COvVirtualObject& other) = default;
COvVirtualObject::~COvVirtualObject() = default;

int COvVirtualObject::Init(COvControl* control, COvCamera* camera, COvObject* object,
                           COv3DPoint point3D, CPx2DPoint point2D, COvSize size, int frameSize,
                           COvTransformation* transformation) {
    m_pControl = control;
    m_pObject = object;
    m_3DPoint = point3D;
    m_2DPoint = point2D;
    m_nFrameSize = frameSize;
    m_Size = size;
    const int rc = InitVirtual(camera, transformation);
    if (rc != 0 && m_pControl) {
        m_pControl->Logput("COvVirtualObject", "Init", rc, "m_pCallVirtualInit", 0);
    }
    return rc;
}

int COvVirtualObject::InitVirtual(COvCamera*, COvTransformation*) {
    return 0;
}

void COvVirtualObject::Free() {
    delete this;
}

bool COvVirtualObject::HitTest(const CPx2DPoint&, const CPx2DPoint&, const COvSize&) {
    return m_pObject != nullptr;
}

int COvVirtualObject::Draw(CPxCanvas24* canvas, CPx2DPoint topLeft) {
    if (canvas == nullptr || m_pObject == nullptr || m_nFrameSize <= 0)
        return 0;
    canvas->DrawFrame(topLeft.x, topLeft.y, topLeft.x + m_Size.width, topLeft.y + m_Size.height,
                      m_nFrameSize, m_pObject->GetFrame().m_Color);
    return 0;
}

int COvVirtualObject::PrepareDraw() {
    return 0;
}

void COvVirtualObject::UnPrepareDraw() {}

bool COvVirtualObject::IsShown() const {
    return m_pObject != nullptr && m_pObject->IsVisible();
}
