// The on-screen window through SDL2, and the SDL side of the message pump.
#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <utility>

#include "OvPlatform.h"
#include "platform/OvPlatformInternal.h"

namespace {

// SDL windows live on the thread that created them; only that thread's pump serves them.
thread_local int t_sdlWindows = 0;

// The key under which each SDL window carries its COvSdlWindow.
constexpr const char* kSelfKey = "OvSdlWindow";

// The window an event belongs to, or null for events of no window of ours.
COvSdlWindow* WindowOfEvent(const SDL_Event& event) {
    Uint32 id = 0;
    switch (event.type) {
        case SDL_WINDOWEVENT:
            id = event.window.windowID;
            break;
        case SDL_KEYDOWN:
            id = event.key.windowID;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            id = event.button.windowID;
            break;
        case SDL_MOUSEMOTION:
            id = event.motion.windowID;
            break;
        case SDL_MOUSEWHEEL:
            id = event.wheel.windowID;
            break;
        default:
            return nullptr;
    }
    SDL_Window* window = SDL_GetWindowFromID(id);
    return window ? static_cast<COvSdlWindow*>(SDL_GetWindowData(window, kSelfKey)) : nullptr;
}

int Modifiers() {
    const SDL_Keymod mod = SDL_GetModState();
    return ((mod & KMOD_SHIFT) ? OV_MOD_SHIFT : 0) | ((mod & KMOD_CTRL) ? OV_MOD_CTRL : 0) |
           ((mod & KMOD_ALT) ? OV_MOD_ALT : 0);
}

// The library's key code of an SDL key, 0 for keys it does not report.
int KeyCode(SDL_Keycode key) {
    // SDL's codes of printable and control keys are their characters already.
    if (key > 0 && key < 0x80) {
        return key;
    }
    switch (key) {
        case SDLK_LEFT:
            return OV_KEY_LEFT;
        case SDLK_RIGHT:
            return OV_KEY_RIGHT;
        case SDLK_UP:
            return OV_KEY_UP;
        case SDLK_DOWN:
            return OV_KEY_DOWN;
        case SDLK_PAGEUP:
            return OV_KEY_PAGEUP;
        case SDLK_PAGEDOWN:
            return OV_KEY_PAGEDOWN;
        case SDLK_HOME:
            return OV_KEY_HOME;
        case SDLK_END:
            return OV_KEY_END;
        default:
            return 0;
    }
}

// Translates an SDL input event; false for one that is not reported.
bool ToWindowEvent(const SDL_Event& event, COvWindowEvent& out) {
    out = COvWindowEvent{};
    switch (event.type) {
        case SDL_KEYDOWN:
            out.kind = COvWindowEvent::KEY_DOWN;
            out.key = KeyCode(event.key.keysym.sym);
            out.modifiers = Modifiers();
            return out.key != 0;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            out.kind = event.type == SDL_MOUSEBUTTONDOWN ? COvWindowEvent::BUTTON_DOWN
                                                         : COvWindowEvent::BUTTON_UP;
            out.x = event.button.x;
            out.y = event.button.y;
            out.button = event.button.button;
            out.modifiers = Modifiers();
            return true;
        case SDL_MOUSEMOTION:
            out.kind = COvWindowEvent::MOTION;
            out.x = event.motion.x;
            out.y = event.motion.y;
            out.buttons = static_cast<int>(event.motion.state);
            return true;
        case SDL_MOUSEWHEEL:
            out.kind = COvWindowEvent::WHEEL;
            out.wheel =
                event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
            out.modifiers = Modifiers();
            return out.wheel != 0;
        case SDL_WINDOWEVENT:
            out.kind = COvWindowEvent::RESIZED;
            out.x = event.window.data1;
            out.y = event.window.data2;
            return event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED;
        default:
            return false;
    }
}

// Copies width x height pixels of blue-green-red rows into a surface of `format`.
// Returns 0, or SDL's failure.
int CopyRows(const std::uint8_t* source, std::ptrdiff_t sourcePitch, int width, int height,
             Uint32 format, std::uint8_t* target, int targetPitch) {
    // The usual true-colour desktop: a tight loop instead of SDL's general converter,
    // which would set up a blit for every row of a bottom-up picture.
    if (SDL_BYTEORDER == SDL_LIL_ENDIAN &&
        (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888)) {
        for (int row = 0; row < height; ++row) {
            const std::uint8_t* s = source;
            std::uint8_t* t = target;
            for (int x = 0; x < width; ++x, s += 3, t += 4) {
                t[0] = s[0];
                t[1] = s[1];
                t[2] = s[2];
                t[3] = 0xFF;
            }
            source += sourcePitch;
            target += targetPitch;
        }
        return 0;
    }
    if (sourcePitch > 0) {
        return SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_BGR24, source,
                                 static_cast<int>(sourcePitch), format, target, targetPitch);
    }
    // Bottom-up rows through the general converter: one row at a time, top row first.
    for (int row = 0; row < height; ++row) {
        const int result = SDL_ConvertPixels(width, 1, SDL_PIXELFORMAT_BGR24, source, width * 3,
                                             format, target, targetPitch);
        if (result != 0) {
            return result;
        }
        source += sourcePitch;
        target += targetPitch;
    }
    return 0;
}

}  // namespace

