// Helpers shared by the imaging tests.
#ifndef TESTS_PIXMERE_PXTESTSUPPORT_H
#define TESTS_PIXMERE_PXTESTSUPPORT_H

#include <fstream>
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

#endif
