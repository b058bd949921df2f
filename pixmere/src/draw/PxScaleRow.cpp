// Row kernels of scaled drawing. The horizontal bilinear pass gathers from
// arbitrary positions, which compilers cannot vectorise; on x86 it runs on SSSE3
// byte shuffles and multiply-adds prepared per pair of target columns, with a
// scalar fallback that gives the same values.
#include "draw/PxScaleRow.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__) || defined(__SSE2__)
#include <immintrin.h>
#define PX_HAVE_SSSE3_KERNEL 1
#endif

namespace {

void FilterScalar(const PxBilinearRow& row, const unsigned char* src, std::uint16_t* out,
                  std::size_t from, std::size_t n) {
    const int* first = row.first.data();
    const std::uint16_t* frac = row.frac.data();
    for (std::size_t k = from; k < n; ++k) {
        const unsigned char* p = src + 3 * first[k];
        const unsigned f = frac[k], g = kPxBilinearOne - f;
        // With no weight on it the right tap is the pixel itself: never read past the row.
        const unsigned char* q = f ? p + 3 : p;
        out[3 * k] = static_cast<std::uint16_t>(p[0] * g + q[0] * f);
        out[3 * k + 1] = static_cast<std::uint16_t>(p[1] * g + q[1] * f);
        out[3 * k + 2] = static_cast<std::uint16_t>(p[2] * g + q[2] * f);
    }
}

#ifdef PX_HAVE_SSSE3_KERNEL
__attribute__((target("ssse3"))) void FilterSsse3(const PxBilinearRow& row,
                                                  const unsigned char* src, std::uint16_t* out,
                                                  std::size_t from, std::size_t count) {
    // NOTE: the tables are read through locals: a SIMD store may alias anything, which
    // would make the compiler reload the vectors' pointers on every step.
    const std::int32_t* base = row.base.data();
    const std::uint8_t* picks = row.pick.data();
    const std::int8_t* weights = row.weight.data();
    for (std::size_t i = from; i < count; ++i) {
        const __m128i win = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + base[i]));
        const __m128i pick = _mm_loadu_si128(reinterpret_cast<const __m128i*>(picks + 16 * i));
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 16 * i));
        // Eight 16-bit lanes, six used; the two spare ones are overwritten by the next pair.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 6 * i),
                         _mm_maddubs_epi16(_mm_shuffle_epi8(win, pick), w));
    }
}

// Two pairs at once, one in each 128-bit half.
__attribute__((target("avx2"))) void FilterAvx2(const PxBilinearRow& row, const unsigned char* src,
                                                std::uint16_t* out, std::size_t count) {
    const std::int32_t* base = row.base.data();  // see FilterSsse3
    const std::uint8_t* picks = row.pick.data();
    const std::int8_t* weights = row.weight.data();
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m256i win = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(src + base[i + 1]),
                                                reinterpret_cast<const __m128i*>(src + base[i]));
        const __m256i pick = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(picks + 16 * i));
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights + 16 * i));
        const __m256i r = _mm256_maddubs_epi16(_mm256_shuffle_epi8(win, pick), w);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 6 * i), _mm256_castsi256_si128(r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 6 * i + 6),
                         _mm256_extracti128_si256(r, 1));
    }
    _mm256_zeroupper();  // as in BlendAvx2
    FilterSsse3(row, src, out, i, count);
}
#endif

}  // namespace

void PxBuildGroups(PxBilinearRow& row, std::int64_t srcWidth) {
    row.base.clear();
    row.pick.clear();
    row.weight.clear();
#ifdef PX_HAVE_SSSE3_KERNEL
    // A window is 16 bytes of one row's pixels; narrower rows go the scalar way.
    if (3 * srcWidth < 16 || !__builtin_cpu_supports("ssse3"))
        return;
    const std::size_t pairs = row.first.size() / 2;
    row.base.resize(pairs);
    row.pick.assign(16 * pairs, 0x80);  // 0x80: the shuffle writes zero
    row.weight.assign(16 * pairs, 0);
    for (std::size_t p = 0; p < pairs; ++p) {
        // The window starts at the pair's first pixel, moved left where that would
        // read past the row's last pixel.
        const std::int64_t start = std::min<std::int64_t>(3 * row.first[2 * p], 3 * srcWidth - 16);
        row.base[p] = static_cast<std::int32_t>(start);
        for (int lane = 0; lane < 6; ++lane) {
            const std::size_t k = 2 * p + lane / 3;
            const int f = row.frac[k];
            const std::int64_t l = 3 * row.first[k] + lane % 3 - start;
            const std::int64_t r = f ? l + 3 : l;
            if (l < 0 || r > 15) {  // cannot happen when shrinking at most 2x; be safe
                row.base.clear();
                row.pick.clear();
                row.weight.clear();
                return;
            }
            row.pick[16 * p + 2 * lane] = static_cast<std::uint8_t>(l);
            row.pick[16 * p + 2 * lane + 1] = static_cast<std::uint8_t>(r);
            // A signed byte holds at most 127: a whole weight is split over the
            // pixel taken twice.
            row.weight[16 * p + 2 * lane] = static_cast<std::int8_t>(f ? kPxBilinearOne - f : 64);
            row.weight[16 * p + 2 * lane + 1] = static_cast<std::int8_t>(f ? f : 64);
        }
    }
#else
    (void)srcWidth;
#endif
}

