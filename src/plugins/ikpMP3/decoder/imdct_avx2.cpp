// imdct_avx2.cpp — the layer III long-block IMDCT with windowing and overlap-add, four adjacent
// sub-bands at a time, one in each 64-bit lane; this file alone is compiled with AVX2.
//
// The portable code's arithmetic is 64-bit throughout, and its operands outgrow 32 bits on loud or
// corrupt input, while AVX2 multiplies only 32 × 32 bits. So each multiplying step first checks
// whether all its operands fit 32 bits, as they do on nearly all music, and takes one multiply per
// product; otherwise it splits each operand into two 32-bit halves and takes two. Either way every
// lane holds the low 64 bits of the portable code's values, which never overflow, so the samples
// and the overlap come out bit for bit the same.
#include "imdct_kernels.h"
#include "mpaudec_internal.h"

#if defined(__x86_64__)
#ifndef __AVX2__
#error "imdct_avx2.cpp must be compiled with -mavx2"
#endif
#include <immintrin.h>

namespace {

using Vec = __m256i;   // four signed 64-bit values, one per sub-band

inline Vec splat(int64_t v) { return _mm256_set1_epi64x(v); }
inline Vec add(Vec a, Vec b) { return _mm256_add_epi64(a, b); }
inline Vec sub(Vec a, Vec b) { return _mm256_sub_epi64(a, b); }

// x + 2^31: its high half is zero exactly when x fits 32 bits, and is the high factor of mul_wide.
inline Vec biased(Vec x) { return add(x, splat(int64_t{1} << 31)); }

// Whether every lane of v[0..n) fits 32 bits (signed).
inline bool all_fit(const Vec* v, int n)
{
    Vec high = _mm256_setzero_si256();
    for (int i = 0; i < n; ++i)
        high = _mm256_or_si256(high, biased(v[i]));
    return _mm256_testz_si256(high, splat(-(int64_t{1} << 32)));
}

// x × c, c a 32-bit constant sign-extended in every lane. Narrow: x fits 32 bits and the product
// is exact. Wide: any x, the product's low 64 bits. With l the low half of x read signed and
// h = (x + 2^31) >> 32, x = h 2^32 + l (mod 2^64), so x c = l c + (h c mod 2^32) 2^32 (mod 2^64).
template <bool Wide>
inline Vec mul(Vec x, Vec c)
{
    const Vec low = _mm256_mul_epi32(x, c);
    if constexpr (Wide)
        return add(low, _mm256_slli_epi64(_mm256_mul_epi32(_mm256_srli_epi64(biased(x), 32), c), 32));
    else
        return low;
}

// (x + rounding) >> S, arithmetic, which AVX2 lacks for 64-bit lanes: offset by 2^63 the lanes
// read as unsigned in the same order, a logical shift floors them, and the offset comes back out.
template <int S>
inline Vec shift_right(Vec x, int64_t rounding)
{
    return sub(_mm256_srli_epi64(add(x, splat(rounding + INT64_MIN)), S), splat(int64_t{1} << (63 - S)));
}

// The low 32 bits of (x + 2^22) >> 23 of the four lanes: a logical shift leaves the same ones as an
// arithmetic shift.
inline __m128i low_halves_rounded(Vec x)
{
    const Vec v = _mm256_srli_epi64(add(x, splat(int64_t{1} << (IMDCT_FRAC_BITS - 1))), IMDCT_FRAC_BITS);
    return _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)));
}

// The 9-point cosine sums of one half of the transform (see dct4_18 in layer3.cpp).
template <bool Wide>
void cosine_sums(const Vec x[9], Vec out[9])
{
    const Vec x0 = add(_mm256_slli_epi64(x[0], IMDCT_COS9_BITS), splat(int64_t{1} << (IMDCT_COS9_BITS - 1)));
    for (int m = 0; m < 4; ++m) {
        const int64_t* cm = cos9[m];
        Vec even = x0;
        Vec odd = mul<Wide>(x[1], splat(cm[1]));
        for (int j = 2; j < 9; j += 2)
            even = add(even, mul<Wide>(x[j], splat(cm[j])));
        for (int j = 3; j < 9; j += 2)
            odd = add(odd, mul<Wide>(x[j], splat(cm[j])));
        out[m] = shift_right<IMDCT_COS9_BITS>(add(even, odd), 0);
        out[8 - m] = shift_right<IMDCT_COS9_BITS>(sub(even, odd), 0);
    }
    out[4] = add(sub(add(sub(x[0], x[2]), x[4]), x[6]), x[8]);
}

template <bool Wide>
void scale_odd_sums(const Vec sums[9], Vec out[9])
{
    for (int m = 0; m < 9; ++m)
        out[m] = shift_right<IMDCT_FRAC_BITS>(mul<Wide>(sums[m], splat(icos36[m])), int64_t{1} << (IMDCT_FRAC_BITS - 1));
}

// pq holds e + o for m = 0..8, then e - o for m = 8..0: the DCT-IV's outputs in order.
template <bool Wide>
void scale_outputs(const Vec pq[18], Vec c[18])
{
    for (int m = 0; m < 18; ++m)
        c[m] = shift_right<IMDCT_FRAC_BITS>(mul<Wide>(pq[m], splat(icos72[m])), int64_t{1} << (IMDCT_FRAC_BITS - 1));
}

