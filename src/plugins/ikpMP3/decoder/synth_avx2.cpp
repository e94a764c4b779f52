// synth_avx2.cpp — the synthesis kernels' AVX2 instances, and the alias reduction's; this file
// alone is compiled with AVX2.
#include <initializer_list>

#include "mpaudec_internal.h"
#include "synth_kernels.h"

#if defined(__x86_64__)
#ifndef __AVX2__
#error "synth_avx2.cpp must be compiled with -mavx2"
#endif
namespace {

// Every loop of the kernels runs a handful of times over vectors kept in registers: unrolled, its
// arrays of vectors become registers instead of stack slots.
#define MPA_UNROLLED _Pragma("GCC unroll 16")

inline __m256i load8(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline void store8(int32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
// p 32-byte aligned (GCC's default tuning splits unaligned 256-bit stores into halves, which then
// cannot forward to the whole-vector loads that follow).
inline void store8_aligned(int32_t* p, __m256i v) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), v); }

// 32 values in order, 8 to a vector.
struct Vectors4 {
    __m256i v0, v1, v2, v3;
};

// GCC regroups unrolled chains of vector sums into trees of products, which spill to the stack;
// passing the sums through an empty asm each step keeps each chain in its own register.
template <int C>
inline void keep_chains(__m256i (&sums)[C])
{
    MPA_UNROLLED for (int c = 0; c < C; ++c)
        asm("" : "+x"(sums[c]));
}

inline __m256i load_coefficients(const int64_t* c) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(c)); }

// Eight results in order from two vectors of 64-bit sums, one holding the even outputs and one the
// odd: each rounded half up at bit S, its low 32 bits kept. The odd sums move up by 32 - S instead
// of down by S, landing in the upper halves, so one blend interleaves the two.
template <int S>
inline __m256i rounded_interleave(__m256i even, __m256i odd)
{
    const __m256i half = _mm256_set1_epi64x(int64_t{1} << (S - 1));
    return _mm256_blend_epi32(_mm256_srli_epi64(_mm256_add_epi64(even, half), S),
                              _mm256_slli_epi64(_mm256_add_epi64(odd, half), 32 - S), 0xAA);
}

// The butterflies of dct32_with, each value then read broadcast to every lane.
struct DctInputs {
    alignas(32) int32_t diff[16];
    alignas(32) int32_t sum2[8];
    alignas(32) int32_t diff2[8];
};

inline void dct_butterflies(const int32_t* in, DctInputs& x)
{
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    const __m256i a0 = load8(in);
    const __m256i a1 = load8(in + 8);
    const __m256i b1 = _mm256_permutevar8x32_epi32(load8(in + 16), reverse);   // in[31 - n], n = 8..15
    const __m256i b0 = _mm256_permutevar8x32_epi32(load8(in + 24), reverse);   // in[31 - n], n < 8
    const __m256i sum_lo = _mm256_add_epi32(a0, b0);
    const __m256i sum_hi_reversed = _mm256_permutevar8x32_epi32(_mm256_add_epi32(a1, b1), reverse);
    store8(x.diff, _mm256_sub_epi32(a0, b0));
    store8(x.diff + 8, _mm256_sub_epi32(a1, b1));
    store8(x.sum2, _mm256_add_epi32(sum_lo, sum_hi_reversed));
    store8(x.diff2, _mm256_sub_epi32(sum_lo, sum_hi_reversed));
}

