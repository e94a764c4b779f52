// mpa_synth_test.cpp — the 32-point DCT, output rounding, the history ring and the x^(4/3) routine.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kernel_paths.h"
#include "mpaudec_internal.h"
#include "kernels.h"

namespace {

// The kernel sets this build has and this CPU runs.
std::vector<const KernelSet*> runnableKernelSets()
{
    std::vector<const KernelSet*> sets;
    for (const char* name : KERNEL_PATHS)
        if (const KernelSet* set = mpaudec_kernel_set(name); set && set->supported())
            sets.push_back(set);
    return sets;
}

// The vector kernel set native to this CPU, if it has one.
const char* nativeVectorKernels()
{
#if defined(__x86_64__)
    return __builtin_cpu_supports("avx2") ? "avx2" : nullptr;
#elif defined(__aarch64__)
    return "neon";
#else
    return nullptr;
#endif
}

class SynthTest : public ::testing::Test {
protected:
    // mpaudec_init builds the window and every other shared table.
    void SetUp() override { ASSERT_EQ(mpaudec_init(&ctx_), 0); }
    void TearDown() override { mpaudec_clear(&ctx_); }
    MPAuDecContext ctx_{};
};

TEST_F(SynthTest, Dct32MatchesTheCosineSumOnRandomInput)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> sample(-(1 << 23), 1 << 23);
    int worst = 0;
    for (int round = 0; round < 200; ++round) {
        int32_t in[32];
        int32_t copy[32];
        int32_t out[32];
        for (int n = 0; n < 32; ++n)
            copy[n] = in[n] = sample(rng);
        dct32(out, in);
        for (int k = 0; k < 32; ++k) {
            double expected = 0;
            for (int n = 0; n < 32; ++n)
                expected += copy[n] * std::cos((2 * n + 1) * k * M_PI / 64);
            worst = std::max(worst, int(std::lround(std::abs(expected - out[k]))));
        }
    }
    // Units of 2^-23 against outputs up to 32 × 2^23: far below one output LSB (2^9 units).
    EXPECT_LE(worst, 64);
}

TEST(RoundSample, RoundsHalfUpAndClampsToSixteenBits)
{
    // Window sums carry SB_FRAC_BITS + 16 fraction bits; one output step is 2^-15.
    const int64_t one = int64_t{1} << (SB_FRAC_BITS + 1);
    const int64_t half = one / 2;
    EXPECT_EQ(round_sample(1000 * one), 1000);
    EXPECT_EQ(round_sample(40000 * one), 32767);
    EXPECT_EQ(round_sample(-40000 * one), -32768);
    EXPECT_EQ(round_sample(half - 1), 0);
    EXPECT_EQ(round_sample(half), 1);
    EXPECT_EQ(round_sample(-half), 0);
    EXPECT_EQ(round_sample(-half - 1), -1);
    EXPECT_EQ(round_sample(7 * one + half), 8);
}

TEST_F(SynthTest, SilenceAfterSilenceGivesZerosAndTheRingTurnsOnce)
{
    auto s = std::make_unique<MPADecodeContext>();
    int32_t sb[32] = {};
    short samples[64];
    const int expected_offsets[] = {480, 448, 416};
    for (int call = 0; call < 16; ++call) {
        for (short& v : samples)
            v = 123;
        synth_filter(s.get(), 1, samples, 2, sb);
        for (int k = 0; k < 32; ++k) {
            EXPECT_EQ(samples[2 * k], 0);
            EXPECT_EQ(samples[2 * k + 1], 123) << "stride 2 must leave the other channel alone";
        }
        if (call < 3) {
            EXPECT_EQ(s->synth_buf_offset[1], expected_offsets[call]);
        }
    }
    EXPECT_EQ(s->synth_buf_offset[1], 0);
    EXPECT_EQ(s->synth_buf_offset[0], 0);
}