// The 36 windowed samples: the first 18 added to the overlap make the output, the last 18 are
// the next overlap.
template <bool Wide>
void window_and_overlap(const Vec c[18], const Vec win[36], int32_t* out, int32_t* overlap)
{
    __m128i first[18];
    for (int i = 0; i < 18; ++i)
        first[i] = low_halves_rounded(mul<Wide>(c[i < 9 ? i + 9 : 26 - i], win[i]));
    for (int i = 18; i < 36; ++i) {
        __m128i* slot = reinterpret_cast<__m128i*>(overlap + (i - 18) * SBLIMIT);
        const __m128i previous = _mm_loadu_si128(slot);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (i - 18) * SBLIMIT), _mm_add_epi32(first[i - 18], previous));
        _mm_storeu_si128(slot, low_halves_rounded(mul<Wide>(c[i < 27 ? 26 - i : i - 27], win[i])));
    }
}

// Four sub-bands' 18 lines each (72 in a row), one line of every sub-band per vector, clamped.
void load_lines(const int32_t* lines, Vec v[18])
{
    __m128i t[18];
    for (int k = 0; k < 16; k += 4) {
        const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines + k));
        const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines + 18 + k));
        const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines + 36 + k));
        const __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines + 54 + k));
        const __m128i lo01 = _mm_unpacklo_epi32(r0, r1);
        const __m128i hi01 = _mm_unpackhi_epi32(r0, r1);
        const __m128i lo23 = _mm_unpacklo_epi32(r2, r3);
        const __m128i hi23 = _mm_unpackhi_epi32(r2, r3);
        t[k] = _mm_unpacklo_epi64(lo01, lo23);
        t[k + 1] = _mm_unpackhi_epi64(lo01, lo23);
        t[k + 2] = _mm_unpacklo_epi64(hi01, hi23);
        t[k + 3] = _mm_unpackhi_epi64(hi01, hi23);
    }
    const __m128i r0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lines + 16));
    const __m128i r1 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lines + 18 + 16));
    const __m128i r2 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lines + 36 + 16));
    const __m128i r3 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lines + 54 + 16));
    const __m128i lo01 = _mm_unpacklo_epi32(r0, r1);
    const __m128i lo23 = _mm_unpacklo_epi32(r2, r3);
    t[16] = _mm_unpacklo_epi64(lo01, lo23);
    t[17] = _mm_unpackhi_epi64(lo01, lo23);
    const __m128i limit = _mm_set1_epi32(IMDCT_INPUT_LIMIT);
    const __m128i negative_limit = _mm_set1_epi32(-IMDCT_INPUT_LIMIT);
    for (int k = 0; k < 18; ++k)
        v[k] = _mm256_cvtepi32_epi64(_mm_min_epi32(_mm_max_epi32(t[k], negative_limit), limit));
}

void imdct_four(const int32_t* lines, const Vec win[36], int32_t* out, int32_t* overlap)
{
    Vec v[18];
    load_lines(lines, v);

    // With u[k] = v[k] + v[k - 1], the even sums take u[0], u[2], ..., u[16] and the odd sums
    // u[1] + u[-1], u[3] + u[1], ..., u[17] + u[15]. The clamp keeps the even ones within 32 bits.
    Vec u[18];
    u[0] = v[0];
    for (int k = 1; k < 18; ++k)
        u[k] = add(v[k], v[k - 1]);
    Vec a0[9], a1[9];
    a0[0] = u[0];
    a1[0] = u[1];
    for (int j = 1; j < 9; ++j) {
        a0[j] = u[2 * j];
        a1[j] = add(u[2 * j + 1], u[2 * j - 1]);
    }

    Vec e[9], sums1[9];
    cosine_sums<false>(a0, e);
    if (all_fit(a1 + 1, 8))   // a1[0] is only shifted
        cosine_sums<false>(a1, sums1);
    else
        cosine_sums<true>(a1, sums1);

    Vec o[9];
    if (all_fit(sums1, 9))
        scale_odd_sums<false>(sums1, o);
    else
        scale_odd_sums<true>(sums1, o);

    Vec pq[18];
    for (int m = 0; m < 9; ++m) {
        pq[m] = add(e[m], o[m]);
        pq[17 - m] = sub(e[m], o[m]);
    }
    Vec c[18];
    if (all_fit(pq, 18))
        scale_outputs<false>(pq, c);
    else
        scale_outputs<true>(pq, c);

    if (all_fit(c, 18))
        window_and_overlap<false>(c, win, out, overlap);
    else
        window_and_overlap<true>(c, win, out, overlap);
}

}  // namespace

void imdct_long_blocks_avx2(const int32_t* x, int first, int end, int row, int32_t* sb_samples, int32_t* overlap)
{
    Vec win[36];
    for (int i = 0; i < 36; ++i)
        win[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mdct_win_lanes[row][i]));
    for (int j = first; j < end; j += 4)
        imdct_four(x + 18 * j, win, sb_samples + j, overlap + j);
}
#endif
