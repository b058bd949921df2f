// Looks at windows from the X server's side, as a user or a window manager would: reads
// their pixels, resizes them, asks them to close. The on-screen window's tests use it
// to check what really reached the display.
#ifndef ORVANE_PLATFORM_OVX11PROBE_H
#define ORVANE_PLATFORM_OVX11PROBE_H

#include <cstdint>
#include <vector>

#include "PxTypes.h"

class COvX11Probe {
public:
    // Connects to the display named by $DISPLAY; IsOpen() tells whether it worked.
    COvX11Probe();
    ~COvX11Probe();
    COvX11Probe(const COvX11Probe&) = delete;
    COvX11Probe& operator=(const COvX11Probe&) = delete;

    bool IsOpen() const { return m_pDisplay != nullptr; }

    // Reads width x height pixels of the window at (x, y), row by row from the top.
    // Returns 0 and fills pixels; -1 without a connection or when the server refuses
    // (the window is not viewable, the area lies outside it).
    int ReadPixels(std::uint64_t window, int x, int y, int width, int height,
                   std::vector<CPxRGB>& pixels);
    // Resizes the window's client area as a user dragging its border would. 0 or -1.
    int ResizeWindow(std::uint64_t window, int width, int height);
    // Asks the window to close, as a window manager's close button does. 0 or -1.
    int RequestClose(std::uint64_t window);

private:
    void* m_pDisplay;  // the X connection (Display*)
};

#endif
