#include "OvScreen.h"

#include <climits>
#include <mutex>
#include <new>
#include <typeinfo>
#include <unordered_map>

#include "OvCamera.h"
#include "OvScene.h"
#include "OvVirtual.h"
#include "foundation/OvLifeWatch.h"
#include "foundation/OvReport.h"
#include "screen/OvImageDraw.h"

namespace {

// The period of the slow timer that only checks the cache.
constexpr unsigned int kMemoryCheckPeriod = 2000;

// The process-wide map from running timer id to its screen: the timer procedure gets
// only the id. Screens on different threads may share it, hence the lock.
struct TimerMap {
    std::mutex lock;
    std::unordered_map<OvTimerId, COvScreen*> screens;
};

TimerMap& Timers() {
    static TimerMap map;
    return map;
}

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------

COvScreen::COvScreen()
    : m_pControl(nullptr),
      m_Cameras(10),
      m_pCameraList(std::make_unique<COvCameraList>(&m_Cameras)),
      m_hWnd(nullptr),
      m_BackColor{0, 0, 0},
      m_nDrawMode(0),
      m_bCameraChanged(0),
      m_nReadLevel(1),
      m_nUpdateInterval(OV_SCREEN_SLOW_PERIOD),
      m_nTimerID(0),
      m_nDisplayed(0) {
    // NOTE: made before any screen is complete, so the map outlives every screen,
    // static ones included.
    Timers();
}

COvScreen::~COvScreen() {
    m_ppDisplayed.clear();
    m_Merged.clear();
    m_nDisplayed = 0;
    StopTimer();
    RemoveAllCameras();
    m_pDrawWindow.reset();
}

int COvScreen::Init(COvControl* control, HWND hWnd, const CPxRGB& backColor, const char* backImage,
                    int drawMode, int flags) {
    Exit();
    if (control == nullptr)
        return OV_E_NULL_CONTROL;
    m_pControl = control;
    m_pDrawWindow.reset(new (std::nothrow) COvImageDraw);
    if (m_pDrawWindow == nullptr) {
        return ov::Report(control, "COvScreen", "Init", OV_E_NOMEMORY,
                          static_cast<long long>(sizeof(COvImageDraw)), ov::kFoundHere);
    }
    m_hWnd = hWnd;
    RECT area{0, 0, 0, 0};
    CheckDrawArea(area);
    const int code = m_pDrawWindow->Init(control, area.right - area.left, area.bottom - area.top);
    if (code != 0)
        return ov::Report(control, "COvScreen", "Init", code, "m_pDrawWindow->Init", ov::kPassedOn);
    SetBackColor(OV_RGB(backColor.r, backColor.g, backColor.b));
    SetBackImage(backImage, drawMode, flags);
    m_nReadLevel = 0;
    return 0;
}

void COvScreen::Exit() {
    RemoveAllCameras();
    m_pDrawWindow.reset();
    // Nothing may be drawn or hit from the cameras' objects once they are gone.
    m_ppDisplayed.clear();
    m_Merged.clear();
    m_nDisplayed = 0;
}

// ---------------------------------------------------------------------------
// Cameras
// ---------------------------------------------------------------------------

void COvScreen::AddCamera(COvCamera* camera) {
    if (camera == nullptr || m_Cameras.Find(camera) != nullptr)
        return;
    COvScreen* previous = camera->GetScreen();
    if (previous != nullptr && previous != this) {
        ov::LifeWatch watch(*camera);
        previous->RemoveCamera(camera);
        // The listeners of the removal may have destroyed the camera or put it on a
        // screen themselves (this one included): what they did stands.
        if (watch.Gone() || camera->GetScreen() != nullptr)
            return;
    }
    StopTimer();
    m_bCameraChanged = 1;
    m_Cameras.AddTail(camera);
    camera->_AddScreen(this);
    if (m_pControl != nullptr)
        m_pControl->OnCameraAddedToScreen(*this, *camera);
}

void COvScreen::RemoveCamera(COvCamera* camera) {
    StopTimer();
    POSITION pos = m_Cameras.Find(camera);
    if (pos == nullptr)
        return;
    m_Cameras.RemoveAt(pos);
    camera->_RemoveScreen();
    m_bCameraChanged = 1;
    if (m_pControl != nullptr)
        m_pControl->OnCameraRemovedFromScreen(*this, *camera);
}

void COvScreen::RemoveAllCameras() {
    StopTimer();
    while (!m_Cameras.IsEmpty()) {
        COvCamera* camera = m_Cameras.RemoveTail();
        camera->_RemoveScreen();
        if (m_pControl != nullptr)
            m_pControl->OnCameraRemovedFromScreen(*this, *camera);
    }
    m_bCameraChanged = 1;
}

void COvScreen::Clear() {
    RemoveAllCameras();
}

const COvCameraList* COvScreen::GetCameraList() const {
    return m_pCameraList.get();
}

int COvScreen::UpdateCamera() {
    for (POSITION pos = m_Cameras.GetHeadPosition(); pos != nullptr;) {
        COvCamera* camera = m_Cameras.GetNext(pos);
        camera->UpdateObject();
        camera->CameraUpdateOn(1);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Background
// ---------------------------------------------------------------------------

void COvScreen::SetBackColor(const CPxRGB& color) {
    if (m_pDrawWindow == nullptr)
        return;
    m_BackColor = OV_RGB(color.r, color.g, color.b);
    m_pDrawWindow->m_BackColor = m_BackColor;
    m_pDrawWindow->FillBackColor();
    if (!m_strBackImage.IsEmpty()) {
        RECT area{0, 0, 0, 0};
        CheckDrawArea(area);
        // Decoded again with flags 0: from now on the picture stays decoded.
        m_pDrawWindow->MakeBackImage(m_nDrawMode, 0, m_strBackImage, area.right - area.left,
                                     area.bottom - area.top);
    }
    UpdateCanvas();
}

void COvScreen::SetBackImage(const char* path, int drawMode, int flags) {
    if (m_pDrawWindow == nullptr)
        return;
    m_strBackImage = path;
    m_nDrawMode = drawMode;
    m_pDrawWindow->m_BackColor = m_BackColor;
    m_pDrawWindow->FillBackColor();
    RECT area{0, 0, 0, 0};
    CheckDrawArea(area);
    m_pDrawWindow->MakeBackImage(drawMode, flags, m_strBackImage, area.right - area.left,
                                 area.bottom - area.top);
    UpdateCanvas();
}

const CPxRGB& COvScreen::GetBackColor() const {
    return m_BackColor;
}

const char* COvScreen::GetBackImage() const {
    return m_strBackImage;
}

int COvScreen::GetBackImageDrawMode() const {
    return m_nDrawMode;
}

// ---------------------------------------------------------------------------
// Update cycle
// ---------------------------------------------------------------------------

int COvScreen::UpdateCanvas() {
    if (m_pDrawWindow == nullptr)
        return 0;
    StopTimer();
    // Also rebuilt when a camera replaced its objects without the flag showing it (a
    // client may clear the flag), so nothing freed is ever drawn.
    const bool changed = IsScreenUpdated() != 0;
    if (changed || !IsMergeCurrent()) {
        ObjectMerge();
        ObjectSort();
    }
    // A subclass's hooks may draw anything and keep the canvas; the plain screen's draw
    // nothing.
    CPxCanvas24* canvas = typeid(*this) == typeid(COvScreen) ? m_pDrawWindow->m_pCanvas.get()
                                                             : m_pDrawWindow->HandOutCanvas();
    m_pDrawWindow->ClearCanvas();
    DrawBack(canvas);
    m_pControl->BeginDraw(m_nReadLevel);

    int interval = INT_MAX;
    for (COvVirtualObject* object : m_ppDisplayed) {
        if (!object->IsShown())
            continue;
        const int result = object->PrepareDraw();
        if (result > 0 && result < interval)
            interval = result;
    }
    for (COvVirtualObject* object : m_ppDisplayed) {
        if (!object->IsShown())
            continue;
        const int result = DrawObject(object);
        if (result > 0 && result < interval)
            interval = result;
        object->UnPrepareDraw();
    }
    if (interval == INT_MAX)
        interval = 0;

    m_pControl->EndDraw();
    DrawFront(canvas);
    if (interval > 0) {
        m_nUpdateInterval = interval;
        StartTimer(static_cast<unsigned int>(interval));
    } else {
        m_nUpdateInterval = OV_SCREEN_SLOW_PERIOD;
        StartTimer(kMemoryCheckPeriod);
    }
    return 0;
}

int COvScreen::ReDraw() {
    HDC dc = GetDC(m_hWnd);
    if (dc == nullptr)
        return ov::Report(m_pControl, "COvScreen", "WindowDraw", OV_SCREEN_NO_DC, "GetDC",
                          ov::kFoundHere);
    const int result = Draw(dc);
    if (result != 0)
        ov::Report(m_pControl, "COvDrawWindow", "WindowDraw", result, "WindowDraw", ov::kPassedOn);
    ReleaseDC(m_hWnd, dc);
    return result;
}

int COvScreen::Draw(HDC dc) {
    if (dc == nullptr || m_pDrawWindow == nullptr)
        return 0;
    RECT area{0, 0, 0, 0};
    CheckDrawArea(area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    // A picture that could not be had at the stored size is tried again, so that a
    // failed resize is not followed by silent empty draws.
    const COvSize& size = m_pDrawWindow->m_Size;
    const CPxZImageData24& picture = m_pDrawWindow->m_ZImage;
    const bool missing = size.width > 0 && size.height > 0 &&
                         (picture.GetWidth() != size.width || picture.GetHeight() != size.height);
    if (width != size.width || height != size.height || missing) {
        const int code = m_pDrawWindow->ResizeScreen(width, height, m_strBackImage);
        if (code != 0) {
            return ov::Report(m_pControl, "COvScreen", "Draw", code, "m_ImageDraw.ResizeScreen",
                              ov::kPassedOn);
        }
        UpdateCamera();
        UpdateCanvas();
    }
    return m_pDrawWindow->DrawImage(area, dc);
}

int COvScreen::Update() {
    UpdateCanvas();
    ReDraw();
    return 0;
}

void COvScreen::UpdateMemoryData() {
    if (m_pControl == nullptr || !m_pControl->IsNeedDataUpdate())
        return;
    RefreshDisplayed();
    m_pControl->BeginDraw(m_nReadLevel);
    for (COvVirtualObject* object : m_ppDisplayed) {
        if (!object->IsShown())
            continue;
        object->PrepareDraw();
        object->UnPrepareDraw();
    }
    m_pControl->EndDraw();
}

void COvScreen::SetReadLevel(int level) {
    m_nReadLevel = level;
}

int COvScreen::GetReadLevel() const {
    return m_nReadLevel;
}

int COvScreen::GetUpdateInterval() {
    return m_nUpdateInterval;
}

HWND COvScreen::GetWindow() const {
    return m_hWnd;
}

// ---------------------------------------------------------------------------
// The window timer
// ---------------------------------------------------------------------------

void COvScreen::StopTimer() {
    if (m_nTimerID == 0)
        return;
    KillTimer(nullptr, m_nTimerID);
    TimerMap& timers = Timers();
    {
        std::lock_guard<std::mutex> guard(timers.lock);
        timers.screens.erase(m_nTimerID);
    }
    m_nTimerID = 0;
}

void COvScreen::StartTimer(unsigned int period) {
    const OvTimerId id = SetTimer(nullptr, 0, period, &COvScreen::TimerProc);
    if (id == 0)
        return;
    TimerMap& timers = Timers();
    {
        std::lock_guard<std::mutex> guard(timers.lock);
        timers.screens[id] = this;
    }
    m_nTimerID = id;
}

void COvScreen::TimerProc(HWND, unsigned int, OvTimerId id, unsigned int) {
    COvScreen* screen = nullptr;
    {
        TimerMap& timers = Timers();
        std::lock_guard<std::mutex> guard(timers.lock);
        auto it = timers.screens.find(id);
        if (it == timers.screens.end())
            return;
        screen = it->second;
    }
    if (screen->m_nUpdateInterval < 0) {
        screen->UpdateMemoryData();
    } else {
        screen->UpdateCanvas();
        screen->ReDraw();
    }
}
