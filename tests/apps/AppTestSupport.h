// What the program's tests share: pictures to read back, and structural checks of rendered pictures
// (a picture where it belongs, ink, a colour).
#ifndef ORVANE_TESTS_APPTESTSUPPORT_H
#define ORVANE_TESTS_APPTESTSUPPORT_H

#include <string>

#include "Pixmere.h"

// A box of pixels, top-left corner and size.
struct AppBox {
    int x, y, width, height;
};

// Writes a PNG of width x height in two colours, left and right half.
void WriteTestPicture(const std::string& path, int width, int height);
// Decodes a picture file; an empty picture when it cannot be read.
CPxImageData24 LoadPicture(const std::string& path);

// How far the box of `shown` is from `source` scaled into it: the mean difference of
// the colour components over a grid of points well inside the box (0 to 255).
double MeanDifference(const CPxImageData24& shown, const AppBox& box, const CPxImageData24& source);
// The number of pixels in the box whose colour is within `tolerance` of `colour`.
int CountNear(const CPxImageData24& image, const AppBox& box, const CPxRGB& colour, int tolerance);

#endif
