#include "AppTestSupport.h"

#include <algorithm>
#include <cstdlib>

void WriteTestPicture(const std::string& path, int width, int height) {
    CPxImageData24 image;
    image.NewImage(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.SetPixel(x, y, x < width / 2 ? CPxRGB{200, 40, 40} : CPxRGB{40, 40, 200});
    }
    PxSavePng(image, path.c_str());
}

CPxImageData24 LoadPicture(const std::string& path) {
    CPxImageData24 image;
    image.LoadImageA(path.c_str(), nullptr, 0);
    return image;
}

double MeanDifference(const CPxImageData24& shown, const AppBox& box,
                      const CPxImageData24& source) {
    // A grid over the middle 80% of the box: the frame and the filtered edges stay out.
    constexpr int kGrid = 12;
    double sum = 0;
    int count = 0;
    for (int j = 0; j < kGrid; ++j) {
        for (int i = 0; i < kGrid; ++i) {
            const double u = 0.1 + 0.8 * (i + 0.5) / kGrid;
            const double v = 0.1 + 0.8 * (j + 0.5) / kGrid;
            CPxRGB a{}, b{};
            if (!shown.GetPixel(box.x + static_cast<int>(u * box.width),
                                box.y + static_cast<int>(v * box.height), a) ||
                !source.GetPixel(static_cast<int>(u * source.GetWidth()),
                                 static_cast<int>(v * source.GetHeight()), b))
                return 255;
            sum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
            count += 3;
        }
    }
    return sum / count;
}

int CountNear(const CPxImageData24& image, const AppBox& box, const CPxRGB& colour, int tolerance) {
    int count = 0;
    for (int y = box.y; y < box.y + box.height; ++y) {
        for (int x = box.x; x < box.x + box.width; ++x) {
            CPxRGB c{};
            if (image.GetPixel(x, y, c) && std::abs(c.r - colour.r) <= tolerance &&
                std::abs(c.g - colour.g) <= tolerance && std::abs(c.b - colour.b) <= tolerance)
                ++count;
        }
    }
    return count;
}
