// imdct_avx2.cpp — the layer III long-block IMDCT with windowing and overlap-add, four adjacent
// sub-bands at a time, one in each 64-bit lane; this file alone is compiled with AVX2.
//
// The portable code's arithmetic is 64-bit throughout, while AVX2 multiplies only 32 × 32 bits. A
// group whose 72 lines all lie below 2^IMDCT_NARROW_INPUT_BITS in magnitude, as most groups of music
// do, keeps every value within 32 bits and takes one multiply per product, unchecked. Any other
// group is clamped as the portable code clamps, and each multiplying step checks whether its
// operands fit 32 bits: one multiply per product if they do, else two on their 32-bit halves. Either
// way every lane holds the low 64 bits of the portable code's values, which wrap alike where corrupt
// data takes them past 64 bits, so samples and overlap come out bit for bit the same for every input.
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

// x × c, c a 32-bit constant sign-extended in every lane: exact when x fits 32 bits.
inline Vec mul_narrow(Vec x, Vec c) { return _mm256_mul_epi32(x, c); }

// x × c for any x, its low 64 bits: with l the low half of x read signed and h = (x + 2^31) >> 32,
// x = h 2^32 + l (mod 2^64), so x c = l c + (h c mod 2^32) 2^32 (mod 2^64).
inline Vec mul_wide(Vec x, Vec c)
{
    return add(_mm256_mul_epi32(x, c), _mm256_slli_epi64(_mm256_mul_epi32(_mm256_srli_epi64(biased(x), 32), c), 32));
}

// (x + rounding) >> S, arithmetic, which AVX2 lacks for 64-bit lanes: offset by 2^63 the lanes
// read as unsigned in the same order, a logical shift floors them, and the offset comes back out.
template <int S>
inline Vec shift_right(Vec x, int64_t rounding)
{
    return sub(_mm256_srli_epi64(add(x, splat(rounding + INT64_MIN)), S), splat(int64_t{1} << (63 - S)));
}

// How a step multiplies and shifts. Exact keeps every lane's full 64-bit value, with one multiply
// per product when the step has checked that its operands fit 32 bits (Wide false), else two.
// Narrow serves a group whose inputs are small enough that no value ever outgrows 32 bits: only
// the low halves are kept, and a logical shift leaves the same ones as an arithmetic one.
template <bool Wide>
struct Exact {
    static Vec mul(Vec x, Vec c) { return Wide ? mul_wide(x, c) : mul_narrow(x, c); }
    template <int S>
    static Vec shift(Vec x, int64_t rounding) { return shift_right<S>(x, rounding); }
};
struct Narrow {
    static Vec mul(Vec x, Vec c) { return mul_narrow(x, c); }
    template <int S>
    static Vec shift(Vec x, int64_t rounding) { return _mm256_srli_epi64(add(x, splat(rounding)), S); }
};

// The low 32 bits of (x + 2^22) >> 23 of the four lanes: a logical shift leaves the same ones as an
// arithmetic shift.
inline __m128i low_halves_rounded(Vec x)
{
    const Vec v = _mm256_srli_epi64(add(x, splat(int64_t{1} << (IMDCT_FRAC_BITS - 1))), IMDCT_FRAC_BITS);
    return _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)));
}

// The 9-point cosine sums of one half of the transform, IMDCT_SUM_GUARD_BITS more fraction bits than
// the inputs (see dct4_18 in layer3_imdct.cpp).
constexpr int SUM_SHIFT = IMDCT_COS9_BITS - IMDCT_SUM_GUARD_BITS;
template <class P>
void cosine_sums(const Vec x[9], Vec out[9])
{
    const Vec x0 = add(_mm256_slli_epi64(x[0], IMDCT_COS9_BITS), splat(int64_t{1} << (SUM_SHIFT - 1)));
#pragma GCC unroll 4
    for (int m = 0; m < 4; ++m) {
        const int64_t* cm = cos9[m];
        Vec even = x0;
        Vec odd = P::mul(x[1], splat(cm[1]));
        for (int j = 2; j < 9; j += 2)
            even = add(even, P::mul(x[j], splat(cm[j])));
        for (int j = 3; j < 9; j += 2)
            odd = add(odd, P::mul(x[j], splat(cm[j])));
        out[m] = P::template shift<SUM_SHIFT>(add(even, odd), 0);
        out[8 - m] = P::template shift<SUM_SHIFT>(sub(even, odd), 0);
    }
    out[4] = _mm256_slli_epi64(add(sub(add(sub(x[0], x[2]), x[4]), x[6]), x[8]), IMDCT_SUM_GUARD_BITS);
}

// The DCT-IV's outputs: output m is icos72[m] × e + imdct_odd_scale[m] × o, with the sums of m
// (of 17 - m past 8), rounded once.
template <class P>
void scale_outputs(const Vec e[9], const Vec o[9], Vec c[18])
{
    constexpr int OUT_SHIFT = IMDCT_SCALE_BITS + IMDCT_SUM_GUARD_BITS;
#pragma GCC unroll 18
    for (int m = 0; m < 18; ++m) {
        const int s = m < 9 ? m : 17 - m;
        c[m] = P::template shift<OUT_SHIFT>(add(P::mul(e[s], splat(icos72[m])), P::mul(o[s], splat(imdct_odd_scale[m]))),
                                            int64_t{1} << (OUT_SHIFT - 1));
    }
}

