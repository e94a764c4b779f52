// lanes.h — the vector vocabulary the decoder's hot kernels are written in: one body per
// instruction set (portable, AVX2, NEON), each of the same shape, so that a kernel is written
// once as a template over a body and a new CPU is one more body. Everything here has internal
// linkage, so that no copy compiled with other flags may stand in for another at link time.
//
// Two families of lanes:
// - Vec: LANES signed 32-bit values. Products are exact: mul_add widens each lane's 32 × 32-bit
//   product into Wide, LANES 64-bit sums that wrap past 64 bits, so the sums are the same bits
//   whichever body forms them. How a Wide spreads its lanes over registers is the body's own
//   (AVX2: even and odd lanes; NEON: low and high halves); only round and store_wide read it
//   back in lane order. Coef is a vector of constants in the form the body's multiply wants,
//   made once by coef.
// - Vec64: LANES64 signed 64-bit values with 32-bit multiplies (mul32 reads the low halves),
//   for the layer III IMDCT, whose sums outgrow 32 bits; Column is LANES64 32-bit values.
//
// round<S> keeps the low 32 bits of (sum + 2^(S-1)) >> S: bits S..S+31 of the sum, which wrap
// alike in every body (S <= 32).
#pragma once

#include <climits>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif
#if defined(__aarch64__)
#include <arm_neon.h>
#endif

// Every loop of the kernels runs a handful of times over vectors kept in registers: unrolled, its
// arrays of vectors become registers instead of stack slots. Under AddressSanitizer each unrolled
// access is instrumented on its own and the compiler takes many minutes over this file, so there
// the loops stay loops: the same code, only slower.
#if defined(__SANITIZE_ADDRESS__)
#define MPA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MPA_SANITIZED 1
#endif
#endif
#if defined(MPA_SANITIZED)
#define MPA_UNROLLED
#else
#define MPA_UNROLLED _Pragma("GCC unroll 16")
#endif

namespace {

inline int64_t wrap_add64(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b)); }
inline int64_t wrap_sub64(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b)); }
inline int64_t wrap_mul64(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b)); }
inline short saturate16(int32_t v) { return static_cast<short>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }

// The portable body: one lane. It is also the shape every other body follows, helper by helper.
struct ScalarLanes {
    static constexpr const char* NAME = "portable";
    static constexpr int LANES = 1;
    using Vec = int32_t;
    using Wide = int64_t;
    using Coef = int32_t;

