// lanes.h — the few vector operations the decoder's hot kernels are written in: a portable body
// and, on x86-64, SSE2 and AVX2 bodies of the same shape. A kernel is a template over one of them.
// Everything here has internal linkage: the AVX2 instances are compiled in their own file with
// AVX2 enabled, and no copy of theirs may stand in for the others' at link time.
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

#ifdef __AVX2__
struct Avx2Lanes {
    static constexpr int LANES = 4;
    using Acc = __m256i;
    using Val = __m256i;   // sign-extended to 64 bits
    static Acc zero() { return _mm256_setzero_si256(); }
    static Val load(const int32_t* p)
    {
        return _mm256_cvtepi32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static Val splat(int32_t v) { return _mm256_set1_epi64x(v); }
    static Acc mul_add(Acc acc, Val a, Val b) { return _mm256_add_epi64(acc, _mm256_mul_epi32(a, b)); }
    static void store(int64_t* p, Acc acc) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), acc); }
    template <int S>
    static void store_rounded(int32_t* p, Acc acc)
    {
        const __m256i v = _mm256_srli_epi64(_mm256_add_epi64(acc, _mm256_set1_epi64x(int64_t{1} << (S - 1))), S);
        const __m256i low = _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(low));
    }
};
#endif

}  // namespace
