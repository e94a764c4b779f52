// loudness.cpp — K-weighting as two biquads designed for the rate, then gated block energies.
#include "loudness.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double PI = 3.14159265358979323846;

struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double run(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

// The two stages of the standard's filter, given there for 48 kHz as a high shelf of about
// +4 dB above 1.7 kHz (the head) and a high-pass at 38 Hz; redesigned here for any rate
// from their analogue prototypes, which reproduces the published 48 kHz coefficients.
Biquad headShelf(int rate) {
    const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
    const double k = std::tan(PI * f0 / rate);
    const double vh = std::pow(10.0, gainDb / 20), vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1 + k / q + k * k;
    return {(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
            2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
}

Biquad lowCut(int rate) {
    const double f0 = 38.13547087602444, q = 0.5003270373238773;
    const double k = std::tan(PI * f0 / rate);
    const double a0 = 1 + k / q + k * k;
    return {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
}
}  // namespace

double integratedLoudness(const std::vector<double>& samples, int channels, int rate) {
    const int64_t frames = int64_t(samples.size()) / channels;
    const int64_t hop = rate / 10, block = 4 * hop;   // 400 ms blocks overlapping by 75 %
    // Energy per 100 ms step, summed over the channels (a mono one twice); the sound is
    // padded with silence to whole steps and at least one whole block.
    const int64_t steps = std::max<int64_t>(4, (frames + hop - 1) / hop);
    std::vector<double> energy(size_t(steps), 0.0);
    for (int c = 0; c < channels; ++c) {
        Biquad shelf = headShelf(rate), cut = lowCut(rate);
        for (int64_t i = 0; i < frames; ++i) {
            const double y = cut.run(shelf.run(samples[size_t(i * channels + c)]));
            energy[size_t(i / hop)] += y * y * (channels == 1 ? 2 : 1);
        }
    }
    std::vector<double> blocks;
    for (int64_t s = 0; s + 4 <= steps; ++s)
        blocks.push_back((energy[size_t(s)] + energy[size_t(s + 1)] + energy[size_t(s + 2)] + energy[size_t(s + 3)]) /
                         double(block));
    auto lufs = [](double meanSquare) { return -0.691 + 10 * std::log10(meanSquare); };
    auto gatedMean = [&](double gate) {
        double sum = 0;
        int n = 0;
        for (double b : blocks)
            if (b > 0 && lufs(b) > gate) sum += b, ++n;
        return n ? sum / n : 0.0;
    };
    const double absolute = gatedMean(-70);
    if (absolute <= 0) return -HUGE_VAL;
    const double relative = gatedMean(lufs(absolute) - 10);
    return lufs(relative);
}

double integratedLoudness(const std::vector<int16_t>& samples, int channels, int rate) {
    std::vector<double> scaled(samples.size());
    std::transform(samples.begin(), samples.end(), scaled.begin(), [](int16_t s) { return s / 32768.0; });
    return integratedLoudness(scaled, channels, rate);
}
