// The screen: shows the views of its cameras in one window and runs the library's
// update cycle (one window timer per screen).
#ifndef ORVANE_OVSCREEN_H
#define ORVANE_OVSCREEN_H

#include <memory>
#include <vector>

#include "OvControl.h"
#include "OvExport.h"
#include "OvPlatform.h"
#include "OvPtrList.h"
#include "OvTypes.h"

class COvCamera;
class COvCameraList;
class COvImageDraw;
class COvObject;
class COvObjectList;
class COvVirtualObject;
class CPxCanvas24;

// Status codes of the screen and its drawing surface.
enum {
    OV_SCREEN_NO_DC = -52000,           // no device context for the screen's window
    OV_SCREEN_NO_SUCH_OBJECT = -1,      // GetDisplayedObject: index out of range
    OV_SCREEN_SIZE_UNCHANGED = 1,       // ResizeScreen: the draw area kept its size
    OV_SCREEN_SLOW_PERIOD = -1,         // GetUpdateInterval: no object asked for a period
    OV_IMAGEDRAW_COPY_FAILED = -50004,  // the picture could not be copied to the window
};

// Background-picture flags (SetBackImage).
enum {
    // Release the decoded picture once composed; decode it again on a resize.
    OV_BACK_RELEASE_IMAGE = 1,
    // Handed to the image decoder as its option (fast decoding).
    OV_BACK_LOAD_OPTION = 2,
};

// Background-picture placements (SetBackImage).
enum {
    OV_BACK_STRETCH = 0,
    OV_BACK_CENTRE = 1,
    OV_BACK_LOWER_LEFT = 2,
    OV_BACK_TILE = 3,
};

// Construct, Init with the control and a window (a COvWindow*, may be null), add
// cameras. Every canvas update merges the cameras' virtual objects, sorts them far to
// near, draws them over the background and starts the screen's window timer: at the
// shortest period a shown object asked for, or every 2000 ms to let the memory manager
// trim its cache. Timers run from the message pump of the thread that last updated
// the canvas; a screen is used from that thread only. A stopped timer leaves nothing in
// the process-wide map from timer ids to screens.
//
// The hit tests and the displayed-object queries always answer from the cameras'
// current virtual objects: when a camera rebuilt its view since the last canvas update
// (even with its updated flag cleared since), the displayed list is merged and sorted
// again first. Objects of equal depth keep the order of their cameras and scene.
class OV_EXPORT COvScreen {
public:
    COvScreen();
    COvScreen(const COvScreen&) = delete;
    COvScreen& operator=(const COvScreen&) = delete;

protected:
    // Hook after the background is laid, before any object is drawn. Returns 0.
    virtual int DrawBack(CPxCanvas24* canvas);
    // Hook after every object is drawn. Returns 0.
    virtual int DrawFront(CPxCanvas24* canvas);
    // Sets offset to half the size (truncated): objects are placed by their centre.
    virtual void GetObjectOffset(const COvSize* size, CPx2DPoint& offset);
    // Sets area to the window's client rectangle; without a window to the surface's
    // size, or all zero without a surface.
    virtual void CheckDrawArea(RECT& area);

public:
    // Releases the displayed list and the timer, removes every camera (with events),
    // deletes the surface.
    virtual ~COvScreen();
    // Removes every camera (stopping the timer) and deletes the surface. Repeatable.
    virtual void Exit();
    // Copies the canvas into the window (GetDC, Draw, ReleaseDC). 0, -52000 without a
    // device context, or Draw's failure code.
    virtual int ReDraw();

    // ---- Life cycle ------------------------------------------------------------
    // Exit, then binds the control and window, creates and sizes the surface and sets
    // the background (each setting runs a canvas update, so the timer runs after).
    // 0; -10004 for a null control; -10000 or the surface's code when it cannot be
    // made or sized. Leaves the read level at 0.
    int Init(COvControl* control, HWND hWnd, const CPxRGB& backColor, const char* backImage,
             int drawMode, int flags);

    // ---- Cameras ---------------------------------------------------------------
    // Appends the camera (taking it off any other screen first), stops the timer and
    // reports OnCameraAddedToScreen. Null or a camera already here: nothing.
    void AddCamera(COvCamera* camera);
    // Takes the camera off, stops the timer, reports OnCameraRemovedFromScreen. An
    // unknown camera only stops the timer.
    void RemoveCamera(COvCamera* camera);
    // Removes every camera, last added first, each with its event; stops the timer.
    void RemoveAllCameras();
    // Same as RemoveAllCameras.
    void Clear();
    // A live view of the cameras in the order they were added.
    const COvCameraList* GetCameraList() const;
    // Every camera rebuilds its virtual objects and is marked updated. Returns 0.
    int UpdateCamera();

