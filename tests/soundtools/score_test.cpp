// score_test.cpp — soundgen's scores scaled to a loudness, and refused when that would clip.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "loudness.h"
#include "score.h"

namespace {
constexpr int RATE = 44100;

std::vector<int16_t> render(const std::string& text, std::string& error) {
    Score score;
    if (!parseScore(text, score, error)) return {};
    std::vector<int16_t> pcm;
    if (!renderScore(score, RATE, pcm, error)) return {};
    return pcm;
}

double peakDb(const std::vector<int16_t>& pcm) {
    int peak = 1;
    for (int16_t v : pcm) peak = std::max(peak, std::abs(int(v)));
    return 20 * std::log10(peak / 32768.0);
}
}  // namespace

TEST(ScoreLoudness, ASoundIsScaledToTheLoudnessItAsksFor) {
    const char* body = "instrument tone wave=sine attack=0.01 decay=0.1 sustain=0.8 release=0.1 gain=0.5\n"
                       "play tone at 0 dur 0.4 : A4 C5\n";
    struct Case { int channels; double lufs; } cases[] = {{1, -18}, {1, -26}, {2, -20}};
    for (const Case& c : cases) {
        std::string error;
        const std::vector<int16_t> pcm = render("channels " + std::to_string(c.channels) + "\nloudness " +
                                                    std::to_string(c.lufs) + "\n" + body, error);
        ASSERT_FALSE(pcm.empty()) << error;
        EXPECT_NEAR(integratedLoudness(pcm, c.channels, RATE), c.lufs, 0.05) << c.channels << " " << c.lufs;
    }
}

TEST(ScoreLoudness, ALoudnessThatWouldPeakAboveTheLimitIsRefused) {
    // A click: all peak and no body.
    const std::string click = "instrument tick wave=noise attack=0.001 decay=0.004 sustain=0 release=0.001 gain=1\n"
                              "play tick at 0 dur 0.004 : hz:1\n";
    std::string error;
    EXPECT_TRUE(render("loudness -6\n" + click, error).empty());
    EXPECT_NE(error.find("-6.0 LUFS would peak at"), std::string::npos) << error;
    const std::vector<int16_t> quiet = render("loudness -40\n" + click, error);
    ASSERT_FALSE(quiet.empty()) << error;
    EXPECT_LE(peakDb(quiet), 20 * std::log10(MAX_PEAK));
    for (const char* bad : {"loudness 3\n", "loudness -90\n", "loudness\n"}) {
        Score score;
        EXPECT_FALSE(parseScore(bad + click, score, error)) << bad;
    }
}

TEST(ScoreLoudness, WithoutALoudnessThePeakIsWhatTheScoreSays) {
    std::string error;
    const std::vector<int16_t> pcm =
        render("peak 0.5\ninstrument tone wave=square gain=0.5\nplay tone at 0 dur 0.3 : A3\n", error);
    ASSERT_FALSE(pcm.empty()) << error;
    EXPECT_NEAR(peakDb(pcm), 20 * std::log10(0.5), 0.01);
}
