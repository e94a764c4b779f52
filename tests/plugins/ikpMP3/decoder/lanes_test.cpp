// lanes_test.cpp — every body of the kernels' vector vocabulary (lanes.h) against the arithmetic
// each helper stands for, at its edges: the widening products of the largest values, sums that
// wrap past 64 bits, rounding ties, the 16-bit clamp, shifts of negative values, the bounds the
// IMDCT's checks test, and the lane orders of the shuffles.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "lanes_cases.h"

namespace {

struct Body {
    const char* name;
    int lanes;
    int lanes64;
    LaneHelperRun run;
};

std::vector<Body> bodies()
{
    std::vector<Body> all = {{ScalarLanes::NAME, ScalarLanes::LANES, ScalarLanes::LANES64, run_lane_helper<ScalarLanes>}};
#if defined(__aarch64__)
    all.push_back({NeonLanes::NAME, NeonLanes::LANES, NeonLanes::LANES64, run_lane_helper<NeonLanes>});
#elif defined(__x86_64__)
    if (__builtin_cpu_supports("avx2"))
        all.push_back({"avx2", 8, 4, run_lane_helper_avx2});
#endif
    return all;
}

using Wide128 = __int128;

// The low 64 bits of an exact value, and the low 32.
int64_t low64(Wide128 v) { return static_cast<int64_t>(static_cast<uint64_t>(static_cast<unsigned __int128>(v))); }
int64_t low32(Wide128 v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned __int128>(v))); }
int64_t floorShift(Wide128 v, int s) { return low64(v >> s); }   // arithmetic on the exact value
int64_t clamp16(int64_t v) { return v < -32768 ? -32768 : (v > 32767 ? 32767 : v); }

// One table row: a helper and the values of each of its operands. Lane i of operand j takes
// value (i + r) mod size of its list, for every rotation r, so every value meets every lane.
struct Case {
    const char* name;
    LaneHelper helper;
    std::vector<std::vector<int64_t>> operands;
};

constexpr int64_t I32MIN = INT32_MIN;
constexpr int64_t I32MAX = INT32_MAX;

