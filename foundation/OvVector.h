// Arithmetic on points and directions of scene and camera space.
#ifndef ORVANE_FOUNDATION_OVVECTOR_H
#define ORVANE_FOUNDATION_OVVECTOR_H

#include <cmath>

#include "OvTypes.h"

namespace ov {

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
inline COv3DPoint Midpoint(const COv3DPoint& a, const COv3DPoint& b) {
    return {(a.x + b.x) * 0.5, (a.y + b.y) * 0.5, (a.z + b.z) * 0.5};
}

}  // namespace ov

#endif