    // ---- Background ------------------------------------------------------------
    // Stores the colour (clamped), recomposes the background and updates the canvas.
    // Nothing before Init.
    void SetBackColor(const CPxRGB& color);
    // Stores the picture path (null: none) and placement (0 stretched, 1 centred,
    // 2 lower-left, 3 tiled), composes the background and updates the canvas. flags:
    // bit 0 keep only the composed picture, bit 1 handed to the image decoder. Nothing
    // before Init.
    void SetBackImage(const char* path, int drawMode, int flags);
    const CPxRGB& GetBackColor() const;
    const char* GetBackImage() const;
    int GetBackImageDrawMode() const;

    // ---- Update cycle ----------------------------------------------------------
    // One canvas update: merge and sort when a camera changed, clear to the
    // background, draw the shown objects, restart the timer. Returns 0.
    int UpdateCanvas();
    // Copies the canvas to dc; when the draw area changed size, first resizes the
    // surface, re-runs the cameras and updates the canvas. 0 or a failure code.
    int Draw(HDC dc);
    // UpdateCanvas, then ReDraw. Returns 0.
    int Update();
    // The slow timer's work: when the cache asks for a trim, requests and releases
    // the shown objects' data, then trims. Draws nothing.
    void UpdateMemoryData();
    // Loading threads allowed while this screen draws, used clamped into 1..10.
    void SetReadLevel(int level);
    int GetReadLevel() const;
    // The period chosen by the last canvas update in ms; OV_SCREEN_SLOW_PERIOD when no
    // object asked for one (the slow 2000 ms check runs) or before the first canvas update.
    int GetUpdateInterval();
    HWND GetWindow() const;

    // ---- Geometry and queries --------------------------------------------------
    // The surface's size and centre; (0, 0) before Init.
    const COvSize& GetSize() const;
    const CPx2DPoint& GetCenter() const;
    // The surface's canvas; null before Init. Whoever holds it may use the picture's
    // depth buffer, so from then on every canvas update resets that buffer in full.
    CPxCanvas24* GetCanvas();
    // 1 when an object at camera depth z, centred at point, of the given size cannot
    // be seen on this screen; 0 when it may be.
    int IsObjectIn(double z, CPx2DPoint* point, COvSize* size);
    // The front-most shown object under point, or null.
    COvObject* GetObjectAtPos(const CPx2DPoint& point);
    // Appends every shown object under point, back to front; returns the list's count.
    int GetAllObjectsAtPos(const CPx2DPoint& point, COvObjectList* list);
    // The index-th displayed object (0 is the farthest, shown or hidden), its box's
    // top-left corner and its size. 0, or OV_SCREEN_NO_SUCH_OBJECT for an index out of
    // range (nothing set).
    int GetDisplayedObject(int index, COvObject*& object, CPx2DPoint* pos, COvSize* size);
    // Entries of the displayed list as last merged (GetDisplayedObject may merge again
    // first, when a camera rebuilt its view since).
    int GetDisplayedObjectCount() const;

protected:
    // Resizes the surface when the draw area changed: OV_SCREEN_SIZE_UNCHANGED when it
    // did not, else the surface's result (0 or a negative code). Cameras and canvas are
    // left as they are.
    int ResizeScreen();

    COvControl* m_pControl;
    CTypedPtrList<CPtrList, COvCamera*> m_Cameras;
    std::unique_ptr<COvCameraList> m_pCameraList;
    HWND m_hWnd;
    std::unique_ptr<COvImageDraw> m_pDrawWindow;
    CPxRGB m_BackColor;
    COvString m_strBackImage;
    int m_nDrawMode;
    int m_bCameraChanged;
    int m_nReadLevel;
    int m_nUpdateInterval;
    OvTimerId m_nTimerID;
    std::vector<COvVirtualObject*> m_ppDisplayed;
    int m_nDisplayed;

private:
    // The window timer's procedure: finds the screen of the timer and updates it.
    static void TimerProc(HWND hWnd, unsigned int message, OvTimerId id, unsigned int time);

    // The top-left corner of the object's box: its centre less GetObjectOffset.
    CPx2DPoint TopLeftOf(const COvVirtualObject* object);
    int DrawObject(COvVirtualObject* object);
    int IsScreenUpdated();
    void ObjectMerge();
    void ObjectSort();
    // Rebuilds the displayed list when a camera replaced its virtual objects since
    // the last merge, so nothing reads objects a camera has freed.
    void RefreshDisplayed();
    bool IsMergeCurrent() const;
    void StopTimer();
    void StartTimer(unsigned int period);
    // True when the entry's scene object is shown; fills its top-left and size.
    bool ShownBox(const COvVirtualObject* object, CPx2DPoint& topLeft, COvSize& size);
    // True when point lies in the shown object's box and its own test agrees.
    bool IsHit(COvVirtualObject* object, const CPx2DPoint& point);

    // The merged list in camera order, as the cameras held it at the last merge.
    std::vector<COvVirtualObject*> m_Merged;
};

#endif
