// The one conversion from a double to a pixel value, shared by every subsystem.
#ifndef ORVANE_FOUNDATION_OVNUMERIC_H
#define ORVANE_FOUNDATION_OVNUMERIC_H

namespace ov {

// Truncated toward zero, saturated at the int range so that far-off values never
// overflow (NaN gives 0).
inline int ToPixel(double v) {
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(v);
}

// A sum or difference of pixel values worked out in 64 bits, saturated at the int
// range.
inline int ClampPixel(long long v) {
    if (v > 2147483647LL)
        return 2147483647;
    if (v < -2147483648LL)
        return -2147483647 - 1;
    return static_cast<int>(v);
}

}  // namespace ov

#endif
