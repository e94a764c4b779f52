// mpa_conformance_test.cpp — layer I and II streams decode to full accuracy against reference output.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "mpaudec_internal.h"
#include "pcm_compare.h"

namespace fs = std::filesystem;
using namespace pcm_compare;

namespace {

void expectFullAccuracy(const std::string& name, const Decoded& decoded, const std::vector<int16_t>& reference)
{
    const Comparison c = compare(decoded.pcm, reference);
    printComparison(name, c);
    EXPECT_EQ(decoded.failed_frames, 0) << name;
    // References may be zero-padded or stop a frame early; the audio they hold must be covered.
    size_t audible = reference.size();
    while (audible > 0 && reference[audible - 1] == 0)
        --audible;
    const size_t one_frame = 1152 * 2;
    EXPECT_GE(decoded.pcm.size() + one_frame, audible) << name;
    EXPECT_GT(c.samples, 0u) << name;
    EXPECT_LT(c.rms, FULL_ACCURACY_RMS) << name;
    EXPECT_LE(c.max_diff, FULL_ACCURACY_MAX_DIFF) << name;
}

TEST(MpaConformance, ReferenceLayerOneAndTwoStreamsDecodeToFullAccuracy)
{
    REQUIRE_MPEG_AUDIO_DIR(dir);
    const char* streams[] = {"l1-fl1", "l1-fl2", "l1-fl3", "l1-fl4", "l1-fl5", "l1-fl6", "l1-fl7", "l1-fl8",
                             "l2-fl10", "l2-fl11", "l2-fl12", "l2-fl13", "l2-fl14", "l2-fl15", "l2-fl16",
                             "l2-test32"};
    for (const char* name : streams) {
        const fs::path bit = dir / "vectors" / (std::string(name) + ".bit");
        const fs::path pcm = dir / "vectors" / (std::string(name) + ".pcm");
        ASSERT_TRUE(fs::exists(bit) && fs::exists(pcm)) << name;
        const std::vector<int16_t> reference = readPcm(pcm);
        const Decoded decoded = decodeStreamOnEveryPath(readFile(bit), name);
        expectFullAccuracy(name, decoded, reference);
        const Comparison c = compare(decoded.pcm, reference);
        EXPECT_LT(c.rms, referenceRmsCeiling(name)) << name;
        EXPECT_LE(c.max_diff, REFERENCE_MAX_DIFF) << name;
    }
}

// The layer II allocation table follows the rate per channel: 27 sub-bands from 56 to 80 kbit/s
// (and above at 48 kHz), 30 from 96, 8 below 56 (12 at 32 kHz); the lower rates have their own.
TEST(MpaLayer2, AllocationTableFollowsTheRatePerChannel)
{
    constexpr int A = 0, B = 1, C = 2, D = 3;
    struct Row {
        int freq;
        int expected[10];   // for 32, 48, 56, 64, 80, 96, 112, 128, 160, 192 kbit/s per channel
    };
    const int rates[10] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192};
    const Row rows[] = {
        {44100, {C, C, A, A, A, B, B, B, B, B}},
        {48000, {C, C, A, A, A, A, A, A, A, A}},
        {32000, {D, D, A, A, A, B, B, B, B, B}},
    };
    for (const Row& row : rows) {
        for (int i = 0; i < 10; ++i) {
            for (int channels : {1, 2}) {
                EXPECT_EQ(l2_select_table(rates[i] * channels, channels, row.freq, 0), row.expected[i])
                    << row.freq << " Hz, " << rates[i] << " kbit/s per channel, " << channels << " channel(s)";
            }
        }
    }
    for (int freq : {16000, 22050, 24000})
        for (int kbps : {8, 80, 160})
            EXPECT_EQ(l2_select_table(kbps, 2, freq, 1), 4) << freq << " Hz";
}

// Streams written by another encoder, checked against another decoder's output.
class TwolameStreams : public ToolStreams {
protected:
    TwolameStreams() : ToolStreams({"twolame", "sox", "mpg123"}, "mpa_twolame") {}

    // A sweep over the whole band (stereo: a steady tone on the left, the sweep on the right).
    void checkStream(int rate, int channels, const std::string& mode, int kbps)
    {
        const std::string base = (dir_ / (std::to_string(rate) + "_" + mode + std::to_string(kbps))).string();
        const std::string wav = base + ".wav";
        const std::string mp2 = base + ".mp2";
        const std::string out = base + ".raw";
        ASSERT_TRUE(run("sox -D -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                        " -b 16 " + wav + " synth 1.5 " + (channels == 2 ? "sine 220 " : "") +
                        "sine 300-" + std::to_string(rate / 2 - 500) + " gain -3"))
            << "sox failed for " << base;
        ASSERT_TRUE(run("twolame -b " + std::to_string(kbps) + " -m " + mode + " " + wav + " " + mp2))
            << "twolame failed for " << base;
        ASSERT_TRUE(run("mpg123 --no-gapless -q -s " + mp2, out)) << "mpg123 failed for " << base;
        expectFullAccuracy(std::to_string(rate) + "/" + mode, decodeStreamOnEveryPath(readFile(mp2), mp2), readPcm(out));
    }
};

TEST_F(TwolameStreams, HighRatesDecodeLikeMpg123)
{
    checkStream(32000, 1, "m", 96);
    checkStream(44100, 2, "s", 192);
    checkStream(48000, 2, "j", 128);
}

// Both sides of the allocation tables' limit at 80 kbit/s per channel: a stream decoded with the
// wrong table reads its sub-band data from the wrong bits.
TEST_F(TwolameStreams, AllocationTableLimitsDecodeLikeMpg123)
{
    checkStream(44100, 2, "s", 160);
    checkStream(44100, 1, "m", 96);
    checkStream(32000, 1, "m", 80);
    checkStream(32000, 2, "s", 192);
}

TEST_F(TwolameStreams, LowRatesDecodeLikeMpg123)
{
    checkStream(16000, 1, "m", 32);
    checkStream(22050, 2, "s", 96);
    checkStream(24000, 2, "j", 64);
}

}  // namespace
