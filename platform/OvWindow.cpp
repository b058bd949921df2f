// The abstract window, device contexts and the transfer of pictures to windows.
#include <algorithm>
#include <cstdlib>

#include "OvPlatform.h"
#include "platform/OvPlatformInternal.h"

COvWindow::COvWindow() : m_pDC(std::make_unique<OvDeviceContext>(this)) {}

COvWindow::~COvWindow() {
    // A timer proc must never get a window that is gone.
    OvKillWindowTimers(this);
}

HDC GetDC(HWND hWnd) {
    if (!hWnd) {
        return nullptr;
    }
    OvDeviceContext* dc = hWnd->_GetDeviceContext();
    dc->nTaken.fetch_add(1, std::memory_order_relaxed);
    return dc;
}

int ReleaseDC(HWND hWnd, HDC dc) {
    if (!hWnd || !dc || dc != hWnd->_GetDeviceContext()) {
        return 0;
    }
    int taken = dc->nTaken.load(std::memory_order_relaxed);
    while (taken > 0) {
        if (dc->nTaken.compare_exchange_weak(taken, taken - 1, std::memory_order_relaxed)) {
            return 1;
        }
    }
    return 0;
}

int GetClientRect(HWND hWnd, RECT* rect) {
    if (!hWnd || !rect) {
        return 0;
    }
    const COvSize size = hWnd->GetClientSize();
    *rect = RECT{0, 0, std::max(size.width, 0), std::max(size.height, 0)};
    return 1;
}

// ---------------------------------------------------------------------------
// SetDIBitsToDevice
// ---------------------------------------------------------------------------

int SetDIBitsToDevice(HDC dc, int xDest, int yDest, unsigned int width, unsigned int height,
                      int xSrc, int ySrc, unsigned int startScan, unsigned int cLines,
                      const void* bits, const BITMAPINFO* info, unsigned int colorUse) {
    if (!dc || dc->nTaken.load(std::memory_order_relaxed) <= 0 || !bits || !info ||
        colorUse != DIB_RGB_COLORS) {
        return 0;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biBitCount != 24 || h.biCompression != BI_RGB ||
        h.biWidth <= 0 || h.biHeight == 0 || h.biWidth > OV_MAX_WINDOW_SIDE ||
        std::llabs(h.biHeight) > OV_MAX_WINDOW_SIDE) {
        return 0;
    }
    const long long picW = h.biWidth;
    const long long picH = std::llabs(static_cast<long long>(h.biHeight));
    const bool bottomUp = h.biHeight > 0;
    const long long lineBytes = PxLineBytes(picW);

    // The scan lines present in `bits`, clipped to the picture.
    const long long bandFirst = startScan;
    const long long bandEnd = std::min<long long>(picH, bandFirst + cLines);
    if (cLines == 0 || bandFirst >= bandEnd) {
        return 0;
    }
    // The source rectangle in picture coordinates (rows counted from the picture's
    // origin: the bottom of a bottom-up picture, the top of a top-down one).
    const long long srcX0 = xSrc;
    const long long srcY0 = ySrc;
    const long long srcX1 = srcX0 + width;
    const long long srcY1 = srcY0 + height;
    const long long coveredFirst = std::max(srcY0, bandFirst);
    const long long coveredEnd = std::min(srcY1, bandEnd);
    const int covered = static_cast<int>(std::max(0LL, coveredEnd - coveredFirst));
    if (covered == 0) {
        return 0;
    }

    // Columns: inside the picture, the source rectangle and the client area.
    COvWindow* window = dc->pWindow;
    const COvSize client = window->GetClientSize();
    const long long colFirst = std::max({srcX0, 0LL, srcX0 - xDest});
    const long long colEnd = std::min({srcX1, picW, srcX0 - xDest + client.width});
    // Rows, in picture coordinates: inside the band, the source rectangle, and those whose
    // destination row falls inside the client area. Destination row of picture row r:
    //   bottom-up: yDest + (srcY1 - 1 - r)      top-down: yDest + (r - srcY0)
    long long rowFirst = coveredFirst;
    long long rowEnd = coveredEnd;
    if (bottomUp) {
        rowFirst = std::max(rowFirst, srcY1 - client.height + yDest);
        rowEnd = std::min(rowEnd, srcY1 + yDest);
    } else {
        rowFirst = std::max(rowFirst, srcY0 - yDest);
        rowEnd = std::min(rowEnd, srcY0 - yDest + client.height);
    }
    if (colFirst >= colEnd || rowFirst >= rowEnd) {
        return covered;  // nothing visible, yet nothing failed
    }

    // The block's top row is the picture row that lands highest in the window.
    const auto* base = static_cast<const std::uint8_t*>(bits);
    const long long topRow = bottomUp ? rowEnd - 1 : rowFirst;
    COvPicture picture;
    picture.x = static_cast<int>(xDest + (colFirst - srcX0));
    picture.y =
        static_cast<int>(bottomUp ? yDest + (srcY1 - 1 - topRow) : yDest + (topRow - srcY0));
    picture.width = static_cast<int>(colEnd - colFirst);
    picture.height = static_cast<int>(rowEnd - rowFirst);
    picture.pTop = base + (topRow - bandFirst) * lineBytes + colFirst * 3;
    picture.nPitch = bottomUp ? -lineBytes : lineBytes;
    return window->Present(picture) == 0 ? covered : 0;
}
