// fixed.h — the decoder's fixed-point operations, named once: products, rounding shifts and the
// conversion of computed constants.
#pragma once

#include <cmath>
#include <cstdint>

// The layers' working values and constants carry 23 fraction bits (1.0 = 0x800000).
constexpr int FRAC_BITS = 23;
constexpr int32_t FIX_ONE = 1 << FRAC_BITS;

// a × b with the 64-bit product shifted right by s (arithmetic, so rounded down).
inline int32_t mul_shift(int32_t a, int32_t b, int s)
{
    return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> s);
}

// Fixed-point product of two values with 23 fraction bits, rounded down.
inline int32_t MULL(int32_t a, int32_t b) { return mul_shift(a, b, FRAC_BITS); }

// v / 2^s rounded half up (s >= 1).
inline int64_t round_shift(int64_t v, int s) { return (v + (int64_t{1} << (s - 1))) >> s; }

// a × b / 2^FRAC_BITS rounded half up, kept 64-bit so that sums of out-of-range values cannot
// overflow.
inline int64_t mul_round(int64_t a, int64_t b) { return round_shift(a * b, FRAC_BITS); }

// A computed constant to `bits` fraction bits, rounded to nearest.
inline int32_t fix_round(double v, int bits = FRAC_BITS)
{
    return static_cast<int32_t>(std::lround(std::ldexp(v, bits)));
}

// The published convention for windows and stereo tables: add 0.5 and truncate toward zero.
inline int32_t fix_trunc_half(double v) { return static_cast<int32_t>(v * FIX_ONE + 0.5); }
