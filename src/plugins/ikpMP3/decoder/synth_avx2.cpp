// synth_avx2.cpp — the synthesis kernels' AVX2 instances; this file alone is compiled with AVX2.
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
#endif
