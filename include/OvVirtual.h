// Virtual objects: the projected, drawable form of one scene object as one camera
// sees it. Cameras build and own them; screens sort, draw and hit-test them.
#ifndef ORVANE_OVVIRTUAL_H
#define ORVANE_OVVIRTUAL_H

#include "OvControl.h"
#include "OvExport.h"
#include "OvTypes.h"

class COvCamera;
class COvMemData;
class COvObject;
class COvScreen;
class COvTransformation;
class CPxCanvas24;

// Status codes of the virtual objects.
enum {
    OV_VIRTUAL_NO_PICTURE = -1,  // an image's Draw found no data and drew the placeholder
};

// ===========================================================================
// Base
// ===========================================================================

// Centre on the canvas, box size in pixels, camera-space position (z is the depth
// the screen sorts by) and the scene object. Draws the object's frame.
//
// When its object leaves the scene the camera detaches the virtual object: the
// object pointer becomes null, Draw draws nothing and HitTest finds nothing. Screens
// draw and hit-test only virtual objects for which IsShown is true.
class OV_EXPORT COvVirtualObject {
public:
    COvVirtualObject();
    COvVirtualObject(const COvVirtualObject& other);
    COvVirtualObject& operator=(const COvVirtualObject& other);

protected:
    // Virtual objects are destroyed only through Free.
    virtual ~COvVirtualObject();
    // The kind's own set-up after Init stored the common members; 0 here.
    virtual int InitVirtual(COvCamera* camera, COvTransformation* transformation);

public:
    // Deletes this virtual object.
    virtual void Free();
    // Whether point hits the object within its box; true here (the box test decides).
    // False once detached.
    virtual bool HitTest(const CPx2DPoint& point, const CPx2DPoint& topLeft, const COvSize& size);
    // Draws the frame (when m_nFrameSize > 0) around the box at topLeft; 0.
    virtual int Draw(CPxCanvas24* canvas, CPx2DPoint topLeft);
    // Makes the drawing data ready: 0, a redraw interval in ms, or a failure.
    virtual int PrepareDraw();
    // Gives back what PrepareDraw took.
    virtual void UnPrepareDraw();

    // Stores control, object, camera-space point, canvas centre, size and frame width,
    // then returns InitVirtual's result (a failure is logged).
    int Init(COvControl* control, COvCamera* camera, COvObject* object, COv3DPoint point3D,
             CPx2DPoint point2D, COvSize size, int frameSize, COvTransformation* transformation);

    const COv3DPoint& Get3DPoint() const { return m_3DPoint; }
    void Set3DPoint(COv3DPoint point) { m_3DPoint = point; }
    const CPx2DPoint& Get2DPoint() const { return m_2DPoint; }
    void Set2DPoint(CPx2DPoint point) { m_2DPoint = point; }
    const COvSize& GetSize() const { return m_Size; }
    void SetSize(COvSize size) { m_Size = size; }
    int GetFrameSize() const { return m_nFrameSize; }
    void SetFrameSize(int frameSize) { m_nFrameSize = frameSize; }
    // The scene object; null once the object has left its scene.
    COvObject* GetObject() const { return m_pObject; }
    // True while the scene object is there and visible: only then is the virtual
    // object drawn or hit-tested.
    bool IsShown() const;

protected:
    COvControl* m_pControl;
    int m_nFrameSize;
    COvSize m_Size;
    COv3DPoint m_3DPoint;
    CPx2DPoint m_2DPoint;
    COvObject* m_pObject;

private:
    friend class COvCamera;
    friend class COvScreen;
    void SetObject(COvObject* object) { m_pObject = object; }
};

// ===========================================================================
// Line
// ===========================================================================

// The projected end points and width of a line object. Drawn at its own canvas
// points with arrow heads; never hit.
class OV_EXPORT COvVirtualLineObject : public COvVirtualObject {
public:
    COvVirtualLineObject();

protected:
    ~COvVirtualLineObject() override;
    // Projects both end points and the width; -60001 when an end point lies on or
    // behind the camera plane, or GetSize's code.
    int InitVirtual(COvCamera* camera, COvTransformation* transformation) override;

public:
    // False: lines are never hit.
    bool HitTest(const CPx2DPoint& point, const CPx2DPoint& topLeft, const COvSize& size) override;
    // The line and its arrow heads in the line's current colour; 0.
    int Draw(CPxCanvas24* canvas, CPx2DPoint topLeft) override;

    void GetPointVirtual(CPx2DPoint& start, CPx2DPoint& end);
    void SetPointVirtual(const CPx2DPoint& start, const CPx2DPoint& end);
    int GetLineWidthVirtual() { return m_nLineWidthVirtual; }
    void SetLineWidthVirtual(int width) { m_nLineWidthVirtual = width; }

protected:
    CPx2DPoint m_StartVirtual;
    CPx2DPoint m_EndVirtual;
    int m_nLineWidthVirtual;
};

// ===========================================================================
// Image
// ===========================================================================

// Draws its image object's picture in the version that suits its box, scaled into
// the box, or a grey outline while there is none yet. Holds a lock on the datum from
// PrepareDraw to UnPrepareDraw only.
class OV_EXPORT COvVirtualImageObject : public COvVirtualObject {
public:
    COvVirtualImageObject();
    // A copy holds a lock of its own on the datum, so that each gives back its own.
    COvVirtualImageObject(const COvVirtualImageObject& other);
    COvVirtualImageObject& operator=(const COvVirtualImageObject& other);

protected:
    // Gives back a lock still held.
    ~COvVirtualImageObject() override;

public:
    // The picture scaled into the box, then the frame: 0. Without a datum the grey
    // outline: -1. DrawImage's failure code (logged; the datum is given back).
    int Draw(CPxCanvas24* canvas, CPx2DPoint topLeft) override;
    // Gets the datum for the box's size: the image object's code (200 while loading),
    // except 0 when a failure still left a substitute to show.
    int PrepareDraw() override;
    // Gives the datum back.
    void UnPrepareDraw() override;

protected:
    COvMemData* m_pMemData;

private:
    void ReleaseData();
};

// ===========================================================================
// Text
// ===========================================================================

// A text object's picture: as an image, but with a fixed-size style its box is the
// object's scene size taken as pixels, at every distance.
class OV_EXPORT COvVirtualTextObject : public COvVirtualImageObject {
public:
    COvVirtualTextObject();

protected:
    ~COvVirtualTextObject() override;
    // Fixed-size style: the box becomes the object's size truncated to pixels. 0.
    int InitVirtual(COvCamera* camera, COvTransformation* transformation) override;

public:
    // As the image's Draw; a failure is logged here too.
    int Draw(CPxCanvas24* canvas, CPx2DPoint topLeft) override;
};

#endif
