// synth_kernels.h — the synthesis and the alias reduction: their portable reference code, and their
// vector kernels written once over lanes.h (made into kernel sets by kernels.h).
#pragma once

#include <cstdint>

#include "lanes.h"
#include "mpaudec_internal.h"

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

// The portable reference of the window sums and the 32-point DCT (kernels.cpp).
void window_sums_reference(const int32_t* b, int64_t sums[4][16]);
void dct32_reference(int32_t* out, const int32_t* in);

namespace synth_lanes {
namespace {

// The coefficients in the form body L multiplies with, from synth_window_runs and dct_matrices.
// forward[h][q][t] and backward[h][q][t] serve outputs 16 h + N q .. + N - 1 (N = LANES), the
// first from run 0 (h = 0) or 3 at lanes N q.., the second from run 1 or 2 at lanes 16 - N (q + 1)..,
// which run the other way: its sums are reversed before they meet the first's.
template <class L>
struct Tables {
    static constexpr int N = L::LANES;
    typename L::Coef odd16[16][16 / N];
    typename L::Coef odd8[8][8 / N];
    typename L::Coef even8[8][8 / N];
    typename L::Coef forward[2][16 / N][8];
    typename L::Coef backward[2][16 / N][8];
};

template <class L>
Tables<L> tables;

template <class L>
void prepare()
{
    constexpr int N = L::LANES;
    Tables<L>& t = tables<L>;
    for (int n = 0; n < 16; ++n)
        for (int q = 0; q < 16 / N; ++q)
            t.odd16[n][q] = L::coef(dct_matrices.odd16[n] + N * q);
    for (int n = 0; n < 8; ++n) {
        for (int q = 0; q < 8 / N; ++q) {
            t.odd8[n][q] = L::coef(dct_matrices.odd8[n] + N * q);
            t.even8[n][q] = L::coef(dct_matrices.even8[n] + N * q);
        }
    }
    for (int h = 0; h < 2; ++h) {
        for (int q = 0; q < 16 / N; ++q) {
            for (int tap = 0; tap < 8; ++tap) {
                t.forward[h][q][tap] = L::coef(synth_window_runs[h == 0 ? 0 : 3][tap] + N * q);
                t.backward[h][q][tap] = L::coef(synth_window_runs[h == 0 ? 1 : 2][tap] + 16 - N * (q + 1));
            }
        }
    }
}

// The 32 outputs of the reference DCT for C channels, from the same exact sums, as vectors in
// order; each coefficient vector is loaded once for all channels.
template <class L, int C>
inline void dct32_vectors(const int32_t* const (&in)[C], typename L::Vec (&out)[C][32 / L::LANES])
{
    constexpr int N = L::LANES;
    using Vec = typename L::Vec;
    using Wide = typename L::Wide;
    // The butterflies (see dct32_reference); each value is then read broadcast to every lane.
    struct Inputs {
        alignas(32) int32_t diff[16];
        alignas(32) int32_t sum2[8];
        alignas(32) int32_t diff2[8];
    };
    Inputs x[C];
    MPA_UNROLLED for (int c = 0; c < C; ++c) {
        Vec sum[16 / N];
        MPA_UNROLLED for (int q = 0; q < 16 / N; ++q) {
            const Vec a = L::load(in[c] + N * q);
            const Vec b = L::reverse(L::load(in[c] + 32 - N * (q + 1)));   // in[31 - n]
            sum[q] = L::add(a, b);
            L::store(x[c].diff + N * q, L::sub(a, b));
        }
        MPA_UNROLLED for (int q = 0; q < 8 / N; ++q) {
            const Vec mirrored = L::reverse(sum[16 / N - 1 - q]);   // sum[15 - n]
            L::store(x[c].sum2 + N * q, L::add(sum[q], mirrored));
            L::store(x[c].diff2 + N * q, L::sub(sum[q], mirrored));
        }
    }
    // Broadcast straight from memory rather than extracted lane by lane from the vectors.
    asm("" : "+m"(x));

    const Tables<L>& t = tables<L>;
    Wide odd[16 / N][C];
    MPA_UNROLLED for (int q = 0; q < 16 / N; ++q)
        MPA_UNROLLED for (int c = 0; c < C; ++c)
            odd[q][c] = L::zero();
    MPA_UNROLLED for (int n = 0; n < 16; ++n) {
        MPA_UNROLLED for (int q = 0; q < 16 / N; ++q) {
            MPA_UNROLLED for (int c = 0; c < C; ++c) {
                odd[q][c] = L::mul_add_splat(odd[q][c], x[c].diff[n], t.odd16[n][q]);
                L::pin(odd[q][c]);
            }
        }
    }
    Wide fours[8 / N][C], twos[8 / N][C];   // outputs 4k and 4k + 2
    MPA_UNROLLED for (int q = 0; q < 8 / N; ++q)
        MPA_UNROLLED for (int c = 0; c < C; ++c)
            fours[q][c] = twos[q][c] = L::zero();
    MPA_UNROLLED for (int n = 0; n < 8; ++n) {
        MPA_UNROLLED for (int q = 0; q < 8 / N; ++q) {
            MPA_UNROLLED for (int c = 0; c < C; ++c) {
                fours[q][c] = L::mul_add_splat(fours[q][c], x[c].sum2[n], t.even8[n][q]);
                twos[q][c] = L::mul_add_splat(twos[q][c], x[c].diff2[n], t.odd8[n][q]);
                L::pin(fours[q][c]);
                L::pin(twos[q][c]);
            }
        }
    }
    MPA_UNROLLED for (int c = 0; c < C; ++c) {
        Vec even[16 / N];   // outputs 2k
        MPA_UNROLLED for (int q = 0; q < 8 / N; ++q)
            L::zip(L::template round<DCT_COEF_BITS>(fours[q][c]), L::template round<DCT_COEF_BITS>(twos[q][c]),
                   even[2 * q], even[2 * q + 1]);
        MPA_UNROLLED for (int q = 0; q < 16 / N; ++q)
            L::zip(even[q], L::template round<DCT_COEF_BITS>(odd[q][c]), out[c][2 * q], out[c][2 * q + 1]);
    }
}

// The first tap's history at offset o from b: what was just stored comes from the registers d (a
// load that straddles two stores waits for both to retire); the rest from memory.
template <class L>
inline typename L::Vec first_tap(const typename L::Vec* d, const int32_t* b, int o)
{
    constexpr int N = L::LANES;
    if (o + N <= 32 && o % N == 0)
        return d[o / N];
    if (o + N <= 33 && o % N == 1)
        return L::next_one(d[o / N], o / N + 1 < 32 / N ? d[o / N + 1] : L::load(b + 32));
    return L::load(b + o);
}

// One time slot of C channels: the DCT into the history ring at each b[c] (32-byte aligned, and
// into its mirror, so that the tap reads never wrap), then the window sums, each output one exact
// 64-bit sum rounded once to 32 bits: a window sum stays below 2^52 in magnitude (16 products of a
// 32-bit value and a coefficient under 2^17), so each sample fits 32 bits before its clamp.
template <class L, int C>
inline void synthesize(int32_t* const (&b)[C], const int32_t* const (&in)[C], typename L::Vec (&samples)[C][32 / L::LANES])
{
    constexpr int N = L::LANES;
    using Vec = typename L::Vec;
    using Wide = typename L::Wide;
    Vec d[C][32 / N];
    dct32_vectors<L, C>(in, d);
    MPA_UNROLLED for (int c = 0; c < C; ++c) {
        MPA_UNROLLED for (int q = 0; q < 32 / N; ++q) {
            L::store_aligned(b[c] + N * q, d[c][q]);
            L::store_aligned(b[c] + SYNTH_RING_SIZE + N * q, d[c][q]);
        }
    }
    const Tables<L>& t = tables<L>;
    MPA_UNROLLED for (int h = 0; h < 2; ++h) {
        MPA_UNROLLED for (int q = 0; q < 16 / N; ++q) {
            const int forward = (h == 0 ? SYNTH_RUN_BASE[0] : SYNTH_RUN_BASE[3]) + N * q;
            const int backward = (h == 0 ? SYNTH_RUN_BASE[1] : SYNTH_RUN_BASE[2]) + 16 - N * (q + 1);
            Wide f[C], r[C];
            MPA_UNROLLED for (int c = 0; c < C; ++c)
                f[c] = r[c] = L::zero();
            MPA_UNROLLED for (int tap = 0; tap < 8; ++tap) {
                MPA_UNROLLED for (int c = 0; c < C; ++c) {
                    const Vec vf = tap == 0 ? first_tap<L>(d[c], b[c], forward) : L::load(b[c] + forward + 64 * tap);
                    const Vec vr = tap == 0 ? first_tap<L>(d[c], b[c], backward) : L::load(b[c] + backward + 64 * tap);
                    f[c] = L::mul_add(f[c], vf, t.forward[h][q][tap]);
                    r[c] = L::mul_add(r[c], vr, t.backward[h][q][tap]);
                    L::pin(f[c]);
                    L::pin(r[c]);
                }
            }
            MPA_UNROLLED for (int c = 0; c < C; ++c)
                samples[c][h * (16 / N) + q] = L::template round<SYNTH_OUT_SHIFT>(L::add(f[c], L::reverse(r[c])));
        }
    }
}

template <class L>
inline void store_samples(const typename L::Vec (&s)[32 / L::LANES], short* samples, int incr)
{
    constexpr int N = L::LANES;
    short out[32];
    short* to = incr == 1 ? samples : out;
    MPA_UNROLLED for (int q = 0; q < 16 / N; ++q)
        L::store_saturated(to + 2 * N * q, s[2 * q], s[2 * q + 1]);
    if (incr != 1)
        for (int j = 0; j < 32; ++j)
            samples[j * incr] = out[j];
}

template <class L>
void dct32_kernel(int32_t* out, const int32_t* in)
{
    typename L::Vec d[1][32 / L::LANES];
    dct32_vectors<L, 1>({in}, d);
    for (int q = 0; q < 32 / L::LANES; ++q)
        L::store(out + L::LANES * q, d[0][q]);
}

template <class L>
void slot(int32_t* b, const int32_t* in, short* samples, int incr)
{
    typename L::Vec s[1][32 / L::LANES];
    synthesize<L, 1>({b}, {in}, s);
    store_samples<L>(s[0], samples, incr);
}

template <class L>
void pair(int32_t* b0, const int32_t* in0, int32_t* b1, const int32_t* in1, short* samples)
{
    constexpr int N = L::LANES;
    typename L::Vec s[2][32 / N];
    synthesize<L, 2>({b0, b1}, {in0, in1}, s);
    MPA_UNROLLED for (int q = 0; q < 16 / N; ++q)
        L::store_saturated_pair(samples + 4 * N * q, s[0][2 * q], s[0][2 * q + 1], s[1][2 * q], s[1][2 * q + 1]);
}

// synth_output_scalar's work through the kernels' own combining, rounding and packing.
template <class L>
void output(const int64_t sums[4][16], short* samples, int incr)
{
    constexpr int N = L::LANES;
    typename L::Vec s[32 / N];
    for (int h = 0; h < 2; ++h) {
        for (int q = 0; q < 16 / N; ++q) {
            const typename L::Wide f = L::load_wide(sums[h == 0 ? 0 : 3] + N * q);
            const typename L::Wide r = L::load_wide(sums[h == 0 ? 1 : 2] + 16 - N * (q + 1));
            s[h * (16 / N) + q] = L::template round<SYNTH_OUT_SHIFT>(L::add(f, L::reverse(r)));
        }
    }
    store_samples<L>(s, samples, incr);
}

// antialias_scalar's butterflies, 8 / LANES vectors a side. Every product is exact (32 × 32 bits),
// so each line gets the reference's bits.
template <class L>
void antialias_kernel(int32_t* x, int last, const int32_t csa[8][2])
{
    constexpr int N = L::LANES;
    using Vec = typename L::Vec;
    int32_t cs_values[8], ca_values[8];
    for (int j = 0; j < 8; ++j) {
        cs_values[j] = csa[j][0];
        ca_values[j] = csa[j][1];
    }
    typename L::Coef cs[8 / N], ca[8 / N];
    for (int q = 0; q < 8 / N; ++q) {
        cs[q] = L::coef(cs_values + N * q);
        ca[q] = L::coef(ca_values + N * q);
    }
    for (int boundary = 1; boundary <= last; ++boundary) {
        int32_t* at = x + 18 * boundary;
        MPA_UNROLLED for (int q = 0; q < 8 / N; ++q) {
            // Lane i holds the (N q + i)-th line below the boundary and the (N q + i)-th above it.
            int32_t* lo_at = at - N * (q + 1);
            const Vec a = L::reverse(L::load(lo_at));
            const Vec c = L::load(at + N * q);
            const Vec lo = L::template round<23>(L::mul_sub(L::mul_add(L::zero(), a, cs[q]), c, ca[q]));
            const Vec hi = L::template round<23>(L::mul_add(L::mul_add(L::zero(), c, cs[q]), a, ca[q]));
            L::store(lo_at, L::reverse(lo));
            L::store(at + N * q, hi);
        }
    }
}

}  // namespace
}  // namespace synth_lanes