// The 32 outputs of dct32_with for C channels, from the same exact sums; each coefficient vector
// is loaded once for all of them.
template <int C>
inline void dct32_vectors(const int32_t* const (&in)[C], Vectors4 (&out)[C])
{
    DctInputs x[C];
    MPA_UNROLLED for (int c = 0; c < C; ++c)
        dct_butterflies(in[c], x[c]);
    // Broadcast straight from memory rather than extracted lane by lane from the vectors.
    asm("" : "+m"(x));

    const SynthWideTables& w = synth_wide_tables;
    __m256i odd[4][C];
    MPA_UNROLLED for (int q = 0; q < 4; ++q)
        MPA_UNROLLED for (int c = 0; c < C; ++c)
            odd[q][c] = _mm256_setzero_si256();
    MPA_UNROLLED for (int n = 0; n < 16; ++n) {
        __m256i v[C];
        MPA_UNROLLED for (int c = 0; c < C; ++c)
            v[c] = _mm256_set1_epi32(x[c].diff[n]);
        MPA_UNROLLED for (int q = 0; q < 4; ++q) {
            const __m256i k = load_coefficients(w.dct_odd16[n] + 4 * q);
            MPA_UNROLLED for (int c = 0; c < C; ++c)
                odd[q][c] = _mm256_add_epi64(odd[q][c], _mm256_mul_epi32(v[c], k));
            keep_chains(odd[q]);
        }
    }
    // fours: outputs 4k in the column order 0, 2, 1, 3 | 4, 6, 5, 7; twos: outputs 4k + 2, likewise.
    __m256i fours[2][C], twos[2][C];
    MPA_UNROLLED for (int h = 0; h < 2; ++h) {
        MPA_UNROLLED for (int c = 0; c < C; ++c) {
            fours[h][c] = _mm256_setzero_si256();
            twos[h][c] = _mm256_setzero_si256();
        }
    }
    MPA_UNROLLED for (int n = 0; n < 8; ++n) {
        __m256i s[C], d[C];
        MPA_UNROLLED for (int c = 0; c < C; ++c) {
            s[c] = _mm256_set1_epi32(x[c].sum2[n]);
            d[c] = _mm256_set1_epi32(x[c].diff2[n]);
        }
        MPA_UNROLLED for (int h = 0; h < 2; ++h) {
            const __m256i even = load_coefficients(w.dct_even8[n] + 4 * h);
            const __m256i odd8 = load_coefficients(w.dct_odd8[n] + 4 * h);
            MPA_UNROLLED for (int c = 0; c < C; ++c) {
                fours[h][c] = _mm256_add_epi64(fours[h][c], _mm256_mul_epi32(s[c], even));
                twos[h][c] = _mm256_add_epi64(twos[h][c], _mm256_mul_epi32(d[c], odd8));
            }
            keep_chains(fours[h]);
            keep_chains(twos[h]);
        }
    }
    // That column order makes the unpacks give outputs 0, 2, 4, 6 and 8, 10, 12, 14 (and 16 on).
    MPA_UNROLLED for (int c = 0; c < C; ++c) {
        out[c] = {rounded_interleave<DCT_COEF_BITS>(_mm256_unpacklo_epi64(fours[0][c], twos[0][c]), odd[0][c]),
                  rounded_interleave<DCT_COEF_BITS>(_mm256_unpackhi_epi64(fours[0][c], twos[0][c]), odd[1][c]),
                  rounded_interleave<DCT_COEF_BITS>(_mm256_unpacklo_epi64(fours[1][c], twos[1][c]), odd[2][c]),
                  rounded_interleave<DCT_COEF_BITS>(_mm256_unpackhi_epi64(fours[1][c], twos[1][c]), odd[3][c])};
    }
}

// Adds to even and odd, for C channels, one run's products over the 8 taps of history from p[c]
// (first[c] being the first tap's values): its even elements times coefficient vector k, its odd
// elements times vector k + 1 (see SynthWideTables). Each coefficient vector is loaded once.
template <int C>
inline void add_run(const int32_t* const (&p)[C], const __m256i (&first)[C], const int64_t (*c)[4][4], int k,
                    __m256i (&even)[C], __m256i (&odd)[C])
{
    MPA_UNROLLED for (int t = 0; t < 8; ++t) {
        const __m256i ke = load_coefficients(c[t][k]);
        const __m256i ko = load_coefficients(c[t][k + 1]);
        MPA_UNROLLED for (int ch = 0; ch < C; ++ch) {
            const __m256i v = t == 0 ? first[ch] : load8(p[ch] + 64 * t);
            even[ch] = _mm256_add_epi64(even[ch], _mm256_mul_epi32(v, ke));
            odd[ch] = _mm256_add_epi64(odd[ch], _mm256_mul_epi32(_mm256_srli_epi64(v, 32), ko));
        }
        keep_chains(even);
        keep_chains(odd);
    }
}

