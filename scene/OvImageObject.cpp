// COvImageObject: a picture in several versions, the one nearest to the shown size
// chosen at each draw; COvImageInfo, its versions.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "OvScene.h"
#include "OvVirtual.h"
#include "foundation/OvReport.h"

namespace {

constexpr int kImageType = 1;

// sqrt(width^2 + height^2) truncated, exact for every int side: the squares are
// summed in 64 bits (two sides above 46340 would overflow an int) and the root of
// the double is corrected to the integer root, which it can miss by one once the sum
// passes 2^52.
std::int64_t Diagonal(int width, int height) {
    const std::int64_t w = width, h = height;
    const std::int64_t sum = w * w + h * h;
    auto root = static_cast<std::int64_t>(std::sqrt(static_cast<double>(sum)));
    while (root > 0 && root * root > sum)
        --root;
    while ((root + 1) * (root + 1) <= sum)
        ++root;
    return root;
}

}  // namespace

// ===========================================================================
// COvImageInfo
// ===========================================================================

COvImageInfo::COvImageInfo() : m_nWidth(0), m_nHeight(0), m_nDiagonal(0), m_pMemData(nullptr) {}
COvImageInfo::~COvImageInfo() = default;
COvImageInfo::COvImageInfo(const COvImageInfo& other) = default;
COvImageInfo& COvImageInfo::operator=(const COvImageInfo& other) = default;

// ===========================================================================
// Life
// ===========================================================================

COvImageObject::COvImageObject()
    : m_ImageList(10),
      m_pImageInfoList(std::make_unique<COvImageInfoList>(&m_ImageList)),
      m_DataInfoList(10),
      m_nNowWidth(0),
      m_nNowHeight(0),
      m_pNowImage(nullptr),
      m_pSelectFunc(nullptr),
      m_pReported(nullptr),
      m_pDestroyed(nullptr) {}

COvImageObject::~COvImageObject() {
    if (m_pDestroyed != nullptr)
        *m_pDestroyed = true;
    RemoveAllImages();
}

int COvImageObject::Init(COvControl* control, const char* name, const COv3DPoint& pos,
                         COvSize3D size3D, const COvSize& size, int selected, int visible,
                         void* userData, SelectFunc callback, const COvFrameStyle& frame,
                         int priority, int flags) {
    if (control == nullptr)
        return OV_E_NULL_CONTROL;
    m_pControl = control;
    if (name == nullptr)
        return ov::Report(control, "COvImageObject", "Init", OV_IMAGE_NULL_NAME, "",
                          ov::kFoundHere);
    // The negated test also refuses NaN sides.
    if (!(size3D.width > 0.0) || !(size3D.height > 0.0))
        return OV_IMAGE_BAD_SIZE;
    const int rc =
        COvObject::Init(control, kImageType, pos, size3D, selected, visible, userData, frame);
    if (rc != 0)
        return ov::Report(control, "COvImageObject", "Init", rc, "COvObject::Init", ov::kPassedOn);
    // Versions of an earlier Init are released, not leaked.
    RemoveAllImages();
    m_pSelectFunc = callback;
    return AddImage(name, size, priority, flags);
}

void COvImageObject::Exit() {
    RemoveAllImages();
    COvObject::Exit();
}

COvVirtualObject* COvImageObject::MakeVirtualObject() {
    return new (std::nothrow) COvVirtualImageObject();
}

// ===========================================================================
// Versions
// ===========================================================================

int COvImageObject::AddImage(const char* name, const COvSize& size, int priority, int flags) {
    std::unique_ptr<COvImageInfo> entry(new (std::nothrow) COvImageInfo());
    if (!entry) {
        return ov::Report(m_pControl, "COvImageObject", "AddImage", OV_E_NOMEMORY,
                          static_cast<long long>(sizeof(COvImageInfo)), ov::kFoundHere);
    }
    m_pNowImage = nullptr;
    // A version without a name could never be loaded.
    if (name == nullptr) {
        return ov::Report(m_pControl, "COvImageObject", "AddImage", OV_IMAGE_NULL_NAME, "",
                          ov::kFoundHere);
    }
    entry->m_Info.Init(kImageType, name, priority, flags);
    if (size.width < 1 || size.height < 1)
        return OV_IMAGE_BAD_SIZE;
    const std::int64_t diagonal = Diagonal(size.width, size.height);
    if (diagonal > INT32_MAX) {
        char detail[64];
        std::snprintf(detail, sizeof detail, "width=%d:height=%d", size.width, size.height);
        return ov::Report(m_pControl, "COvImageObject", "AddImage", OV_IMAGE_BAD_DIAGONAL, detail,
                          ov::kFoundHere);
    }
    entry->m_nWidth = size.width;
    entry->m_nHeight = size.height;
    entry->m_nDiagonal = static_cast<int>(diagonal);

    // In front of the first larger key: equal keys stay in the order added.
    POSITION pos = m_ImageList.GetHeadPosition();
    while (pos != nullptr && m_ImageList.GetAt(pos)->m_nDiagonal <= entry->m_nDiagonal)
        m_ImageList.GetNext(pos);
    COvImageInfo* added = entry.release();
    if (pos != nullptr)
        m_ImageList.InsertBefore(pos, added);
    else
        m_ImageList.AddTail(added);
    m_DataInfoList.AddTail(&added->m_Info);
    return 0;
}

void COvImageObject::Release(COvImageInfo* info) {
    if (m_pControl != nullptr)
        m_pControl->Delete(&info->m_Info);
}

