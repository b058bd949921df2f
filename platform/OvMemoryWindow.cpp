// The headless window: the client area is a picture in memory.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "OvPlatform.h"

namespace {

bool SizeAllowed(int width, int height) {
    return width >= 0 && height >= 0 && width <= OV_MAX_WINDOW_SIDE &&
           height <= OV_MAX_WINDOW_SIDE &&
           static_cast<long long>(width) * height <= OV_MAX_WINDOW_PIXELS;
}

}  // namespace

// Pixels top-down, 3 bytes each (blue, green, red), rows unpadded.
struct COvMemoryWindow::Impl {
    mutable std::mutex mutex;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    long long presented = 0;
};

COvMemoryWindow::COvMemoryWindow(int width, int height) : m_pImpl(std::make_unique<Impl>()) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (SizeAllowed(width, height)) {
        m_pImpl->width = width;
        m_pImpl->height = height;
        m_pImpl->pixels.assign(static_cast<std::size_t>(width) * height * 3, 0);
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
        picture.y < 0 || picture.x > d.width - picture.width ||
        picture.y > d.height - picture.height) {
        return OV_WND_E_ARGUMENT;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
    const std::uint8_t* src = picture.pTop;
    std::uint8_t* dst =
        d.pixels.data() + (static_cast<std::size_t>(picture.y) * d.width + picture.x) * 3;
    for (int row = 0; row < picture.height; ++row) {
        std::memcpy(dst, src, rowBytes);
        src += picture.nPitch;
        dst += static_cast<std::size_t>(d.width) * 3;
    }
    ++d.presented;
    return 0;
}

int COvMemoryWindow::GetPixel(int x, int y, CPxRGB& colour) const {
    const Impl& d = *m_pImpl;
    std::lock_guard<std::mutex> lock(d.mutex);
    if (x < 0 || y < 0 || x >= d.width || y >= d.height) {
        return OV_WND_E_ARGUMENT;
    }
    const std::uint8_t* p = d.pixels.data() + (static_cast<std::size_t>(y) * d.width + x) * 3;
    colour = CPxRGB{p[2], p[1], p[0]};
    return 0;
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
    std::vector<std::uint8_t> pixels;
    try {
        pixels.assign(static_cast<std::size_t>(width) * height * 3, 0);
    } catch (const std::bad_alloc&) {
        return -10000;
    }
    const std::size_t keepBytes = static_cast<std::size_t>(std::min(width, d.width)) * 3;
    const int keepRows = std::min(height, d.height);
    for (int row = 0; row < keepRows && keepBytes > 0; ++row) {
        std::memcpy(pixels.data() + static_cast<std::size_t>(row) * width * 3,
                    d.pixels.data() + static_cast<std::size_t>(row) * d.width * 3, keepBytes);
    }
    d.pixels.swap(pixels);
    d.width = width;
    d.height = height;
    return 0;
}

long long COvMemoryWindow::GetPresentCount() const {
    std::lock_guard<std::mutex> lock(m_pImpl->mutex);
    return m_pImpl->presented;
}

// ---------------------------------------------------------------------------
// PNG snapshot
// ---------------------------------------------------------------------------

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// libpng reports errors by longjmp; everything with a destructor lives outside the
// function that sets the jump point.
int WritePngRows(std::FILE* file, int width, int height, const std::uint8_t* bgr) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        return -10000;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return -10000;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return OV_WND_E_WRITE;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    for (int row = 0; row < height; ++row) {
        png_write_row(png, bgr + static_cast<std::size_t>(row) * width * 3);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return 0;
}

}  // namespace

int COvMemoryWindow::SavePng(const char* path) const {
    if (!path || !*path) {
        return OV_WND_E_ARGUMENT;
    }
    const Impl& d = *m_pImpl;
    std::lock_guard<std::mutex> lock(d.mutex);
    if (d.width <= 0 || d.height <= 0) {
        return OV_WND_E_ARGUMENT;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "wb"));
    if (!file) {
        return -10001;
    }
    const int result = WritePngRows(file.get(), d.width, d.height, d.pixels.data());
    if (result != 0) {
        return result;
    }
    // The data may still sit in the stream's buffer: only a clean close proves it written.
    if (std::fclose(file.release()) != 0) {
        return OV_WND_E_WRITE;
    }
    return 0;
}
