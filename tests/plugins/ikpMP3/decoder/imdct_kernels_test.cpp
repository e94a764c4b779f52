// imdct_kernels_test.cpp — the layer III IMDCT's vector kernel against the portable code, bit for
// bit, on inputs from silence to the 32-bit extremes, across every block type and switch point,
// and the bound that lets small inputs skip the range checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "imdct_kernels.h"
#include "layer3.h"

namespace {

class ImdctKernels : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        MPAuDecContext ctx;   // the first decoder builds the shared tables
        ASSERT_EQ(mpaudec_init(&ctx), 0);
        mpaudec_clear(&ctx);
    }
    void SetUp() override { chosen_ = mpaudec_kernels(); }
    void TearDown() override { EXPECT_EQ(mpaudec_use_kernels(chosen_.c_str()), 0); }

    std::string chosen_;
};

// One granule's block layout.
struct Blocks {
    uint8_t block_type;
    uint8_t switch_point;
};
constexpr Blocks BLOCK_CYCLE[] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 0}, {1, 1}, {2, 1}, {3, 1}, {0, 0}};

using LineSource = std::function<int32_t(std::mt19937& random, int line)>;

// What compute_imdct hands out for a run of granules: each granule's samples, then the overlap.
std::vector<int32_t> transformGranules(const LineSource& source, int granules, uint32_t seed)
{
    std::mt19937 random(seed);
    auto s = std::make_unique<MPADecodeContext>();
    auto g = std::make_unique<GranuleDef>();
    std::vector<int32_t> overlap(18 * SBLIMIT, 0);
    std::vector<int32_t> record;
    for (int n = 0; n < granules; ++n) {
        const Blocks& blocks = BLOCK_CYCLE[n % std::size(BLOCK_CYCLE)];
        g->block_type = blocks.block_type;
        g->switch_point = blocks.switch_point;
        for (int i = 0; i < 18 * SBLIMIT; ++i)
            g->sb_hybrid[i] = source(random, i);
        int32_t samples[18][SBLIMIT];
        compute_imdct(s.get(), g.get(), &samples[0][0], overlap.data());
        record.insert(record.end(), &samples[0][0], &samples[0][0] + 18 * SBLIMIT);
        record.insert(record.end(), overlap.begin(), overlap.end());
    }
    return record;
}

int32_t uniform(std::mt19937& random, int64_t low, int64_t high)
{
    return static_cast<int32_t>(std::uniform_int_distribution<int64_t>(low, high)(random));
}

int32_t randomSign(std::mt19937& random, int32_t magnitude) { return (random() & 1) ? magnitude : -magnitude; }

TEST_F(ImdctKernels, EveryVectorSetUsesItsOwnKernelAndTheReferenceNone)
{
    ASSERT_EQ(mpaudec_use_kernels("scalar"), 0);
    EXPECT_EQ(imdct_long_blocks, nullptr);
    ASSERT_EQ(mpaudec_use_kernels("lanes"), 0);
    EXPECT_EQ(imdct_long_blocks, &imdct_long_blocks_lanes);
#if defined(__x86_64__)
    if (mpaudec_use_kernels("avx2") == 0) {
        EXPECT_EQ(imdct_long_blocks, &imdct_long_blocks_avx2);
    }
#elif defined(__aarch64__)
    ASSERT_EQ(mpaudec_use_kernels("neon"), 0);
    EXPECT_EQ(imdct_long_blocks, &imdct_long_blocks_neon);
#endif
}

