// The headless window: the client area is a 24-bit picture in memory.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "OvPlatform.h"
#include "PxCodec.h"
#include "PxImage.h"

namespace {

bool SizeAllowed(int width, int height) {
    return width >= 0 && height >= 0 && width <= OV_MAX_WINDOW_SIDE &&
           height <= OV_MAX_WINDOW_SIDE &&
           static_cast<long long>(width) * height <= OV_MAX_WINDOW_PIXELS;
}

}  // namespace

// The picture has no pixels while a side is 0, so the size is kept apart.
struct COvMemoryWindow::Impl {
    mutable std::mutex mutex;
    int width = 0;
    int height = 0;
    CPxImageData24 image;
    long long presented = 0;
};

COvMemoryWindow::COvMemoryWindow(int width, int height) : m_pImpl(std::make_unique<Impl>()) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (SizeAllowed(width, height) && m_pImpl->image.NewImage(width, height) == 0) {
        m_pImpl->width = width;
        m_pImpl->height = height;
    }
}

COvMemoryWindow::~COvMemoryWindow() = default;

COvSize COvMemoryWindow::GetClientSize() const {
    std::lock_guard<std::mutex> lock(m_pImpl->mutex);
    return COvSize{m_pImpl->width, m_pImpl->height};
}

int COvMemoryWindow::Present(const COvPicture& picture) {
    Impl& d = *m_pImpl;
    std::lock_guard<std::mutex> lock(d.mutex);
    if (!picture.pTop || picture.width <= 0 || picture.height <= 0 || picture.x < 0 ||
        picture.y < 0) {
        return OV_WND_E_ARGUMENT;
    }
    // Another thread may have made the window smaller since the block was cut to it.
    const int width = std::min(picture.width, d.width - picture.x);
    const int height = std::min(picture.height, d.height - picture.y);
    const std::uint8_t* source = picture.pTop;
    for (int row = 0; row < height && width > 0; ++row) {
        std::memcpy(d.image.GetScanLine(picture.y + row) + 3L * picture.x, source,
                    static_cast<std::size_t>(width) * 3);
        source += picture.nPitch;
    }
    ++d.presented;
    return 0;
}

int COvMemoryWindow::GetPixel(int x, int y, CPxRGB& colour) const {
    std::lock_guard<std::mutex> lock(m_pImpl->mutex);
    return m_pImpl->image.GetPixel(x, y, colour) ? 0 : OV_WND_E_ARGUMENT;
}

int COvMemoryWindow::Resize(int width, int height) {
    if (!SizeAllowed(width, height)) {
        return OV_WND_E_ARGUMENT;
    }
    Impl& d = *m_pImpl;
    std::lock_guard<std::mutex> lock(d.mutex);
    if (width == d.width && height == d.height) {
        return 0;
    }
    CPxImageData24 image;
    if (image.NewImage(width, height) != 0) {
        return OV_E_NOMEMORY;
    }
    const std::size_t keepBytes = static_cast<std::size_t>(std::min(width, d.width)) * 3;
    const int keepRows = std::min(height, d.height);
    for (int row = 0; row < keepRows && keepBytes > 0; ++row) {
        std::memcpy(image.GetScanLine(row), d.image.GetScanLine(row), keepBytes);
    }
    d.image = image;
    d.width = width;
    d.height = height;
    return 0;
}

long long COvMemoryWindow::GetPresentCount() const {
    std::lock_guard<std::mutex> lock(m_pImpl->mutex);
    return m_pImpl->presented;
}

int COvMemoryWindow::SavePng(const char* path) const {
    if (!path || !*path) {
        return OV_WND_E_ARGUMENT;
    }
    std::lock_guard<std::mutex> lock(m_pImpl->mutex);
    switch (const int result = PxSavePng(m_pImpl->image, path)) {
        case PX_E_EMPTY:
            return OV_WND_E_ARGUMENT;
        case PX_E_WRITE:
            return OV_WND_E_WRITE;
        default:
            return result;
    }
}
