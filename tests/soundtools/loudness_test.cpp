// loudness_test.cpp — integrated loudness on tones whose loudness the standard fixes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "loudness.h"

namespace {
constexpr int RATE = 44100;
constexpr double PI = 3.14159265358979323846;

// `seconds` of a sine of `peak` (full scale 1) on every channel, appended to `out`.
void tone(std::vector<double>& out, int channels, double hz, double peak, double seconds) {
    const int frames = int(seconds * RATE);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) out.push_back(peak * std::sin(2 * PI * hz * i / RATE));
}
}  // namespace

TEST(Loudness, AThousandHertzToneOnBothSpeakersIsItsPeakInDecibels) {
    // The K-weighting is close to 0 dB at 1 kHz, and -0.691 makes up the rest: a full-scale
    // 1 kHz sine on two channels is 0 LUFS.
    struct Case { int channels; double peak; double lufs; } cases[] = {
        {2, 1.0, 0.0}, {2, 0.1, -20.0}, {2, 0.01, -40.0},
        {1, 0.1, -20.0},   // a mono sound plays on both speakers
    };
    for (const Case& c : cases) {
        std::vector<double> s;
        tone(s, c.channels, 1000, c.peak, 2.0);
        EXPECT_NEAR(integratedLoudness(s, c.channels, RATE), c.lufs, 0.1) << c.channels << " " << c.peak;
    }
}

TEST(Loudness, SilenceIsGatedOutAndQuietPassagesBelowTheRelativeGateToo) {
    // Ten seconds of tone: 97 blocks inside it and three that end in the silence after it,
    // with 3/4, 1/2 and 1/4 of its energy, so 0.07 dB below the tone.
    std::vector<double> s;
    tone(s, 2, 1000, 0.1, 10.0);
    s.resize(s.size() + 2 * 4 * RATE, 0.0);   // four seconds of silence
    EXPECT_NEAR(integratedLoudness(s, 2, RATE), -20.07, 0.05);
    // 30 dB quieter is 20 LU below the relative gate: it does not count either.
    tone(s, 2, 1000, 0.1 / 31.6, 2.0);
    EXPECT_NEAR(integratedLoudness(s, 2, RATE), -20.07, 0.05);
    // ...but 6 dB quieter is above the gate, and pulls the mean down.
    std::vector<double> two;
    tone(two, 2, 1000, 0.1, 2.0);
    tone(two, 2, 1000, 0.05, 2.0);
    const double both = integratedLoudness(two, 2, RATE);
    EXPECT_LT(both, -21.0);
    EXPECT_GT(both, -24.0);
}

TEST(Loudness, ASoundShorterThanABlockCountsAsOneBlockOfWhichItIsPart) {
    std::vector<double> s;
    tone(s, 2, 1000, 0.1, 0.1);   // a quarter of a 400 ms block: 6 dB below its tone
    EXPECT_NEAR(integratedLoudness(s, 2, RATE), -26.0, 0.2);
    EXPECT_EQ(integratedLoudness(std::vector<double>(2 * RATE, 0.0), 2, RATE), -HUGE_VAL);
}

TEST(Loudness, TheWeightingHearsLowBassLessAndPresenceMore) {
    std::vector<double> low, mid, high;
    tone(low, 2, 25, 0.1, 2.0);
    tone(mid, 2, 1000, 0.1, 2.0);
    tone(high, 2, 4000, 0.1, 2.0);
    EXPECT_LT(integratedLoudness(low, 2, RATE), integratedLoudness(mid, 2, RATE) - 3);
    EXPECT_NEAR(integratedLoudness(high, 2, RATE) - integratedLoudness(mid, 2, RATE), 3.4, 0.6);
}

TEST(Loudness, SixteenBitSamplesMeasureAsTheirValueOverFullScale) {
    std::vector<double> s;
    tone(s, 2, 1000, 0.1, 1.0);
    std::vector<int16_t> pcm(s.size());
    for (size_t i = 0; i < s.size(); ++i) pcm[i] = int16_t(std::lround(s[i] * 32768));
    EXPECT_NEAR(integratedLoudness(pcm, 2, RATE), integratedLoudness(s, 2, RATE), 0.01);
}
