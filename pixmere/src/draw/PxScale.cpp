// Scaled drawing: separable resampling with per-axis tap tables. Each axis is
// either bilinear (two taps, for enlarging and for shrinking up to 2x) or an area
// average (every source pixel under the target pixel's footprint, weighted by the
// share it covers). Source rows are filtered horizontally once into 16-bit rows,
// then blended vertically into the target. Bilinear weights have 7 bits, area
// weights 8 bits.
#include "draw/PxScale.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "PxImage.h"
#include "draw/PxScaleRow.h"

namespace {

constexpr int kOne = 256;  // the sum of the area weights along one axis

// The taps of one axis for every visible target index.
struct Axis {
    bool bilinear = true;
    // Bilinear: first source index and the weight of the second (0..255).
    PxBilinearRow bi;
    // Area: for target index t, taps [start[t], start[t+1]) of idx/weight.
    std::vector<int> start;
    std::vector<int> idx;
    std::vector<std::uint16_t> weight;
};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Taps for target indices t0..t1-1 of a target extent `dn` showing `sn` source pixels.
void BuildAxis(Axis& ax, std::int64_t sn, std::int64_t dn, std::int64_t t0, std::int64_t t1) {
    const std::size_t n = static_cast<std::size_t>(t1 - t0);
    ax.bilinear = dn * 2 >= sn;
    if (ax.bilinear) {
        ax.bi.first.resize(n);
        ax.bi.frac.resize(n);
        // Centre of target pixel t in source pixels, minus half a pixel, in 1/128:
        // u(t) = floor(((2t + 1) sn - dn) 128 / 2dn), stepped without a division.
        const std::int64_t one = kPxBilinearOne, den = 2 * dn, step = 2 * sn * one;
        std::int64_t u = FloorDiv((2 * t0 + 1) * sn * one - dn * one, den);
        std::int64_t rem = (2 * t0 + 1) * sn * one - dn * one - u * den;
        const std::int64_t du = step / den, dr = step % den;
        for (std::size_t k = 0; k < n; ++k) {
            std::int64_t i = u >> 7;
            std::uint16_t f = static_cast<std::uint16_t>(u & 127);
            if (i < 0) {
                i = 0;
                f = 0;
            } else if (i >= sn - 1) {
                i = sn - 1;
                f = 0;
            }
            ax.bi.first[k] = static_cast<int>(i);
            ax.bi.frac[k] = f;
            u += du;
            rem += dr;
            if (rem >= den) {
                rem -= den;
                ++u;
            }
        }
        return;
    }
    ax.start.assign(1, 0);
    ax.idx.clear();
    ax.weight.clear();
    for (std::int64_t t = t0; t < t1; ++t) {
        // Footprint [a, b) in 1/256 source pixels.
        const std::int64_t a = t * sn * kOne / dn, b = (t + 1) * sn * kOne / dn;
        const std::size_t from = ax.idx.size();
        int total = 0, best = 0;
        for (std::int64_t i = a >> 8; i * kOne < b && i < sn; ++i) {
            const std::int64_t lo = std::max(a, i * kOne), hi = std::min(b, (i + 1) * kOne);
            const int w = static_cast<int>((hi - lo) * kOne / (b - a));
            ax.idx.push_back(static_cast<int>(i));
            ax.weight.push_back(static_cast<std::uint16_t>(w));
            if (w > ax.weight[from + best])
                best = static_cast<int>(ax.idx.size() - 1 - from);
            total += w;
        }
        // The rounding remainder goes to the largest share, so a flat colour stays flat.
        ax.weight[from + best] = static_cast<std::uint16_t>(ax.weight[from + best] + kOne - total);
        ax.start.push_back(static_cast<int>(ax.idx.size()));
    }
}

// Horizontal pass of one source row into `out` (3 values per target column).
void FilterRow(const Axis& ax, const unsigned char* src, std::uint16_t* out, std::size_t n) {
    if (ax.bilinear) {
        PxFilterBilinear(ax.bi, src, out, n);
        return;
    }
    for (std::size_t k = 0; k < n; ++k) {
        unsigned s0 = 0, s1 = 0, s2 = 0;
        for (int j = ax.start[k]; j < ax.start[k + 1]; ++j) {
            const unsigned char* p = src + 3 * ax.idx[j];
            const unsigned w = ax.weight[j];
            s0 += p[0] * w;
            s1 += p[1] * w;
            s2 += p[2] * w;
        }
        out[3 * k] = static_cast<std::uint16_t>(s0);
        out[3 * k + 1] = static_cast<std::uint16_t>(s1);
        out[3 * k + 2] = static_cast<std::uint16_t>(s2);
    }
}

void Accumulate(const std::uint16_t* __restrict a, unsigned w, std::uint32_t* __restrict acc,
                std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        acc[i] += a[i] * w;
}

// A cache of filtered source rows, keyed by source row index.
class RowCache {
public:
    RowCache(const Axis& ax, const CPxImageData24& src, std::size_t n)
        : m_Ax(ax), m_Src(src), m_N(n), m_Rows(2, std::vector<std::uint16_t>(3 * n + 8)) {}

