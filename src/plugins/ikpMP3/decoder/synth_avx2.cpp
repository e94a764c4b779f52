// synth_avx2.cpp — the synthesis kernels' AVX2 instances, and the alias reduction's; this file
// alone is compiled with AVX2.
#include "synth_kernels.h"

#if defined(__x86_64__)
#ifndef __AVX2__
#error "synth_avx2.cpp must be compiled with -mavx2"
#endif
void window_sums_avx2(const int32_t* b, int64_t sums[4][16]) { window_sums_with<Avx2Lanes>(b, sums); }
void dct32_avx2(int32_t* out, const int32_t* in) { dct32_with<Avx2Lanes>(out, in); }

namespace {

// Four samples a[q] + b[3 - q], rounded; a window sum stays below 2^52 in magnitude (16 products
// of a 32-bit value and a coefficient under 2^17), so the shifted value fits 32 bits and a logical
// shift leaves the same low half as an arithmetic one.
inline __m128i rounded_quad(const int64_t* a, const int64_t* b)
{
    const __m256i forward = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
    const __m256i backward = _mm256_permute4x64_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b)),
                                                      _MM_SHUFFLE(0, 1, 2, 3));
    const __m256i half = _mm256_set1_epi64x(int64_t{1} << (SYNTH_OUT_SHIFT - 1));
    const __m256i v = _mm256_srli_epi64(_mm256_add_epi64(_mm256_add_epi64(forward, backward), half), SYNTH_OUT_SHIFT);
    return _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)));
}

// Eight samples a[q] + b[7 - q], clamped by the saturating pack.
inline __m128i rounded_eight(const int64_t* a, const int64_t* b)
{
    return _mm_packs_epi32(rounded_quad(a, b + 4), rounded_quad(a + 4, b));
}

}  // namespace

void synth_output_avx2(const int64_t sums[4][16], short* samples, int incr)
{
    alignas(32) short out[32];
    _mm_store_si128(reinterpret_cast<__m128i*>(out), rounded_eight(sums[0], sums[1] + 8));
    _mm_store_si128(reinterpret_cast<__m128i*>(out + 8), rounded_eight(sums[0] + 8, sums[1]));
    _mm_store_si128(reinterpret_cast<__m128i*>(out + 16), rounded_eight(sums[3], sums[2] + 8));
    _mm_store_si128(reinterpret_cast<__m128i*>(out + 24), rounded_eight(sums[3] + 8, sums[2]));
    if (incr == 1) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples), _mm256_load_si256(reinterpret_cast<const __m256i*>(out)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + 16), _mm256_load_si256(reinterpret_cast<const __m256i*>(out + 16)));
        return;
    }
    for (int j = 0; j < 32; ++j)
        samples[j * incr] = out[j];
}

namespace {

// The low 32 bits of (v + 2^22) >> 23 in each 64-bit lane of two vectors, as eight values.
inline __m256i rounded_low_halves(__m256i v0, __m256i v1)
{
    const __m256i half = _mm256_set1_epi64x(1 << 22);
    const __m256i pick = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    const __m256i r0 = _mm256_permutevar8x32_epi32(_mm256_srli_epi64(_mm256_add_epi64(v0, half), 23), pick);
    const __m256i r1 = _mm256_permutevar8x32_epi32(_mm256_srli_epi64(_mm256_add_epi64(v1, half), 23), pick);
    return _mm256_inserti128_si256(r0, _mm256_castsi256_si128(r1), 1);
}

}  // namespace

// Every product is exact (32 × 32 bits), and the low half of a logical shift is that of an
// arithmetic one, so each line gets the portable code's bits.
void antialias_avx2(int32_t* x, int last, const int32_t csa[8][2])
{
    alignas(32) int32_t cs[8], ca[8];
    for (int j = 0; j < 8; ++j) {
        cs[j] = csa[j][0];
        ca[j] = csa[j][1];
    }
    const __m256i cs0 = _mm256_cvtepi32_epi64(_mm_load_si128(reinterpret_cast<const __m128i*>(cs)));
    const __m256i cs1 = _mm256_cvtepi32_epi64(_mm_load_si128(reinterpret_cast<const __m128i*>(cs + 4)));
    const __m256i ca0 = _mm256_cvtepi32_epi64(_mm_load_si128(reinterpret_cast<const __m128i*>(ca)));
    const __m256i ca1 = _mm256_cvtepi32_epi64(_mm_load_si128(reinterpret_cast<const __m128i*>(ca + 4)));
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    for (int b = 1; b <= last; ++b) {
        __m256i* lo_at = reinterpret_cast<__m256i*>(x + 18 * b - 8);
        __m256i* hi_at = reinterpret_cast<__m256i*>(x + 18 * b);
        // Lane j holds the j-th line below the boundary and the j-th above it.
        const __m256i lo = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(lo_at), reverse);
        const __m256i hi = _mm256_loadu_si256(hi_at);
        const __m256i a0 = _mm256_cvtepi32_epi64(_mm256_castsi256_si128(lo));
        const __m256i a1 = _mm256_cvtepi32_epi64(_mm256_extracti128_si256(lo, 1));
        const __m256i c0 = _mm256_cvtepi32_epi64(_mm256_castsi256_si128(hi));
        const __m256i c1 = _mm256_cvtepi32_epi64(_mm256_extracti128_si256(hi, 1));
        const __m256i new_lo = rounded_low_halves(_mm256_sub_epi64(_mm256_mul_epi32(a0, cs0), _mm256_mul_epi32(c0, ca0)),
                                                  _mm256_sub_epi64(_mm256_mul_epi32(a1, cs1), _mm256_mul_epi32(c1, ca1)));
        const __m256i new_hi = rounded_low_halves(_mm256_add_epi64(_mm256_mul_epi32(c0, cs0), _mm256_mul_epi32(a0, ca0)),
                                                  _mm256_add_epi64(_mm256_mul_epi32(c1, cs1), _mm256_mul_epi32(a1, ca1)));
        _mm256_storeu_si256(lo_at, _mm256_permutevar8x32_epi32(new_lo, reverse));
        _mm256_storeu_si256(hi_at, new_hi);
    }
}
#endif
