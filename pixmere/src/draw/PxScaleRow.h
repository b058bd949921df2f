// The row kernels of scaled drawing: the horizontal pass of one source row and the
// vertical blend of two filtered rows.
#ifndef PIXMERE_PXSCALEROW_H
#define PIXMERE_PXSCALEROW_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Bilinear weights have 7 bits, as in the common 32-bit scalers: a pair of weights
// sums to 128, so pixel times weight fits a signed 16-bit lane.
constexpr int kPxBilinearOne = 128;

// The horizontal taps of one bilinear axis: for target column k the source pixel
// first[k] and the weight frac[k] (0..127) of its right neighbour, and the same
// taps as shuffle tables for the SIMD kernels.
struct PxBilinearRow {
    std::vector<int> first;
    std::vector<std::uint16_t> frac;
    // Per pair of target columns: the byte offset of a 16-byte window in the source
    // row, and 16 bytes each of `pick` (per 16-bit lane, the left and the right
    // source byte within the window) and `weight` (their signed 8-bit weights).
    // Pairs lie side by side so that wider registers take two at once.
    std::vector<std::int32_t> base;
    std::vector<std::uint8_t> pick;
    std::vector<std::int8_t> weight;
};

// Builds the shuffle tables from `first` and `frac` for a source row of `srcWidth`
// pixels; leaves them empty when the CPU lacks the instructions the kernels need.
void PxBuildGroups(PxBilinearRow& row, std::int64_t srcWidth);

// out[3k + c] = src[3 first[k] + c] * (128 - frac[k]) + src[3 first[k] + 3 + c] * frac[k]
// for the `n` target columns. `out` has room for 3n + 8 values.
void PxFilterBilinear(const PxBilinearRow& row, const unsigned char* src, std::uint16_t* out,
                      std::size_t n);

// Blends rows a and b, whose values are pixels times 2^shift (shift 7 or 8), with
// weights 128 - f and f (f in 0..127): out[i] = round((a[i] (128 - f) + b[i] f) /
// 2^(7 + shift)) for i < n.
void PxBlendRows(const std::uint16_t* a, const std::uint16_t* b, unsigned f, int shift,
                 unsigned char* out, std::size_t n);

#endif
