// The window-system layer: windows, device contexts, window timers, the message pump,
// the clock and temporary files.
//
// The library shows its pictures in windows and runs its screens on window timers.
// A window is any COvWindow: the headless COvMemoryWindow, the on-screen COvSdlWindow
// (when the library was built with SDL2) or a class of your own that puts the pictures
// into your toolkit.
//
// Embedding the library in your own toolkit: derive from COvWindow and implement
//   - GetClientSize(): the size of the area the pictures go to, in pixels;
//   - Present(picture): copy the block of pixels into your widget's backing image
//     (or paint it at once) and schedule a repaint; return 0, or a negative code.
// Pass a pointer to the object wherever the library wants an HWND, keep it alive as long
// as a screen uses it, and call OvPumpMessages() from your toolkit's idle handler or a
// periodic timer of its own (every 10 ms or so, with waitMs 0) so that the screens'
// timers run. All of this happens on your user-interface thread.
#ifndef ORVANE_OVPLATFORM_H
#define ORVANE_OVPLATFORM_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "OvExport.h"
#include "OvTypes.h"
#include "PxTypes.h"

class COvWindow;
struct OvDeviceContext;

// ---------------------------------------------------------------------------
// Handles and value types
// ---------------------------------------------------------------------------

// A window is named by its object.
typedef COvWindow* HWND;
// A device context: what GetDC hands out and SetDIBitsToDevice draws through. Opaque.
typedef OvDeviceContext* HDC;
// A timer id. Ids handed out by SetTimer are unique in the process and fit in 32 bits.
typedef std::uintptr_t OvTimerId;
// A timer procedure: the timer's window (null for thread timers), OV_WM_TIMER, the
// timer's id and the time the pump found it due, in GetTickCount's milliseconds.
typedef void (*TIMERPROC)(HWND hWnd, unsigned int message, OvTimerId idEvent, unsigned int time);

// A rectangle in pixels; right and bottom lie just outside.
struct RECT {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// The message number handed to timer procedures.
constexpr unsigned int OV_WM_TIMER = 0x0113;
// Timer periods are clamped into this range (milliseconds), so a period of 0 cannot
// make the pump spin.
constexpr unsigned int USER_TIMER_MINIMUM = 10;
constexpr unsigned int USER_TIMER_MAXIMUM = 0x7FFFFFFF;
// The colour-table use of SetDIBitsToDevice; 24-bit pictures have no colour table.
constexpr unsigned int DIB_RGB_COLORS = 0;

// The largest client area a window of the library takes: the largest picture the
// imaging library builds (no side beyond 32768 pixels, at most 64 Mi pixels in all).
constexpr int OV_MAX_WINDOW_SIDE = PX_MAX_SIDE;
constexpr long long OV_MAX_WINDOW_PIXELS = PX_MAX_PIXELS;

// Status codes of the window layer. Allocation and file failures use the library's
// shared codes -10000 and -10001.
enum : int {
    OV_WND_OK = 0,
    OV_WND_E_ARGUMENT = -63001,   // a null pointer or a value out of range
    OV_WND_E_NODISPLAY = -63002,  // no window system (or SDL) to open a window on
    OV_WND_E_CLOSED = -63003,     // the window is not open
    OV_WND_E_WRITE = -63004,      // a file could not be written completely
};

// A block of 24-bit pixels handed to a window, each pixel the bytes blue, green, red.
// The block always lies inside the client area as the window last reported it.
struct COvPicture {
    int x;  // client position of the block's top-left pixel
    int y;
    int width;  // in pixels, both at least 1
    int height;
    const std::uint8_t* pTop;  // the block's top-left pixel
    std::ptrdiff_t nPitch;     // bytes from one row to the row below it; negative for
                               // pictures stored bottom-up
};

// Key codes of window events: printable keys give their character (letters in lower
// case), Escape, Enter, Tab and Backspace their control character; these name the rest.
enum : int {
    OV_KEY_LEFT = 0x101,
    OV_KEY_RIGHT,
    OV_KEY_UP,
    OV_KEY_DOWN,
    OV_KEY_PAGEUP,
    OV_KEY_PAGEDOWN,
    OV_KEY_HOME,
    OV_KEY_END,
};
// Modifier bits of window events.
enum : int { OV_MOD_SHIFT = 1, OV_MOD_CTRL = 2, OV_MOD_ALT = 4 };

// What the user did in an on-screen window, as handed to its event handler.
struct COvWindowEvent {
    enum Kind {
        KEY_DOWN,     // key (repeats while held)
        BUTTON_DOWN,  // button pressed at (x, y)
        BUTTON_UP,    // button released at (x, y)
        MOTION,       // pointer moved to (x, y); buttons tells which are held
        WHEEL,        // wheel turned: wheel steps, positive away from the user
        RESIZED,      // the client area became x by y pixels
    };
    Kind kind;
    int x;  // client pixels from the top-left corner (or the new size)
    int y;
    int button;     // 1 left, 2 middle, 3 right (button events)
    int buttons;    // MOTION: bit (1 << (b - 1)) set for each held button b
    int wheel;      // WHEEL
    int key;        // KEY_DOWN: the character or an OV_KEY_ code
    int modifiers;  // OV_MOD_ bits held (key, button and wheel events)
};

// ---------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------

// The abstract window: it reports the size of its client area and shows the pictures
// it is given. Not copyable. A window is used from one thread at a time.
class OV_EXPORT COvWindow {
public:
    COvWindow();
    virtual ~COvWindow();
    COvWindow(const COvWindow&) = delete;
    COvWindow& operator=(const COvWindow&) = delete;

