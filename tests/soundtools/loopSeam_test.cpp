// loopSeam_test.cpp — the seam measure on loops made to click and made not to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "loopSeam.h"

namespace {
constexpr int RATE = 44100;
constexpr double PI = 3.14159265358979323846;

// A loop of `frames` stereo frames from `sample(k)`, played twice as the mixer would,
// end into start; the seam is where the second pass begins.
std::vector<int16_t> twice(int frames, const std::function<double(int)>& sample) {
    std::vector<int16_t> out;
    for (int pass = 0; pass < 2; ++pass)
        for (int k = 0; k < frames; ++k) {
            const auto v = int16_t(std::lround(sample(k)));
            out.push_back(v);
            out.push_back(v);
        }
    return out;
}

double hann(double x) { return x < 0 || x > 1 ? 0 : 0.5 - 0.5 * std::cos(2 * PI * x); }
}  // namespace

TEST(LoopSeam, LoopsMadeToJoinAreSeamlessAndLoopsMadeToClickAreCaught) {
    const int frames = 2 * RATE;
    // 200 Hz in two seconds is a whole number of periods; 200.125 Hz ends a quarter period
    // short, at its peak, and 200.25 Hz half a period, where the slope turns round.
    auto sine = [](double hz) { return [hz](int k) { return 8000 * std::sin(2 * PI * hz * k / RATE); }; };
    // The rest on a cosine, whose seam falls on its crest with no step of its own to speak of.
    auto crest = [](int k) { return 8000 * std::cos(2 * PI * 200 * k / RATE); };
    // A short 9 kHz burst on the seam, too small to make a large step of its own: a tick.
    auto ticked = [&](int k) {
        const int at = k < 60 ? k + 60 : k - (frames - 60);
        return crest(k) + 30 * hann(double(at) / 120) * std::sin(2 * PI * 9000 * k / RATE);
    };
    // A hi-hat struck on the loop's first frame (a 1 ms attack), as music with a beat on one has.
    auto hatOnOne = [&](int k) {
        const double hat = k < 6000 ? 900 * std::min(1.0, k / 44.0) * std::exp(-k / 1500.0) *
                                          std::sin(2 * PI * 9000 * k / RATE)
                                    : 0;
        return crest(k) + hat;
    };
    struct Case { const char* what; std::function<double(int)> loop; bool step, tick; } cases[] = {
        {"whole periods", sine(200), false, false},
        {"a quarter period short", sine(200.125), true, true},
        {"half a period short", sine(200.25), false, true},
        {"a tick at the seam", ticked, false, true},
        {"a note on the first beat", hatOnOne, false, false},
        {"silence", [](int) { return 0.0; }, false, false},
    };
    for (const Case& c : cases) {
        const SeamReport r = measureSeam(twice(frames, c.loop), frames, RATE);
        EXPECT_EQ(r.stepClicks(), c.step) << c.what << ": step " << r.seamStep << " against " << r.p99Step;
        EXPECT_EQ(r.tickClicks(), c.tick) << c.what << ": " << r.seamHighDb << " dBFS against " << r.besideHighDb
                                          << " beside and " << r.medianHighDb << " median";
        EXPECT_EQ(r.clicks(), c.step || c.tick) << c.what;
    }
}

TEST(LoopSeam, TheFiguresAreTheSignalsOwn) {
    const int frames = RATE;
    const SeamReport r = measureSeam(twice(frames, [](int k) { return k % 2 ? 100.0 : -100.0; }), frames, RATE);
    // A square wave at the Nyquist rate: every step 200, the seam's too (last -100, first -100
    // is 0: frames is even, so the last frame is odd, +100, and the first -100).
    EXPECT_EQ(r.p99Step, 200);
    EXPECT_EQ(r.seamStep, 200);
    EXPECT_NEAR(r.medianHighDb, r.seamHighDb, 0.5);
    // A seam outside the stretch measures nothing.
    const SeamReport none = measureSeam(std::vector<int16_t>(100, 0), 50, RATE);
    EXPECT_EQ(none.seamStep, 0);
    EXPECT_FALSE(none.clicks());
}