void PxFilterBilinear(const PxBilinearRow& row, const unsigned char* src, std::uint16_t* out,
                      std::size_t n) {
    std::size_t done = 0;
#ifdef PX_HAVE_SSSE3_KERNEL
    if (!row.base.empty()) {
        if (__builtin_cpu_supports("avx2"))
            FilterAvx2(row, src, out, row.base.size());
        else
            FilterSsse3(row, src, out, 0, row.base.size());
        done = 2 * row.base.size();
    }
#endif
    FilterScalar(row, src, out, done, n);
}

namespace {

// The blend's SIMD loops: 16 values a step with SSE2, 32 with AVX2.
#if defined(__SSE2__)
std::size_t BlendSse2(const std::uint16_t* a, const std::uint16_t* b, unsigned wa, unsigned wb,
                      int shift, unsigned char* out, std::size_t n) {
    const __m128i va = _mm_set1_epi16(static_cast<short>(wa));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(wb));
    const __m128i vh = _mm_set1_epi16(static_cast<short>(1u << (shift - 1)));
    const __m128i cnt = _mm_cvtsi32_si128(shift);
    auto eight = [&](std::size_t at) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + at));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at));
        const __m128i s = _mm_add_epi16(_mm_mulhi_epu16(x, va), _mm_mulhi_epu16(y, vb));
        return _mm_srl_epi16(_mm_add_epi16(s, vh), cnt);
    };
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packus_epi16(eight(i), eight(i + 8)));
    }
    return i;
}

__attribute__((target("avx2"))) inline __m256i Blend16(const std::uint16_t* a,
                                                       const std::uint16_t* b, __m256i va,
                                                       __m256i vb, __m256i vh, __m128i cnt) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
    const __m256i s = _mm256_add_epi16(_mm256_mulhi_epu16(x, va), _mm256_mulhi_epu16(y, vb));
    return _mm256_srl_epi16(_mm256_add_epi16(s, vh), cnt);
}

__attribute__((target("avx2"))) std::size_t BlendAvx2(const std::uint16_t* a,
                                                      const std::uint16_t* b, unsigned wa,
                                                      unsigned wb, int shift, unsigned char* out,
                                                      std::size_t n) {
    const __m256i va = _mm256_set1_epi16(static_cast<short>(wa));
    const __m256i vb = _mm256_set1_epi16(static_cast<short>(wb));
    const __m256i vh = _mm256_set1_epi16(static_cast<short>(1u << (shift - 1)));
    const __m128i cnt = _mm_cvtsi32_si128(shift);
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        // The pack works within 128-bit halves; the permute puts the quarters in order.
        const __m256i packed =
            _mm256_packus_epi16(Blend16(a + i, b + i, va, vb, vh, cnt),
                                Blend16(a + i + 16, b + i + 16, va, vb, vh, cnt));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_permute4x64_epi64(packed, 0xD8));
    }
    // NOTE: legacy SSE code after AVX code with dirty upper halves runs several times
    // slower on many CPUs, here and in whatever the caller runs next.
    _mm256_zeroupper();
    return i + BlendSse2(a + i, b + i, wa, wb, shift, out + i, n - i);
}
#endif

}  // namespace

void PxBlendRows(const std::uint16_t* __restrict a, const std::uint16_t* __restrict b, unsigned f,
                 int shift, unsigned char* __restrict out, std::size_t n) {
    // (a * (w << 9)) >> 16 is a * w / 128 taken from the high half of a 16 x 16-bit
    // product; w < 128 keeps w << 9 within 16 bits. f == 0 takes row a alone
    // (weights 128 and 0 would not fit), which the compiler vectorises by itself.
    const unsigned half = 1u << (shift - 1);
    if (f == 0) {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<unsigned char>((a[i] + half) >> shift);
        return;
    }
    const unsigned wa = (kPxBilinearOne - f) << 9, wb = f << 9;
    std::size_t i = 0;
#if defined(__SSE2__)
    i = __builtin_cpu_supports("avx2") ? BlendAvx2(a, b, wa, wb, shift, out, n)
                                       : BlendSse2(a, b, wa, wb, shift, out, n);
#endif
    for (; i < n; ++i) {
        const unsigned s = ((a[i] * wa) >> 16) + ((b[i] * wb) >> 16);
        out[i] = static_cast<unsigned char>((s + half) >> shift);
    }
}