    // The client area's size in pixels (never negative). The client rectangle is
    // (0, 0, width, height).
    virtual COvSize GetClientSize() const = 0;
    // Shows a block of pixels; the block must be copied before returning. Returns 0, or
    // a negative code when it could not be shown.
    virtual int Present(const COvPicture& picture) = 0;

    // The device context of this window (GetDC and ReleaseDC use it).
    OvDeviceContext* _GetDeviceContext() { return m_pDC.get(); }

private:
    std::unique_ptr<OvDeviceContext> m_pDC;
};

// The headless window: a picture in memory of the client size. Pixels nothing was
// presented to are black. Its operations may be called from several threads (a test
// may read pixels while another thread presents).
class OV_EXPORT COvMemoryWindow : public COvWindow {
public:
    // A window of the given client size; a negative side counts as 0, a side beyond
    // OV_MAX_WINDOW_SIDE (or an area beyond OV_MAX_WINDOW_PIXELS) gives a 0 x 0 window.
    COvMemoryWindow(int width, int height);
    ~COvMemoryWindow() override;

    COvSize GetClientSize() const override;
    // Copies the block into the picture (cut to the client area, which another thread may
    // have changed meanwhile) and counts it. Returns 0, or OV_WND_E_ARGUMENT for a null,
    // empty or negatively placed block.
    int Present(const COvPicture& picture) override;

    // Sets colour to the pixel at (x, y) (top-left origin) as last presented. Returns 0,
    // or OV_WND_E_ARGUMENT outside the client area (colour unchanged).
    int GetPixel(int x, int y, CPxRGB& colour) const;
    // Changes the client size as a user dragging the window would: what was shown stays
    // where it was, new parts are black. Returns 0; OV_WND_E_ARGUMENT for a negative or
    // too large size; -10000 when the memory cannot be had (size unchanged).
    int Resize(int width, int height);
    // Writes what is shown as a 24-bit PNG file, replacing one at path. Returns 0; -10001
    // when the file cannot be created; OV_WND_E_WRITE when it could not be written
    // completely (nothing is left at path then); -10000 when the encoder has no memory;
    // OV_WND_E_ARGUMENT for a null or empty path or a window without pixels.
    int SavePng(const char* path) const;
    // The number of blocks presented since construction.
    long long GetPresentCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

// A real, resizable window on the desktop through SDL2. Create it, present pictures to
// it and pump messages on the same thread (the thread that created its first SDL
// window). When the user resizes it, its client size follows; when the user closes it,
// IsCloseRequested() turns true and the close handler runs (from the pump), and the
// window stays until Destroy() or destruction. Without SDL in the build, Create fails
// with OV_WND_E_NODISPLAY.
class OV_EXPORT COvSdlWindow : public COvWindow {
public:
    COvSdlWindow();
    ~COvSdlWindow() override;  // destroys the window

    // Opens the window with a client area of width x height (each 1..OV_MAX_WINDOW_SIDE).
    // Returns 0; OV_WND_E_ARGUMENT for a bad size; OV_WND_E_NODISPLAY when no window
    // can be opened (no display, no SDL). An open window is destroyed first.
    int Create(const char* title, int width, int height);
    // Closes the window; the object can be created again. Nothing when not open.
    void Destroy();
    bool IsOpen() const;

    // The client size; 0 x 0 when not open.
    COvSize GetClientSize() const override;
    // Copies the block into the window (cut to its current size) and shows it. Returns 0;
    // OV_WND_E_CLOSED when not open; OV_WND_E_ARGUMENT for a null, empty or negatively
    // placed block; OV_WND_E_NODISPLAY when SDL refuses.
    int Present(const COvPicture& picture) override;

    // True once the user asked to close the window (until it is created again).
    bool IsCloseRequested() const;
    // Called from the pump when the user asks to close the window; may destroy it or
    // call OvPostQuit(). An empty handler removes it.
    void SetCloseHandler(std::function<void(COvSdlWindow&)> handler);
    // Called from the pump with every key, button, pointer, wheel and resize event of
    // the window; other keys are not reported. The handler may destroy the window or
    // call OvPostQuit(). An empty handler removes it: the events are then dropped.
    void SetEventHandler(std::function<void(COvSdlWindow&, const COvWindowEvent&)> handler);
    // The window system's id of the window (the X11 window), 0 when not open or unknown.
    std::uint64_t GetNativeWindow() const;

