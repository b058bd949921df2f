// Coverage rasterisation. Each pixel row is cut by four sub-scanlines; on each, the
// polygon's span is turned into a run of horizontal sample positions (four per
// pixel), and the counts are summed per pixel through a difference array so that a
// long span costs the same as a short one until the pixels are blended.
#include "draw/PxRaster.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "PxImage.h"

namespace {

constexpr int kSub = 4;  // samples per pixel along each axis

// The polygon's span [left, right) on the horizontal line at height `sy`, or false
// when the line misses it. Convexity makes it one interval.
bool SpanAt(const PxPointF* p, int n, double sy, double& left, double& right) {
    left = HUGE_VAL;
    right = -HUGE_VAL;
    for (int i = 0; i < n; ++i) {
        const PxPointF& a = p[i];
        const PxPointF& b = p[(i + 1) % n];
        if ((a.y <= sy && b.y > sy) || (b.y <= sy && a.y > sy)) {
            const double x = a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y);
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    return left < right;
}

void Blend(unsigned char* px, const unsigned char bgr[3], int cover) {
    // cover is 0..16 samples
    for (int c = 0; c < 3; ++c) {
        const int d = px[c];
        px[c] =
            static_cast<unsigned char>(d + ((bgr[c] - d) * cover + (bgr[c] >= d ? 8 : -8)) / 16);
    }
}

}  // namespace

void PxFillConvex(CPxImageData24& img, const PxPointF* pts, int n, const unsigned char bgr[3]) {
    const int W = img.m_nWidth, H = img.m_nHeight;
    if (!img.m_pData || W <= 0 || H <= 0)
        return;
    double minY = pts[0].y, maxY = pts[0].y, minX = pts[0].x, maxX = pts[0].x;
    for (int i = 1; i < n; ++i) {
        minY = std::min(minY, pts[i].y);
        maxY = std::max(maxY, pts[i].y);
        minX = std::min(minX, pts[i].x);
        maxX = std::max(maxX, pts[i].x);
    }
    const int y0 = static_cast<int>(std::max(0.0, std::floor(minY)));
    const int y1 = static_cast<int>(std::min<double>(H, std::ceil(maxY)));
    if (y0 >= y1 || maxX <= 0 || minX >= W)
        return;

    // Per-pixel partial counts and the difference array of whole-pixel runs.
    std::vector<int> part(static_cast<std::size_t>(W) + 2, 0),
        run(static_cast<std::size_t>(W) + 2, 0);
    const long long lastSample = static_cast<long long>(W) * kSub;
    for (int y = y0; y < y1; ++y) {
        int lo = W, hi = -1;  // pixels touched on this row
        for (int s = 0; s < kSub; ++s) {
            const double sy = y + (s + 0.5) / kSub;
            double l, r;
            if (!SpanAt(pts, n, sy, l, r))
                continue;
            // Samples sit at (i + 0.5) / kSub; those with l <= x < r are inside.
            const double sl = std::ceil(l * kSub - 0.5), sr = std::ceil(r * kSub - 0.5);
            const long long a =
                static_cast<long long>(std::max(0.0, std::min<double>(sl, lastSample)));
            const long long b =
                static_cast<long long>(std::max(0.0, std::min<double>(sr, lastSample)));
            if (a >= b)
                continue;
            const int pa = static_cast<int>(a / kSub), pb = static_cast<int>(b / kSub);
            if (pa == pb) {
                part[pa] += static_cast<int>(b - a);
            } else {
                part[pa] += kSub - static_cast<int>(a % kSub);
                if (pa + 1 < pb) {
                    run[pa + 1] += kSub;
                    run[pb] -= kSub;
                }
                part[pb] += static_cast<int>(b % kSub);
            }
            lo = std::min(lo, pa);
            hi = std::max(hi, pb);
        }
        if (hi < 0)
            continue;
        hi = std::min(hi, W - 1);
        unsigned char* row = img.GetScanLine(y);
        int acc = 0;
        for (int x = lo; x <= hi; ++x) {
            acc += run[x];
            const int cover = acc + part[x];
            run[x] = 0;
            part[x] = 0;
            unsigned char* px = row + 3 * x;
            if (cover >= kSub * kSub) {
                px[0] = bgr[0];
                px[1] = bgr[1];
                px[2] = bgr[2];
            } else if (cover > 0) {
                Blend(px, bgr, cover);
            }
        }
        run[hi + 1] = 0;
        part[hi + 1] = 0;
    }
}

void PxFillRect(CPxImageData24& img, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                std::int64_t y1, const unsigned char bgr[3]) {
    x0 = std::max<std::int64_t>(x0, 0);
    y0 = std::max<std::int64_t>(y0, 0);
    x1 = std::min<std::int64_t>(x1, img.m_nWidth);
    y1 = std::min<std::int64_t>(y1, img.m_nHeight);
    if (!img.m_pData || x0 >= x1 || y0 >= y1)
        return;
    for (std::int64_t y = y0; y < y1; ++y) {
        unsigned char* p = img.GetScanLine(static_cast<int>(y)) + 3 * x0;
        for (std::int64_t x = x0; x < x1; ++x, p += 3) {
            p[0] = bgr[0];
            p[1] = bgr[1];
            p[2] = bgr[2];
        }
    }
}
