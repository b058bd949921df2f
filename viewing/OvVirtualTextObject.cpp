// COvVirtualTextObject: a text object's picture, optionally at a fixed pixel size.
#include "OvScene.h"
#include "OvVirtual.h"
#include "foundation/OvNumeric.h"
#include "foundation/OvReport.h"

COvVirtualTextObject::COvVirtualTextObject() = default;
COvVirtualTextObject::~COvVirtualTextObject() = default;

int COvVirtualTextObject::InitVirtual(COvCamera*, COvTransformation*) {
    const auto* text = dynamic_cast<const COvTextObject*>(m_pObject);
    if (text != nullptr && text->GetStyle().m_bFixedSize) {
        const COvSize3D& size = text->GetSize();
        m_Size = COvSize{ov::ToPixel(size.width), ov::ToPixel(size.height)};
    }
    return 0;
}

int COvVirtualTextObject::Draw(CPxCanvas24* canvas, CPx2DPoint topLeft) {
    const int rc = COvVirtualImageObject::Draw(canvas, topLeft);
    // The outline shown while the picture loads is no failure worth a line at every
    // redraw.
    if (rc != 0 && rc != OV_VIRTUAL_NO_PICTURE) {
        ov::Report(m_pControl, "COvVirtualTextObject", "Draw", rc, "COvVirtualImageObject::Draw",
                   ov::kPassedOn);
    }
    return rc;
}
