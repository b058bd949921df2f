// The drawing surface behind a screen: the off-screen picture with its depth buffer,
// the canvas that draws on it, and the composed background.
#ifndef ORVANE_SCREEN_OVIMAGEDRAW_H
#define ORVANE_SCREEN_OVIMAGEDRAW_H

#include <memory>

#include "OvControl.h"
#include "OvPlatform.h"
#include "OvScreen.h"
#include "OvTypes.h"
#include "Pixmere.h"

// Owned by one screen and used from its thread only. The background (a colour,
// optionally overlaid with a placed picture) is composed once per size or background
// change into m_BackScreen; each canvas update starts with one block copy of it (or a
// fill, when it is the plain colour). The screen reads m_Size, m_Center and m_pCanvas and
// writes m_BackColor directly.
//
// The depth buffer holds the farthest value everywhere at the start of every canvas
// update, but is filled only when it may hold anything else. Nothing the library draws
// (pictures, lines, triangles, frames) reads or writes it, so it can change only through
// code outside the library, which reaches it through the canvas's picture. Hence:
//   - a new buffer (Init, ResizeScreen) is filled at the next canvas update;
//   - whoever hands the canvas (or the picture) to code outside the library takes it
//     through HandOutCanvas, never m_pCanvas: that code may keep it and write at any
//     time, so from then on every canvas update of this surface fills the buffer;
//   - the library's own drawing uses m_pCanvas and costs no fill.
// The screen hands the canvas out to callers of GetCanvas, to virtual objects of classes
// other than the library's own, and to the hooks of a screen subclass.
class COvImageDraw {
public:
    // Size 0, no pictures; the canvas is made over m_ZImage (null when it cannot be).
    COvImageDraw();
    virtual ~COvImageDraw();
    COvImageDraw(const COvImageDraw&) = delete;
    COvImageDraw& operator=(const COvImageDraw&) = delete;

    // First sizing: stores control and geometry and allocates the off-screen picture.
    // 0, or the imaging library's code with the geometry set to 0. Logs nothing.
    int Init(COvControl* control, int width, int height);
    // New size: reallocates the picture and composes the background again (decoding
    // backImagePath again when the decoded picture was released). 0, -10000 when the
    // picture cannot be had (the new geometry stays), or the decoder's code (flag
    // bit 0 is then cleared).
    int ResizeScreen(int width, int height, const char* backImagePath);
    // Stores the flags and placement, decodes path and draws it over the background
    // already filled by the caller. 0 (also for no path), or the decoder's code (logged,
    // flag bit 0 cleared; the background stays plain colour).
    int MakeBackImage(int drawMode, int flags, const char* path, int width, int height);
    // Makes m_BackScreen the plain colour at the surface size, or releases it for plain
    // black. 0, or -10000 when it cannot be allocated (logged; the canvas updates then
    // fill the plain colour themselves).
    int FillBackColor();
    // Draws the decoded picture over m_BackScreen by the placement (width x height
    // is the area the centred and tiled placements use). 0.
    int DrawBackImage(int width, int height);
    // Starts a canvas update: background into the picture, every depth entry to the
    // farthest value (filled only when it may differ, as above).
    void ClearCanvas();
    // The canvas, for code outside the library: every later canvas update fills the
    // depth buffer.
    CPxCanvas24* HandOutCanvas();
    // Copies the picture (clipped to area and to the picture) to dc at (0, 0); a failed
    // copy is logged. Returns 0.
    int DrawImage(const RECT& area, HDC dc);

    COvControl* m_pControl;
    int m_nLineBytes;
    int m_nBackFlags;
    COvSize m_Size;
    CPx2DPoint m_Center;
    std::unique_ptr<CPxCanvas24> m_pCanvas;
    CPxZImageData24 m_ZImage;
    CPxRGB m_BackColor;
    CPxImageData24 m_BackImage;
    int m_nDrawMode;
    CPxImageData24 m_BackScreen;
    // m_BackScreen holds the plain colour alone.
    bool m_bPlainBack;
    // The depth buffer is new since its last fill.
    bool m_bDepthNew;
    // The canvas has been handed outside the library: fill the depth buffer every time.
    bool m_bHandedOut;
    // Fills of the depth buffer by ClearCanvas.
    long long m_nDepthResets;

private:
    void SetGeometry(int width, int height);
    bool IsBlack() const;
    // Decodes path into m_BackImage; on failure logs and clears flag bit 0.
    int LoadBackImage(const char* path);
};

#endif