void COvImageObject::Discard(POSITION pos) {
    std::unique_ptr<COvImageInfo> entry(m_ImageList.GetAt(pos));
    m_ImageList.RemoveAt(pos);
    if (POSITION info = m_DataInfoList.Find(&entry->m_Info))
        m_DataInfoList.RemoveAt(info);
    if (m_pReported == entry.get())
        m_pReported = nullptr;
    Release(entry.get());
}

void COvImageObject::RemoveImage(const COvSize& size) {
    m_pNowImage = nullptr;
    for (POSITION pos = m_ImageList.GetHeadPosition(); pos != nullptr;) {
        const POSITION here = pos;
        const COvImageInfo* info = m_ImageList.GetNext(pos);
        if (info->m_nWidth == size.width && info->m_nHeight == size.height)
            Discard(here);
    }
}

void COvImageObject::RemoveImage(const char* name) {
    m_pNowImage = nullptr;
    for (POSITION pos = m_ImageList.GetHeadPosition(); pos != nullptr;) {
        const POSITION here = pos;
        const COvImageInfo* info = m_ImageList.GetNext(pos);
        if (info->m_Info.m_strName == name)
            Discard(here);
    }
}

void COvImageObject::RemoveAllImages() {
    m_pNowImage = nullptr;
    while (!m_ImageList.IsEmpty())
        Discard(m_ImageList.GetHeadPosition());
}

COvNowImageData COvImageObject::GetNowImageData() const {
    return COvNowImageData{m_nNowWidth, m_nNowHeight, m_pNowImage};
}

void COvImageObject::SetPriority(int priority, COvImageInfo* info) {
    if (info != nullptr)
        info->m_Info.m_nPriority = priority;
}

bool COvImageObject::GetRecommendedSize(COvSize& size) const {
    if (m_ImageList.IsEmpty())
        return false;
    const COvImageInfo* largest = m_ImageList.GetTail();
    size = COvSize{largest->m_nWidth, largest->m_nHeight};
    return true;
}

// ===========================================================================
// Choice
// ===========================================================================

COvImageInfo* COvImageObject::Nearest(const COvSize& size) const {
    POSITION pos = m_ImageList.GetHeadPosition();
    if (pos == nullptr)
        return nullptr;
    const std::int64_t target = Diagonal(size.width, size.height);
    COvImageInfo* choice = m_ImageList.GetNext(pos);
    std::int64_t best = std::llabs(choice->m_nDiagonal - target);
    // The keys ascend, so the distance falls and then rises: stop at the first rise.
    // Equal distances move on, so a tie goes to the later, larger version.
    while (pos != nullptr) {
        COvImageInfo* next = m_ImageList.GetNext(pos);
        const std::int64_t d = std::llabs(next->m_nDiagonal - target);
        if (best < d)
            break;
        choice = next;
        best = d;
    }
    return choice;
}

bool COvImageObject::Select(COvImageInfo* next) {
    COvImageInfoList release;
    bool destroyed = false;
    bool* const outer = m_pDestroyed;
    m_pDestroyed = &destroyed;
    m_pSelectFunc(m_pImageInfoList.get(), &release, m_pNowImage, next);
    if (destroyed) {
        if (outer != nullptr)
            *outer = true;
        return false;
    }
    m_pDestroyed = outer;
    // Only versions that are still ours are released; anything else the callback
    // listed is ignored.
    for (void* pos = release.Begin(); pos != release.End();) {
        COvImageInfo* info = release.GetNext(pos);
        if (info != nullptr && m_ImageList.Find(info) != nullptr)
            Release(info);
    }
    return true;
}

int COvImageObject::GetImage(COvSize size, COvMemData** out) {
    if (out == nullptr) {
        return ov::Report(m_pControl, "COvImageObject", "GetImage", OV_E_NULL_OUTPUT, "",
                          ov::kFoundHere);
    }
    if (m_pNowImage == nullptr || size.width != m_nNowWidth || size.height != m_nNowHeight) {
        COvImageInfo* choice = Nearest(size);
        if (choice == nullptr) {
            return ov::Report(m_pControl, "COvImageObject", "GetImage", OV_IMAGE_NO_VERSION, "",
                              ov::kFoundHere);
        }
        if (m_pSelectFunc != nullptr) {
            if (!Select(choice))
                return OV_IMAGE_NO_VERSION;
            // The callback may have removed versions, the choice among them.
            if (m_ImageList.Find(choice) == nullptr)
                choice = Nearest(size);
            if (choice == nullptr) {
                return ov::Report(m_pControl, "COvImageObject", "GetImage", OV_IMAGE_NO_VERSION, "",
                                  ov::kFoundHere);
            }
        }
        m_nNowWidth = size.width;
        m_nNowHeight = size.height;
        m_pNowImage = choice;
    }
    if (m_pControl == nullptr) {
        *out = nullptr;
        return OV_DATA_FAILED;
    }
    const int rc =
        m_pControl->GetData(&m_pNowImage->m_pMemData, &m_pNowImage->m_Info, &m_DataInfoList);
    *out = m_pNowImage->m_pMemData;
    if (rc == OV_DATA_FAILED && m_pReported != m_pNowImage) {
        m_pReported = m_pNowImage;
        const std::string detail = "GetData: " + std::string(m_pNowImage->m_Info.m_strName);
        ov::Report(m_pControl, "COvImageObject", "GetImage", rc, detail.c_str(), ov::kPassedOn);
    } else if (rc != OV_DATA_FAILED && m_pReported == m_pNowImage) {
        // Loaded again after a delete: a new failure deserves a new line.
        m_pReported = nullptr;
    }
    return rc;
}

void COvImageObject::OutScreen() {
    if (GetOutScreen() == 0 || m_pSelectFunc == nullptr)
        return;
    Select(nullptr);
}
