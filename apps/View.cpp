// orvane view: the scene in a window on the desktop, explored with the mouse and keys.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "Commands.h"
#include "Stage.h"

namespace ovapp {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPixelsPerDegree = 4;  // of a drag
constexpr int kKeyDegrees = 5;
const CPxRGB kSelectionColor{255, 214, 0};

// Half the usual width of the scene's pictures and labels: one wheel step.
double StepOf(const SceneSpec& scene) {
    std::vector<double> widths;
    for (const ObjectSpec& object : scene.objects) {
        if (object.kind != ObjectSpec::LINE)
            widths.push_back(object.size.width);
    }
    if (widths.empty())
        return 100;
    std::nth_element(widths.begin(), widths.begin() + widths.size() / 2, widths.end());
    return widths[widths.size() / 2] / 2;
}

const char* NameOf(COvObject& object) {
    const ObjectSpec* spec = Stage::SpecOf(&object);
    return spec ? spec->id.c_str() : "?";
}

// Prints what the library reports; the camera's many small turns during a drag are
// told once per redraw.
class EventPrinter : public COvObjectListener, public COvCameraListener {
public:
    virtual ~EventPrinter() = default;

    void OnObjectSelectChanged(COvObject& object) override {
        std::printf("event: %s %s\n", NameOf(object),
                    object.IsSelected() ? "selected" : "no longer selected");
    }
    void OnObjectMoved(COvObject& object) override {
        std::printf("event: %s moved\n", NameOf(object));
    }
    void OnCameraMoved(COvCamera&) override { m_bMoved = true; }
    void OnCameraRolled(COvCamera&) override { m_bTurned = true; }

    // Prints the camera's events since the last call.
    void Flush(COvCamera& camera) {
        const COv3DPoint& p = camera.GetPos();
        const COv3DPoint& f = camera.GetForward();
        if (m_bMoved)
            std::printf("event: camera moved to (%.0f, %.0f, %.0f)\n", p.x, p.y, p.z);
        if (m_bTurned)
            std::printf("event: camera turned to look along (%.2f, %.2f, %.2f)\n", f.x, f.y, f.z);
        m_bMoved = m_bTurned = false;
    }

private:
    bool m_bMoved = false;
    bool m_bTurned = false;
};

class Viewer {
public:
    Viewer(Stage& stage, const SceneSpec& scene) : m_Stage(stage), m_Step(StepOf(scene)) {
        COvCamera& camera = stage.Camera();
        m_HomePos = camera.GetPos();
        m_HomeForward = camera.GetForward();
        m_HomeUp = camera.GetUpward();
    }

    bool Quit() const { return m_bQuit; }
    void RequestQuit() { m_bQuit = true; }
    // Redraws when something changed since the last call.
    void Refresh(EventPrinter& printer) {
        if (!m_bDirty)
            return;
        m_bDirty = false;
        m_Stage.Scene().Update();
        printer.Flush(m_Stage.Camera());
    }

    void Handle(const COvWindowEvent& event) {
        COvCamera& camera = m_Stage.Camera();
        switch (event.kind) {
            case COvWindowEvent::BUTTON_DOWN:
                if (event.button == 1) {
                    m_bDragging = true;
                    m_bDragged = false;
                    m_Down = m_Last = CPx2DPoint{event.x, event.y};
                }
                break;
            case COvWindowEvent::MOTION:
                if (m_bDragging && (event.buttons & 1) != 0)
                    Drag(event.x, event.y);
                break;
            case COvWindowEvent::BUTTON_UP:
                if (event.button == 1 && m_bDragging) {
                    m_bDragging = false;
                    if (!m_bDragged)
                        Select(CPx2DPoint{event.x, event.y});
                }
                break;
            case COvWindowEvent::WHEEL:
                Forward(event.wheel * ((event.modifiers & OV_MOD_SHIFT) ? 10 : 1));
                break;
            case COvWindowEvent::RESIZED:
                std::printf("window resized to %dx%d\n", event.x, event.y);
                m_bDirty = true;
                break;
            case COvWindowEvent::KEY_DOWN:
                Key(event.key, camera);
                break;
        }
    }

private:
    void Key(int key, COvCamera& camera) {
        switch (key) {
            case 'q':
            case 27:
                m_bQuit = true;
                return;
            case 'a':
                camera.Roll(-kKeyDegrees);
                break;
            case 'd':
                camera.Roll(kKeyDegrees);
                break;
            case 'w':
                Forward(1);
                return;
            case 's':
                Forward(-1);
                return;
            case OV_KEY_LEFT:
                camera.Pan(-kKeyDegrees);
                break;
            case OV_KEY_RIGHT:
                camera.Pan(kKeyDegrees);
                break;
            case OV_KEY_UP:
                camera.Tilt(-kKeyDegrees);
                break;
            case OV_KEY_DOWN:
                camera.Tilt(kKeyDegrees);
                break;
            case 'r':
                camera.SetPos(m_HomePos);
                camera.SetDirection(m_HomeForward, m_HomeUp);
                break;
            default:
                return;
        }
        m_bDirty = true;
    }

