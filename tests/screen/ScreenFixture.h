// Shared pieces of the screen tests: a control whose log can be read back, a journal
// of camera events, a framed test object whose virtual objects report what the screen
// did with them, and pictures written to temporary files.
#ifndef ORVANE_TESTS_SCREENFIXTURE_H
#define ORVANE_TESTS_SCREENFIXTURE_H

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "OvCamera.h"
#include "OvControl.h"
#include "OvPlatform.h"
#include "OvScene.h"
#include "OvScreen.h"
#include "OvVirtual.h"
#include "Pixmere.h"
#include "tests/scene/SceneFixture.h"

namespace ovscreentest {

// A new empty file in the temporary directory.
inline std::string TempPath(const char* stem, const char* suffix) {
    std::string path;
    OvCreateTempFile(stem, suffix, path);
    return path;
}

// A running control whose log lines can be read back (shared with the scene tests).
using LoggedControl = ovtest::LoggedControl;

// True when some line of the control's log holds every one of the parts.
inline bool Logged(const LoggedControl& log, std::initializer_list<std::string> parts) {
    for (const std::string& line : log.Lines()) {
        bool all = true;
        for (const std::string& part : parts)
            all = all && line.find(part) != std::string::npos;
        if (all)
            return true;
    }
    return false;
}

// Records the screen events as "added:<screen>" and "removed:<screen>".
class ScreenJournal final : public COvCameraListener {
public:
    explicit ScreenJournal(COvControl& control) : m_Control(control) {
        control.AddCameraListener(this);
    }
    ~ScreenJournal() { m_Control.RemoveCameraListener(this); }
    void OnCameraAddedToScreen(COvScreen& s, COvCamera& c) override { Note("added", s, c); }
    void OnCameraRemovedFromScreen(COvScreen& s, COvCamera& c) override { Note("removed", s, c); }
    std::vector<std::string> Take() {
        std::vector<std::string> taken;
        taken.swap(events);
        return taken;
    }
    std::function<std::string(const void*)> name = [](const void*) { return std::string("?"); };
    std::vector<std::string> events;

private:
    void Note(const char* what, COvScreen& s, COvCamera& c) {
        events.push_back(std::string(what) + ":" + name(&s) + ":" + name(&c));
    }
    COvControl& m_Control;
};

// What the screen did with the virtual objects of one ProbeObject.
struct ProbeLog {
    int prepared = 0;
    int drawn = 0;
    int unprepared = 0;
};

// A virtual object that draws the frame and asks for the interval its object holds.
class ProbeVirtual final : public COvVirtualObject {
public:
    ProbeVirtual(ProbeLog& log, int interval) : m_Log(log), m_nInterval(interval) {}
    int PrepareDraw() override {
        ++m_Log.prepared;
        return m_nInterval;
    }
    int Draw(CPxCanvas24* canvas, CPx2DPoint topLeft) override {
        ++m_Log.drawn;
        COvVirtualObject::Draw(canvas, topLeft);
        return m_nInterval;
    }
    void UnPrepareDraw() override { ++m_Log.unprepared; }

private:
    ProbeLog& m_Log;
    int m_nInterval;
};

// A flat object drawn as its frame. A frame at least half the box's size fills it.
class ProbeObject final : public COvObject {
public:
    COvVirtualObject* MakeVirtualObject() override { return new ProbeVirtual(log, interval); }
    // Places the object (scene units) with a frame of the given width and colour.
    int Place(COvControl& control, COv3DPoint pos, COvSize3D size, int frameWidth, CPxRGB colour) {
        return Init(&control, 1, pos, size, 0, 1, nullptr, COvFrameStyle{0, frameWidth, colour});
    }
    ProbeLog log;
    int interval = 0;
};

// A camera with the default frame (at (0, 0, -300) looking along +z, focus 2000).
inline int InitDefaultCamera(COvCamera& camera, COvControl& control) {
    return camera.Init(&control, OV_3DPOINT(0, 0, -300), OV_3DPOINT(0, 0, 1), OV_3DPOINT(0, 1, 0),
                       0, 2000);
}

// "#rrggbb", so that colours compare and print readably.
inline std::string Hex(const CPxRGB& c) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r & 0xFF, c.g & 0xFF, c.b & 0xFF);
    return text;
}

// The window's pixel as "#rrggbb"; "none" outside the window.
inline std::string PixelOf(const COvMemoryWindow& window, int x, int y) {
    CPxRGB colour{0, 0, 0};
    return window.GetPixel(x, y, colour) == 0 ? Hex(colour) : std::string("none");
}

// The picture's pixel as "#rrggbb"; "none" outside it or without pixels.
inline std::string PixelOf(const CPxImageData24& image, int x, int y) {
    CPxRGB colour{0, 0, 0};
    return image.GetPixel(x, y, colour) ? Hex(colour) : std::string("none");
}

// Writes a width x height picture made by paint(x, y) as a PNG file; returns its path.
inline std::string WritePicture(int width, int height,
                                const std::function<CPxRGB(int, int)>& paint) {
    CPxImageData24 image;
    image.NewImage(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.SetPixel(x, y, paint(x, y));
    }
    const std::string path = TempPath("ovscreenpic", ".png");
    PxSavePng(image, path.c_str());
    return path;
}

// A picture whose every pixel tells where it came from: red the row, green the column.
inline CPxRGB Gradient(int x, int y) {
    return CPxRGB{y & 0xFF, x & 0xFF, 0x80};
}

using PixelFunction = std::function<std::string(int, int)>;

// The pixels expected where a Gradient picture of w x h is drawn 1:1 at (left, top)
// over a background colour.
inline PixelFunction GradientAt(int left, int top, int w, int h, const CPxRGB& back) {
    return [=](int x, int y) {
        const int px = x - left, py = y - top;
        return (px >= 0 && px < w && py >= 0 && py < h) ? Hex(Gradient(px, py)) : Hex(back);
    };
}

// The first pixel of a width x height area where got differs from want, or "".
inline std::string FirstMismatch(int width, int height, const PixelFunction& got,
                                 const PixelFunction& want) {
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (got(x, y) != want(x, y)) {
                return "(" + std::to_string(x) + ", " + std::to_string(y) + "): " + got(x, y) +
                       " instead of " + want(x, y);
            }
        }
    }
    return "";
}

}  // namespace ovscreentest

#endif
