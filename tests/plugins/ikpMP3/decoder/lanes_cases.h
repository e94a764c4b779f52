// lanes_cases.h — runs one helper of a lanes.h body on plain arrays, so that each body's results
// can be held against the arithmetic they stand for by code compiled without that body's flags.
#pragma once

#include <cstdint>

#include "lanes.h"

enum class LaneHelper {
    MulAdd,        // acc, a, k -> acc + a k                        (in: acc[N], a[N], k[N]; out: N)
    MulSub,        // acc - a k
    MulAddSplat,   // acc + a0 k                                    (in: acc[N], a0, _, k[N])
    Round23,       // low 32 bits of (w + 2^22) >> 23               (in: w[N]; out: N)
    Round28,
    Round32,
    Reverse,       // v[N - 1 - i]                                  (in: v[N])
    NextOne,       // lo[1..N), hi[0]                               (in: lo[N], hi[N])
    Zip,           // a0 b0 a1 b1 ...                               (in: a[N], b[N]; out: 2N)
    AddReversed,   // w[i] + u[N - 1 - i], as wide sums             (in: w[N], u[N])
    Saturate,      // a then b, clamped to 16 bits                  (in: a[N], b[N]; out: 2N)
    SaturatePair,  // left l0 l1, right r0 r1, interleaved          (in: l0, l1, r0, r1; out: 4N)
    Mul32,         // low halves' product                           (in: x[M], c[M]; out: M)
    Sar23,         // x >> 23, arithmetic                           (in: x[M])
    Shr28,         // x >> 28, logical
    Sar32,
    HighHalvesZero,  // whether every lane's upper 32 bits are 0     (in: x[M]; out: 1)
    Clamp,         // to ±(2^30 - 1)                                (in: c[M] as 32-bit; out: M)
    Widen,         // sign-extended                                 (in: c[M] as 32-bit)
    LowHalves,     // the low 32 bits, signed                       (in: x[M])
    AllBelow22,    // whether 72 values all lie below 2^22 in magnitude (in: 72; out: 1)
    Columns18,     // line k of run r at k M + r                    (in: M runs of 18; out: 18 M)
};

using LaneHelperRun = void (*)(LaneHelper helper, const int64_t* in, int64_t* out);

namespace {

template <class L>
void run_lane_helper(LaneHelper helper, const int64_t* in, int64_t* out)
{
    constexpr int N = L::LANES;
    constexpr int M = L::LANES64;
    using Vec = typename L::Vec;
    auto narrow = [&](int at, int32_t* to, int n) {
        for (int i = 0; i < n; ++i)
            to[i] = static_cast<int32_t>(in[at + i]);
    };
    auto vec = [&](int at) {
        int32_t v[N];
        narrow(at, v, N);
        return L::load(v);
    };
    auto coef = [&](int at) {
        int32_t v[N];
        narrow(at, v, N);
        return L::coef(v);
    };
    auto put = [&](int at, Vec v) {
        int32_t t[N];
        L::store(t, v);
        for (int i = 0; i < N; ++i)
            out[at + i] = t[i];
    };
    auto put_shorts = [&](const short* s, int n) {
        for (int i = 0; i < n; ++i)
            out[i] = s[i];
    };
    auto vec64 = [&](int at) { return L::load64(in + at); };
    auto put64 = [&](typename L::Vec64 v) { L::store64(out, v); };
    auto column = [&](int at) {
        int32_t v[M];
        narrow(at, v, M);
        return L::load_column(v);
    };
    auto put_column = [&](typename L::Column c) {
        int32_t t[M];
        L::store_column(t, c);
        for (int i = 0; i < M; ++i)
            out[i] = t[i];
    };
    switch (helper) {
    case LaneHelper::MulAdd:
        L::store_wide(out, L::mul_add(L::load_wide(in), vec(N), coef(2 * N)));
        break;
    case LaneHelper::MulSub:
        L::store_wide(out, L::mul_sub(L::load_wide(in), vec(N), coef(2 * N)));
        break;
    case LaneHelper::MulAddSplat:
        L::store_wide(out, L::mul_add_splat(L::load_wide(in), static_cast<int32_t>(in[N]), coef(N + 2)));
        break;
    case LaneHelper::Round23:
        put(0, L::template round<23>(L::load_wide(in)));
        break;
    case LaneHelper::Round28:
        put(0, L::template round<28>(L::load_wide(in)));
        break;
    case LaneHelper::Round32:
        put(0, L::template round<32>(L::load_wide(in)));
        break;
    case LaneHelper::Reverse:
        put(0, L::reverse(vec(0)));
        break;
    case LaneHelper::NextOne:
        put(0, L::next_one(vec(0), vec(N)));
        break;
    case LaneHelper::Zip: {
        Vec lo, hi;
        L::zip(vec(0), vec(N), lo, hi);
        put(0, lo);
        put(N, hi);
        break;
    }
    case LaneHelper::AddReversed:
        L::store_wide(out, L::add(L::load_wide(in), L::reverse(L::load_wide(in + N))));
        break;
    case LaneHelper::Saturate: {
        short s[2 * N];
        L::store_saturated(s, vec(0), vec(N));
        put_shorts(s, 2 * N);
        break;
    }
    case LaneHelper::SaturatePair: {
        short s[4 * N];
        L::store_saturated_pair(s, vec(0), vec(N), vec(2 * N), vec(3 * N));
        put_shorts(s, 4 * N);
        break;
    }
    case LaneHelper::Mul32:
        put64(L::mul32(vec64(0), vec64(M)));
        break;
    case LaneHelper::Sar23:
        put64(L::template sar64<23>(vec64(0)));
        break;
    case LaneHelper::Shr28:
        put64(L::template shr64<28>(vec64(0)));
        break;
    case LaneHelper::Sar32:
        put64(L::template sar64<32>(vec64(0)));
        break;
    case LaneHelper::HighHalvesZero:
        out[0] = L::high_halves_zero(vec64(0));
        break;
    case LaneHelper::Clamp:
        put_column(L::clamp(column(0), (1 << 30) - 1));
        break;
    case LaneHelper::Widen:
        put64(L::widen(column(0)));
        break;
    case LaneHelper::LowHalves:
        put_column(L::low_halves(vec64(0)));
        break;
    case LaneHelper::AllBelow22: {
        int32_t v[72];
        narrow(0, v, 72);
        out[0] = L::all_below(v, 72, 22);
        break;
    }
    case LaneHelper::Columns18: {
        int32_t v[18 * M];
        narrow(0, v, 18 * M);
        typename L::Column t[18];
        L::load_columns18(v, 18, t);
        for (int k = 0; k < 18; ++k) {
            int32_t lanes[M];
            L::store_column(lanes, t[k]);
            for (int r = 0; r < M; ++r)
                out[k * M + r] = lanes[r];
        }
        break;
    }
    }
}

}  // namespace

// The AVX2 body's runner (lanes_cases_avx2.cpp, compiled with AVX2; call only where the CPU has it).
void run_lane_helper_avx2(LaneHelper helper, const int64_t* in, int64_t* out);