// The 36 windowed samples: the first 18 added to the overlap make the output, the last 18 are
// the next overlap. win holds mdct_win_lanes' 36 rows of four lanes.
template <class P>
void window_and_overlap(const Vec c[18], const int64_t (*win)[4], int32_t* out, int32_t* overlap)
{
    auto windowed = [&](int k, int i) {
        return low_halves_rounded(P::mul(c[k], _mm256_loadu_si256(reinterpret_cast<const __m256i*>(win[i]))));
    };
    auto emit = [&](int i, __m128i sample, __m128i next) {
        __m128i* slot = reinterpret_cast<__m128i*>(overlap + i * SBLIMIT);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * SBLIMIT), _mm_add_epi32(sample, _mm_loadu_si128(slot)));
        _mm_storeu_si128(slot, next);
    };
#pragma GCC unroll 9
    for (int i = 0; i < 9; ++i)
        emit(i, windowed(i + 9, i), windowed(8 - i, i + 18));
#pragma GCC unroll 9
    for (int i = 9; i < 18; ++i)
        emit(i, windowed(26 - i, i), windowed(i - 9, i + 18));
}

// Four sub-bands' 18 lines each (72 in a row), one line of every sub-band per vector.
void load_lines(const int32_t* lines, __m128i t[18])
{
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
}

// Whether all 72 lines lie below 2^IMDCT_NARROW_INPUT_BITS in magnitude: their magnitudes' bits
// gathered by OR stay below that power exactly when every one does (|INT32_MIN| reads negative).
bool lines_are_small(const int32_t* lines)
{
    __m256i bits = _mm256_setzero_si256();
    for (int i = 0; i < 72; i += 8)
        bits = _mm256_or_si256(bits, _mm256_abs_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(lines + i))));
    return _mm256_testz_si256(bits, _mm256_set1_epi32(-(1 << IMDCT_NARROW_INPUT_BITS)));
}

// The even and odd halves' inputs (see dct4_18): with u[k] = v[k] + v[k - 1], the even sums take
// u[0], u[2], ..., u[16] and the odd sums u[1] + u[-1], u[3] + u[1], ..., u[17] + u[15].
void split_inputs(const __m128i t[18], Vec a0[9], Vec a1[9])
{
    Vec v[18];
    for (int k = 0; k < 18; ++k)
        v[k] = _mm256_cvtepi32_epi64(t[k]);
    Vec u[18];
    u[0] = v[0];
    for (int k = 1; k < 18; ++k)
        u[k] = add(v[k], v[k - 1]);
    a0[0] = u[0];
    a1[0] = u[1];
    for (int j = 1; j < 9; ++j) {
        a0[j] = u[2 * j];
        a1[j] = add(u[2 * j + 1], u[2 * j - 1]);
    }
}

// Every value of the transform stays within 32 bits: one multiply per product, no checks.
void imdct_four_small(const int32_t* lines, const int64_t (*win)[4], int32_t* out, int32_t* overlap)
{
    __m128i t[18];
    load_lines(lines, t);
    Vec a0[9], a1[9];
    split_inputs(t, a0, a1);
    Vec e[9], o[9];
    cosine_sums<Narrow>(a0, e);
    cosine_sums<Narrow>(a1, o);
    Vec c[18];
    scale_outputs<Narrow>(e, o, c);
    window_and_overlap<Narrow>(c, win, out, overlap);
}

// Any input: clamped as the portable code does, and each multiplying step checks its operands.
void imdct_four_checked(const int32_t* lines, const int64_t (*win)[4], int32_t* out, int32_t* overlap)
{
    __m128i t[18];
    load_lines(lines, t);
    const __m128i limit = _mm_set1_epi32(IMDCT_INPUT_LIMIT);
    const __m128i negative_limit = _mm_set1_epi32(-IMDCT_INPUT_LIMIT);
    for (int k = 0; k < 18; ++k)
        t[k] = _mm_min_epi32(_mm_max_epi32(t[k], negative_limit), limit);
    Vec a0[9], a1[9];
    split_inputs(t, a0, a1);

    // The clamp keeps a0 within 32 bits; a1[0] is only shifted.
    Vec e[9], o[9];
    cosine_sums<Exact<false>>(a0, e);
    if (all_fit(a1 + 1, 8))
        cosine_sums<Exact<false>>(a1, o);
    else
        cosine_sums<Exact<true>>(a1, o);

    Vec c[18];
    if (all_fit(e, 9) && all_fit(o, 9))
        scale_outputs<Exact<false>>(e, o, c);
    else
        scale_outputs<Exact<true>>(e, o, c);

    if (all_fit(c, 18))
        window_and_overlap<Exact<false>>(c, win, out, overlap);
    else
        window_and_overlap<Exact<true>>(c, win, out, overlap);
}

}  // namespace

void imdct_long_blocks_avx2(const int32_t* x, int first, int end, int row, int32_t* sb_samples, int32_t* overlap)
{
    for (int j = first; j < end; j += 4) {
        const int32_t* lines = x + 18 * j;
        if (lines_are_small(lines))
            imdct_four_small(lines, mdct_win_lanes[row], sb_samples + j, overlap + j);
        else
            imdct_four_checked(lines, mdct_win_lanes[row], sb_samples + j, overlap + j);
    }
}
#endif