// Runs 64 time slots of random sub-band samples through synth_filter on one kernel path.
std::vector<short> synthesize(const char* path, uint32_t seed, bool extreme)
{
    EXPECT_EQ(mpaudec_use_kernels(path), 0) << path;
    std::mt19937 rng(seed);
    auto s = std::make_unique<MPADecodeContext>();
    std::vector<short> out(64 * 64);
    for (int slot = 0; slot < 64; ++slot) {
        for (int ch = 0; ch < 2; ++ch) {
            int32_t sb[32];
            for (int32_t& v : sb) {
                const int32_t r = static_cast<int32_t>(rng());
                // Extreme: the whole 32-bit range and its ends, as corrupt streams can give.
                v = extreme ? (rng() % 5 == 0 ? (r < 0 ? INT32_MIN : INT32_MAX) : r) : r >> 6;
            }
            synth_filter(s.get(), ch, out.data() + 64 * slot + ch, 2, sb);
        }
    }
    return out;
}

TEST(SynthOutput, PairsTheSumsAndTheVectorBodyRoundsAndClampsLikeThePortableOne)
{
    // Ties either side of zero, steps around the clamps and sums near the largest a window can
    // give (2^52), each sample built from two sums that differ so a swapped pair shows.
    const int64_t one = int64_t{1} << SYNTH_OUT_SHIFT;
    const int64_t edges[] = {0, one / 2, one / 2 - 1, -one / 2, -one / 2 - 1, 32767 * one + one / 2 - 1,
                             32767 * one + one / 2, -32768 * one - one / 2, -32768 * one - one / 2 - 1,
                             int64_t{1} << 52, -(int64_t{1} << 52), 1234567 * one / 3};
    std::mt19937_64 rng(7);
    for (int round = 0; round < 200; ++round) {
        int64_t sums[4][16];
        for (int p = 0; p < 4; ++p)
            for (int l = 0; l < 16; ++l)
                sums[p][l] = round < 100 ? edges[rng() % std::size(edges)] / 2 + int64_t(rng() % 3) - 1
                                         : static_cast<int64_t>(rng() >> 12) - (int64_t{1} << 51);
        for (int incr : {1, 2}) {
            std::vector<short> portable(64, 99);
            synth_output_scalar(sums, portable.data(), incr);
            for (int j = 0; j < 16; ++j) {
                ASSERT_EQ(portable[j * incr], round_sample(sums[0][j] + sums[1][15 - j])) << j;
                ASSERT_EQ(portable[(32 - j - 1) * incr], round_sample(sums[2][j] + sums[3][15 - j])) << j;
            }
            if (incr == 2)
            {
                EXPECT_EQ(std::count(portable.begin(), portable.end(), 99), 32) << "every other short stays";
            }
            for (const KernelSet* set : runnableKernelSets()) {
                std::vector<short> vector(64, 99);
                set->output(sums, vector.data(), incr);
                ASSERT_TRUE(vector == portable) << set->name << ", round " << round << ", every " << incr;
            }
        }
    }
}

TEST(Antialias, ButterfliesMeetAtEachBoundaryAndTheVectorBodyMatchesThePortableOne)
{
    // cs = 0.5, ca = 0.25 on every pair: lines 18b - 1 - j and 18b + j (j < 8) become
    // a/2 - c/4 and c/2 + a/4; lines 8 and 9 of a sub-band and boundaries past `last` stay.
    int32_t csa[8][2];
    for (auto& pair : csa) {
        pair[0] = 1 << 22;
        pair[1] = 1 << 21;
    }
    std::vector<int32_t> lines(576);
    for (int i = 0; i < 576; ++i)
        lines[i] = 4 * (i + 1);
    std::vector<int32_t> x = lines;
    antialias_scalar(x.data(), 2, csa);
    for (int i = 0; i < 576; ++i) {
        const int b = (i + 9) / 18, below = 18 * b - 1 - i, above = i - 18 * b;
        int32_t expected = lines[i];
        if (b >= 1 && b <= 2 && below >= 0 && below < 8)
            expected = lines[i] / 2 - lines[18 * b + below] / 4;
        else if (b >= 1 && b <= 2 && above >= 0 && above < 8)
            expected = lines[i] / 2 + lines[18 * b - 1 - above] / 4;
        EXPECT_EQ(x[i], expected) << i;
    }
    // Full-range lines and coefficients, rounding ties included, on every boundary count.
    std::mt19937 rng(11);
    const std::vector<const KernelSet*> sets = runnableKernelSets();
    EXPECT_GE(sets.size(), nativeVectorKernels() ? 3u : 2u);
    for (int last = 0; last <= 31; ++last) {
        for (auto& pair : csa) {
            pair[0] = static_cast<int32_t>(rng() % (1u << 24)) - (1 << 23);
            pair[1] = static_cast<int32_t>(rng() % (1u << 24)) - (1 << 23);
        }
        for (auto& v : lines)
            v = last % 2 ? static_cast<int32_t>(rng()) : static_cast<int32_t>(rng() % 64) - 32;
        std::vector<int32_t> portable = lines;
        antialias_scalar(portable.data(), last, csa);
        EXPECT_EQ(portable == lines, last == 0) << last;
        for (const KernelSet* set : sets) {
            std::vector<int32_t> vector = lines;
            set->antialias(vector.data(), last, csa);
            ASSERT_TRUE(vector == portable) << set->name << ", last boundary " << last;
        }
    }
}

