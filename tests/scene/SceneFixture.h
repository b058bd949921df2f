// Shared pieces of the scene and viewing tests: a control that logs to a file of its
// own, a listener that writes every event into a journal (and may act on one), and a
// plain object.
#ifndef ORVANE_TESTS_SCENEFIXTURE_H
#define ORVANE_TESTS_SCENEFIXTURE_H

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "OvCamera.h"
#include "OvControl.h"
#include "OvScene.h"
#include "OvVirtual.h"

namespace ovtest {

// A running control whose log lines can be read back.
class LoggedControl {
public:
    LoggedControl() {
        char name[] = "/tmp/ovscenelogXXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        m_Path = name;
        control.Init(0, m_Path.c_str());
    }
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
    // How many lines report code from className's function.
    int Count(const char* className, const char* function, int code) const {
        const std::string entry = Entry(className, function, code);
        int count = 0;
        for (const std::string& line : Lines())
            count += line.find(entry) != std::string::npos ? 1 : 0;
        return count;
    }
    // The part of a log line that names who reported which code.
    static std::string Entry(const char* className, const char* function, int code) {
        return "[" + std::string(className) + "] [" + function + "] [" + std::to_string(code) + "]";
    }

    COvControl control;

private:
    std::string m_Path;
};

// Writes "event:name" (or "event:scene:name") for every event it hears; objects,
// scenes and cameras are known by the names given to Name(). Then calls onEvent with
// the entry, so that a test can act inside the callback as a client's listener might.
class Journal final : public COvObjectListener, public COvCameraListener {
public:
    explicit Journal(COvControl& control) : m_Control(control) {
        control.AddObjectListener(this);
        control.AddCameraListener(this);
    }
    ~Journal() {
        m_Control.RemoveObjectListener(this);
        m_Control.RemoveCameraListener(this);
    }
    void Name(const void* thing, const std::string& name) { m_Names[thing] = name; }
    std::vector<std::string> Take() {
        std::vector<std::string> taken;
        taken.swap(events);
        return taken;
    }

    void OnObjectMoved(COvObject& o) override { Note("moved", &o); }
    void OnObjectResized(COvObject& o) override { Note("resized", &o); }
    void OnObjectSelectChanged(COvObject& o) override { Note("selected", &o); }
    void OnObjectShowChanged(COvObject& o) override { Note("shown", &o); }
    void OnObjectAdded(COvScene& s, COvObject& o) override { Note("added", &s, &o); }
    void OnObjectRemoved(COvScene& s, COvObject& o) override { Note("removed", &s, &o); }
    void OnObjectDeleting(COvObject& o) override { Note("deleting", &o); }
    void OnCameraMoved(COvCamera& c) override { Note("cameraMoved", &c); }
    void OnCameraRolled(COvCamera& c) override { Note("rolled", &c); }
    void OnCameraAddedToScene(COvScene& s, COvCamera& c) override { Note("cameraAdded", &s, &c); }
    void OnCameraRemovedFromScene(COvScene& s, COvCamera& c) override {
        Note("cameraRemoved", &s, &c);
    }
    void OnCameraAddedToScreen(COvScreen& s, COvCamera& c) override { Note("onScreen", &s, &c); }
    void OnCameraRemovedFromScreen(COvScreen& s, COvCamera& c) override {
        Note("offScreen", &s, &c);
    }

    std::vector<std::string> events;
    std::function<void(const std::string&)> onEvent;

private:
    std::string NameOf(const void* thing) const {
        auto it = m_Names.find(thing);
        return it == m_Names.end() ? "?" : it->second;
    }
    void Note(const char* what, const void* a) { Record(std::string(what) + ":" + NameOf(a)); }
    void Note(const char* what, const void* a, const void* b) {
        Record(std::string(what) + ":" + NameOf(a) + ":" + NameOf(b));
    }
    void Record(const std::string& entry) {
        events.push_back(entry);
        if (onEvent)
            onEvent(entry);
    }

    COvControl& m_Control;
    std::map<const void*, std::string> m_Names;
};

// The smallest concrete object: its virtual object draws only the frame.
class PlainObject final : public COvObject {
public:
    COvVirtualObject* MakeVirtualObject() override { return new COvVirtualObject(); }
    int Init(COvControl* control, COv3DPoint pos, COvSize3D size = {10.0, 10.0}) {
        return COvObject::Init(control, 1, pos, size, 0, 1, nullptr,
                               COvFrameStyle{0, 0, {0, 0, 0}});
    }
    using COvObject::Init;
};

// A control with a journal, and a scene with one default camera.
struct CameraScene {
    CameraScene() : journal(logged.control) {
        scene.Init(&logged.control);
        cam.Init(&logged.control, {0, 0, -300}, {0, 0, 1}, {0, 1, 0}, 0, 2000);
        scene.AddCamera(&cam);
    }
    LoggedControl logged;
    Journal journal;
    COvScene scene;
    COvCamera cam;
};

inline COvLineStyle Style(int width, int startArrow = 0, int endArrow = 0, int scaled = 0) {
    return COvLineStyle{width, {10, 20, 30}, startArrow, endArrow, scaled};
}

}  // namespace ovtest

#endif
