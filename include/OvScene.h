// Scene objects, their frame style, the scene that holds objects and cameras, the
// line object with its style, and the list views handed out by scenes and screens.
#ifndef ORVANE_OVSCENE_H
#define ORVANE_OVSCENE_H

#include <memory>

#include "OvControl.h"
#include "OvExport.h"
#include "OvPtrList.h"
#include "OvTypes.h"

class COvCamera;
class COvScene;
class COvVirtualObject;
namespace ov {
class LifeWatch;
}

// Status codes of the scene objects.
enum {
    OV_OBJECT_NEGATIVE_FRAME = -58000,
    OV_OBJECT_BAD_SIZE = -58001,
    OV_LINE_BAD_WIDTH = -59000,
    OV_IMAGE_BAD_SIZE = -51000,      // a scene size not positive, or a pixel size below 1
    OV_IMAGE_NO_VERSION = -51001,    // an image object without versions asked for its image
    OV_IMAGE_BAD_DIAGONAL = -51002,  // a version's size key cannot be computed
    OV_IMAGE_NULL_NAME = -51003,     // an image object initialised with a null name
};

// Status codes of the text renderer, which the text object passes on.
enum {
    OV_TEXT_NO_DISPLAY = -53000,    // no rendering context could be made
    OV_TEXT_NO_CONTEXT = -53001,    // the drawing context could not be made
    OV_TEXT_NO_BITMAP = -53002,     // the bitmap could not be made
    OV_TEXT_NO_SELECT = -53003,     // a font or bitmap could not be put to use
    OV_TEXT_NO_FONT = -53004,       // no font (or brush) could be made
    OV_TEXT_FILL_FAILED = -53005,   // the background fill failed
    OV_TEXT_NO_PIXELS = -53006,     // the bitmap's pixels could not be read
    OV_TEXT_WRITE_FAILED = -53007,  // the bitmap file could not be written completely
};

// ===========================================================================
// List wrapper
// ===========================================================================

// A thin typed wrapper over a pointer list: either a list of its own or a live,
// non-owning view of someone else's list. Never owns the elements.
template <class T>
class COvListBase {
public:
    using List = CTypedPtrList<CPtrList, T*>;

    // A list of its own, empty.
    COvListBase() : m_pList(new List(10)), m_bOwner(true) {}
    // A view of list; the list stays its owner's.
    explicit COvListBase(List* list) : m_pList(list), m_bOwner(false) {}
    // A copy is always a view of the same list, so no list is ever released twice.
    COvListBase(const COvListBase& other) : m_pList(other.m_pList), m_bOwner(false) {}
    COvListBase& operator=(const COvListBase& other) {
        if (this != &other) {
            Release();
            m_pList = other.m_pList;
            m_bOwner = false;
        }
        return *this;
    }
    ~COvListBase() { Release(); }

    // Number of elements (0 for a view of nothing).
    int GetCount() const { return m_pList ? m_pList->GetCount() : 0; }
    // Position of the first element, null when empty.
    void* Begin() const { return m_pList ? m_pList->GetHeadPosition() : nullptr; }
    // The position past the last element: null.
    void* End() const { return nullptr; }
    // The element at pos; pos moves on (null after the last). A null pos throws
    // std::invalid_argument.
    T* GetNext(void*& pos) const {
        if (m_pList == nullptr)
            throw std::invalid_argument("null list position");
        return m_pList->GetNext(pos);
    }
    // Position of element, or null.
    void* Find(T* element) const { return m_pList ? m_pList->Find(element) : nullptr; }
    // Appends element at the tail.
    void Add(T* element) {
        if (m_pList)
            m_pList->AddTail(element);
    }

protected:
    // Element at a zero-based index, or null.
    T* GetData(int index) const {
        POSITION pos = m_pList ? m_pList->FindIndex(index) : nullptr;
        return pos ? m_pList->GetAt(pos) : nullptr;
    }

    List* m_pList;
    bool m_bOwner;

private:
    void Release() {
        if (m_bOwner)
            delete m_pList;
        m_pList = nullptr;
        m_bOwner = false;
    }
};

class COvObject;

// Objects: a scene's live view of its objects, or a list a screen fills with hits.
class OV_EXPORT COvObjectList : public COvListBase<COvObject> {
public:
    COvObjectList() = default;
    explicit COvObjectList(List* list) : COvListBase<COvObject>(list) {}
};

// Cameras: the live view of a scene's or a screen's cameras.
class OV_EXPORT COvCameraList : public COvListBase<COvCamera> {
public:
    COvCameraList() = default;
    explicit COvCameraList(List* list) : COvListBase<COvCamera>(list) {}
};

