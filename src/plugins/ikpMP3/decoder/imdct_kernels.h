// imdct_kernels.h — the layer III long-block IMDCT's constants and its vector kernel, written once
// over lanes.h: the portable transform (dct4_18, the reference) lives in layer3_imdct.cpp, the kernel's
// instances in imdct_avx2.cpp, imdct_neon.cpp and kernels.cpp, and all read the same tables.
#pragma once

#include <cstdint>

#include "lanes.h"
#include "mpaudec_internal.h"

// The transform's fixed point: the window and its rounding carry 23 fraction bits, the 9-point
// cosine sums' constants IMDCT_COS9_BITS. The sums keep IMDCT_SUM_GUARD_BITS fraction bits more
// than the inputs, and the output scales (icos72, imdct_odd_scale) carry IMDCT_SCALE_BITS: the
// scales reach 11.5 near the transform's ends, and would magnify any rounding before them.
constexpr int IMDCT_FRAC_BITS = 23;
constexpr int IMDCT_COS9_BITS = 30;
constexpr int IMDCT_SUM_GUARD_BITS = 3;
constexpr int IMDCT_SCALE_BITS = 27;
// Inputs are clamped to 8 times full scale (one conformance stream goes past 4). Music keeps every
// 64-bit sum exact; inputs far beyond full scale (corrupt data) can wrap them, alike in every kernel.
constexpr int32_t IMDCT_INPUT_LIMIT = (1 << 30) - 1;
// Inputs below 2^IMDCT_NARROW_INPUT_BITS in magnitude keep every operand and result of the
// transform's multiplications within 32 bits (a test derives the bound from the constants).
constexpr int IMDCT_NARROW_INPUT_BITS = 22;

// Built once by mp_layer3_init; every value fits 32 bits.
extern int64_t icos36[9];     // 1 / (2 cos((2m + 1)π/36)), IMDCT_SCALE_BITS fraction bits
extern int64_t icos72[18];    // 1 / (2 cos((2m + 1)π/72)), IMDCT_SCALE_BITS fraction bits
// icos72[m] × icos36[m] (m < 9), -icos72[m] × icos36[17 - m] (m > 8): DCT-IV output m is
// icos72[m] × even sum + imdct_odd_scale[m] × odd sum, with the sums of m or 17 - m.
extern int64_t imdct_odd_scale[18];
extern int64_t cos9[4][9];    // cos((2m + 1) j π/18), IMDCT_COS9_BITS fraction bits
// mdct_win's rows 0..3 for four adjacent sub-bands starting at an even one (lanes 1 and 3 on the
// frequency-inverted row + 4), with the signs of the DCT-IV's unfolding: sample i of a sub-band's
// 36 is mdct_win_lanes[row][i][lane] times c[i + 9] (i < 9), c[26 - i] (i < 27) or c[i - 27].
extern int64_t mdct_win_lanes[4][36][4];

// The long-block IMDCT with windowing and overlap-add of sub-bands first..end - 1 (first and end
// multiples of four) of one granule's 576 lines x, every sub-band on window row `row` (0, 1 or 3;
// odd sub-bands on the frequency-inverted row + 4). sb_samples and overlap are laid out [time
// slot][sub-band], SBLIMIT sub-bands a slot. The result is bit for bit that of the portable code.
using ImdctLongBlocks = void (*)(const int32_t* x, int first, int end, int row, int32_t* sb_samples,
                                 int32_t* overlap);

// The kernel compute_imdct uses for long blocks, set with the other kernels by
// mpaudec_use_kernels; null for the portable code.
extern ImdctLongBlocks imdct_long_blocks;

// The kernel over each body (imdct_avx2.cpp, imdct_neon.cpp, kernels.cpp), for the kernel sets.
void imdct_long_blocks_avx2(const int32_t* x, int first, int end, int row, int32_t* sb_samples, int32_t* overlap);
void imdct_long_blocks_neon(const int32_t* x, int first, int end, int row, int32_t* sb_samples, int32_t* overlap);
void imdct_long_blocks_lanes(const int32_t* x, int first, int end, int row, int32_t* sb_samples, int32_t* overlap);

