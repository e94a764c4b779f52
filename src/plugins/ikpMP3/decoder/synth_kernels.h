// synth_kernels.h — the synthesis window's inner loop, written once over lanes.h and instantiated
// in synth.cpp for the portable and SSE2 paths; synth_avx2.cpp has a fused AVX2 pass of its own.
#pragma once

#include <cstdint>

#include "lanes.h"

// The windowed sums of one time slot, in four runs of 16 lanes. With b the history at the
// current offset, run p lane l sums, over the 8 taps t, synth_window_runs[p][t][l] ×
// b[SYNTH_RUN_BASE[p] + 64 t + l]. Output j < 16 is run 0 lane j plus run 1 lane 15 - j;
// output 32 - j (j = 1..16) is run 2 lane j - 1 plus run 3 lane 16 - j. Every lane reads
// consecutive history, so a vector of lanes is one plain load.
extern int32_t synth_window_runs[4][8][16];
constexpr int SYNTH_RUN_BASE[4] = {16, 33, 17, 32};

using WindowSums = void (*)(const int32_t* b, int64_t sums[4][16]);

// The 32-point DCT as two butterfly passes and three small matrices of cosines with
// DCT_COEF_BITS fraction bits (row n, column k): every output is one exact sum, rounded once.
// odd16: cos((2n + 1)(2k + 1)π/64); odd8: cos((2n + 1)(2k + 1)π/32); even8: cos((2n + 1)kπ/16).
constexpr int DCT_COEF_BITS = 28;
struct DctMatrices {
    int32_t odd16[16][16];
    int32_t odd8[8][8];
    int32_t even8[8][8];
};
extern DctMatrices dct_matrices;

using Dct32 = void (*)(int32_t* out, const int32_t* in);

// The AVX2 synthesis multiplies with _mm256_mul_epi32, which reads the low 32 bits of each 64-bit
// lane: its coefficients are stored widened to 64 bits and in the order its lanes need, so each is
// one plain load. Built by synth_init from dct_matrices and synth_window_runs.
// dct_even8 and dct_odd8: row n, columns k in the order 0, 2, 1, 3, 4, 6, 5, 7.
// window[block][t]: block 0 and 1 give outputs 8 block + i, block 2 and 3 outputs 16 + 8 (block - 2)
// + i (i < 8), from a forward run f (0, then 3) and a backward run r (1, then 2) read at first lane
// j = 0 or 8 (f) and 8 - j (r); vectors {f lanes j + 2q, f lanes j + 2q + 1, r lanes 8 - j + 2q,
// r lanes 9 - j + 2q} for q < 4.
struct SynthWideTables {
    alignas(32) int64_t dct_odd16[16][16];
    alignas(32) int64_t dct_even8[8][8];
    alignas(32) int64_t dct_odd8[8][8];
    alignas(32) int64_t window[4][8][4][4];
};
extern SynthWideTables synth_wide_tables;

// One time slot of one channel: the DCT of in (32 sub-band samples) goes into the history ring at
// b (32-byte aligned; and into its mirror SYNTH_RING_SIZE further on), and the 32 output samples are written every incr
// shorts. The pair form does two channels into interleaved stereo.
using SynthSlot = void (*)(int32_t* b, const int32_t* in, short* samples, int incr);
using SynthPair = void (*)(int32_t* b0, const int32_t* in0, int32_t* b1, const int32_t* in1, short* samples);

// The 32 samples of one time slot from its window sums (SB_FRAC_BITS + 16 fraction bits):
// sample j < 16 is sums[0][j] + sums[1][15 - j], sample 16 + j is sums[3][j] + sums[2][15 - j],
// each rounded half up to 16 bits and clamped, written every incr shorts.
constexpr int SYNTH_OUT_SHIFT = 28;   // one output step is 2^-15

inline short round_synth_sample(int64_t sum)
{
    const int64_t v = (sum + (int64_t{1} << (SYNTH_OUT_SHIFT - 1))) >> SYNTH_OUT_SHIFT;
    return static_cast<short>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v));
}

inline void synth_output_scalar(const int64_t sums[4][16], short* samples, int incr)
{
    for (int j = 0; j < 16; ++j) {
        samples[j * incr] = round_synth_sample(sums[0][j] + sums[1][15 - j]);
        samples[(16 + j) * incr] = round_synth_sample(sums[3][j] + sums[2][15 - j]);
    }
}