TEST_F(ImdctKernels, EveryVectorSetGivesThePortableBitsOnEveryKindOfInput)
{
    constexpr int32_t SMALL = 1 << IMDCT_NARROW_INPUT_BITS;
    constexpr int32_t LIMIT = IMDCT_INPUT_LIMIT;
    const struct {
        const char* name;
        LineSource source;
    } cases[] = {
        {"silence", [](std::mt19937&, int) { return 0; }},
        {"quiet", [](std::mt19937& r, int) { return uniform(r, -(1 << 16), 1 << 16); }},
        {"just below the small-input bound", [](std::mt19937& r, int) { return uniform(r, -(SMALL - 1), SMALL - 1); }},
        {"at the small-input bound",
         [](std::mt19937& r, int) { return randomSign(r, SMALL - static_cast<int32_t>(r() % 2)); }},
        {"full scale", [](std::mt19937& r, int) { return uniform(r, -(1 << 27), 1 << 27); }},
        {"loud", [](std::mt19937& r, int) { return uniform(r, -(1 << 29), 1 << 29); }},
        {"around the clamp",
         [](std::mt19937& r, int) { return randomSign(r, LIMIT - 1 + static_cast<int32_t>(r() % 3)); }},
        {"32-bit extremes",
         [](std::mt19937& r, int) {
             const int32_t pick[] = {INT32_MIN, INT32_MAX, INT32_MIN + 1, 0, -1};
             return pick[r() % 5];
         }},
        {"any 32-bit value", [](std::mt19937& r, int) { return static_cast<int32_t>(r()); }},
        // Clamped inputs signed like one output's cosines: that output and the sums on its way
        // reach their largest.
        {"largest output",
         [](std::mt19937& r, int line) {
             static int target = 0;
             if (line % 18 == 0)
                 target = static_cast<int>(r() % 18);
             const int k = line % 18;
             return std::cos((2 * target + 1) * (2 * k + 1) * M_PI / 72.0) >= 0 ? LIMIT : -LIMIT;
         }},
        // Every sub-band its own loudness: groups mix lanes that fit 32 bits with lanes that do not.
        {"a loudness per sub-band",
         [](std::mt19937& r, int line) {
             static int bits = 0;
             if (line % 18 == 0)
                 bits = static_cast<int>(10 + r() % 22);
             return uniform(r, -(int64_t{1} << bits), int64_t{1} << bits);
         }},
        // Spectra that end anywhere, so that groups of four run past the last sub-band with lines.
        {"band-limited",
         [](std::mt19937& r, int line) {
             static int end = 576;
             if (line == 0)
                 end = static_cast<int>(r() % 577);
             return line < end ? uniform(r, -(1 << 28), 1 << 28) : 0;
         }},
        {"sparse", [](std::mt19937& r, int) { return r() % 40 == 0 ? static_cast<int32_t>(r()) : 0; }},
    };
    int sets = 0;
    for (const char* path : {"lanes", "avx2", "neon"}) {
        if (mpaudec_use_kernels(path) != 0)
            continue;
        ++sets;
        for (const auto& c : cases) {
            ASSERT_EQ(mpaudec_use_kernels("scalar"), 0);
            const std::vector<int32_t> portable = transformGranules(c.source, 90, 7);
            ASSERT_EQ(mpaudec_use_kernels(path), 0);
            const std::vector<int32_t> vector = transformGranules(c.source, 90, 7);
            ASSERT_EQ(portable.size(), vector.size());
            const auto differ = std::mismatch(portable.begin(), portable.end(), vector.begin());
            EXPECT_TRUE(differ.first == portable.end())
                << path << ", " << c.name << ": granule " << (differ.first - portable.begin()) / (2 * 18 * SBLIMIT)
                << " value " << (differ.first - portable.begin()) % (2 * 18 * SBLIMIT) << ": portable "
                << *differ.first << ", vector " << *differ.second;
        }
    }
#if defined(__aarch64__)
    EXPECT_EQ(sets, 2) << "the portable body and NEON";
#else
    EXPECT_GE(sets, 1);
#endif
}

// The kernel multiplies 32-bit halves only, unchecked, when every input lies below
// 2^IMDCT_NARROW_INPUT_BITS: bound every operand and result of the transform from the constants.
TEST_F(ImdctKernels, SmallInputsKeepEveryValueOfTheTransformWithin32Bits)
{
    const double b = std::ldexp(1.0, IMDCT_NARROW_INPUT_BITS) - 1;
    const double fit = std::ldexp(1.0, 31) - 1;
    const double cos_one = std::ldexp(1.0, IMDCT_COS9_BITS);
    const double guard = std::ldexp(1.0, IMDCT_SUM_GUARD_BITS);
    const double scale_one = std::ldexp(1.0, IMDCT_SCALE_BITS + IMDCT_SUM_GUARD_BITS);
    // The cosine sums of inputs bounded by x, with their guard bits: out[m] and out[8 - m] share
    // their terms.
    auto sumBounds = [&](double x) {
        std::vector<double> bound(9);
        for (int m = 0; m < 4; ++m) {
            double terms = x * cos_one + cos_one / guard / 2;
            for (int j = 1; j < 9; ++j)
                terms += x * std::abs(static_cast<double>(cos9[m][j]));
            bound[m] = bound[8 - m] = terms * guard / cos_one + 1;
        }
        bound[4] = 5 * x * guard;
        return bound;
    };
    const double a1 = 4 * b;   // a sum of four inputs
    const std::vector<double> even = sumBounds(2 * b);
    const std::vector<double> odd = sumBounds(a1);
    double largest = a1;
    for (int m = 0; m < 18; ++m) {
        const int k = m < 9 ? m : 17 - m;
        const double c = (even[k] * std::abs(static_cast<double>(icos72[m]))
                          + odd[k] * std::abs(static_cast<double>(imdct_odd_scale[m]))) / scale_one + 1;
        largest = std::max({largest, even[k], odd[k], c});
    }
    std::printf("largest value from inputs below 2^%d: 2^%.2f\n", IMDCT_NARROW_INPUT_BITS, std::log2(largest));
    EXPECT_LE(largest, fit);
}

}  // namespace