    static Vec load(const int32_t* p) { return *p; }
    static void store(int32_t* p, Vec v) { *p = v; }
    static void store_aligned(int32_t* p, Vec v) { *p = v; }
    static Vec splat(int32_t v) { return v; }
    static Vec add(Vec a, Vec b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
    static Vec sub(Vec a, Vec b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }
    // Lanes in reverse order.
    static Vec reverse(Vec v) { return v; }
    // Lanes 1..LANES-1 of lo, then lane 0 of hi: the vector one value further on.
    static Vec next_one(Vec, Vec hi) { return hi; }
    // lo, hi = a0 b0 a1 b1 ... : the lanes of a and b interleaved.
    static void zip(Vec a, Vec b, Vec& lo, Vec& hi)
    {
        lo = a;
        hi = b;
    }

    static Coef coef(const int32_t* p) { return *p; }
    static Wide zero() { return 0; }
    static Wide mul_add(Wide acc, Vec a, Coef k) { return wrap_add64(acc, int64_t{a} * k); }
    static Wide mul_sub(Wide acc, Vec a, Coef k) { return wrap_sub64(acc, int64_t{a} * k); }
    static Wide mul_add_splat(Wide acc, int32_t a, Coef k) { return wrap_add64(acc, int64_t{a} * k); }
    static Wide add(Wide a, Wide b) { return wrap_add64(a, b); }
    static Wide reverse(Wide w) { return w; }
    static Wide load_wide(const int64_t* p) { return *p; }
    static void store_wide(int64_t* p, Wide w) { *p = w; }
    template <int S>
    static Vec round(Wide w)
    {
        static_assert(S >= 1 && S <= 32);
        return static_cast<int32_t>((static_cast<uint64_t>(w) + (uint64_t{1} << (S - 1))) >> S);
    }
    // Keeps each chain of sums in a register of its own (see the AVX2 body).
    static void pin(Wide&) {}
    // 2 LANES samples, a's then b's, each clamped to 16 bits.
    static void store_saturated(short* p, Vec a, Vec b)
    {
        p[0] = saturate16(a);
        p[1] = saturate16(b);
    }
    // 2 LANES stereo frames: left l0 then l1, right r0 then r1, interleaved.
    static void store_saturated_pair(short* p, Vec l0, Vec l1, Vec r0, Vec r1)
    {
        p[0] = saturate16(l0);
        p[1] = saturate16(r0);
        p[2] = saturate16(l1);
        p[3] = saturate16(r1);
    }

    static constexpr int LANES64 = 1;
    using Vec64 = int64_t;
    using Column = int32_t;
    static Vec64 splat64(int64_t v) { return v; }
    static Vec64 load64(const int64_t* p) { return *p; }
    static void store64(int64_t* p, Vec64 v) { *p = v; }
    static Vec64 add64(Vec64 a, Vec64 b) { return wrap_add64(a, b); }
    static Vec64 sub64(Vec64 a, Vec64 b) { return wrap_sub64(a, b); }
    static Vec64 or64(Vec64 a, Vec64 b) { return a | b; }
    // The exact product of the low halves, read signed.
    static Vec64 mul32(Vec64 a, Vec64 b) { return int64_t{static_cast<int32_t>(a)} * static_cast<int32_t>(b); }
    template <int S>
    static Vec64 shl64(Vec64 v) { return static_cast<int64_t>(static_cast<uint64_t>(v) << S); }
    template <int S>
    static Vec64 shr64(Vec64 v) { return static_cast<int64_t>(static_cast<uint64_t>(v) >> S); }   // logical
    template <int S>
    static Vec64 sar64(Vec64 v) { return v >> S; }                                                // arithmetic
    static bool high_halves_zero(Vec64 v) { return (static_cast<uint64_t>(v) >> 32) == 0; }
    static Vec64 widen(Column c) { return c; }
    static Column low_halves(Vec64 v) { return static_cast<int32_t>(v); }
    static Column clamp(Column c, int32_t limit) { return c > limit ? limit : (c < -limit ? -limit : c); }
    static Column load_column(const int32_t* p) { return *p; }
    static void store_column(int32_t* p, Column c) { *p = c; }
    static Column add_column(Column a, Column b) { return add(a, b); }
    // t[k] = line k of each of LANES64 runs of `stride` lines from p, for k < 18.
    static void load_columns18(const int32_t* p, int, Column t[18])
    {
        for (int k = 0; k < 18; ++k)
            t[k] = p[k];
    }
    // Whether the n values from p all lie below 2^bits in magnitude (INT32_MIN never does).
    static bool all_below(const int32_t* p, int n, int bits)
    {
        uint32_t gathered = 0;
        for (int i = 0; i < n; ++i)
            gathered |= p[i] < 0 ? 0u - static_cast<uint32_t>(p[i]) : static_cast<uint32_t>(p[i]);
        return (gathered & (~0u << bits)) == 0;
    }
};

#if defined(__x86_64__) && defined(__AVX2__)
// AVX2: eight lanes. Its multiply reads the low 32 bits of each 64-bit lane, so a Wide keeps the
// even lanes' sums in one register and the odd lanes' in another, and a Coef the constants of
// the even lanes and the odd lanes each in the low halves: one multiply per four products, and
// no shuffle before it.
struct Avx2Lanes {
    static constexpr const char* NAME = "avx2";
    static constexpr int LANES = 8;
    using Vec = __m256i;
    struct Wide {
        __m256i even, odd;
    };
    struct Coef {
        __m256i even, odd;
    };

