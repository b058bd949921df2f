// COvCamera: the update that culls the scene's objects and builds their virtual
// objects, and the withdrawal of virtual objects whose object left the scene.
#include "OvCamera.h"
#include "OvScene.h"
#include "OvScreen.h"
#include "OvVirtual.h"

namespace {

// How many objects ahead of the one being culled the camera asks the memory for.
// NOTE: the screen test of each object asks the window for its size, which may take
// a lock and so keeps the processor from running ahead into the next objects by
// itself: in a large scene each object would wait for its own trip to memory.
constexpr int kPrefetchDistance = 8;

void FreeAll(CPtrList& list) {
    while (!list.IsEmpty())
        static_cast<COvVirtualObject*>(list.RemoveHead())->Free();
}

}  // namespace

void COvCamera::RemoveVirtualObject() {
    FreeAll(m_VirtualObjects);
    FreeAll(m_RetiredObjects);
}

void COvCamera::Retire(bool all, const COvObject* object) {
    for (POSITION pos = m_VirtualObjects.GetHeadPosition(); pos;) {
        const POSITION here = pos;
        auto* v = static_cast<COvVirtualObject*>(m_VirtualObjects.GetNext(pos));
        if (!all && v->m_pObject != object)
            continue;
        v->SetObject(nullptr);
        m_VirtualObjects.RemoveAt(here);
        m_RetiredObjects.AddTail(v);
        m_bUpdated = 1;
    }
}

int COvCamera::UpdateObject() {
    if (m_pScene == nullptr) {
        RemoveVirtualObject();
        return 0;
    }
    const COvObjectList* objects = m_pScene->GetObjectList();
    RemoveVirtualObject();
    m_bUpdated = 1;
    // Without a transformation (never initialised, or exited) there is nothing to
    // project with, and without a screen nothing to project onto: the view is empty.
    if (m_pTransformation == nullptr || m_pScreen == nullptr)
        return 0;
    m_pTransformation->SetCamera(m_Pos, m_Forward, m_Upward, m_Side, m_pScreen);

    void* ahead = objects->Begin();
    for (int i = 0; i < kPrefetchDistance && ahead != nullptr; ++i)
        objects->GetNext(ahead);
    for (void* it = objects->Begin(); it != objects->End();) {
        if (ahead != nullptr)
            __builtin_prefetch(&objects->GetNext(ahead)->GetPos());
        COvObject* object = objects->GetNext(it);
        COv3DPoint q{0.0, 0.0, 0.0};
        CPx2DPoint p{0, 0};
        COvSize size{0, 0};
        m_pTransformation->SceneToCamera(object->GetPos(), &q);
        if (m_pTransformation->CameraToScreen(q, &p) != 0)
            continue;
        if (m_pTransformation->GetSize(q, object->GetSize(), &size) != 0)
            continue;

        const COvFrameStyle& frame = object->GetFrame();
        int frameWidth = frame.m_nWidth;
        if (frame.m_bScaled) {
            const double w = frame.m_nWidth;
            COvSize projected{0, 0};
            if (m_pTransformation->GetSize(q, COvSize3D{w, w}, &projected) != 0) {
                frameWidth = 1;
            } else if (projected.width == 0 && frame.m_nWidth != 0) {
                frameWidth = 1;
            } else {
                frameWidth = projected.width;
            }
        }

        if (IsView(q, p, size)) {
            object->OutScreen();
            object->SetOutScreen(0);
            continue;
        }
        object->SetOutScreen(1);
        COvVirtualObject* v = object->MakeVirtualObject();
        if (v == nullptr)
            continue;
        if (v->Init(m_pControl, this, object, q, p, size, frameWidth, m_pTransformation) != 0) {
            v->Free();
            continue;
        }
        m_VirtualObjects.AddTail(v);
    }
    return 0;
}

// 1 when the object is not seen, 0 when it is.
int COvCamera::IsView(const COv3DPoint& q, const CPx2DPoint& p, const COvSize& size) {
    if (size.width <= 0 || size.height <= 0)
        return 1;
    if (q.z > static_cast<double>(m_nRange))
        return 1;
    if (m_pScreen == nullptr)
        return 0;
    CPx2DPoint point = p;
    COvSize box = size;
    if (m_pScreen->IsObjectIn(q.z, &point, &box))
        return 1;
    if (IsObjectVisible(m_pScreen->GetSize(), p, size, q.z))
        return 1;
    return 0;
}

int COvCamera::Update() {
    UpdateObject();
    if (m_pScreen)
        m_pScreen->Update();
    return 0;
}

void COvCamera::UpdateScreen() {
    if (m_pScreen)
        m_pScreen->UpdateCanvas();
}
