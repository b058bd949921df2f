// Helpers shared by the imaging tests.
#ifndef TESTS_PIXMERE_PXTESTSUPPORT_H
#define TESTS_PIXMERE_PXTESTSUPPORT_H

#include <atomic>
#include <cstddef>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "Pixmere.h"
#include "Quorra.h"

inline std::string PxTestPath(const std::string& rel) {
    return std::string(ORVANE_TEST_DATA_DIR) + "/images/" + rel;
}

inline std::vector<unsigned char> PxReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// Decodes `bytes` through a memory stream.
inline int PxLoadBytes(CPxImageData24& img, const std::vector<unsigned char>& bytes, int flag = 0) {
    CQrMemoryReadStream s(bytes.data(), bytes.size());
    return img.LoadImageA(&s, nullptr, flag);
}

// Fills a picture with a pattern that differs in every channel and position.
inline void PxFillPattern(CPxImageData24& img, int seed = 0) {
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x)
            img.SetPixel(x, y,
                         CPxRGB{(x * 37 + seed) & 255, (y * 59 + x) & 255, (x * y + 11) & 255});
}

// Returns the number of pixels that differ by more than `tolerance` in any channel.
inline int PxDiffCount(const CPxImageData24& a, const CPxImageData24& b, int tolerance = 0) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return -1;
    int bad = 0;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x) {
            CPxRGB p{}, q{};
            a.GetPixel(x, y, p);
            b.GetPixel(x, y, q);
            if (std::abs(p.r - q.r) > tolerance || std::abs(p.g - q.g) > tolerance ||
                std::abs(p.b - q.b) > tolerance)
                ++bad;
        }
    return bad;
}

// ---------------------------------------------------------------------------
// Heap use, where the sanitizers' allocator can tell it
// ---------------------------------------------------------------------------

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PX_TEST_HEAP_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PX_TEST_HEAP_HOOKS 1
#endif
#endif

#ifdef PX_TEST_HEAP_HOOKS
extern "C" {
std::size_t __sanitizer_get_current_allocated_bytes();
int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                              void (*onFree)(const volatile void*));
}

inline std::atomic<bool> g_pxWatchHeap{false};
inline std::atomic<std::size_t> g_pxHeapPeak{0};

inline void PxOnMalloc(const volatile void*, std::size_t) {
    if (!g_pxWatchHeap.load(std::memory_order_relaxed))
        return;
    const std::size_t now = __sanitizer_get_current_allocated_bytes();
    std::size_t seen = g_pxHeapPeak.load(std::memory_order_relaxed);
    while (now > seen && !g_pxHeapPeak.compare_exchange_weak(seen, now)) {
    }
}
inline void PxOnFree(const volatile void*) {}
#endif

// The most heap in use at once while `work` runs, beyond what was in use before it;
// -1 in builds whose allocator cannot tell (without a sanitizer).
inline long long PxHeapPeak(const std::function<void()>& work) {
#ifdef PX_TEST_HEAP_HOOKS
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks(&PxOnMalloc, &PxOnFree) != 0;
    const std::size_t before = __sanitizer_get_current_allocated_bytes();
    g_pxHeapPeak = before;
    g_pxWatchHeap = installed;
    work();
    g_pxWatchHeap = false;
    return installed ? static_cast<long long>(g_pxHeapPeak.load()) - static_cast<long long>(before)
                     : -1;
#else
    work();
    return -1;
#endif
}

#endif