TEST_F(SynthTest, EveryKernelPathGivesTheSameSamples)
{
    const std::string chosen = mpaudec_kernels();
    int paths = 0;
    for (bool extreme : {false, true}) {
        const std::vector<short> reference = synthesize("scalar", 5, extreme);
        EXPECT_NE(std::count(reference.begin(), reference.end(), 0), std::ptrdiff_t(reference.size()));
        for (const char* path : KERNEL_PATHS) {
            if (mpaudec_use_kernels(path) != 0)
                continue;
            ++paths;
            EXPECT_TRUE(synthesize(path, 5, extreme) == reference) << path << (extreme ? " on extreme input" : "");
        }
    }
    EXPECT_EQ(mpaudec_use_kernels(chosen.c_str()), 0);
    EXPECT_EQ(paths, nativeVectorKernels() ? 6 : 4) << "the reference, the portable body and the CPU's own";
}

// Sub-band samples of one kind: ordinary (what streams give), full 32-bit range with its ends (what
// corrupt streams can give), or tiny values whose window sums sit on rounding ties.
enum class Input { Ordinary, Extreme, Tiny };

int32_t subBandSample(std::mt19937& rng, Input kind)
{
    const int32_t r = static_cast<int32_t>(rng());
    switch (kind) {
    case Input::Ordinary:
        return r >> 6;
    case Input::Extreme:
        return rng() % 5 == 0 ? (r < 0 ? INT32_MIN : INT32_MAX) : r;
    case Input::Tiny:
        break;
    }
    return r % 4;
}

// Three frames of 36 slots (the history ring turns several times) of `channels` channels, through
// the frame's entry point (batched) or one synth_filter call per channel and slot.
std::vector<short> synthesizeFrames(const char* path, Input kind, int channels, bool batched)
{
    EXPECT_EQ(mpaudec_use_kernels(path), 0) << path;
    std::mt19937 rng(9 + static_cast<int>(kind));
    auto s = std::make_unique<MPADecodeContext>();
    s->nb_channels = channels;
    std::vector<short> out;
    for (int frame = 0; frame < 3; ++frame) {
        for (int ch = 0; ch < channels; ++ch)
            for (auto& slot : s->sb_samples[ch])
                for (int32_t& v : slot)
                    v = subBandSample(rng, kind);
        std::vector<short> samples(36 * 32 * channels, 123);
        if (batched) {
            synth_slots(s.get(), samples.data(), 36);
        } else {
            for (int ch = 0; ch < channels; ++ch)
                for (int slot = 0; slot < 36; ++slot)
                    synth_filter(s.get(), ch, samples.data() + 32 * channels * slot + ch, channels, s->sb_samples[ch][slot]);
        }
        out.insert(out.end(), samples.begin(), samples.end());
    }
    return out;
}