    const std::uint16_t* Get(int row) {
        for (int s = 0; s < 2; ++s) {
            if (m_Key[s] == row) {
                m_Last = s;
                return m_Rows[s].data();
            }
        }
        // Replace the slot not used last: a row just handed out stays valid.
        const int s = m_Last ^ 1;
        FilterRow(m_Ax, m_Src.GetScanLine(row), m_Rows[s].data(), m_N);
        m_Key[s] = row;
        m_Last = s;
        return m_Rows[s].data();
    }

private:
    const Axis& m_Ax;
    const CPxImageData24& m_Src;
    std::size_t m_N;
    std::vector<std::vector<std::uint16_t>> m_Rows;
    int m_Key[2] = {-1, -1};
    int m_Last = 1;
};

}  // namespace

void PxScaleInto(const CPxImageData24& src, CPxImageData24& dst, std::int64_t x, std::int64_t y,
                 std::int64_t w, std::int64_t h) {
    const std::int64_t cx0 = std::max<std::int64_t>(x, 0);
    const std::int64_t cy0 = std::max<std::int64_t>(y, 0);
    const std::int64_t cx1 = std::min<std::int64_t>(x + w, dst.m_nWidth);
    const std::int64_t cy1 = std::min<std::int64_t>(y + h, dst.m_nHeight);
    if (cx0 >= cx1 || cy0 >= cy1)
        return;
    const std::int64_t sw = src.m_nWidth, sh = src.m_nHeight;
    const std::size_t n = static_cast<std::size_t>(cx1 - cx0);

    // Natural size: rows are copied as they are.
    if (sw == w && sh == h) {
        for (std::int64_t ty = cy0; ty < cy1; ++ty) {
            std::memcpy(dst.GetScanLine(static_cast<int>(ty)) + 3 * cx0,
                        src.GetScanLine(static_cast<int>(ty - y)) + 3 * (cx0 - x), 3 * n);
        }
        return;
    }

    Axis ax, ay;
    BuildAxis(ax, sw, w, cx0 - x, cx1 - x);
    BuildAxis(ay, sh, h, cy0 - y, cy1 - y);
    if (ax.bilinear)
        PxBuildGroups(ax.bi, sw);
    RowCache cache(ax, src, n);
    std::vector<std::uint32_t> acc;
    std::vector<std::uint16_t> tmp;
    if (!ay.bilinear) {
        acc.resize(3 * n);
        tmp.resize(3 * n + 8);
    }
    // Filtered rows hold pixels times 128 (bilinear) or times 256 (area).
    const int hshift = ax.bilinear ? 7 : 8;
    const std::uint32_t half = 1u << (hshift + 7);
    for (std::int64_t ty = cy0; ty < cy1; ++ty) {
        const std::size_t k = static_cast<std::size_t>(ty - cy0);
        unsigned char* out = dst.GetScanLine(static_cast<int>(ty)) + 3 * cx0;
        if (ay.bilinear) {
            const int r0 = ay.bi.first[k];
            const unsigned f = ay.bi.frac[k];
            const std::uint16_t* a = cache.Get(r0);
            const std::uint16_t* b = f ? cache.Get(r0 + 1) : a;
            PxBlendRows(a, b, f, hshift, out, 3 * n);
            continue;
        }
        std::fill(acc.begin(), acc.end(), 0u);
        for (int j = ay.start[k]; j < ay.start[k + 1]; ++j) {
            FilterRow(ax, src.GetScanLine(ay.idx[j]), tmp.data(), n);
            Accumulate(tmp.data(), ay.weight[j], acc.data(), 3 * n);
        }
        for (std::size_t i = 0; i < 3 * n; ++i)
            out[i] = static_cast<unsigned char>((acc[i] + half) >> (hshift + 8));
    }
}