    // Called by the pump with the events of this window.
    void _HandleEvent(const void* sdlEvent);

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

// ---------------------------------------------------------------------------
// Device contexts and picture transfer
// ---------------------------------------------------------------------------

// The window's device context; null for a null window. Release it with ReleaseDC.
OV_EXPORT HDC GetDC(HWND hWnd);
// Gives back a device context from GetDC. Returns 1, or 0 when dc is not one of hWnd's
// taken contexts.
OV_EXPORT int ReleaseDC(HWND hWnd, HDC dc);
// Sets *rect to (0, 0, width, height) of the window's client area. Returns 1, or 0 for a
// null window or rect (rect unchanged).
OV_EXPORT int GetClientRect(HWND hWnd, RECT* rect);
// Copies a rectangle of a 24-bit device-independent picture to the device context's
// window. The source rectangle of width x height starts at (xSrc, ySrc) in picture
// coordinates (origin at the bottom-left corner of a bottom-up picture, at the top-left of
// a top-down one) and goes to (xDest, yDest) of the client area (top-left origin). bits
// holds cLines scan lines beginning with scan line startScan, in the picture's order.
// Whatever falls outside the client area or the given scan lines is not drawn. Returns
// the number of the given scan lines the source rectangle covers, or 0 on failure (null
// or released context, null bits or info, a picture that is not uncompressed 24-bit, a
// colour use other than DIB_RGB_COLORS, the window refusing the picture).
OV_EXPORT int SetDIBitsToDevice(HDC dc, int xDest, int yDest, unsigned int width,
                                unsigned int height, int xSrc, int ySrc, unsigned int startScan,
                                unsigned int cLines, const void* bits, const BITMAPINFO* info,
                                unsigned int colorUse);

// ---------------------------------------------------------------------------
// Timers and the message pump
// ---------------------------------------------------------------------------

// Starts a timer on the calling thread; it runs proc every `elapse` milliseconds (clamped
// into USER_TIMER_MINIMUM..USER_TIMER_MAXIMUM) from that thread's pump, until killed.
// With a null window: a timer of the calling thread whose id is idEvent when the thread
// has a timer of that id (which is restarted), else a new non-zero id. With a window: the
// timer (hWnd, idEvent), restarted when it exists. Returns the id (1 for a window timer
// of id 0), or 0 when proc is null.
OV_EXPORT OvTimerId SetTimer(HWND hWnd, OvTimerId idEvent, unsigned int elapse, TIMERPROC proc);
// Stops the calling thread's timer (hWnd, idEvent). Returns 1, or 0 when the thread has
// no such timer.
OV_EXPORT int KillTimer(HWND hWnd, OvTimerId idEvent);
// Runs every due timer of the calling thread once, in the order they fell due, and serves
// the events of the thread's SDL windows. When nothing was due it sleeps until the next
// timer is due, an event arrives or waitMs have passed, and then runs what became due.
// It does not wait while a quit request (OvPostQuit) is pending. Key, mouse and resize
// events go to the window's event handler (see COvSdlWindow::SetEventHandler); other
// SDL events are taken from the queue and dropped. Returns the number of timer
// procedures called.
OV_EXPORT int OvPumpMessages(unsigned int waitMs);
// Pumps on the calling thread until OvPostQuit() is called on it; clears the request and
// returns the code given to it.
OV_EXPORT int OvRunMessageLoop();
// Asks the calling thread's OvRunMessageLoop to return `code` (from a timer procedure or a
// window's close handler). A request made while no loop runs ends the next loop at once.
OV_EXPORT void OvPostQuit(int code = 0);

// ---------------------------------------------------------------------------
// Clock, arithmetic, temporary files
// ---------------------------------------------------------------------------

// Milliseconds of a monotonic clock; wraps after about 49.7 days.
OV_EXPORT std::uint32_t GetTickCount();
// number * numerator / denominator, computed in 64 bits and rounded half away from
// zero; -1 when denominator is 0 or the result does not fit in 32 bits.
OV_EXPORT int MulDiv(int number, int numerator, int denominator);
// The temporary directory: $TMPDIR when set and not empty, else "/tmp"; no trailing '/'.
OV_EXPORT std::string OvGetTempDir();
// Creates a new empty file in the temporary directory named prefix + a unique part +
// suffix (suffix may be null), exclusively (never over or through anything that exists,
// links included) with mode 0600. Returns 0 and sets path; or -10001 when no file could
// be created, OV_WND_E_ARGUMENT for a prefix or suffix holding '/' (path emptied either way).
OV_EXPORT int OvCreateTempFile(const char* prefix, const char* suffix, std::string& path);

#endif