inline __m256i reversed(__m256i v) { return _mm256_permute4x64_epi64(v, _MM_SHUFFLE(0, 1, 2, 3)); }

// One block of eight outputs (see SynthWideTables) for C channels, as 32-bit values, rounded. The
// backward run's history runs the other way: its even elements give the odd outputs 7, 5, 3, 1 and
// its odd elements the even outputs 6, 4, 2, 0, so its sums are reversed before the forward run's
// are added. A window sum stays below 2^52 in magnitude (16 products of a 32-bit value and a
// coefficient under 2^17), so each sample fits 32 bits.
template <int C>
inline void window_block(const int32_t* const (&forward)[C], const __m256i (&forward_first)[C],
                         const int32_t* const (&backward)[C], const __m256i (&backward_first)[C],
                         const int64_t (*c)[4][4], __m256i (&samples)[C])
{
    __m256i even[C], odd[C];
    MPA_UNROLLED for (int ch = 0; ch < C; ++ch)
        even[ch] = odd[ch] = _mm256_setzero_si256();
    add_run<C>(backward, backward_first, c, 2, odd, even);
    MPA_UNROLLED for (int ch = 0; ch < C; ++ch) {
        even[ch] = reversed(even[ch]);
        odd[ch] = reversed(odd[ch]);
    }
    add_run<C>(forward, forward_first, c, 0, even, odd);
    MPA_UNROLLED for (int ch = 0; ch < C; ++ch)
        samples[ch] = rounded_interleave<SYNTH_OUT_SHIFT>(even[ch], odd[ch]);
}

// The saturating pack clamps; its halves come out as samples 0-3, 8-11 | 4-7, 12-15 of each 16.
struct PackedSamples {
    __m256i low, high;   // samples 0..15 and 16..31, in the pack's order
};

inline PackedSamples pack(const Vectors4& samples)
{
    return {_mm256_packs_epi32(samples.v0, samples.v1), _mm256_packs_epi32(samples.v2, samples.v3)};
}

inline __m256i in_order(__m256i packed) { return _mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 2, 0)); }

void store_samples(const PackedSamples& p, short* samples, int incr)
{
    if (incr == 1) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples), in_order(p.low));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + 16), in_order(p.high));
        return;
    }
    alignas(32) short out[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(out), in_order(p.low));
    _mm256_store_si256(reinterpret_cast<__m256i*>(out + 16), in_order(p.high));
    for (int j = 0; j < 32; ++j)
        samples[j * incr] = out[j];
}

// Elements 1..7 of lo and element 0 of hi: the eight values one further on.
inline __m256i next_eight(__m256i lo, __m256i hi)
{
    return _mm256_alignr_epi8(_mm256_permute2x128_si256(lo, hi, 0x21), lo, 4);
}

