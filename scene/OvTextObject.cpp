// COvTextObject: a text rendered into a BMP file of its own and shown as an image;
// COvTextStyle, how it looks.
#include <cstdio>
#include <new>

#include "OvPlatform.h"
#include "OvScene.h"
#include "OvVirtual.h"
#include "foundation/OvReport.h"
#include "screen/OvDC.h"

namespace {

constexpr int kTextType = 2;
constexpr int kBold = 1, kItalic = 2, kUnderline = 4, kStrikeOut = 8;
constexpr int kBoldWeight = 700;

}  // namespace

// ===========================================================================
// COvTextStyle
// ===========================================================================

COvTextStyle::COvTextStyle()
    : m_nSize(12), m_bFixedSize(0), m_TextColor{0, 0, 0}, m_BackColor{255, 255, 255}, m_nStyle(0) {}
COvTextStyle::COvTextStyle(const COvTextStyle& other) = default;
COvTextStyle& COvTextStyle::operator=(const COvTextStyle& other) = default;
COvTextStyle::~COvTextStyle() = default;

// ===========================================================================
// Life
// ===========================================================================

COvTextObject::COvTextObject() : m_Size{0, 0} {}

COvTextObject::~COvTextObject() {
    RemoveAllImages();
    DeleteFile();
}

void COvTextObject::Exit() {
    // The file goes before the scene is left: a listener may destroy the object when
    // it hears of the removal.
    RemoveAllImages();
    DeleteFile();
    COvObject::Exit();
}

void COvTextObject::DeleteFile() {
    if (m_strFile.empty())
        return;
    std::remove(m_strFile.c_str());
    m_strFile.clear();
}

COvVirtualObject* COvTextObject::MakeVirtualObject() {
    return new (std::nothrow) COvVirtualTextObject();
}

int COvTextObject::Init(COvControl* control, const char* text, const COvTextStyle& style,
                        const COv3DPoint& pos, const COvSize3D& size3D, const COvSize& size,
                        int selected, int visible, void* userData, const COvFrameStyle& frame) {
    if (control == nullptr)
        return OV_E_NULL_CONTROL;
    m_pControl = control;
    m_strText = text != nullptr ? text : "";
    m_Style = style;
    m_Size = size;
    int rc = TextToFile(m_Size, &m_Size);
    if (rc != 0) {
        m_nType = kTextType;
        return ov::Report(control, "COvTextObject", "Init", rc, "TextToFile", ov::kPassedOn);
    }
    rc = COvImageObject::Init(control, m_strFile.c_str(), pos, size3D, m_Size, selected, visible,
                              userData, nullptr, frame, 0, 0);
    if (rc != 0)
        ov::Report(control, "COvTextObject", "Init", rc, "COvImageObject::Init", ov::kPassedOn);
    m_nType = kTextType;
    return rc;
}

// ===========================================================================
// Rendering
// ===========================================================================

int COvTextObject::TextToFile(const COvSize& size, COvSize* outSize) {
    COvDC dc;
    const char* font = m_Style.m_strFontName;
    int rc = dc.Init(m_pControl, size.width, size.height, m_strText.c_str(), font, m_Style.m_nSize);
    if (rc != 0)
        return ov::Report(m_pControl, "COvTextObject", "TextToFile", rc, "mDC.Init", ov::kPassedOn);
    dc.SetBackColor(m_Style.m_BackColor);
    const int flags = m_Style.m_nStyle;
    rc = dc.DrawText(m_strText.c_str(), m_Style.m_nSize, m_Style.m_TextColor,
                     (flags & kBold) ? kBoldWeight : 0, flags & kItalic, flags & kUnderline,
                     flags & kStrikeOut, font);
    if (rc != 0) {
        return ov::Report(m_pControl, "COvTextObject", "TextToFile", rc, "mDC.DrawText",
                          ov::kPassedOn);
    }
    if (m_strFile.empty()) {
        // Created exclusively with mode 0600: nobody else can have placed or linked a
        // file there. Without one nothing could be shown, so that is a failure.
        std::string path;
        rc = OvCreateTempFile("OvText", ".bmp", path);
        if (rc != 0) {
            return ov::Report(m_pControl, "COvTextObject", "TextToFile", OV_E_FILE,
                              "OvCreateTempFile", ov::kFoundHere);
        }
        m_strFile = path;
    }
    rc = dc.SaveBitmap(m_strFile.c_str());
    if (rc != 0) {
        return ov::Report(m_pControl, "COvTextObject", "TextToFile", rc, "mDC.SaveBitmap",
                          ov::kPassedOn);
    }
    if (outSize != nullptr)
        *outSize = COvSize{dc.m_Rect.right - dc.m_Rect.left, dc.m_Rect.bottom - dc.m_Rect.top};
    return 0;
}

void COvTextObject::ReRender() {
    if (m_pControl == nullptr)
        return;
    if (TextToFile(m_Size, nullptr) != 0)
        return;
    // The cache still holds the old picture: let it go so that the new file is loaded
    // at the next draw, and have the cameras showing the object draw it again.
    for (void* pos = GetImageList()->Begin(); pos != nullptr;)
        m_pControl->Delete(&GetImageList()->GetNext(pos)->m_Info);
    SceneUpdateOn();
}

void COvTextObject::SetText(const char* text) {
    m_strText = text != nullptr ? text : "";
    ReRender();
}

void COvTextObject::SetStyle(const COvTextStyle& style) {
    m_Style = style;
    ReRender();
}

int COvTextObject::SetText(const char* text, const COvTextStyle& style) {
    m_strText = text != nullptr ? text : "";
    m_Style = style;
    ReRender();
    return 0;
}