    static Vec load(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void store(int32_t* p, Vec v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    // p 32-byte aligned (GCC's default tuning splits unaligned 256-bit stores into halves, which
    // then cannot forward to the whole-vector loads that follow).
    static void store_aligned(int32_t* p, Vec v) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), v); }
    static Vec splat(int32_t v) { return _mm256_set1_epi32(v); }
    static Vec add(Vec a, Vec b) { return _mm256_add_epi32(a, b); }
    static Vec sub(Vec a, Vec b) { return _mm256_sub_epi32(a, b); }
    static Vec reverse(Vec v) { return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0)); }
    static Vec next_one(Vec lo, Vec hi) { return _mm256_alignr_epi8(_mm256_permute2x128_si256(lo, hi, 0x21), lo, 4); }
    static void zip(Vec a, Vec b, Vec& lo, Vec& hi)
    {
        const __m256i l = _mm256_unpacklo_epi32(a, b);   // a0 b0 a1 b1 | a4 b4 a5 b5
        const __m256i h = _mm256_unpackhi_epi32(a, b);   // a2 b2 a3 b3 | a6 b6 a7 b7
        lo = _mm256_permute2x128_si256(l, h, 0x20);
        hi = _mm256_permute2x128_si256(l, h, 0x31);
    }

    static Coef coef(const int32_t* p)
    {
        const __m256i v = load(p);
        return {v, _mm256_srli_epi64(v, 32)};
    }
    static Wide zero() { return {_mm256_setzero_si256(), _mm256_setzero_si256()}; }
    static Wide mul_add(Wide acc, Vec a, const Coef& k)
    {
        return {_mm256_add_epi64(acc.even, _mm256_mul_epi32(a, k.even)),
                _mm256_add_epi64(acc.odd, _mm256_mul_epi32(_mm256_srli_epi64(a, 32), k.odd))};
    }
    static Wide mul_sub(Wide acc, Vec a, const Coef& k)
    {
        return {_mm256_sub_epi64(acc.even, _mm256_mul_epi32(a, k.even)),
                _mm256_sub_epi64(acc.odd, _mm256_mul_epi32(_mm256_srli_epi64(a, 32), k.odd))};
    }
    static Wide mul_add_splat(Wide acc, int32_t a, const Coef& k)
    {
        const __m256i v = _mm256_set1_epi32(a);
        return {_mm256_add_epi64(acc.even, _mm256_mul_epi32(v, k.even)), _mm256_add_epi64(acc.odd, _mm256_mul_epi32(v, k.odd))};
    }
    static Wide add(Wide a, Wide b) { return {_mm256_add_epi64(a.even, b.even), _mm256_add_epi64(a.odd, b.odd)}; }
    // Lane i takes lane 7 - i: the odd lanes' sums reversed become the even lanes', and back.
    static Wide reverse(Wide w)
    {
        return {_mm256_permute4x64_epi64(w.odd, _MM_SHUFFLE(0, 1, 2, 3)), _mm256_permute4x64_epi64(w.even, _MM_SHUFFLE(0, 1, 2, 3))};
    }
    static Wide load_wide(const int64_t* p)
    {
        return {_mm256_setr_epi64x(p[0], p[2], p[4], p[6]), _mm256_setr_epi64x(p[1], p[3], p[5], p[7])};
    }
    static void store_wide(int64_t* p, Wide w)
    {
        const __m256i lo = _mm256_unpacklo_epi64(w.even, w.odd);   // 0 1 | 4 5
        const __m256i hi = _mm256_unpackhi_epi64(w.even, w.odd);   // 2 3 | 6 7
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm256_permute2x128_si256(lo, hi, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 4), _mm256_permute2x128_si256(lo, hi, 0x31));
    }
    // The odd sums move up by 32 - S instead of down by S, landing in the upper halves, so one
    // blend interleaves the two.
    template <int S>
    static Vec round(Wide w)
    {
        static_assert(S >= 1 && S <= 32);
        const __m256i half = _mm256_set1_epi64x(int64_t{1} << (S - 1));
        return _mm256_blend_epi32(_mm256_srli_epi64(_mm256_add_epi64(w.even, half), S),
                                  _mm256_slli_epi64(_mm256_add_epi64(w.odd, half), 32 - S), 0xAA);
    }
    // GCC regroups unrolled chains of vector sums into trees of products, which spill to the
    // stack; passing the sums through an empty asm each step keeps each chain in its own register.
    static void pin(Wide& w) { asm("" : "+x"(w.even), "+x"(w.odd)); }
    // The saturating pack works within 128-bit halves: a0-3 b0-3 | a4-7 b4-7.
    static void store_saturated(short* p, Vec a, Vec b)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p),
                            _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), _MM_SHUFFLE(3, 1, 2, 0)));
    }
    // Unpacking two packs in their own order interleaves frames 0-3 | 4-7, then 8-11 | 12-15.
    static void store_saturated_pair(short* p, Vec l0, Vec l1, Vec r0, Vec r1)
    {
        const __m256i l = _mm256_packs_epi32(l0, l1);
        const __m256i r = _mm256_packs_epi32(r0, r1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm256_unpacklo_epi16(l, r));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 16), _mm256_unpackhi_epi16(l, r));
    }

    static constexpr int LANES64 = 4;
    using Vec64 = __m256i;
    using Column = __m128i;
    static Vec64 splat64(int64_t v) { return _mm256_set1_epi64x(v); }
    static Vec64 load64(const int64_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void store64(int64_t* p, Vec64 v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static Vec64 add64(Vec64 a, Vec64 b) { return _mm256_add_epi64(a, b); }
    static Vec64 sub64(Vec64 a, Vec64 b) { return _mm256_sub_epi64(a, b); }
    static Vec64 or64(Vec64 a, Vec64 b) { return _mm256_or_si256(a, b); }
    static Vec64 mul32(Vec64 a, Vec64 b) { return _mm256_mul_epi32(a, b); }
    template <int S>
    static Vec64 shl64(Vec64 v) { return _mm256_slli_epi64(v, S); }
    template <int S>
    static Vec64 shr64(Vec64 v) { return _mm256_srli_epi64(v, S); }
    // AVX2 has no arithmetic shift of 64-bit lanes: offset by 2^63 the lanes read as unsigned in
    // the same order, a logical shift floors them, and the offset comes back out.
    template <int S>
    static Vec64 sar64(Vec64 v)
    {
        return _mm256_sub_epi64(_mm256_srli_epi64(_mm256_add_epi64(v, splat64(INT64_MIN)), S), splat64(int64_t{1} << (63 - S)));
    }
    static bool high_halves_zero(Vec64 v) { return _mm256_testz_si256(v, splat64(-(int64_t{1} << 32))); }
    static Vec64 widen(Column c) { return _mm256_cvtepi32_epi64(c); }
    static Column low_halves(Vec64 v)
    {
        return _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)));
    }
    static Column clamp(Column c, int32_t limit) { return _mm_min_epi32(_mm_max_epi32(c, _mm_set1_epi32(-limit)), _mm_set1_epi32(limit)); }
    static Column load_column(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void store_column(int32_t* p, Column c) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), c); }
    static Column add_column(Column a, Column b) { return _mm_add_epi32(a, b); }
    // Four runs of lines, transposed four lines at a time.
    static void load_columns18(const int32_t* p, int stride, Column t[18])
    {
        auto transpose = [&](__m128i r0, __m128i r1, __m128i r2, __m128i r3, Column* out, int n) {
            const __m128i lo01 = _mm_unpacklo_epi32(r0, r1);
            const __m128i hi01 = _mm_unpackhi_epi32(r0, r1);
            const __m128i lo23 = _mm_unpacklo_epi32(r2, r3);
            const __m128i hi23 = _mm_unpackhi_epi32(r2, r3);
            out[0] = _mm_unpacklo_epi64(lo01, lo23);
            out[1] = _mm_unpackhi_epi64(lo01, lo23);
            if (n > 2) {
                out[2] = _mm_unpacklo_epi64(hi01, hi23);
                out[3] = _mm_unpackhi_epi64(hi01, hi23);
            }
        };
        for (int k = 0; k < 16; k += 4)
            transpose(load_column(p + k), load_column(p + stride + k), load_column(p + 2 * stride + k),
                      load_column(p + 3 * stride + k), t + k, 4);
        auto two = [&](const int32_t* q) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)); };
        transpose(two(p + 16), two(p + stride + 16), two(p + 2 * stride + 16), two(p + 3 * stride + 16), t + 16, 2);
    }
    // Magnitudes gathered by OR stay below 2^bits exactly when every one does (|INT32_MIN| reads
    // negative). n a multiple of 8.
    static bool all_below(const int32_t* p, int n, int bits)
    {
        __m256i gathered = _mm256_setzero_si256();
        for (int i = 0; i < n; i += 8)
            gathered = _mm256_or_si256(gathered, _mm256_abs_epi32(load(p + i)));
        return _mm256_testz_si256(gathered, _mm256_set1_epi32(static_cast<int32_t>(~0u << bits)));
    }
};
#endif