// One time slot of C channels, each channel's samples packed; every b[c] is 32-byte aligned.
template <int C>
inline void synthesize(int32_t* const (&b)[C], const int32_t* const (&in)[C], PackedSamples (&out)[C])
{
    Vectors4 d[C];
    dct32_vectors<C>(in, d);
    MPA_UNROLLED for (int c = 0; c < C; ++c) {
        MPA_UNROLLED for (int32_t* ring : {b[c], b[c] + SYNTH_RING_SIZE}) {   // the mirror: the tap reads never wrap
            store8_aligned(ring, d[c].v0);
            store8_aligned(ring + 8, d[c].v1);
            store8_aligned(ring + 16, d[c].v2);
            store8_aligned(ring + 24, d[c].v3);
        }
    }
    // The first taps read what was just stored, partly at other offsets than the stores': a load
    // that straddles two stores waits for both to retire, so those come from the registers.
    const auto& w = synth_wide_tables.window;
    const int32_t* f[4][C];
    const int32_t* r[4][C];
    __m256i f0[4][C], r0[4][C];
    MPA_UNROLLED for (int c = 0; c < C; ++c) {
        const int32_t* h = b[c];
        const __m256i h32 = load8(h + 32);
        const int forward[4] = {16, 24, 32, 40};
        const int backward[4] = {41, 33, 25, 17};
        MPA_UNROLLED for (int i = 0; i < 4; ++i) {
            f[i][c] = h + forward[i];
            r[i][c] = h + backward[i];
        }
        f0[0][c] = d[c].v2;
        f0[1][c] = d[c].v3;
        f0[2][c] = h32;
        f0[3][c] = load8(h + 40);
        r0[0][c] = load8(h + 41);
        r0[1][c] = load8(h + 33);
        r0[2][c] = next_eight(d[c].v3, h32);
        r0[3][c] = next_eight(d[c].v2, d[c].v3);
    }
    __m256i samples[4][C];
    MPA_UNROLLED for (int i = 0; i < 4; ++i)
        window_block<C>(f[i], f0[i], r[i], r0[i], w[i], samples[i]);
    MPA_UNROLLED for (int c = 0; c < C; ++c)
        out[c] = pack({samples[0][c], samples[1][c], samples[2][c], samples[3][c]});
}

}  // namespace

void dct32_avx2(int32_t* out, const int32_t* in)
{
    Vectors4 d[1];
    dct32_vectors<1>({in}, d);
    store8(out, d[0].v0);
    store8(out + 8, d[0].v1);
    store8(out + 16, d[0].v2);
    store8(out + 24, d[0].v3);
}

void synth_slot_avx2(int32_t* b, const int32_t* in, short* samples, int incr)
{
    PackedSamples p[1];
    synthesize<1>({b}, {in}, p);
    store_samples(p[0], samples, incr);
}

void synth_pair_avx2(int32_t* b0, const int32_t* in0, int32_t* b1, const int32_t* in1, short* samples)
{
    PackedSamples p[2];
    synthesize<2>({b0, b1}, {in0, in1}, p);
    // Unpacking the pack's order interleaves samples 0-7, 8-15 of each half in order.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples), _mm256_unpacklo_epi16(p[0].low, p[1].low));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + 16), _mm256_unpackhi_epi16(p[0].low, p[1].low));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + 32), _mm256_unpacklo_epi16(p[0].high, p[1].high));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + 48), _mm256_unpackhi_epi16(p[0].high, p[1].high));
}

// The portable layout's window sums through the same combining, rounding and packing, for the tests.
void synth_output_avx2(const int64_t sums[4][16], short* samples, int incr)
{
    auto block = [&](int i) {
        const int64_t* f = sums[i < 2 ? 0 : 3] + 8 * (i % 2);
        const int64_t* r = sums[i < 2 ? 1 : 2] + 8 - 8 * (i % 2);
        const __m256i even = _mm256_add_epi64(_mm256_setr_epi64x(f[0], f[2], f[4], f[6]),
                                              reversed(_mm256_setr_epi64x(r[1], r[3], r[5], r[7])));
        const __m256i odd = _mm256_add_epi64(_mm256_setr_epi64x(f[1], f[3], f[5], f[7]),
                                             reversed(_mm256_setr_epi64x(r[0], r[2], r[4], r[6])));
        return rounded_interleave<SYNTH_OUT_SHIFT>(even, odd);
    };
    store_samples(pack({block(0), block(1), block(2), block(3)}), samples, incr);
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
