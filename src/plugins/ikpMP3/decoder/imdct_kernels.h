// imdct_kernels.h — the layer III long-block IMDCT's constants and its vector kernel: the portable
// transform lives in layer3_imdct.cpp, the AVX2 one in imdct_avx2.cpp, and both read the same tables.
#pragma once

#include <cstdint>

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

#if defined(__x86_64__)
// Call only where the CPU has AVX2.
void imdct_long_blocks_avx2(const int32_t* x, int first, int end, int row, int32_t* sb_samples,
                            int32_t* overlap);
#endif
