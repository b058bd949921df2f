// What the viewing code asks of a screen, in one place.
#ifndef ORVANE_VIEWING_OVSCREENLINK_H
#define ORVANE_VIEWING_OVSCREENLINK_H

#include "OvTypes.h"

class COvCamera;
class COvScreen;

namespace ov {

// The canvas centre of screen; (0, 0) for none.
CPx2DPoint ScreenCentre(const COvScreen* screen);
// The canvas size of screen; (0, 0) for none.
COvSize ScreenSize(const COvScreen* screen);
// Non-zero when the box at p of size at depth z cannot be seen on screen.
int ScreenHides(COvScreen* screen, double z, CPx2DPoint p, COvSize size);
// The screen's canvas update; its full update (canvas and window); its removal of
// camera.
void ScreenUpdateCanvas(COvScreen* screen);
void ScreenUpdate(COvScreen* screen);
void ScreenRemoveCamera(COvScreen* screen, COvCamera* camera);

}  // namespace ov

#endif
