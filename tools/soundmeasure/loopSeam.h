// loopSeam.h — whether a loop clicks where its end meets its start.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

// A seam clicks when the step between its two samples is larger than 99 % of the steps
// elsewhere, or when the sound above HIGH_CUTOFF_HZ in the few milliseconds centred on it
// is more than HIGH_MARGIN_DB above the same measure just before and just after it and
// above the stretch's median (a tick). Music that starts a note on its first beat is
// as loud there a little after the seam as at it, so only a burst of the seam's own counts.
struct SeamReport {
    static constexpr double HIGH_CUTOFF_HZ = 6000;
    static constexpr double HIGH_MARGIN_DB = 6;
    static constexpr int WINDOW_FRAMES = 256;   // 5.8 ms at 44.1 kHz

    int seamStep = 0;            // LSB, the larger of the two channels'
    int p99Step = 0;             // LSB, the 99th percentile of every other step
    double seamHighDb = 0;       // dBFS above the cutoff, in the window centred on the seam
    double besideHighDb = 0;     // dBFS, the louder of the windows just before and after that one
    double medianHighDb = 0;     // dBFS, the median of all windows, hopping by half a window
    bool stepClicks() const { return seamStep > p99Step; }
    bool tickClicks() const { return seamHighDb > std::max(besideHighDb, medianHighDb) + HIGH_MARGIN_DB; }
    bool clicks() const { return stepClicks() || tickClicks(); }
};

// `stereo` is interleaved and runs across the seam: frame `seam` is the loop's first frame
// again, frame seam - 1 its last. It should hold a whole pass of the loop, so that the
// figures for "elsewhere" are the loop's own.
SeamReport measureSeam(const std::vector<int16_t>& stereo, int64_t seam, int rate);
