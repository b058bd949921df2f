// Scene objects, their frame style, the scene that holds objects and cameras, the
// line object with its style, and the list views handed out by scenes and screens.
#ifndef ORVANE_OVSCENE_H
#define ORVANE_OVSCENE_H

#include <memory>
#include <string>

#include "OvControl.h"
#include "OvData.h"
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

// ===========================================================================
// Image object
// ===========================================================================

// One version of a picture: its pixel size, its size key and the descriptor of its
// file. The pixels belong to the memory manager.
class OV_EXPORT COvImageInfo {
public:
    // Sizes 0, no datum, an empty descriptor.
    COvImageInfo();
    ~COvImageInfo();
    COvImageInfo(const COvImageInfo& other);
    COvImageInfo& operator=(const COvImageInfo& other);

    int m_nWidth;     // pixels, at least 1
    int m_nHeight;    // pixels, at least 1
    int m_nDiagonal;  // sqrt(width^2 + height^2), truncated
    // The datum GetImage last handed out while this version was the choice (its own
    // or a substitute). The lock went to that caller: once it is given back, this is
    // only a record of what was shown and must not be dereferenced.
    COvMemData* m_pMemData;
    COvDataInfo m_Info;  // type 1, the file's name, priority and flags
};

// What an image object showed last: the size asked for and the version chosen.
struct OV_EXPORT COvNowImageData {
    int m_nWidth;
    int m_nHeight;
    COvImageInfo* m_pImageInfo;  // null when no version is chosen
};

// The versions of an image object, smallest size key first.
class OV_EXPORT COvImageInfoList : public COvListBase<COvImageInfo> {
public:
    COvImageInfoList() = default;
    explicit COvImageInfoList(List* list) : COvListBase<COvImageInfo>(list) {}
    // The version at a zero-based index, or null.
    COvImageInfo* GetImageInfo(int index) const { return GetData(index); }
};

// A picture held in several versions of different pixel sizes, one file each. Each
// time it is drawn it picks the version whose size key lies nearest to the size shown
// (ties go to the larger), asks the memory manager for it, and meanwhile shows any
// version already in memory. Not copyable: it owns its versions.
class OV_EXPORT COvImageObject : public COvObject {
public:
    // The client's selection callback: called with every version, an empty list to
    // fill with the versions whose data should be let go, the previous choice and the
    // new one (null when the object leaves a camera's view). It must not destroy the
    // image object.
    using SelectFunc = void (*)(const COvImageInfoList* images, COvImageInfoList* release,
                                COvImageInfo* previous, COvImageInfo* next);

    COvImageObject();
    COvImageObject(const COvImageObject&) = delete;
    COvImageObject& operator=(const COvImageObject&) = delete;
    // Removes and releases every version, then leaves the scene as every object does.
    ~COvImageObject() override;
    // RemoveAllImages, then leaves the scene.
    void Exit() override;
    // False without versions; else the size of the largest version and true.
    bool GetRecommendedSize(COvSize& size) const override;
    // Called by a camera that does not see the object: once per departure from the
    // view, lets the callback choose versions to release.
    void OutScreen() override;
    // A new, empty image virtual object, or null.
    COvVirtualObject* MakeVirtualObject() override;