    void Forward(int steps) {
        m_Stage.Camera().Move(COv3DPoint{0, 0, steps * m_Step});
        m_bDirty = true;
    }

    // Turns the camera by whole degrees as the pointer moves; the rest is kept for the
    // next motion so that slow drags turn too.
    void Drag(int x, int y) {
        if (std::abs(x - m_Down.x) + std::abs(y - m_Down.y) > 3)
            m_bDragged = true;
        const int pan = (x - m_Last.x) / kPixelsPerDegree;
        const int tilt = (y - m_Last.y) / kPixelsPerDegree;
        COvCamera& camera = m_Stage.Camera();
        if (pan != 0) {
            camera.Pan(-pan);
            m_Last.x += pan * kPixelsPerDegree;
            m_bDirty = true;
        }
        if (tilt != 0) {
            camera.Tilt(-tilt);
            m_Last.y += tilt * kPixelsPerDegree;
            m_bDirty = true;
        }
    }

    // Selects what lies under the pointer (its frame shows it) and lets go of the
    // previous selection.
    void Select(const CPx2DPoint& point) {
        COvObject* hit = m_Stage.Screen().GetObjectAtPos(point);
        if (hit == m_pSelected)
            return;
        if (m_pSelected != nullptr) {
            m_pSelected->SetFrame(m_SavedFrame);
            m_pSelected->SetSelected(0);
        }
        m_pSelected = hit;
        if (hit == nullptr) {
            std::printf("nothing at (%d, %d)\n", point.x, point.y);
        } else {
            m_SavedFrame = hit->GetFrame();
            hit->SetFrame(COvFrameStyle{0, 4, kSelectionColor});
            hit->SetSelected(1);
            std::printf("clicked %s at (%d, %d)\n", NameOf(*hit), point.x, point.y);
        }
        m_bDirty = true;
    }

    Stage& m_Stage;
    const double m_Step;
    COv3DPoint m_HomePos, m_HomeForward, m_HomeUp;
    bool m_bQuit = false;
    bool m_bDirty = false;
    bool m_bDragging = false;
    bool m_bDragged = false;
    CPx2DPoint m_Down{}, m_Last{};
    COvObject* m_pSelected = nullptr;
    COvFrameStyle m_SavedFrame{};
};

}  // namespace

int RunView(const SceneOptions& options, const ViewOptions& view) {
    SceneSpec scene;
    const CameraSpec* camera = nullptr;
    const int prepared = PrepareScene(options, scene, camera);
    if (prepared != kExitOk)
        return prepared;

    // Declared before the stage, so that the screen lets go of it first.
    COvSdlWindow window;
    const std::string title = "Orvane - " + (options.scene.empty() ? "demo" : options.scene);
    const int opened = window.Create(title.c_str(), scene.width, scene.height);
    if (opened != 0) {
        std::cerr << "orvane: cannot open a window ("
                  << (opened == OV_WND_E_NODISPLAY ? "no display; is DISPLAY set?"
                                                   : std::to_string(opened))
                  << "); `orvane render` works without one\n";
        return kExitFailure;
    }
    Stage stage;
    const std::string failure = stage.Build(scene, *camera, &window, options.log);
    if (!failure.empty()) {
        std::cerr << "orvane: " << failure << "\n";
        return kExitFailure;
    }
    Viewer viewer(stage, scene);
    EventPrinter printer;
    stage.Control().AddObjectListener(&printer);
    stage.Control().AddCameraListener(&printer);
    window.SetCloseHandler([&viewer](COvSdlWindow&) { viewer.RequestQuit(); });
    window.SetEventHandler(
        [&viewer](COvSdlWindow&, const COvWindowEvent& event) { viewer.Handle(event); });

    stage.Scene().Update();
    std::printf("showing %s in a %dx%d window\n",
                options.scene.empty() ? "the demo scene" : options.scene.c_str(), scene.width,
                scene.height);
    const Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(view.seconds > 0 ? view.seconds : 1e9));
    while (!viewer.Quit() && Clock::now() < end) {
        OvPumpMessages(30);
        viewer.Refresh(printer);
    }
    stage.Control().RemoveObjectListener(&printer);
    stage.Control().RemoveCameraListener(&printer);
    std::printf("closed\n");
    return kExitOk;
}

}  // namespace ovapp
