// lanes.h — the few vector operations the portable and SSE2 synthesis kernels are written in: a
// portable body and, on x86-64, an SSE2 body of the same shape. A kernel is a template over one
// of them. The AVX2 kernels (synth_avx2.cpp, imdct_avx2.cpp) are written directly: their lane
// shuffles have no portable counterpart. Everything here has internal linkage, so that no copy
// compiled with other flags may stand in for another at link time.
#pragma once

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#define MPA_X86_KERNELS 1
#endif

namespace {

// Each set offers LANES signed 32-bit values per load and, per lane, a 64-bit accumulator that
// gathers exact 32 × 32-bit products, wrapping past 64 bits: the sums are the same bits whichever
// set forms them. store_rounded keeps the low 32 bits of (sum + 2^(S-1)) >> S.
struct ScalarLanes {
    static constexpr int LANES = 1;
    using Acc = int64_t;
    using Val = int32_t;
    static Acc zero() { return 0; }
    static Val load(const int32_t* p) { return *p; }
    static Val splat(int32_t v) { return v; }
    static Acc mul_add(Acc acc, Val a, Val b)
    {
        return static_cast<int64_t>(static_cast<uint64_t>(acc) + static_cast<uint64_t>(int64_t{a} * b));
    }
    static void store(int64_t* p, Acc acc) { *p = acc; }
    template <int S>
    static void store_rounded(int32_t* p, Acc acc)
    {
        *p = static_cast<int32_t>((static_cast<uint64_t>(acc) + (uint64_t{1} << (S - 1))) >> S);
    }
};

#ifdef MPA_X86_KERNELS
struct Sse2Lanes {
    static constexpr int LANES = 2;
    using Acc = __m128i;
    using Val = __m128i;   // the two values in the low halves of the 64-bit lanes
    static Acc zero() { return _mm_setzero_si128(); }
    static Val load(const int32_t* p)
    {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        return _mm_unpacklo_epi32(v, v);
    }
    static Val splat(int32_t v) { return _mm_set1_epi32(v); }
    // SSE2 multiplies unsigned only: a signed operand reads 2^32 too large, which adds the other
    // operand times 2^32 to the product; take those back out of the high half.
    static Acc mul_add(Acc acc, Val a, Val b)
    {
        const __m128i product = _mm_mul_epu32(a, b);
        const __m128i excess = _mm_add_epi32(_mm_and_si128(_mm_srai_epi32(a, 31), b),
                                             _mm_and_si128(_mm_srai_epi32(b, 31), a));
        return _mm_add_epi64(acc, _mm_sub_epi64(product, _mm_slli_epi64(excess, 32)));
    }
    static void store(int64_t* p, Acc acc) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), acc); }
    template <int S>
    static void store_rounded(int32_t* p, Acc acc)
    {
        // A logical shift leaves the same low 32 bits as an arithmetic one.
        const __m128i v = _mm_srli_epi64(_mm_add_epi64(acc, _mm_set1_epi64x(int64_t{1} << (S - 1))), S);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 1, 2, 0)));
    }
};

#endif

}  // namespace
