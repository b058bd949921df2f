// COvVirtualObject: the common part of every projected object; draws the frame.
#include <algorithm>

#include "OvCamera.h"
#include "OvScene.h"
#include "OvVirtual.h"
#include "Pixmere.h"
#include "foundation/OvNumeric.h"
#include "foundation/OvReport.h"
#include "viewing/OvBoxFrame.h"

void ov::DrawBoxFrame(CPxCanvas24* canvas, CPx2DPoint topLeft, COvSize size, int thickness,
                      const CPxRGB& colour) {
    const CPxImageData24* image = canvas ? canvas->GetImage() : nullptr;
    if (image == nullptr)
        return;
    // Out here every band lies wholly off the canvas, so moving a corner there changes
    // nothing that shows (a rectangle narrowed so that its bands fill it shows as the
    // bands it had).
    const long long band = std::max(thickness, 1) + 1LL;
    const auto clip = [band](long long v, int extent) {
        return ClampPixel(std::clamp(v, -band, extent + band));
    };
    const int width = image->GetWidth();
    const int height = image->GetHeight();
    canvas->DrawFrame(clip(topLeft.x, width), clip(topLeft.y, height),
                      clip(static_cast<long long>(topLeft.x) + size.width, width),
                      clip(static_cast<long long>(topLeft.y) + size.height, height), thickness,
                      colour);
}

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
    if (rc != 0) {
        return ov::Report(m_pControl, "COvVirtualObject", "Init", rc, "m_pCallVirtualInit",
                          ov::kPassedOn);
    }
    return 0;
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
    if (m_pObject == nullptr || m_nFrameSize <= 0)
        return 0;
    ov::DrawBoxFrame(canvas, topLeft, m_Size, m_nFrameSize, m_pObject->GetFrame().m_Color);
    return 0;
}

int COvVirtualObject::PrepareDraw() {
    return 0;
}

void COvVirtualObject::UnPrepareDraw() {}

bool COvVirtualObject::IsShown() const {
    return m_pObject != nullptr && m_pObject->IsVisible();
}