const std::vector<Case>& cases()
{
    static const std::vector<Case> table = {
        {"largest products, sums wrapping past 64 bits", LaneHelper::MulAdd,
         {{0, INT64_MAX, INT64_MIN, -1, INT64_MAX - (int64_t{1} << 61)}, {I32MIN, I32MAX, -1, 0, I32MIN + 1}, {I32MIN, I32MAX, I32MIN, 1, -1, 7}}},
        {"largest products taken away", LaneHelper::MulSub,
         {{0, INT64_MIN, INT64_MAX, 5}, {I32MIN, I32MAX, -1, 3}, {I32MIN, I32MAX, I32MAX, -2, 9}}},
        {"one value times every lane", LaneHelper::MulAddSplat, {{0, INT64_MAX, -(int64_t{1} << 62)}, {I32MIN}, {0}, {I32MIN, I32MAX, -1, 12345}}},
        {"one value times every lane, the largest positive", LaneHelper::MulAddSplat, {{1, -1}, {I32MAX}, {0}, {I32MIN, I32MAX, 0, -7}}},
        {"rounding at 23 bits: ties, negatives and the 64-bit ends", LaneHelper::Round23,
         {{0, 1 << 22, (1 << 22) - 1, -(1 << 22), -(1 << 22) - 1, -1, INT64_MAX, INT64_MIN, INT64_MAX - (1 << 22) + 1,
           int64_t{I32MAX} << 23, (int64_t{I32MAX} + 1) << 23, int64_t{I32MIN} << 23}}},
        {"rounding at 28 bits (the synthesis and the DCT)", LaneHelper::Round28,
         {{int64_t{1} << 27, (int64_t{1} << 27) - 1, -(int64_t{1} << 27), -(int64_t{1} << 27) - 1, (int64_t{1} << 52) - 1,
           -(int64_t{1} << 52), 32767LL << 28, (32767LL << 28) + (1LL << 27), INT64_MAX, INT64_MIN}}},
        {"rounding at 32 bits: the upper half, rounded", LaneHelper::Round32,
         {{(int64_t{1} << 31) - 1, int64_t{1} << 31, -(int64_t{1} << 31), INT64_MAX, INT64_MIN, -1, int64_t{5} << 32}}},
        {"reversal", LaneHelper::Reverse, {{1, 2, 3, 4, 5, 6, 7, 8, I32MIN, I32MAX}}},
        {"one value further on", LaneHelper::NextOne, {{10, 11, 12, 13, 14, 15, 16, 17, 18}, {I32MIN, 20, 21, 22, 23, 24, 25, 26, 27}}},
        {"interleaving", LaneHelper::Zip, {{1, 3, 5, 7, 9, 11, 13, 15, 17}, {I32MAX, 4, 6, 8, I32MIN, 12, 14, 16, 18}}},
        {"sums against reversed sums", LaneHelper::AddReversed,
         {{1, 2, 3, 4, 5, 6, 7, 8, INT64_MAX}, {100, 200, 300, 400, 500, 600, 700, 800, 1}}},
        {"the 16-bit clamp at its edges", LaneHelper::Saturate,
         {{32767, 32768, -32768, -32769, I32MIN, I32MAX, 0, -1, 12345}, {-32767, 65535, 1, -65536, 32766, 7, -7, I32MIN}}},
        {"stereo frames interleaved and clamped", LaneHelper::SaturatePair,
         {{1, 2, 3, 4, 5, 6, 7, 8, 40000}, {11, 12, 13, 14, 15, 16, 17, 18, -40000}, {-1, -2, -3, -4, -5, -6, -7, -8, I32MAX},
          {-11, -12, -13, -14, -15, -16, -17, -18, I32MIN}}},
        {"low halves' products ignore the upper halves", LaneHelper::Mul32,
         {{I32MIN, I32MAX, -1, int64_t{0x7fffffff00000005}, int64_t{-0x100000000} + 3, INT64_MIN},
          {I32MIN, I32MIN, I32MAX, int64_t{0x123456789} << 4, -2, -1}}},
        {"arithmetic shift by 23 of negative and positive ends", LaneHelper::Sar23, {{INT64_MIN, INT64_MAX, -1, -(1 << 23), -(1 << 23) - 1, 1 << 23, 0}}},
        {"logical shift by 28", LaneHelper::Shr28, {{INT64_MIN, INT64_MAX, -1, 1 << 28, 0}}},
        {"arithmetic shift by 32", LaneHelper::Sar32, {{INT64_MIN, INT64_MAX, -1, int64_t{1} << 32, (int64_t{1} << 32) - 1}}},
        {"upper halves all zero", LaneHelper::HighHalvesZero, {{0, I32MAX, 0xffffffff, 1, 12}}},
        {"an upper half that is not", LaneHelper::HighHalvesZero, {{0, int64_t{1} << 32, 5}}},
        {"a negative lane", LaneHelper::HighHalvesZero, {{7, -1}}},
        {"the IMDCT's input clamp", LaneHelper::Clamp, {{I32MIN, I32MAX, (1 << 30) - 1, 1 << 30, -(1 << 30), -(1 << 30) + 1, 0, -5}}},
        {"sign extension", LaneHelper::Widen, {{I32MIN, I32MAX, -1, 0, 1}}},
        {"low halves kept", LaneHelper::LowHalves, {{INT64_MIN, INT64_MAX, -1, int64_t{0x1234567880000000}, 5}}},
        {"every value below 2^22", LaneHelper::AllBelow22, {{(1 << 22) - 1, -(1 << 22) + 1, 0, 5, -5}}},
        {"one value at 2^22", LaneHelper::AllBelow22, {{1 << 22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}},
        {"one value at -2^22", LaneHelper::AllBelow22, {{0, 0, 0, -(1 << 22), 0, 0, 0}}},
        {"INT32_MIN, whose magnitude reads negative", LaneHelper::AllBelow22, {{0, 0, I32MIN, 0, 0}}},
        {"lines into columns", LaneHelper::Columns18, {{}}},
    };
    return table;
}

// The inputs of a row for a body, in the layout lanes_cases.h documents, and what they must give.
struct Laid {
    std::vector<int64_t> in;
    std::vector<int64_t> expected;
};

Laid layOut(const Case& c, const Body& body, int rotation)
{
    const int n = c.helper >= LaneHelper::Mul32 ? body.lanes64 : body.lanes;
    auto lane = [&](int operand, int i) {
        const std::vector<int64_t>& values = c.operands[operand];
        return values[(i + rotation) % values.size()];
    };
    Laid laid;
    laid.in.assign(96, 0);
    auto operand = [&](int index, int at) {
        for (int i = 0; i < n; ++i)
            laid.in[at + i] = lane(index, i);
    };
    std::vector<int64_t>& e = laid.expected;
    auto i32 = [](int64_t v) { return static_cast<int32_t>(v); };
    switch (c.helper) {
    case LaneHelper::MulAdd:
    case LaneHelper::MulSub:
        operand(0, 0), operand(1, n), operand(2, 2 * n);
        for (int i = 0; i < n; ++i) {
            const Wide128 product = Wide128{i32(laid.in[n + i])} * i32(laid.in[2 * n + i]);
            e.push_back(low64(Wide128{laid.in[i]} + (c.helper == LaneHelper::MulAdd ? product : -product)));
        }
        break;
    case LaneHelper::MulAddSplat:
        operand(0, 0), laid.in[n] = c.operands[1][0], operand(3, n + 2);
        for (int i = 0; i < n; ++i)
            e.push_back(low64(Wide128{laid.in[i]} + Wide128{i32(laid.in[n])} * i32(laid.in[n + 2 + i])));
        break;
    case LaneHelper::Round23:
    case LaneHelper::Round28:
    case LaneHelper::Round32: {
        const int s = c.helper == LaneHelper::Round23 ? 23 : (c.helper == LaneHelper::Round28 ? 28 : 32);
        operand(0, 0);
        for (int i = 0; i < n; ++i)
            e.push_back(low32((Wide128{laid.in[i]} + (Wide128{1} << (s - 1))) >> s));
        break;
    }
    case LaneHelper::Reverse:
        operand(0, 0);
        for (int i = 0; i < n; ++i)
            e.push_back(i32(laid.in[n - 1 - i]));
        break;
    case LaneHelper::NextOne:
        operand(0, 0), operand(1, n);
        for (int i = 0; i < n; ++i)
            e.push_back(i32(laid.in[i + 1]));   // lane n - 1 takes hi's lane 0, at in[n]
        break;
    case LaneHelper::Zip:
        operand(0, 0), operand(1, n);
        for (int i = 0; i < n; ++i) {
            e.push_back(i32(laid.in[i]));
            e.push_back(i32(laid.in[n + i]));
        }
        break;
    case LaneHelper::AddReversed:
        operand(0, 0), operand(1, n);
        for (int i = 0; i < n; ++i)
            e.push_back(low64(Wide128{laid.in[i]} + laid.in[2 * n - 1 - i]));
        break;
    case LaneHelper::Saturate:
        operand(0, 0), operand(1, n);
        for (int i = 0; i < 2 * n; ++i)
            e.push_back(clamp16(i32(laid.in[i])));
        break;
    case LaneHelper::SaturatePair:
        for (int k = 0; k < 4; ++k)
            operand(k, k * n);
        for (int frame = 0; frame < 2 * n; ++frame) {
            e.push_back(clamp16(i32(laid.in[frame])));
            e.push_back(clamp16(i32(laid.in[2 * n + frame])));
        }
        break;
    case LaneHelper::Mul32:
        operand(0, 0), operand(1, n);
        for (int i = 0; i < n; ++i)
            e.push_back(int64_t{i32(laid.in[i])} * i32(laid.in[n + i]));
        break;
    case LaneHelper::Sar23:
    case LaneHelper::Sar32:
        operand(0, 0);
        for (int i = 0; i < n; ++i)
            e.push_back(floorShift(laid.in[i], c.helper == LaneHelper::Sar23 ? 23 : 32));
        break;
    case LaneHelper::Shr28:
        operand(0, 0);
        for (int i = 0; i < n; ++i)
            e.push_back(static_cast<int64_t>(static_cast<uint64_t>(laid.in[i]) >> 28));
        break;
    case LaneHelper::HighHalvesZero: {
        operand(0, 0);
        bool zero = true;
        for (int i = 0; i < n; ++i)
            zero = zero && (static_cast<uint64_t>(laid.in[i]) >> 32) == 0;
        e.push_back(zero);
        break;
    }
    case LaneHelper::Clamp:
        operand(0, 0);
        for (int i = 0; i < n; ++i)
            e.push_back(std::clamp<int64_t>(laid.in[i], -(1 << 30) + 1, (1 << 30) - 1));
        break;
    case LaneHelper::Widen:
    case LaneHelper::LowHalves:
        operand(0, 0);
        for (int i = 0; i < n; ++i)
            e.push_back(i32(laid.in[i]));
        break;
    case LaneHelper::AllBelow22: {
        bool below = true;
        for (int i = 0; i < 72; ++i) {
            laid.in[i] = lane(0, i);
            below = below && laid.in[i] > -(1 << 22) && laid.in[i] < (1 << 22);
        }
        e.push_back(below);
        break;
    }
    case LaneHelper::Columns18:
        for (int i = 0; i < 18 * n; ++i)
            laid.in[i] = (i * 7919 + rotation) * (i % 2 ? -1 : 1);
        for (int k = 0; k < 18; ++k)
            for (int r = 0; r < n; ++r)
                e.push_back(laid.in[18 * r + k]);
        break;
    }
    return laid;
}

TEST(Lanes, EveryBodyDoesTheArithmeticOfEachHelperAtItsEdges)
{
    const std::vector<Body> all = bodies();
#if defined(__aarch64__) || defined(__x86_64__)
    EXPECT_GE(all.size(), 2u) << "this CPU's own body is tested besides the portable one";
#endif
    for (const Body& body : all) {
        for (const Case& c : cases()) {
            const size_t rotations = std::max<size_t>(1, c.operands[0].size());
            for (size_t r = 0; r < rotations; ++r) {
                const Laid laid = layOut(c, body, static_cast<int>(r));
                std::vector<int64_t> out(96, INT64_MIN + 12345);
                body.run(c.helper, laid.in.data(), out.data());
                out.resize(laid.expected.size());
                EXPECT_EQ(out, laid.expected) << body.name << ": " << c.name << ", rotation " << r;
            }
        }
    }
}

}  // namespace