#if defined(__aarch64__)
// NEON: four lanes. Its widening multiply-add takes the low or the high half of a vector, so a
// Wide keeps lanes 0-1 and 2-3 in two registers; its rounding narrowing shift is round itself.
struct NeonLanes {
    static constexpr const char* NAME = "neon";
    static constexpr int LANES = 4;
    using Vec = int32x4_t;
    struct Wide {
        int64x2_t lo, hi;
    };
    using Coef = int32x4_t;

    static Vec load(const int32_t* p) { return vld1q_s32(p); }
    static void store(int32_t* p, Vec v) { vst1q_s32(p, v); }
    static void store_aligned(int32_t* p, Vec v) { vst1q_s32(p, v); }
    static Vec splat(int32_t v) { return vdupq_n_s32(v); }
    static Vec add(Vec a, Vec b) { return vaddq_s32(a, b); }
    static Vec sub(Vec a, Vec b) { return vsubq_s32(a, b); }
    static Vec reverse(Vec v)
    {
        const int32x4_t pairs_swapped = vrev64q_s32(v);   // 1 0 3 2
        return vextq_s32(pairs_swapped, pairs_swapped, 2);
    }
    static Vec next_one(Vec lo, Vec hi) { return vextq_s32(lo, hi, 1); }
    static void zip(Vec a, Vec b, Vec& lo, Vec& hi)
    {
        lo = vzip1q_s32(a, b);
        hi = vzip2q_s32(a, b);
    }

