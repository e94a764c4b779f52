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
inline void keep_chains(__m256i& a, __m256i& b, __m256i& c, __m256i& d)
{
    asm("" : "+x"(a), "+x"(b), "+x"(c), "+x"(d));
}

// Four exact products of v's even 32-bit elements and four widened coefficients.
inline __m256i times(__m256i v, const int64_t* c)
{
    return _mm256_mul_epi32(v, _mm256_load_si256(reinterpret_cast<const __m256i*>(c)));
}

// Eight results in order from two vectors of 64-bit sums, one holding the even outputs and one the
// odd: each rounded half up at bit `shift`, its low 32 bits kept. The odd sums move up by 32 - shift
// instead of down by shift, landing in the upper halves, so one blend interleaves the two.
template <int S>
inline __m256i rounded_interleave(__m256i even, __m256i odd)
{
    const __m256i half = _mm256_set1_epi64x(int64_t{1} << (S - 1));
    return _mm256_blend_epi32(_mm256_srli_epi64(_mm256_add_epi64(even, half), S),
                              _mm256_slli_epi64(_mm256_add_epi64(odd, half), 32 - S), 0xAA);
}

// The 32 outputs of dct32_with, from the same exact sums.
inline Vectors4 dct32_vectors(const int32_t* in)
{
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    const __m256i a0 = load8(in);
    const __m256i a1 = load8(in + 8);
    const __m256i b1 = _mm256_permutevar8x32_epi32(load8(in + 16), reverse);   // in[31 - n], n = 8..15
    const __m256i b0 = _mm256_permutevar8x32_epi32(load8(in + 24), reverse);   // in[31 - n], n < 8
    const __m256i sum_lo = _mm256_add_epi32(a0, b0);
    const __m256i sum_hi_reversed = _mm256_permutevar8x32_epi32(_mm256_add_epi32(a1, b1), reverse);
    // Each value is then read broadcast to every lane.
    alignas(32) int32_t diff[16], sum2[8], diff2[8];
    store8(diff, _mm256_sub_epi32(a0, b0));
    store8(diff + 8, _mm256_sub_epi32(a1, b1));
    store8(sum2, _mm256_add_epi32(sum_lo, sum_hi_reversed));
    store8(diff2, _mm256_sub_epi32(sum_lo, sum_hi_reversed));
    // Broadcast straight from memory rather than extracted lane by lane from the vectors.
    asm("" : "+m"(diff), "+m"(sum2), "+m"(diff2));

    const SynthWideTables& w = synth_wide_tables;
    __m256i odd[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
    for (int n = 0; n < 16; ++n) {
        const __m256i v = _mm256_set1_epi32(diff[n]);
        for (int q = 0; q < 4; ++q)
            odd[q] = _mm256_add_epi64(odd[q], times(v, w.dct_odd16[n] + 4 * q));
        keep_chains(odd[0], odd[1], odd[2], odd[3]);
    }
    // fours: outputs 4k in the column order 0, 2, 1, 3 | 4, 6, 5, 7; twos: outputs 4k + 2, likewise.
    __m256i fours[2] = {_mm256_setzero_si256(), _mm256_setzero_si256()};
    __m256i twos[2] = {_mm256_setzero_si256(), _mm256_setzero_si256()};
    for (int n = 0; n < 8; ++n) {
        const __m256i s = _mm256_set1_epi32(sum2[n]);
        const __m256i d = _mm256_set1_epi32(diff2[n]);
        for (int h = 0; h < 2; ++h) {
            fours[h] = _mm256_add_epi64(fours[h], times(s, w.dct_even8[n] + 4 * h));
            twos[h] = _mm256_add_epi64(twos[h], times(d, w.dct_odd8[n] + 4 * h));
        }
        keep_chains(fours[0], fours[1], twos[0], twos[1]);
    }
    // That column order makes the unpacks give outputs 0, 2, 4, 6 and 8, 10, 12, 14 (and 16 on).
    return {rounded_interleave<DCT_COEF_BITS>(_mm256_unpacklo_epi64(fours[0], twos[0]), odd[0]),
            rounded_interleave<DCT_COEF_BITS>(_mm256_unpackhi_epi64(fours[0], twos[0]), odd[1]),
            rounded_interleave<DCT_COEF_BITS>(_mm256_unpacklo_epi64(fours[1], twos[1]), odd[2]),
            rounded_interleave<DCT_COEF_BITS>(_mm256_unpackhi_epi64(fours[1], twos[1]), odd[3])};
}

// The four sums of one block of eight outputs (see SynthWideTables): from the forward run, the
// even and the odd outputs in order; from the backward run, whose history runs the other way, the
// odd outputs 7, 5, 3, 1 and the even outputs 6, 4, 2, 0.
struct WindowBlock {
    __m256i forward_even, forward_odd, backward_odd, backward_even;
};

// f0 and r0 are the history at forward and backward, which the caller may have in registers.
inline WindowBlock window_block(const int32_t* forward, const int32_t* backward, const int64_t (*c)[4][4], __m256i f0, __m256i r0)
{
    WindowBlock s{_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
    for (int t = 0; t < 8; ++t) {
        const __m256i f = t == 0 ? f0 : load8(forward + 64 * t);
        const __m256i r = t == 0 ? r0 : load8(backward + 64 * t);
        s.forward_even = _mm256_add_epi64(s.forward_even, times(f, c[t][0]));
        s.forward_odd = _mm256_add_epi64(s.forward_odd, times(_mm256_srli_epi64(f, 32), c[t][1]));
        s.backward_odd = _mm256_add_epi64(s.backward_odd, times(r, c[t][2]));
        s.backward_even = _mm256_add_epi64(s.backward_even, times(_mm256_srli_epi64(r, 32), c[t][3]));
        keep_chains(s.forward_even, s.forward_odd, s.backward_odd, s.backward_even);
    }
    return s;
}

// The block's eight samples as 32-bit values, rounded; a window sum stays below 2^52 in magnitude
// (16 products of a 32-bit value and a coefficient under 2^17), so each fits 32 bits.
inline __m256i block_samples(const WindowBlock& s)
{
    const __m256i even = _mm256_add_epi64(s.forward_even, _mm256_permute4x64_epi64(s.backward_even, _MM_SHUFFLE(0, 1, 2, 3)));
    const __m256i odd = _mm256_add_epi64(s.forward_odd, _mm256_permute4x64_epi64(s.backward_odd, _MM_SHUFFLE(0, 1, 2, 3)));
    return rounded_interleave<SYNTH_OUT_SHIFT>(even, odd);
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

// One channel's time slot, its samples packed; b is 32-byte aligned.
inline PackedSamples synthesize(int32_t* b, const int32_t* in)
{
    const Vectors4 d = dct32_vectors(in);
    for (int32_t* ring : {b, b + SYNTH_RING_SIZE}) {   // the mirror: the tap reads never wrap
        store8_aligned(ring, d.v0);
        store8_aligned(ring + 8, d.v1);
        store8_aligned(ring + 16, d.v2);
        store8_aligned(ring + 24, d.v3);
    }
    // The first taps read what was just stored, partly at other offsets than the stores': a load
    // that straddles two stores waits for both to retire, so those come from the registers.
    const __m256i b32 = load8(b + 32);
    const auto& c = synth_wide_tables.window;
    return pack({block_samples(window_block(b + 16, b + 41, c[0], d.v2, load8(b + 41))),
                 block_samples(window_block(b + 24, b + 33, c[1], d.v3, load8(b + 33))),
                 block_samples(window_block(b + 32, b + 25, c[2], b32, next_eight(d.v3, b32))),
                 block_samples(window_block(b + 40, b + 17, c[3], load8(b + 40), next_eight(d.v2, d.v3)))});
}

}  // namespace

void dct32_avx2(int32_t* out, const int32_t* in)
{
    const Vectors4 d = dct32_vectors(in);
    store8(out, d.v0);
    store8(out + 8, d.v1);
    store8(out + 16, d.v2);
    store8(out + 24, d.v3);
}

void synth_slot_avx2(int32_t* b, const int32_t* in, short* samples, int incr)
{
    store_samples(synthesize(b, in), samples, incr);
}

void synth_pair_avx2(int32_t* b0, const int32_t* in0, int32_t* b1, const int32_t* in1, short* samples)
{
    const PackedSamples left = synthesize(b0, in0);
    const PackedSamples right = synthesize(b1, in1);
    // Unpacking the pack's order interleaves samples 0-7, 8-15 of each half in order.
    const __m256i* halves[2][2] = {{&left.low, &right.low}, {&left.high, &right.high}};
    for (int h = 0; h < 2; ++h) {
        const __m256i l = *halves[h][0];
        const __m256i r = *halves[h][1];
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + 32 * h), _mm256_unpacklo_epi16(l, r));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + 32 * h + 16), _mm256_unpackhi_epi16(l, r));
    }
}

// The portable layout's window sums through the same rounding and packing, for the tests.
void synth_output_avx2(const int64_t sums[4][16], short* samples, int incr)
{
    auto block = [&](int i) {
        const int64_t* f = sums[i < 2 ? 0 : 3] + 8 * (i % 2);
        const int64_t* r = sums[i < 2 ? 1 : 2] + 8 - 8 * (i % 2);
        return block_samples({_mm256_setr_epi64x(f[0], f[2], f[4], f[6]), _mm256_setr_epi64x(f[1], f[3], f[5], f[7]),
                              _mm256_setr_epi64x(r[0], r[2], r[4], r[6]), _mm256_setr_epi64x(r[1], r[3], r[5], r[7])});
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
