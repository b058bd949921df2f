// COvSdlWindow when the library is built without SDL2: it never opens.
#include "OvPlatform.h"
#include "platform/OvPlatformInternal.h"

struct COvSdlWindow::Impl {};

COvSdlWindow::COvSdlWindow() = default;
COvSdlWindow::~COvSdlWindow() = default;

int COvSdlWindow::Create(const char*, int width, int height) {
    if (width <= 0 || height <= 0 || width > OV_MAX_WINDOW_SIDE || height > OV_MAX_WINDOW_SIDE) {
        return OV_WND_E_ARGUMENT;
    }
    return OV_WND_E_NODISPLAY;
}

void COvSdlWindow::Destroy() {}

bool COvSdlWindow::IsOpen() const {
    return false;
}

COvSize COvSdlWindow::GetClientSize() const {
    return COvSize{0, 0};
}

int COvSdlWindow::Present(const COvPicture&) {
    return OV_WND_E_CLOSED;
}

bool COvSdlWindow::IsCloseRequested() const {
    return false;
}

void COvSdlWindow::SetCloseHandler(std::function<void(COvSdlWindow&)>) {}

void COvSdlWindow::SetEventHandler(std::function<void(COvSdlWindow&, const COvWindowEvent&)>) {}

std::uint64_t COvSdlWindow::GetNativeWindow() const {
    return 0;
}

void COvSdlWindow::_HandleEvent(const void*) {}

bool OvSdlThreadHasWindows() {
    return false;
}

int OvSdlServeEvents() {
    return 0;
}

bool OvSdlWaitEvent(unsigned int) {
    return false;
}