    static Coef coef(const int32_t* p) { return vld1q_s32(p); }
    static Wide zero() { return {vdupq_n_s64(0), vdupq_n_s64(0)}; }
    static Wide mul_add(Wide acc, Vec a, Coef k) { return {vmlal_s32(acc.lo, vget_low_s32(a), vget_low_s32(k)), vmlal_high_s32(acc.hi, a, k)}; }
    static Wide mul_sub(Wide acc, Vec a, Coef k) { return {vmlsl_s32(acc.lo, vget_low_s32(a), vget_low_s32(k)), vmlsl_high_s32(acc.hi, a, k)}; }
    static Wide mul_add_splat(Wide acc, int32_t a, Coef k) { return {vmlal_n_s32(acc.lo, vget_low_s32(k), a), vmlal_high_n_s32(acc.hi, k, a)}; }
    static Wide add(Wide a, Wide b) { return {vaddq_s64(a.lo, b.lo), vaddq_s64(a.hi, b.hi)}; }
    static Wide reverse(Wide w) { return {vextq_s64(w.hi, w.hi, 1), vextq_s64(w.lo, w.lo, 1)}; }
    static Wide load_wide(const int64_t* p) { return {vld1q_s64(p), vld1q_s64(p + 2)}; }
    static void store_wide(int64_t* p, Wide w)
    {
        vst1q_s64(p, w.lo);
        vst1q_s64(p + 2, w.hi);
    }
    // The narrowing shift rounds with the sum's full width; its low 32 bits are those of the
    // wrapped sum all the same.
    template <int S>
    static Vec round(Wide w)
    {
        static_assert(S >= 1 && S <= 32);
        return vcombine_s32(vrshrn_n_s64(w.lo, S), vrshrn_n_s64(w.hi, S));
    }
    static void pin(Wide&) {}
    static void store_saturated(short* p, Vec a, Vec b) { vst1q_s16(p, vcombine_s16(vqmovn_s32(a), vqmovn_s32(b))); }
    static void store_saturated_pair(short* p, Vec l0, Vec l1, Vec r0, Vec r1)
    {
        const int16x8x2_t frames = {{vcombine_s16(vqmovn_s32(l0), vqmovn_s32(l1)), vcombine_s16(vqmovn_s32(r0), vqmovn_s32(r1))}};
        vst2q_s16(p, frames);
    }

