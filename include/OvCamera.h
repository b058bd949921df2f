// The transformation from scene space to camera space to a screen's canvas, and the
// camera that turns, moves, culls and projects the objects of its scene.
#ifndef ORVANE_OVCAMERA_H
#define ORVANE_OVCAMERA_H

#include "OvControl.h"
#include "OvExport.h"
#include "OvPtrList.h"
#include "OvTypes.h"

class COvScene;
class COvScreen;
class COvObject;
class COvVirtualObject;
namespace ov {
class LifeWatch;
}

// Status codes of the camera and the transformation.
enum {
    OV_CAMERA_BAD_RANGE = -57001,
    OV_CAMERA_NO_TRANSFORMATION = -57002,   // Init: the transformation could not be made
    OV_CAMERA_TRANSFORMATION_REFUSED = -1,  // SetTransformation: null, or not made
    OV_TRANSFORMATION_NO_SCREEN = -60000,   // SetCamera: a null screen
    OV_TRANSFORMATION_BEHIND = -60001,      // a point on or behind the camera plane
    OV_TRANSFORMATION_NO_PROPERTY = 1,      // no such property (or no transformation)
};

// ===========================================================================
// Transformation
// ===========================================================================

// Converts between scene space, camera space (x side, y up, z forward: left-handed,
// z is the depth), centred pixels (y up, origin at the screen centre) and canvas
// pixels (y down, origin top-left). The rigid part is done here; a subclass does the
// projection. Owned by one camera, which releases it with Free.
//
// The screen is always the one the owning camera is on now: it follows the camera
// from screen to screen, and is none once the camera leaves its screen (or the screen
// exits or dies). Without a screen the transformation takes the canvas centre to be
// (0, 0), so centred and canvas coordinates differ only in the direction of y.
class OV_EXPORT COvTransformation {
protected:
    // Users never delete a transformation: they call Free. (Declared first: it holds
    // the first slot of the virtual table, ahead of Free.)
    virtual ~COvTransformation();

public:
    explicit COvTransformation(COvControl* control);
    COvTransformation(const COvTransformation& other);
    COvTransformation& operator=(const COvTransformation& other);

    // Deletes this transformation.
    virtual void Free() = 0;
    // Camera-space point to canvas pixel; base: 0, output untouched.
    virtual int CameraToScreen(const COv3DPoint& camera, CPx2DPoint* canvas) const;
    // The camera-space point where the viewing ray through a canvas pixel meets the
    // plane through planePoint (scene) with normal (scene direction); base: 0, untouched.
    virtual int ScreenToCamera(const CPx2DPoint& canvas, const COv3DPoint& normal,
                               const COv3DPoint& planePoint, COv3DPoint* camera) const;
    // A size in scene units at a camera-space point, in pixels; base: 0, untouched.
    virtual int GetSize(const COv3DPoint& camera, const COvSize3D& size, COvSize* pixels) const;
    // 0 when the property exists and was set; base: 1.
    virtual int SetProperty(const char* name, double value);
    // 0 when the property exists and was read; base: 1.
    virtual int GetProperty(const char* name, double* value) const;

    // Stores the camera frame and screen; -60000 (logged, nothing stored) for a null
    // screen.
    int SetCamera(const COv3DPoint& pos, const COv3DPoint& forward, const COv3DPoint& upward,
                  const COv3DPoint& side, COvScreen* screen);
    // Scene point to camera space; -10005 for a null output.
    int SceneToCamera(const COv3DPoint& scene, COv3DPoint* camera) const;
    // Scene direction to camera space (rotation only); -10005 for a null output.
    int GetCameraVector(COv3DPoint vector, COv3DPoint* camera) const;
    // Camera-space point to scene space; -10005 for a null output.
    int CameraToScene(const COv3DPoint& camera, COv3DPoint* scene) const;
    // Copies the camera position / forward vector; 0.
    int GetCameraPos(COv3DPoint* pos) const;
    int GetViewVector(COv3DPoint* v) const;

protected:
    // Centred to canvas coordinates and back; -10005 for a null output.
    int GetScreenToCanvas(CPx2DPoint centred, CPx2DPoint* canvas) const;
    int GetCanvasToScreen(CPx2DPoint canvas, CPx2DPoint* centred) const;

    COvControl* m_pControl;
    COv3DPoint m_Pos;
    COv3DPoint m_Forward;
    COv3DPoint m_Upward;
    COv3DPoint m_Side;
    COvScreen* m_pScreen;

private:
    // The owning camera keeps m_pScreen on its own screen.
    friend class COvCamera;
    CPx2DPoint Centre() const;
};

// ===========================================================================
// Camera
// ===========================================================================