// ===========================================================================
// Scene objects
// ===========================================================================

// The border drawn around an object.
struct OV_EXPORT COvFrameStyle {
    int m_bScaled;  // 0: width in pixels; else in scene units, projected (at least 1 pixel)
    int m_nWidth;   // 0: no frame; never negative
    CPxRGB m_Color;
};

// A flat object placed in a scene: type, centre, size, frame, flags and a client
// pointer. The client owns it; scenes, cameras and screens only point at it.
class OV_EXPORT COvObject {
public:
    COvObject();
    // Copies every member but the scene pointer: a scene lists an object exactly when
    // the object names it, so a copy starts in no scene, and an assignment leaves the
    // target in its own scene (whose cameras it marks, as it may have moved).
    COvObject(const COvObject& other);
    COvObject& operator=(const COvObject& other);

    // Stores the scene pointer (the scene's own call).
    virtual void _SetScene(COvScene* scene);
    // Clears the scene pointer (the scene's own call).
    virtual void _RemoveScene();
    // Raises OnObjectDeleting, then leaves the scene.
    virtual ~COvObject();
    // Leaves the scene (OnObjectRemoved) and clears the out-screen flag.
    virtual void Exit();
    // Stores the flag; no event.
    virtual void SetVisible(int visible);
    // Stores the flag and raises OnObjectSelectChanged, changed or not.
    virtual void SetSelected(int selected);
    // 0 and OnObjectResized; -58001 (size kept) for a side not above 0.
    virtual int SetSize(const COvSize3D& size);
    // False, argument untouched; pictures know their own size.
    virtual bool GetRecommendedSize(COvSize& size) const;
    // 0, or -58000 (frame kept) for a negative width. The colour is stored as given.
    virtual int SetFrame(const COvFrameStyle& frame);
    // Stores the pointer.
    virtual void SetUserData(void* userData);
    // Stores the centre, marks the scene's cameras and raises OnObjectMoved (last, so
    // that a listener may destroy the object).
    virtual void SetPos(const COv3DPoint& pos);
    // Adds delta to the centre; as SetPos otherwise.
    virtual void Move(const COv3DPoint& delta);
    // Called by a camera that does not see the object; nothing here.
    virtual void OutScreen();
    // A new, empty virtual object of the object's kind (owned by the caller), or null.
    virtual COvVirtualObject* MakeVirtualObject() = 0;

    // 0; -10004 for a null control; -58000 for a negative frame width (logged). The
    // frame colour is clamped into 0..255.
    int Init(COvControl* control, int type, COv3DPoint pos, COvSize3D size, int selected,
             int visible, void* userData, COvFrameStyle frame);

    int GetType() const { return m_nType; }
    const COv3DPoint& GetPos() const { return m_Pos; }
    const COvSize3D& GetSize() const { return m_Size; }
    const COvFrameStyle& GetFrame() const { return m_Frame; }
    void* GetUserData() const { return m_pUserData; }
    int IsVisible() const { return m_nVisible; }
    int IsSelected() const { return m_nSelected; }
    COvScene* GetScene() { return m_pScene; }
    int GetOutScreen() { return m_nOutScreen; }
    void SetOutScreen(int outScreen) { m_nOutScreen = outScreen; }

protected:
    // Marks every camera of the object's scene for a rebuild of its view.
    void SceneUpdateOn();

    COvControl* m_pControl;
    int m_nOutScreen;
    int m_nType;
    COvSize3D m_Size;
    COv3DPoint m_Pos;
    int m_nSelected;
    int m_nVisible;
    void* m_pUserData;
    COvFrameStyle m_Frame;
    COvScene* m_pScene;

private:
    friend class ov::LifeWatch;
    // The innermost operation watching for the object's destruction by a listener.
    ov::LifeWatch* m_pLifeWatch;
};

// ===========================================================================
// Scene
// ===========================================================================

// Ties objects to cameras. Holds pointers only, keeps the back pointers, raises the
// add and remove events and marks its cameras whenever its contents change.
//
// An object that leaves the scene (removed, moved to another scene, exited or
// destroyed) is at once withdrawn from every camera's view: its virtual objects are
// detached from it, never drawn or hit again, and released at the camera's next
// update. A camera that leaves the scene withdraws its whole view the same way.
class OV_EXPORT COvScene {
public:
    COvScene();
    COvScene(const COvScene&) = delete;
    COvScene& operator=(const COvScene&) = delete;
    // Detaches every camera, then every object (with events); destroys none.
    virtual ~COvScene();

    // 0, or -10004 for a null control.
    int Init(COvControl* control);

