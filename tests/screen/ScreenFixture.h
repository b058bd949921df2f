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

namespace ovscreentest {

inline std::string TempPath(const char* stem, const char* suffix) {
    std::string path;
    OvCreateTempFile(stem, suffix, path);
    return path;
}

// A running control that logs to a file of its own.
class LoggedControl {
public:
    LoggedControl() : m_Path(TempPath("ovscreenlog", ".txt")) { control.Init(0, m_Path.c_str()); }
    ~LoggedControl() {
        control.Exit();
        std::remove(m_Path.c_str());
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::ifstream in(m_Path);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::string LastLine() const {
        const auto lines = Lines();
        return lines.empty() ? std::string() : lines.back();
    }
    // True when some line holds every one of the parts.
    bool Logged(std::initializer_list<std::string> parts) const {
        for (const std::string& line : Lines()) {
            bool all = true;
            for (const std::string& part : parts)
                all = all && line.find(part) != std::string::npos;
            if (all)
                return true;
        }
        return false;
    }

    COvControl control;

private:
    std::string m_Path;
};

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

}  // namespace ovscreentest

#endif