struct COvSdlWindow::Impl {
    SDL_Window* pWindow = nullptr;
    bool bCloseRequested = false;
    std::function<void(COvSdlWindow&)> closeHandler;
    std::function<void(COvSdlWindow&, const COvWindowEvent&)> eventHandler;
};

COvSdlWindow::COvSdlWindow() : m_pImpl(std::make_unique<Impl>()) {}

COvSdlWindow::~COvSdlWindow() {
    Destroy();
}

int COvSdlWindow::Create(const char* title, int width, int height) {
    if (width <= 0 || height <= 0 || width > OV_MAX_WINDOW_SIDE || height > OV_MAX_WINDOW_SIDE ||
        static_cast<long long>(width) * height > OV_MAX_WINDOW_PIXELS) {
        return OV_WND_E_ARGUMENT;
    }
    Destroy();
    // A library must not take over the process's signals; a client that wants SDL's
    // handlers can still ask for them with a stronger hint.
    SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_DEFAULT);
    // Pictures are finished in memory: the window system's own framebuffer shows them
    // without bringing up a 3D driver (and its threads) just to copy pixels.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return OV_WND_E_NODISPLAY;
    }
    SDL_Window* window =
        SDL_CreateWindow(title ? title : "Orvane", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                         width, height, SDL_WINDOW_RESIZABLE);
    if (!window) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return OV_WND_E_NODISPLAY;
    }
    SDL_SetWindowData(window, kSelfKey, this);
    m_pImpl->pWindow = window;
    m_pImpl->bCloseRequested = false;
    ++t_sdlWindows;
    // Defined content (black) before the first picture.
    if (SDL_Surface* surface = SDL_GetWindowSurface(window)) {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        SDL_UpdateWindowSurface(window);
    }
    return 0;
}

void COvSdlWindow::Destroy() {
    if (!m_pImpl->pWindow) {
        return;
    }
    SDL_SetWindowData(m_pImpl->pWindow, kSelfKey, nullptr);
    SDL_DestroyWindow(m_pImpl->pWindow);
    m_pImpl->pWindow = nullptr;
    --t_sdlWindows;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // When nothing else in the process uses SDL, let it release everything it holds
    // (its message-bus connection too), so that closing the last window leaks nothing.
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) {
        SDL_Quit();
    }
}

bool COvSdlWindow::IsOpen() const {
    return m_pImpl->pWindow != nullptr;
}

COvSize COvSdlWindow::GetClientSize() const {
    COvSize size{0, 0};
    if (m_pImpl->pWindow) {
        SDL_GetWindowSizeInPixels(m_pImpl->pWindow, &size.width, &size.height);
    }
    return size;
}

