// The screen calls of the viewing code, with what a missing screen means.
#include "viewing/OvScreenLink.h"

#include "OvScreen.h"

namespace ov {

CPx2DPoint ScreenCentre(const COvScreen* screen) {
    return screen ? screen->GetCenter() : CPx2DPoint{0, 0};
}

COvSize ScreenSize(const COvScreen* screen) {
    return screen ? screen->GetSize() : COvSize{0, 0};
}

int ScreenHides(COvScreen* screen, double z, CPx2DPoint p, COvSize size) {
    if (screen == nullptr)
        return z <= 0.0 ? 1 : 0;
    return screen->IsObjectIn(z, &p, &size);
}

void ScreenUpdateCanvas(COvScreen* screen) {
    if (screen)
        screen->UpdateCanvas();
}

void ScreenUpdate(COvScreen* screen) {
    if (screen)
        screen->Update();
}

void ScreenRemoveCamera(COvScreen* screen, COvCamera* camera) {
    if (screen)
        screen->RemoveCamera(camera);
}

}  // namespace ov