    static constexpr int LANES64 = 2;
    using Vec64 = int64x2_t;
    using Column = int32x2_t;
    static Vec64 splat64(int64_t v) { return vdupq_n_s64(v); }
    static Vec64 load64(const int64_t* p) { return vld1q_s64(p); }
    static void store64(int64_t* p, Vec64 v) { vst1q_s64(p, v); }
    static Vec64 add64(Vec64 a, Vec64 b) { return vaddq_s64(a, b); }
    static Vec64 sub64(Vec64 a, Vec64 b) { return vsubq_s64(a, b); }
    static Vec64 or64(Vec64 a, Vec64 b) { return vorrq_s64(a, b); }
    static Vec64 mul32(Vec64 a, Vec64 b) { return vmull_s32(vmovn_s64(a), vmovn_s64(b)); }
    template <int S>
    static Vec64 shl64(Vec64 v) { return vshlq_n_s64(v, S); }
    template <int S>
    static Vec64 shr64(Vec64 v) { return vreinterpretq_s64_u64(vshrq_n_u64(vreinterpretq_u64_s64(v), S)); }
    template <int S>
    static Vec64 sar64(Vec64 v) { return vshrq_n_s64(v, S); }
    static bool high_halves_zero(Vec64 v) { return vmaxvq_u32(vreinterpretq_u32_u64(vshrq_n_u64(vreinterpretq_u64_s64(v), 32))) == 0; }
    static Vec64 widen(Column c) { return vmovl_s32(c); }
    static Column low_halves(Vec64 v) { return vmovn_s64(v); }
    static Column clamp(Column c, int32_t limit) { return vmin_s32(vmax_s32(c, vdup_n_s32(-limit)), vdup_n_s32(limit)); }
    static Column load_column(const int32_t* p) { return vld1_s32(p); }
    static void store_column(int32_t* p, Column c) { vst1_s32(p, c); }
    static Column add_column(Column a, Column b) { return vadd_s32(a, b); }
    static void load_columns18(const int32_t* p, int stride, Column t[18])
    {
        for (int k = 0; k < 16; k += 4) {
            const int32x4_t r0 = vld1q_s32(p + k);
            const int32x4_t r1 = vld1q_s32(p + stride + k);
            const int32x4_t lo = vzip1q_s32(r0, r1);
            const int32x4_t hi = vzip2q_s32(r0, r1);
            t[k] = vget_low_s32(lo);
            t[k + 1] = vget_high_s32(lo);
            t[k + 2] = vget_low_s32(hi);
            t[k + 3] = vget_high_s32(hi);
        }
        const int32x2_t r0 = vld1_s32(p + 16);
        const int32x2_t r1 = vld1_s32(p + stride + 16);
        t[16] = vzip1_s32(r0, r1);
        t[17] = vzip2_s32(r0, r1);
    }
    // n a multiple of 4.
    static bool all_below(const int32_t* p, int n, int bits)
    {
        uint32x4_t gathered = vdupq_n_u32(0);
        for (int i = 0; i < n; i += 4)
            gathered = vorrq_u32(gathered, vreinterpretq_u32_s32(vabsq_s32(vld1q_s32(p + i))));
        return vmaxvq_u32(vandq_u32(gathered, vdupq_n_u32(~0u << bits))) == 0;
    }
};
#endif

}  // namespace
