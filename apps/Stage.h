// The library objects of one scene file on one window: the control, the scene, its
// objects, the chosen camera and the screen, built and torn down in the right order.
#ifndef ORVANE_APPS_STAGE_H
#define ORVANE_APPS_STAGE_H

#include <Orvane.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "SceneFile.h"

namespace ovapp {

// Where the pictures of the objects in view stand.
struct Loading {
    int inView = 0;       // pictures and labels shown by the camera
    int loaded = 0;       // of those, shown in the version chosen for their size
    int failed = 0;       // of those, whose chosen version could not be loaded
    long long bytes = 0;  // memory of the loaded versions
    std::vector<std::string> failedNames;

    bool Done() const { return loaded + failed == inView; }
};

// What the cache holds of the scene's pictures.
struct CacheFigures {
    int versions = 0;  // versions of pictures and labels in memory
    long long bytes = 0;
};

class Stage {
public:
    Stage() = default;
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;
    ~Stage();

    // Builds the scene on `window` as seen by `camera` (one of the scene's). The
    // library writes its failures to logPath (none when empty). Returns "" or a message.
    std::string Build(const SceneSpec& scene, const CameraSpec& camera, HWND window,
                      const std::string& logPath);

    COvControl& Control() { return m_Control; }
    COvScene& Scene() { return *m_pScene; }
    COvCamera& Camera() { return *m_pCamera; }
    COvScreen& Screen() { return *m_pScreen; }
    // The file's description of a library object of this stage, or null.
    static const ObjectSpec* SpecOf(const COvObject* object);

    // Where the pictures in view stand; asks for nothing that the screen has not asked for.
    Loading CheckLoading();
    // Counts every version of every picture and label in memory.
    CacheFigures CheckCache();

private:
    std::string AddObject(const ObjectSpec& spec);

    // Declared first, destroyed last: everything else was initialised with it.
    COvControl m_Control;
    std::unique_ptr<COvScene> m_pScene;
    std::unique_ptr<COvCamera> m_pCamera;
    std::vector<std::unique_ptr<COvObject>> m_Objects;
    std::unique_ptr<COvScreen> m_pScreen;
};

}  // namespace ovapp

#endif
