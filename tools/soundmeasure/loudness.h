// loudness.h — integrated loudness after ITU-R BS.1770: K-weighting, 400 ms blocks, two gates.
#pragma once

#include <cstdint>
#include <vector>

// The loudness of interleaved samples (full scale 1.0) in LUFS, as the game plays them:
// a mono sound comes out of both speakers, so it counts as two equal channels. A sound
// shorter than one block is measured as one block, the rest of it silence; one that
// is silent throughout gives -HUGE_VAL.
double integratedLoudness(const std::vector<double>& samples, int channels, int rate);
// The same for 16-bit samples (full scale 32768).
double integratedLoudness(const std::vector<int16_t>& samples, int channels, int rate);