// The kernel runs LANES64 adjacent sub-bands at a time, one in each 64-bit lane.
//
// The portable code's arithmetic is 64-bit throughout, while the vector bodies multiply only
// 32 × 32 bits. A group whose lines all lie below 2^IMDCT_NARROW_INPUT_BITS in magnitude, as most
// groups of music do, keeps every value within 32 bits and takes one multiply per product,
// unchecked. Any other group is clamped as the portable code clamps, and each multiplying step
// checks whether its operands fit 32 bits: one multiply per product if they do, else two on their
// 32-bit halves. Either way every lane holds the low 64 bits of the portable code's values, which
// wrap alike where corrupt data takes them past 64 bits, so samples and overlap come out bit for
// bit the same for every input.
namespace imdct_lanes {
namespace {

template <class L>
struct Ops {
    using V = typename L::Vec64;
    static V splat(int64_t v) { return L::splat64(v); }
    static V add(V a, V b) { return L::add64(a, b); }
    static V sub(V a, V b) { return L::sub64(a, b); }
    // x + 2^31: its high half is zero exactly when x fits 32 bits, and is the high factor of mul_wide.
    static V biased(V x) { return add(x, splat(int64_t{1} << 31)); }
    static bool all_fit(const V* v, int n)
    {
        V high = splat(0);
        for (int i = 0; i < n; ++i)
            high = L::or64(high, biased(v[i]));
        return L::high_halves_zero(high);
    }
    // x × c for any x, its low 64 bits: with l the low half of x read signed and h = (x + 2^31) >> 32,
    // x = h 2^32 + l (mod 2^64), so x c = l c + (h c mod 2^32) 2^32 (mod 2^64).
    static V mul_wide(V x, V c) { return add(L::mul32(x, c), L::template shl64<32>(L::mul32(L::template shr64<32>(biased(x)), c))); }
};

// How a step multiplies and shifts. Exact keeps every lane's full 64-bit value, with one multiply
// per product when the step has checked that its operands fit 32 bits (Wide false), else two.
// Narrow serves a group whose inputs are small enough that no value ever outgrows 32 bits: only
// the low halves are kept, and a logical shift leaves the same ones as an arithmetic one.
template <class L, bool Wide>
struct Exact {
    using V = typename L::Vec64;
    static V mul(V x, V c) { return Wide ? Ops<L>::mul_wide(x, c) : L::mul32(x, c); }
    template <int S>
    static V shift(V x, int64_t rounding) { return L::template sar64<S>(Ops<L>::add(x, Ops<L>::splat(rounding))); }
};
template <class L>
struct Narrow {
    using V = typename L::Vec64;
    static V mul(V x, V c) { return L::mul32(x, c); }
    template <int S>
    static V shift(V x, int64_t rounding) { return L::template shr64<S>(Ops<L>::add(x, Ops<L>::splat(rounding))); }
};

// The 9-point cosine sums of one half of the transform, IMDCT_SUM_GUARD_BITS more fraction bits than
// the inputs (see dct4_18 in layer3_imdct.cpp).
constexpr int SUM_SHIFT = IMDCT_COS9_BITS - IMDCT_SUM_GUARD_BITS;
template <class L, class P, class V>
void cosine_sums(const V x[9], V out[9])
{
    using O = Ops<L>;
    const V x0 = O::add(L::template shl64<IMDCT_COS9_BITS>(x[0]), O::splat(int64_t{1} << (SUM_SHIFT - 1)));
    MPA_UNROLLED for (int m = 0; m < 4; ++m) {
        const int64_t* cm = cos9[m];
        V even = x0;
        V odd = P::mul(x[1], O::splat(cm[1]));
        MPA_UNROLLED for (int j = 2; j < 9; j += 2)
            even = O::add(even, P::mul(x[j], O::splat(cm[j])));
        MPA_UNROLLED for (int j = 3; j < 9; j += 2)
            odd = O::add(odd, P::mul(x[j], O::splat(cm[j])));
        out[m] = P::template shift<SUM_SHIFT>(O::add(even, odd), 0);
        out[8 - m] = P::template shift<SUM_SHIFT>(O::sub(even, odd), 0);
    }
    out[4] = L::template shl64<IMDCT_SUM_GUARD_BITS>(O::add(O::sub(O::add(O::sub(x[0], x[2]), x[4]), x[6]), x[8]));
}

// The DCT-IV's outputs: output m is icos72[m] × e + imdct_odd_scale[m] × o, with the sums of m
// (of 17 - m past 8), rounded once.
template <class L, class P, class V>
void scale_outputs(const V e[9], const V o[9], V c[18])
{
    using O = Ops<L>;
    constexpr int OUT_SHIFT = IMDCT_SCALE_BITS + IMDCT_SUM_GUARD_BITS;
    MPA_UNROLLED for (int m = 0; m < 18; ++m) {
        const int s = m < 9 ? m : 17 - m;
        c[m] = P::template shift<OUT_SHIFT>(O::add(P::mul(e[s], O::splat(icos72[m])), P::mul(o[s], O::splat(imdct_odd_scale[m]))),
                                            int64_t{1} << (OUT_SHIFT - 1));
    }
}

// The 36 windowed samples: the first 18 added to the overlap make the output, the last 18 are the
// next overlap. win holds mdct_win_lanes' 36 rows of four lanes, read from the group's first lane.
template <class L, class P, class V>
void window_and_overlap(const V c[18], const int64_t (*win)[4], int lane, int32_t* out, int32_t* overlap)
{
    using O = Ops<L>;
    auto windowed = [&](int k, int i) {
        const V product = P::mul(c[k], L::load64(win[i] + lane));
        return L::low_halves(L::template shr64<IMDCT_FRAC_BITS>(O::add(product, O::splat(int64_t{1} << (IMDCT_FRAC_BITS - 1)))));
    };
    auto emit = [&](int i, typename L::Column sample, typename L::Column next) {
        L::store_column(out + i * SBLIMIT, L::add_column(sample, L::load_column(overlap + i * SBLIMIT)));
        L::store_column(overlap + i * SBLIMIT, next);
    };
    MPA_UNROLLED for (int i = 0; i < 9; ++i)
        emit(i, windowed(i + 9, i), windowed(8 - i, i + 18));
    MPA_UNROLLED for (int i = 9; i < 18; ++i)
        emit(i, windowed(26 - i, i), windowed(i - 9, i + 18));
}

// The even and odd halves' inputs (see dct4_18) of the 18 lines of each lane's sub-band, clamped
// as the portable code clamps them when CLAMP: with u[k] = v[k] + v[k - 1], the even sums take
// u[0], u[2], ..., u[16] and the odd sums u[1] + u[-1], u[3] + u[1], ..., u[17] + u[15].
template <class L, bool CLAMP, class V>
void split_inputs(const int32_t* lines, V a0[9], V a1[9])
{
    typename L::Column t[18];
    L::load_columns18(lines, 18, t);
    if constexpr (CLAMP)
        for (auto& column : t)
            column = L::clamp(column, IMDCT_INPUT_LIMIT);
    V v[18];
    MPA_UNROLLED for (int k = 0; k < 18; ++k)
        v[k] = L::widen(t[k]);
    V u[18];
    u[0] = v[0];
    MPA_UNROLLED for (int k = 1; k < 18; ++k)
        u[k] = Ops<L>::add(v[k], v[k - 1]);
    a0[0] = u[0];
    a1[0] = u[1];
    MPA_UNROLLED for (int j = 1; j < 9; ++j) {
        a0[j] = u[2 * j];
        a1[j] = Ops<L>::add(u[2 * j + 1], u[2 * j - 1]);
    }
}

// How a group's multiplying steps go. Every value of a small group's transform stays within
// 32 bits: Narrow throughout, one multiply per product, no checks. Any other group is clamped as
// the portable code clamps it, and each step checks whether its n operands fit 32 bits (none to
// check: they do) and takes Exact with one multiply per product or two.
template <class L>
struct SmallGroup {
    static constexpr bool CLAMP = false;
    template <class Step>
    static void step(const typename L::Vec64*, int, Step&& run) { run(Narrow<L>{}); }
};
template <class L>
struct AnyGroup {
    static constexpr bool CLAMP = true;
    template <class Step>
    static void step(const typename L::Vec64* operands, int n, Step&& run)
    {
        if (n == 0 || Ops<L>::all_fit(operands, n))
            run(Exact<L, false>{});
        else
            run(Exact<L, true>{});
    }
};

template <class L, class G>
void transform(const int32_t* lines, const int64_t (*win)[4], int lane, int32_t* out, int32_t* overlap)
{
    using V = typename L::Vec64;
    V a0[9], a1[9];
    split_inputs<L, G::CLAMP>(lines, a0, a1);
    // Clamped or small, a0 stays within 32 bits; a1[0] is only shifted.
    V sums[18];   // the even half's nine, then the odd half's
    V* e = sums;
    V* o = sums + 9;
    G::step(a0, 0, [&](auto p) { cosine_sums<L, decltype(p)>(a0, e); });
    G::step(a1 + 1, 8, [&](auto p) { cosine_sums<L, decltype(p)>(a1, o); });
    V c[18];
    G::step(sums, 18, [&](auto p) { scale_outputs<L, decltype(p)>(e, o, c); });
    G::step(c, 18, [&](auto p) { window_and_overlap<L, decltype(p)>(c, win, lane, out, overlap); });
}

template <class L>
void long_blocks(const int32_t* x, int first, int end, int row, int32_t* sb_samples, int32_t* overlap)
{
    constexpr int N = L::LANES64;
    static_assert(4 % N == 0, "groups start at a multiple of four sub-bands");
    for (int j = first; j < end; j += N) {
        const int32_t* lines = x + 18 * j;
        // The table's four lanes serve four sub-bands from a multiple of four.
        const int lane = j & 3;
        if (L::all_below(lines, 18 * N, IMDCT_NARROW_INPUT_BITS))
            transform<L, SmallGroup<L>>(lines, mdct_win_lanes[row], lane, sb_samples + j, overlap + j);
        else
            transform<L, AnyGroup<L>>(lines, mdct_win_lanes[row], lane, sb_samples + j, overlap + j);
    }
}

}  // namespace
}  // namespace imdct_lanes