    // Appends obj (leaving its previous scene first), marks the cameras, raises
    // OnObjectAdded. Null or an object already here is ignored.
    void AddObject(COvObject* obj);
    // Removes obj, raises OnObjectRemoved, marks the cameras. Unknown: nothing.
    void RemoveObject(COvObject* obj);
    // Removes every object, last added first, each with OnObjectRemoved.
    void RemoveAllObjects();
    // Appends cam (leaving its previous scene first), raises OnCameraAddedToScene.
    void AddCamera(COvCamera* cam);
    // Removes cam and raises OnCameraRemovedFromScene. Unknown: nothing.
    void RemoveCamera(COvCamera* cam);
    // Removes every camera, last added first, each with OnCameraRemovedFromScene.
    void RemoveAllCameras();

    // Live views of the objects and the cameras.
    const COvObjectList* GetObjectList() const { return m_pObjectList.get(); }
    const COvCameraList* GetCameraList() const { return m_pCameraList.get(); }

    // Sets the updated flag of every camera to flag.
    void SceneUpdateOn(int flag);
    // Every camera rebuilds its view, in list order.
    void UpdateCamera();
    // Every camera rebuilds its view, and the screen of each redraws its window.
    void Update();
    // RemoveAllCameras, then RemoveAllObjects.
    void Exit();
    void Clear() { Exit(); }

private:
    COvControl* m_pControl;
    CTypedPtrList<CPtrList, COvObject*> m_Objects;
    CTypedPtrList<CPtrList, COvCamera*> m_Cameras;
    std::unique_ptr<COvObjectList> m_pObjectList;
    std::unique_ptr<COvCameraList> m_pCameraList;
};

// ===========================================================================
// Line object
// ===========================================================================

struct OV_EXPORT COvLineStyle {
    int m_nWidth;  // above 0; pixels, or scene units when m_bScaled is non-zero
    CPxRGB m_Color;
    int m_nStartArrow;  // exactly 1: an arrow head at the start point
    int m_nEndArrow;    // exactly 1: an arrow head at the end point
    int m_bScaled;
};

// A straight segment between two scene points. Its centre is always the midpoint
// and its size the square of the segment's length, except after a reshape to a single
// point: that size is refused, and the line keeps the size it had.
class OV_EXPORT COvLineObject : public COvObject {
public:
    COvLineObject();
    COvLineObject(const COvLineObject& other);
    COvLineObject& operator=(const COvLineObject& other);
    // Leaves the scene (OnObjectRemoved), then OnObjectDeleting.
    ~COvLineObject() override;

    // Moves the whole line: both end points follow the centre.
    void SetPos(const COv3DPoint& pos) override;
    void Move(const COv3DPoint& delta) override;
    // A new, empty line virtual object, or null.
    COvVirtualObject* MakeVirtualObject() override;

    // 0; -10004 null control; -59000 width not above 0; a code of COvObject::Init.
    int Init(COvControl* control, const COv3DPoint& start, const COv3DPoint& end,
             const COvLineStyle& style, int selected, int visible, void* userData);

    const COv3DPoint& GetStartPos() const { return m_StartPos; }
    const COv3DPoint& GetEndPos() const { return m_EndPos; }
    void GetLinePos(COv3DPoint& start, COv3DPoint& end) const;
    // Sets both end points; the size follows through SetSize (OnObjectResized), then
    // the centre (OnObjectMoved). Equal points keep the previous size (SetSize refuses
    // it with OV_OBJECT_BAD_SIZE, logged) and move the centre to that point. Either
    // argument may be one of the object's own members.
    void SetLinePos(const COv3DPoint& start, const COv3DPoint& end);
    void SetStartPos(const COv3DPoint& start);
    void SetEndPos(const COv3DPoint& end);
    // Shifts the start point by delta; the end point stays.
    void MoveStartPos(const COv3DPoint& delta);
    // Sets the end point to the START point plus delta (not the old end point plus
    // delta): on the line from (0, 0, 0) to (30, 40, 0), MoveEndPos((1, 0, 0)) gives
    // the end point (1, 0, 0), the centre (0.5, 0, 0) and the size (1, 1).
    void MoveEndPos(const COv3DPoint& delta);

    const COvLineStyle& GetStyle() const { return m_Style; }
    // 0, or -59000 (style kept) for a width not above 0. Colour and arrows show at the
    // next draw; the width at the cameras' next update.
    int SetStyle(const COvLineStyle& style);

protected:
    COv3DPoint m_StartPos;
    COv3DPoint m_EndPos;
    COvLineStyle m_Style;
};

#endif
