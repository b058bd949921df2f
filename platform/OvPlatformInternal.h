// Internal links between the parts of the window layer.
#ifndef ORVANE_PLATFORM_OVPLATFORMINTERNAL_H
#define ORVANE_PLATFORM_OVPLATFORMINTERNAL_H

#include <atomic>

#include "OvPlatform.h"

// One per window, owned by it. GetDC counts it taken, ReleaseDC gives it back;
// pictures go only through a taken context.
struct OvDeviceContext {
    explicit OvDeviceContext(COvWindow* window) : pWindow(window) {}
    COvWindow* const pWindow;
    std::atomic<int> nTaken{0};
};

// Stops every timer of the calling thread that belongs to `window`.
void OvKillWindowTimers(HWND window);

// The SDL side of the pump. Each acts on the calling thread's SDL windows only and does
// nothing when the thread has none (or SDL is not built in).
// True when the calling thread owns SDL windows.
bool OvSdlThreadHasWindows();
// Serves the pending window events. Returns the number served.
int OvSdlServeEvents();
// Waits at most waitMs for a window event (leaving it queued). Returns true when one came.
bool OvSdlWaitEvent(unsigned int waitMs);

#endif
