// loopSeam.cpp — the step across the seam against the stretch's own steps, and a high-passed
// level around it against the stretch's median.
#include "loopSeam.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr double PI = 3.14159265358979323846;

// A second-order high-pass (RBJ); two in a row with these Qs make a fourth-order Butterworth.
struct HighPass {
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    HighPass(double cutoff, double q, int rate) {
        const double w = 2 * PI * cutoff / rate, alpha = std::sin(w) / (2 * q), c = std::cos(w);
        const double a0 = 1 + alpha;
        b0 = (1 + c) / 2 / a0, b1 = -(1 + c) / a0, b2 = b0;
        a1 = -2 * c / a0, a2 = (1 - alpha) / a0;
    }
    double run(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

double dbfs(double meanSquare) { return 10 * std::log10(std::max(meanSquare, 1e-20)); }
}  // namespace

SeamReport measureSeam(const std::vector<int16_t>& stereo, int64_t seam, int rate) {
    SeamReport r;
    const int64_t frames = int64_t(stereo.size() / 2);
    if (seam <= 0 || seam >= frames) return r;

    auto step = [&](int64_t k) {   // from frame k - 1 to frame k
        return std::max(std::abs(stereo[size_t(2 * k)] - stereo[size_t(2 * k - 2)]),
                        std::abs(stereo[size_t(2 * k + 1)] - stereo[size_t(2 * k - 1)]));
    };
    std::vector<int> steps;
    steps.reserve(size_t(frames));
    for (int64_t k = 1; k < frames; ++k)
        if (k != seam) steps.push_back(step(k));
    r.seamStep = step(seam);
    if (!steps.empty()) {
        auto at = steps.begin() + std::ptrdiff_t(steps.size() * 99 / 100);
        std::nth_element(steps.begin(), at, steps.end());
        r.p99Step = *at;
    }

    // Each channel's square high-passed level, summed per window; the mean of the two.
    std::vector<double> high(size_t(frames), 0.0);
    for (int c = 0; c < 2; ++c) {
        HighPass first(SeamReport::HIGH_CUTOFF_HZ, 0.5411961, rate), second(SeamReport::HIGH_CUTOFF_HZ, 1.3065630, rate);
        for (int64_t k = 0; k < frames; ++k) {
            const double y = second.run(first.run(stereo[size_t(2 * k + c)] / 32768.0));
            high[size_t(k)] += y * y / 2;
        }
    }
    const int64_t window = SeamReport::WINDOW_FRAMES, hop = window / 2;
    auto level = [&](int64_t start) {
        start = std::clamp<int64_t>(start, 0, std::max<int64_t>(0, frames - window));
        double sum = 0;
        for (int64_t k = start; k < std::min(frames, start + window); ++k) sum += high[size_t(k)];
        return dbfs(sum / double(window));
    };
    std::vector<double> levels;
    for (int64_t start = 0; start + window <= frames; start += hop) levels.push_back(level(start));
    if (!levels.empty()) {
        auto mid = levels.begin() + std::ptrdiff_t(levels.size() / 2);
        std::nth_element(levels.begin(), mid, levels.end());
        r.medianHighDb = *mid;
    }
    const int64_t centred = seam - window / 2;
    r.seamHighDb = level(centred);
    r.besideHighDb = std::max(level(centred - window), level(centred + window));
    return r;
}
