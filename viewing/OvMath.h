// Small vector helpers and the status codes shared by the scene and viewing code.
#ifndef ORVANE_VIEWING_OVMATH_H
#define ORVANE_VIEWING_OVMATH_H

#include <cmath>

#include "OvTypes.h"
#include "foundation/OvNumeric.h"

namespace ov {

// Codes shared by every class of the library.
constexpr int kNoMemory = OV_E_NOMEMORY;
constexpr int kDegenerate = OV_E_DEGENERATE;
constexpr int kNullControl = OV_E_NULL_CONTROL;
constexpr int kNullOutput = OV_E_NULL_OUTPUT;

inline COv3DPoint Add(const COv3DPoint& a, const COv3DPoint& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline COv3DPoint Sub(const COv3DPoint& a, const COv3DPoint& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline COv3DPoint Scale(const COv3DPoint& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline double Dot(const COv3DPoint& a, const COv3DPoint& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline COv3DPoint Cross(const COv3DPoint& a, const COv3DPoint& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const COv3DPoint& a) {
    return std::sqrt(Dot(a, a));
}

}  // namespace ov

#endif