// Alias reduction across the sub-band boundaries 1..last of one granule's 576 lines: at boundary
// b the eight lines on either side pair up as butterflies with coefficients csa[j] = {cs, ca}
// (23 fraction bits), each result rounded half up and kept to its low 32 bits.
using Antialias = void (*)(int32_t* x, int last, const int32_t csa[8][2]);

inline void antialias_scalar(int32_t* x, int last, const int32_t csa[8][2])
{
    for (int b = 1; b <= last; ++b) {
        int32_t* lo = x + 18 * b - 1;
        int32_t* hi = x + 18 * b;
        for (int j = 0; j < 8; ++j) {
            const int64_t a = lo[-j];
            const int64_t c = hi[j];
            const int64_t cs = csa[j][0];
            const int64_t ca = csa[j][1];
            lo[-j] = static_cast<int32_t>((a * cs - c * ca + (1 << 22)) >> 23);
            hi[j] = static_cast<int32_t>((c * cs + a * ca + (1 << 22)) >> 23);
        }
    }
}

namespace {

template <class L>
inline void window_sums_with(const int32_t* b, int64_t sums[4][16])
{
    for (int p = 0; p < 4; ++p) {
        for (int l = 0; l < 16; l += L::LANES) {
            typename L::Acc acc = L::zero();
            for (int t = 0; t < 8; ++t)
                acc = L::mul_add(acc, L::load(synth_window_runs[p][t] + l), L::load(b + SYNTH_RUN_BASE[p] + 64 * t + l));
            L::store(sums[p] + l, acc);
        }
    }
}

// out[k] = Σ over n of m[n][k] × v[n], rounded to the inputs' fraction bits.
template <class L, int N>
inline void dct_matrix_times(const int32_t (&m)[N][N], const int32_t* v, int32_t* out)
{
    for (int k = 0; k < N; k += L::LANES) {
        typename L::Acc acc = L::zero();
        for (int n = 0; n < N; ++n)
            acc = L::mul_add(acc, L::load(m[n] + k), L::splat(v[n]));
        L::template store_rounded<DCT_COEF_BITS>(out + k, acc);
    }
}

// Sums and differences wrap rather than overflow: corrupt streams can carry any value.
inline int32_t wrap_add(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
inline int32_t wrap_sub(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }

// out[k] = Σ over n of in[n] cos((2n + 1)kπ/64): sums and differences of mirrored inputs split
// the transform into the odd outputs, the outputs 4k + 2 and the outputs 4k.
template <class L>
inline void dct32_with(int32_t* out, const int32_t* in)
{
    int32_t sum[16], diff[16], sum2[8], diff2[8];
    for (int n = 0; n < 16; ++n) {
        sum[n] = wrap_add(in[n], in[31 - n]);
        diff[n] = wrap_sub(in[n], in[31 - n]);
    }
    for (int n = 0; n < 8; ++n) {
        sum2[n] = wrap_add(sum[n], sum[15 - n]);
        diff2[n] = wrap_sub(sum[n], sum[15 - n]);
    }
    int32_t odd[16], twos[8], fours[8];
    dct_matrix_times<L>(dct_matrices.odd16, diff, odd);
    dct_matrix_times<L>(dct_matrices.odd8, diff2, twos);
    dct_matrix_times<L>(dct_matrices.even8, sum2, fours);
    for (int k = 0; k < 16; ++k)
        out[2 * k + 1] = odd[k];
    for (int k = 0; k < 8; ++k) {
        out[4 * k + 2] = twos[k];
        out[4 * k] = fours[k];
    }
}

}  // namespace

#if defined(__x86_64__)
// Call only where the CPU has AVX2.
void dct32_avx2(int32_t* out, const int32_t* in);
void synth_slot_avx2(int32_t* b, const int32_t* in, short* samples, int incr);
void synth_pair_avx2(int32_t* b0, const int32_t* in0, int32_t* b1, const int32_t* in1, short* samples);
// synth_output_scalar's work through the AVX2 slot's own combining, rounding and packing (tests).
void synth_output_avx2(const int64_t sums[4][16], short* samples, int incr);
void antialias_avx2(int32_t* x, int last, const int32_t csa[8][2]);
#endif