    // 0 with the first version added; -10004 null control; -51003 null name
    // (logged); -51000 scene size not above 0; COvObject::Init's code (logged);
    // AddImage's code. Versions the object held before are released.
    int Init(COvControl* control, const char* name, const COv3DPoint& pos, COvSize3D size3D,
             const COvSize& size, int selected, int visible, void* userData, SelectFunc callback,
             const COvFrameStyle& frame, int priority, int flags);
    // Adds a version (type 1 data from the file `name`). 0; -51000 for a side below 1;
    // -51002 when the size key does not fit an int; -51003 for a null name; -10000
    // without memory. The next GetImage chooses again.
    int AddImage(const char* name, const COvSize& size, int priority, int flags);
    // Chooses the version for the shown size (again only when the size changed or
    // versions were added or removed) and gets its data: 0 (*out its datum, locked),
    // 200 (loading; *out a locked substitute or null), -1 (its file failed to load;
    // *out as for 200; reported once per version); -10005 null out; -51001 no
    // versions. The caller gives the lock back with COvControl::UnLockData.
    int GetImage(COvSize size, COvMemData** out);
    // The live view of the versions, smallest size key first.
    const COvImageInfoList* GetImageList() const { return m_pImageInfoList.get(); }
    // Removes and releases every version of exactly that size.
    void RemoveImage(const COvSize& size);
    // Removes and releases every version of exactly that name.
    void RemoveImage(const char* name);
    void RemoveAllImages();
    COvNowImageData GetNowImageData() const;
    // Sets the version's loading priority for its next request (2 load on the
    // requesting thread, 1 urgent, other ordinary). Nothing for null.
    static void SetPriority(int priority, COvImageInfo* info);

protected:
    CTypedPtrList<CPtrList, COvImageInfo*> m_ImageList;  // owned, by size key
    std::unique_ptr<COvImageInfoList> m_pImageInfoList;  // view of m_ImageList
    CPtrList m_DataInfoList;  // COvDataInfo* of the versions, in the order added
    int m_nNowWidth;
    int m_nNowHeight;
    COvImageInfo* m_pNowImage;
    SelectFunc m_pSelectFunc;

private:
    COvImageInfo* Nearest(const COvSize& size) const;
    // Runs the callback and releases what it listed. False when the callback
    // destroyed the object (nothing may be touched then).
    bool Select(COvImageInfo* next);
    void Release(COvImageInfo* info);
    // Takes the version out of both lists, releases and deletes it.
    void Discard(POSITION pos);

    // The version whose failed load was reported last: a broken file is logged once,
    // not at every redraw.
    const COvImageInfo* m_pReported;
    // Raised by the destructor while a callback runs.
    bool* m_pDestroyed;
};

// ===========================================================================
// Text object
// ===========================================================================

// How a text looks.
class OV_EXPORT COvTextStyle {
public:
    // An empty font name (the default sans-serif face), 12 points, not fixed, black on
    // white, no style flags.
    COvTextStyle();
    // Copies share the font name's buffer.
    COvTextStyle(const COvTextStyle& other);
    COvTextStyle& operator=(const COvTextStyle& other);
    ~COvTextStyle();

    COvString m_strFontName;
    int m_nSize;       // points; drawn clamped into 8..99, measured as given
    int m_bFixedSize;  // non-zero: shown at the object's scene size taken as pixels
    CPxRGB m_TextColor;
    CPxRGB m_BackColor;  // the whole bitmap behind the glyphs
    int m_nStyle;        // bits: 1 bold, 2 italic, 4 underline, 8 strike-out
};

// A text shown as a picture: the text is rendered into a BMP file of its own in the
// temporary directory (created with mode 0600, named "OvText..."), which becomes the
// object's one image version. Type 2. The file is deleted by Exit and destruction.
class OV_EXPORT COvTextObject : public COvImageObject {
public:
    COvTextObject();
    // As Exit.
    ~COvTextObject() override;
    // Removes the image version, deletes the file, then leaves the scene.
    void Exit() override;
    // A new, empty text virtual object, or null.
    COvVirtualObject* MakeVirtualObject() override;

    // Renders the text (null: none) into a new file and shows it as the object's image.
    // size is the bitmap's size in pixels; a side of 0 or less is measured from the
    // text. 0; -10004 null control; the renderer's code; -10001 when no temporary file
    // can be created; COvImageObject::Init's code. Every failure is logged.
    int Init(COvControl* control, const char* text, const COvTextStyle& style,
             const COv3DPoint& pos, const COvSize3D& size3D, const COvSize& size, int selected,
             int visible, void* userData, const COvFrameStyle& frame);
    // Store the text or style and render again into the same file at the bitmap size
    // Init settled (a longer text ends in an ellipsis). The shown picture is loaded
    // again at the next update. Failures are logged.
    void SetText(const char* text);
    void SetStyle(const COvTextStyle& style);
    // Both at once, one rendering. Returns 0.
    int SetText(const char* text, const COvTextStyle& style);
    const char* GetText() const { return m_strText.c_str(); }
    const COvTextStyle& GetStyle() const { return m_Style; }

protected:
    std::string m_strFile;  // the bitmap file; empty until one was created
    std::string m_strText;
    COvTextStyle m_Style;
    COvSize m_Size;  // the bitmap's size in pixels, given or measured by Init

private:
    // One rendering into the file; the bitmap's size goes to *outSize when not null.
    int TextToFile(const COvSize& size, COvSize* outSize);
    // Renders again and has the picture loaded anew.
    void ReRender();
    void DeleteFile();
};

#endif