// A viewpoint: position, orthonormal frame (forward, upward, side = upward x
// forward), range and transformation. Each update builds one virtual object for
// every object of the scene that it sees.
//
// A camera in a scene but on no screen sees nothing: UpdateObject releases its
// virtual objects and builds none, since there is no canvas to project onto.
class OV_EXPORT COvCamera {
public:
    COvCamera();
    COvCamera(const COvCamera&) = delete;
    COvCamera& operator=(const COvCamera&) = delete;

protected:
    // Subclasses may hide more objects: non-zero hides. Here: 0.
    virtual int IsObjectVisible(const COvSize& screenSize, const CPx2DPoint& point,
                                const COvSize& size, double z);

public:
    // Exit.
    virtual ~COvCamera();
    // Releases the transformation, leaves scene and screen, releases the virtual
    // objects. May be repeated.
    virtual void Exit();

    // Exit, then 0; -10004 null control; -57001 range 0; -57002 no transformation.
    // A zero or parallel direction pair keeps the previous frame (logged only).
    int Init(COvControl* control, const COv3DPoint& pos, const COv3DPoint& forward,
             const COv3DPoint& upward, int kind, unsigned int range);

    // Binding, called by the scene and the screen only.
    void _SetScene(COvScene* scene);
    void _RemoveScene();
    void _AddScreen(COvScreen* screen);
    void _RemoveScreen();
    // The object left the scene (null: every object did): its virtual objects are
    // detached from it (never drawn or hit again) and released at the next update.
    // Marks the camera.
    void _RemoveObject(COvObject* object);

    COvScene* GetScene() const { return m_pScene; }
    COvScreen* GetScreen() const { return m_pScreen; }
    // The virtual objects of the last update (COvVirtualObject*), in object order.
    const CPtrList* GetVirtualObject() const { return &m_VirtualObjects; }
    unsigned int GetRange() const { return m_nRange; }
    const COv3DPoint& GetPos() const { return m_Pos; }
    const COv3DPoint& GetForward() const { return m_Forward; }
    const COv3DPoint& GetUpward() const { return m_Upward; }
    // Copies the vectors; a null pointer skips its vector.
    void GetDirection(COv3DPoint* forward, COv3DPoint* upward, COv3DPoint* side) const;
    int IsUpdated() { return m_bUpdated; }
    void CameraUpdateOn(int on) { m_bUpdated = on; }

    // 0, or -57001 (range kept) for 0. Marks the camera.
    int SetRange(unsigned int range);
    // Stores the position, marks the camera, raises OnCameraMoved.
    void SetPos(const COv3DPoint& pos);
    // Moves by delta given in camera axes; marks, OnCameraMoved; 0.
    int Move(const COv3DPoint& delta);
    // Turns by whole degrees about forward / upward / side. 0 and OnCameraRolled, or
    // -10002 with the frame unchanged. Marks the camera either way.
    int Roll(int degrees);
    int Pan(int degrees);
    int Tilt(int degrees);
    // Looks along forward with upward's part perpendicular to it. 0 and
    // OnCameraRolled, or -10002 (unchanged) for a zero or parallel pair.
    int SetDirection(const COv3DPoint& forward, const COv3DPoint& upward);

    // Rebuilds the virtual objects from the scene; marks the camera; 0.
    int UpdateObject();
    // UpdateObject, then the screen's Update; 0.
    int Update();
    // The screen's canvas update, when on a screen.
    void UpdateScreen();

    // The transformation, refreshed with the current frame and screen; not owned by
    // the caller. Null after Exit or before Init.
    COvTransformation* GetTransformation();
    // Takes t (the camera frees it; t now follows the camera's screen); 0, or -1 for
    // null.
    int SetTransformation(COvTransformation* t);
    // A new transformation of that kind (3: target perspective; else perspective);
    // 0, or -1 keeping the current one.
    int SetTransformation(int kind);
    // The transformation's SetProperty / GetProperty result; 1 without one.
    int SetTransProperty(const char* name, double value);
    int GetTransProperty(const char* name, double* value);

private:
    int Turn(const char* name, int degrees, COv3DPoint& a, COv3DPoint& b, const COv3DPoint& k);
    int IsView(const COv3DPoint& q, const CPx2DPoint& p, const COvSize& size);
    void RemoveVirtualObject();
    void ReleaseTransformation();
    // Points the transformation at the camera's current screen (or none).
    void FollowScreen();
    void Retire(bool all, const COvObject* object);

    COvControl* m_pControl;
    COvScene* m_pScene;
    COvScreen* m_pScreen;
    CPtrList m_VirtualObjects;
    COv3DPoint m_Pos;
    COv3DPoint m_Forward;
    COv3DPoint m_Upward;
    COv3DPoint m_Side;
    int m_nTransKind;
    COvTransformation* m_pTransformation;
    unsigned int m_nRange;
    int m_bUpdated;
    // Virtual objects withdrawn from their object: a screen may still hold them
    // until its next canvas update, so they live until this camera's next update.
    CPtrList m_RetiredObjects;
    friend class ov::LifeWatch;
    // The innermost operation watching for the camera's destruction by a listener.
    ov::LifeWatch* m_pLifeWatch;
};

#endif
