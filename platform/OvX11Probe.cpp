// The X11 side of the window tests: pixels, size and closing from the server's view.
#include "platform/OvX11Probe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace {

Display* AsDisplay(void* display) {
    return static_cast<Display*>(display);
}

// The colour channel under `mask` of an X pixel, scaled to 0..255.
int Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = 0;
    while (((mask >> shift) & 1UL) == 0) {
        ++shift;
    }
    const unsigned long max = mask >> shift;
    return static_cast<int>(((pixel & mask) >> shift) * 255UL / max);
}

struct ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

}  // namespace

COvX11Probe::COvX11Probe() : m_pDisplay(XOpenDisplay(nullptr)) {}

COvX11Probe::~COvX11Probe() {
    if (m_pDisplay) {
        XCloseDisplay(AsDisplay(m_pDisplay));
    }
}

int COvX11Probe::ReadPixels(std::uint64_t window, int x, int y, int width, int height,
                            std::vector<CPxRGB>& pixels) {
    if (!m_pDisplay || window == 0 || width <= 0 || height <= 0) {
        return -1;
    }
    Display* display = AsDisplay(m_pDisplay);
    // Everything the window's client drew must have reached the server first.
    XSync(display, False);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, static_cast<Window>(window), &attributes) ||
        attributes.map_state != IsViewable || x < 0 || y < 0 || x + width > attributes.width ||
        y + height > attributes.height) {
        return -1;
    }
    std::unique_ptr<XImage, ImageDeleter> image(
        XGetImage(display, static_cast<Window>(window), x, y, static_cast<unsigned>(width),
                  static_cast<unsigned>(height), AllPlanes, ZPixmap));
    if (!image) {
        return -1;
    }
    pixels.clear();
    pixels.reserve(static_cast<std::size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image.get(), column, row);
            pixels.push_back(CPxRGB{Channel(pixel, image->red_mask),
                                    Channel(pixel, image->green_mask),
                                    Channel(pixel, image->blue_mask)});
        }
    }
    return 0;
}

int COvX11Probe::ResizeWindow(std::uint64_t window, int width, int height) {
    if (!m_pDisplay || window == 0 || width <= 0 || height <= 0) {
        return -1;
    }
    Display* display = AsDisplay(m_pDisplay);
    XResizeWindow(display, static_cast<Window>(window), static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
    XSync(display, False);
    return 0;
}

int COvX11Probe::RequestClose(std::uint64_t window) {
    if (!m_pDisplay || window == 0) {
        return -1;
    }
    Display* display = AsDisplay(m_pDisplay);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(window);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    if (!XSendEvent(display, static_cast<Window>(window), False, NoEventMask, &event)) {
        return -1;
    }
    XSync(display, False);
    return 0;
}