int COvSdlWindow::Present(const COvPicture& picture) {
    SDL_Window* window = m_pImpl->pWindow;
    if (!window) {
        return OV_WND_E_CLOSED;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface) {
        return OV_WND_E_NODISPLAY;
    }
    if (!picture.pTop || picture.width <= 0 || picture.height <= 0 || picture.x < 0 ||
        picture.y < 0) {
        return OV_WND_E_ARGUMENT;
    }
    // The surface may already have the size of a resize that was not yet reported.
    const int width = std::min(picture.width, surface->w - picture.x);
    const int height = std::min(picture.height, surface->h - picture.y);
    if (width <= 0 || height <= 0) {
        return 0;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        return OV_WND_E_NODISPLAY;
    }
    const int bytesPerPixel = surface->format->BytesPerPixel;
    auto* target = static_cast<std::uint8_t*>(surface->pixels) +
                   static_cast<std::ptrdiff_t>(picture.y) * surface->pitch +
                   static_cast<std::ptrdiff_t>(picture.x) * bytesPerPixel;
    const int result = CopyRows(picture.pTop, picture.nPitch, width, height,
                                surface->format->format, target, surface->pitch);
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    if (result != 0 || SDL_UpdateWindowSurface(window) != 0) {
        return OV_WND_E_NODISPLAY;
    }
    return 0;
}

bool COvSdlWindow::IsCloseRequested() const {
    return m_pImpl->bCloseRequested;
}

void COvSdlWindow::SetCloseHandler(std::function<void(COvSdlWindow&)> handler) {
    m_pImpl->closeHandler = std::move(handler);
}

void COvSdlWindow::SetEventHandler(
    std::function<void(COvSdlWindow&, const COvWindowEvent&)> handler) {
    m_pImpl->eventHandler = std::move(handler);
}

std::uint64_t COvSdlWindow::GetNativeWindow() const {
    if (!m_pImpl->pWindow) {
        return 0;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(m_pImpl->pWindow, &info) != SDL_TRUE) {
        return 0;
    }
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11) {
        return static_cast<std::uint64_t>(info.info.x11.window);
    }
#endif
    return 0;
}

void COvSdlWindow::_HandleEvent(const void* sdlEvent) {
    const auto& event = *static_cast<const SDL_Event*>(sdlEvent);
    if (!m_pImpl->pWindow) {
        return;
    }
    COvWindowEvent windowEvent;
    if (m_pImpl->eventHandler && ToWindowEvent(event, windowEvent)) {
        // The handler may destroy this object: nothing of it is touched afterwards.
        std::function<void(COvSdlWindow&, const COvWindowEvent&)> handler = m_pImpl->eventHandler;
        handler(*this, windowEvent);
        return;
    }
    if (event.type != SDL_WINDOWEVENT) {
        return;
    }
    switch (event.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
            // The surface still holds the last picture; show it again.
            SDL_UpdateWindowSurface(m_pImpl->pWindow);
            break;
        case SDL_WINDOWEVENT_CLOSE: {
            m_pImpl->bCloseRequested = true;
            // The handler may destroy this object: nothing of it is touched afterwards.
            std::function<void(COvSdlWindow&)> handler = m_pImpl->closeHandler;
            if (handler) {
                handler(*this);
            }
            break;
        }
        default:
            break;
    }
}

// ---------------------------------------------------------------------------
// The SDL side of the pump
// ---------------------------------------------------------------------------

bool OvSdlThreadHasWindows() {
    return t_sdlWindows > 0;
}

int OvSdlServeEvents() {
    int served = 0;
    SDL_Event event;
    // A close handler may destroy the thread's last window, and SDL's video with it.
    while (t_sdlWindows > 0 && SDL_PollEvent(&event)) {
        ++served;
        if (COvSdlWindow* window = WindowOfEvent(event)) {
            window->_HandleEvent(&event);
        }
    }
    return served;
}

bool OvSdlWaitEvent(unsigned int waitMs) {
    if (t_sdlWindows == 0) {
        return false;
    }
    const int ms = static_cast<int>(std::min(waitMs, 0x7FFFFFFFu));
    return SDL_WaitEventTimeout(nullptr, ms) == 1;
}
