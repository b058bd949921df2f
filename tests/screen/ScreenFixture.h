// Shared pieces of the screen tests: a stage (a memory window, a scene, a camera and a
// running screen, on a test clock), a control whose log can be read back, a journal of
// camera events, a framed test object whose virtual objects report what the screen did
// with them, and pictures written to temporary files. Pixels are checked with the
// headless fixture's checks, which keep the pictures of a failure.
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
#include "OvHeadlessFixture.h"
#include "OvPlatform.h"
#include "OvScene.h"
#include "OvScreen.h"
#include "OvTestClock.h"
#include "OvVirtual.h"
#include "Pixmere.h"
#include "data/OvMemCache.h"
#include "data/OvMemManager.h"
#include "screen/OvImageDraw.h"
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

// True when the control logged a failure with this code for className's function.
inline bool LoggedFailure(const LoggedControl& log, const char* className, const char* function,
                          int code) {
    const std::string line =
        std::string("[") + className + "] [" + function + "] [" + std::to_string(code) + "]";
    return Logged(log, {line});
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
    return OvDescribeColour(c);
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

using PixelFunction = std::function<CPxRGB(int, int)>;

// The pixels expected where a Gradient picture of w x h is drawn 1:1 at (left, top)
// over a background colour.
inline PixelFunction GradientAt(int left, int top, int w, int h, const CPxRGB& back) {
    return [=](int x, int y) {
        const int px = x - left, py = y - top;
        return (px >= 0 && px < w && py >= 0 && py < h) ? Gradient(px, py) : back;
    };
}

// A screen that lets the tests see its surface.
class OpenScreen : public COvScreen {
public:
    COvImageDraw* Surface() { return m_pDrawWindow.get(); }
};

// The surface of a plain screen, read without making the screen a subclass (whose
// hooks count as code outside the library).
inline const COvImageDraw* SurfaceOf(const COvScreen& screen) {
    struct Access : COvScreen {
        static const COvImageDraw* Of(const COvScreen& s) {
            return (s.*&Access::m_pDrawWindow).get();
        }
    };
    return Access::Of(screen);
}

// A memory window, a scene and one default camera on a running screen. Its timers run
// by a test clock, which the cache's 2000 ms rule follows too: pumping lets the time
// pass at once.
template <class Screen>
struct BasicStage {
    OvTestClock clock;
    LoggedControl log;
    COvMemoryWindow window;
    COvScene scene;
    COvCamera camera;
    Screen screen;

    explicit BasicStage(int width = 640, int height = 480, const CPxRGB& back = CPxRGB{0, 0, 0})
        : window(width, height) {
        log.control.m_pMemManager->m_Cache.SetTickSource(&OvTestClock::Ticks);
        scene.Init(&log.control);
        InitDefaultCamera(camera, log.control);
        screen.Init(&log.control, &window, back, nullptr, 0, 0);
        scene.AddCamera(&camera);
        screen.AddCamera(&camera);
    }
    ~BasicStage() {
        screen.Exit();
        scene.Exit();
    }
    ProbeObject& Add(ProbeObject& object, COv3DPoint pos, COvSize3D size,
                     CPxRGB colour = ovtest::kRed) {
        object.Place(log.control, pos, size, 1, colour);
        scene.AddObject(&object);
        return object;
    }
    // The displayed objects, farthest first.
    std::vector<COvObject*> Displayed() {
        std::vector<COvObject*> objects;
        for (int i = 0; i < screen.GetDisplayedObjectCount(); ++i) {
            COvObject* object = nullptr;
            if (screen.GetDisplayedObject(i, object, nullptr, nullptr) == 0) {
                objects.push_back(object);
            }
        }
        return objects;
    }
    OvPixels Pixels() const { return OvPixelsOf(window); }
};
using Stage = BasicStage<OpenScreen>;

}  // namespace ovscreentest

#endif