TEST_F(SynthTest, EveryPathAndEntryPointGivesThePortableSamplesOnEveryKindOfInput)
{
    const std::string chosen = mpaudec_kernels();
    for (Input kind : {Input::Ordinary, Input::Extreme, Input::Tiny}) {
        for (int channels : {1, 2}) {
            const std::vector<short> reference = synthesizeFrames("scalar", kind, channels, false);
            EXPECT_EQ(std::count(reference.begin(), reference.end(), short{123}), 0) << "every sample is written";
            if (kind != Input::Tiny) {
                EXPECT_GT(std::count_if(reference.begin(), reference.end(), [](short v) { return std::abs(v) > 1000; }), 1000);
            }
            for (const char* path : KERNEL_PATHS) {
                if (mpaudec_use_kernels(path) != 0)
                    continue;
                for (bool batched : {false, true}) {
                    EXPECT_TRUE(synthesizeFrames(path, kind, channels, batched) == reference)
                        << path << ", input kind " << static_cast<int>(kind) << ", " << channels << " channels"
                        << (batched ? ", batched" : "");
                }
            }
        }
    }
    EXPECT_EQ(mpaudec_use_kernels(chosen.c_str()), 0);
}

TEST_F(SynthTest, TheDctIsTheSameOnEveryPath)
{
    const std::string chosen = mpaudec_kernels();
    for (Input kind : {Input::Ordinary, Input::Extreme, Input::Tiny}) {
        std::mt19937 rng(3);
        for (int round = 0; round < 300; ++round) {
            int32_t in[32];
            for (int32_t& v : in)
                v = subBandSample(rng, kind);
            ASSERT_EQ(mpaudec_use_kernels("scalar"), 0);
            int32_t copy[32], reference[32];
            std::copy(std::begin(in), std::end(in), copy);
            dct32(reference, copy);
            for (const char* path : KERNEL_PATHS) {
                if (mpaudec_use_kernels(path) != 0)
                    continue;
                int32_t out[32];
                std::copy(std::begin(in), std::end(in), copy);
                dct32(out, copy);
                ASSERT_TRUE(std::equal(std::begin(out), std::end(out), std::begin(reference)))
                    << path << ", input kind " << static_cast<int>(kind) << ", round " << round;
            }
        }
    }
    EXPECT_EQ(mpaudec_use_kernels(chosen.c_str()), 0);
}

TEST_F(SynthTest, TheFastestPathIsChosenAndUnknownPathsAreRefused)
{
    std::printf("kernels: %s\n", mpaudec_kernels());   // tools/cross/arm64.sh reports it
    const char* native = nativeVectorKernels();
    EXPECT_STREQ(mpaudec_kernels(), native ? native : "scalar");
    EXPECT_STREQ(mpaudec_fastest_kernels(), mpaudec_kernels());
    // Each CPU's kernels are built for that CPU alone.
#if defined(__x86_64__)
    EXPECT_EQ(mpaudec_kernel_set("neon"), nullptr);
#elif defined(__aarch64__)
    EXPECT_EQ(mpaudec_kernel_set("avx2"), nullptr);
#endif
    EXPECT_EQ(mpaudec_use_kernels("sse2"), -1);
    const std::string chosen = mpaudec_kernels();
    EXPECT_EQ(mpaudec_use_kernels("neon9"), -1);
    EXPECT_EQ(mpaudec_kernels(), chosen) << "a refused path leaves the choice alone";
    EXPECT_EQ(mpaudec_use_kernels("scalar"), 0);
    EXPECT_STREQ(mpaudec_kernels(), "scalar");
    EXPECT_EQ(mpaudec_use_kernels(chosen.c_str()), 0);
}

TEST_F(SynthTest, IntPowGivesTheDocumentedMantissasAndExponents)
{
    struct Case {
        int i;
        int value;
        int exponent;
    };
    const Case cases[] = {{1, 16777210, -1}, {2, 10568981, 1}, {16, 10568981, 5},
                          {100, 15209557, 8}, {8206, 10593069, 17}};
    for (const Case& c : cases) {
        int exponent = 0;
        EXPECT_EQ(int_pow(c.i, &exponent), c.value) << "i = " << c.i;
        EXPECT_EQ(exponent, c.exponent) << "i = " << c.i;
    }
}

TEST_F(SynthTest, IntPowFollowsTheFourThirdsPowerEverywhere)
{
    for (int i = 1; i <= 8206; ++i) {
        int exponent = 0;
        const int value = int_pow(i, &exponent);
        const double got = value * std::exp2(exponent - 23);
        EXPECT_NEAR(got / std::pow(double(i), 4.0 / 3.0), 1.0, 1e-6) << "i = " << i;
    }
}

}  // namespace
