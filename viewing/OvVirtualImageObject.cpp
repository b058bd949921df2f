// COvVirtualImageObject: draws an image object's picture, fetched for its box's size.
#include "OvScene.h"
#include "OvVirtual.h"
#include "Pixmere.h"
#include "data/OvLockCount.h"
#include "foundation/OvReport.h"
#include "viewing/OvBoxFrame.h"

namespace {

// The outline shown while a picture has no data yet.
constexpr CPxRGB kPlaceholder{43, 43, 43};

}  // namespace

COvVirtualImageObject::COvVirtualImageObject() : m_pMemData(nullptr) {}

COvVirtualImageObject::COvVirtualImageObject(const COvVirtualImageObject& other)
    : COvVirtualObject(other), m_pMemData(other.m_pMemData) {
    if (m_pMemData != nullptr)
        OvLockAdd(m_pMemData);
}

COvVirtualImageObject& COvVirtualImageObject::operator=(const COvVirtualImageObject& other) {
    if (this != &other) {
        ReleaseData();
        COvVirtualObject::operator=(other);
        m_pMemData = other.m_pMemData;
        if (m_pMemData != nullptr)
            OvLockAdd(m_pMemData);
    }
    return *this;
}

COvVirtualImageObject::~COvVirtualImageObject() {
    ReleaseData();
}

void COvVirtualImageObject::ReleaseData() {
    if (m_pMemData == nullptr)
        return;
    if (m_pControl != nullptr)
        m_pControl->UnLockData(m_pMemData);
    m_pMemData = nullptr;
}

int COvVirtualImageObject::PrepareDraw() {
    // A pass whose UnPrepareDraw never came (the object was hidden in between) must
    // not keep its lock for ever.
    ReleaseData();
    auto* image = dynamic_cast<COvImageObject*>(m_pObject);
    if (image == nullptr)
        return 0;
    const int rc = image->GetImage(m_Size, &m_pMemData);
    if (rc < 0 && m_pMemData != nullptr)
        return 0;
    return rc;
}

int COvVirtualImageObject::Draw(CPxCanvas24* canvas, CPx2DPoint topLeft) {
    if (canvas == nullptr || m_pObject == nullptr)
        return 0;
    if (m_pMemData == nullptr || m_pMemData->m_pData == nullptr) {
        ov::DrawBoxFrame(canvas, topLeft, m_Size, 1, kPlaceholder);
        return OV_VIRTUAL_NO_PICTURE;
    }
    auto* picture = static_cast<CPxImageData24*>(m_pMemData->m_pData);
    const int rc = canvas->DrawImage(picture, topLeft.x, topLeft.y, m_Size.width, m_Size.height);
    if (rc != 0) {
        ReleaseData();
        return ov::Report(m_pControl, "COvVirtualImageObject", "Draw", rc, "pCanvas->draw_object",
                          ov::kPassedOn);
    }
    return COvVirtualObject::Draw(canvas, topLeft);
}

void COvVirtualImageObject::UnPrepareDraw() {
    ReleaseData();
}
