// Coverage rasterisation. Each pixel row is cut by four sub-scanlines; on each, the
// polygon's span becomes a run of horizontal sample positions (four per pixel).
// Pixels inside every run are filled solid; only those along the edges have their
// samples counted and are blended, so the work follows the visible edge length.
#include "draw/PxRaster.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
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

// Sets `count` pixels from `px` to the colour, through a prepared run of copies.
void FillRun(unsigned char* px, std::int64_t count, const unsigned char* pattern) {
    constexpr std::int64_t kChunk = 32;
    for (; count >= kChunk; count -= kChunk, px += 3 * kChunk)
        std::memcpy(px, pattern, 3 * kChunk);
    if (count > 0)
        std::memcpy(px, pattern, static_cast<std::size_t>(3 * count));
}

void PreparePattern(unsigned char* pattern, const unsigned char bgr[3]) {
    for (int i = 0; i < 32; ++i)
        std::memcpy(pattern + 3 * i, bgr, 3);
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
    unsigned char pattern[3 * 32];
    PreparePattern(pattern, bgr);

    const double lastSample = static_cast<double>(W) * kSub;
    for (int y = y0; y < y1; ++y) {
        // Each sub-scanline's run of inside samples [a[s], b[s]).
        long long a[kSub], b[kSub];
        int lines = 0;
        long long lo = LLONG_MAX, hi = LLONG_MIN;        // pixels touched: [lo, hi)
        long long full0 = LLONG_MIN, full1 = LLONG_MAX;  // covered by every sample: [full0, full1)
        for (int s = 0; s < kSub; ++s) {
            const double sy = y + (s + 0.5) / kSub;
            double l, r;
            a[s] = b[s] = 0;
            if (!SpanAt(pts, n, sy, l, r))
                continue;
            // Samples sit at (i + 0.5) / kSub; those with l <= x < r are inside.
            const double sl = std::ceil(l * kSub - 0.5), sr = std::ceil(r * kSub - 0.5);
            a[s] = static_cast<long long>(std::max(0.0, std::min(sl, lastSample)));
            b[s] = static_cast<long long>(std::max(0.0, std::min(sr, lastSample)));
            if (a[s] >= b[s])
                continue;
            ++lines;
            lo = std::min(lo, a[s] / kSub);
            hi = std::max(hi, (b[s] + kSub - 1) / kSub);
            full0 = std::max(full0, (a[s] + kSub - 1) / kSub);
            full1 = std::min(full1, b[s] / kSub);
        }
        if (lines == 0)
            continue;
        if (lines < kSub || full0 >= full1)
            full0 = full1 = hi;  // no solid middle
        unsigned char* row = img.GetScanLine(y);
        // Only the pixels along the edges need their samples counted.
        auto edge = [&](long long from, long long to) {
            for (long long x = from; x < to; ++x) {
                long long cover = 0;
                for (int s = 0; s < kSub; ++s) {
                    const long long c = std::min(b[s], (x + 1) * kSub) - std::max(a[s], x * kSub);
                    if (c > 0)
                        cover += c;
                }
                if (cover >= kSub * kSub)
                    std::memcpy(row + 3 * x, bgr, 3);
                else if (cover > 0)
                    Blend(row + 3 * x, bgr, static_cast<int>(cover));
            }
        };
        edge(lo, full0);
        FillRun(row + 3 * full0, full1 - full0, pattern);
        edge(full1, hi);
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
    unsigned char pattern[3 * 32];
    PreparePattern(pattern, bgr);
    for (std::int64_t y = y0; y < y1; ++y)
        FillRun(img.GetScanLine(static_cast<int>(y)) + 3 * x0, x1 - x0, pattern);
}
