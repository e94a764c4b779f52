// synth_kernels.h — the synthesis window's inner loop, written once over lanes.h and instantiated
// per instruction set (synth.cpp: portable and SSE2; synth_avx2.cpp: AVX2).
#pragma once

#include <cstdint>

#include "lanes.h"

// The windowed sums of one time slot, in four parts of 16 lanes. With b the history at the
// current offset, part p lane l sums, over the 8 taps t, synth_window_parts[p][t][l] ×
// b[SYNTH_PART_BASE[p] + 64 t + l]. Output j < 16 is part 0 lane j plus part 1 lane 15 - j;
// output 32 - j (j = 1..16) is part 2 lane j - 1 plus part 3 lane 16 - j. Every lane reads
// consecutive history, so a vector of lanes is one plain load.
extern int32_t synth_window_parts[4][8][16];
constexpr int SYNTH_PART_BASE[4] = {16, 33, 17, 32};

using WindowSums = void (*)(const int32_t* b, int64_t sums[4][16]);

namespace {

template <class L>
inline void window_sums_with(const int32_t* b, int64_t sums[4][16])
{
    for (int p = 0; p < 4; ++p) {
        for (int l = 0; l < 16; l += L::LANES) {
            typename L::Acc acc = L::zero();
            for (int t = 0; t < 8; ++t)
                acc = L::mul_add(acc, L::load(synth_window_parts[p][t] + l), L::load(b + SYNTH_PART_BASE[p] + 64 * t + l));
            L::store(sums[p] + l, acc);
        }
    }
}

}  // namespace

#if defined(__x86_64__)
void window_sums_avx2(const int32_t* b, int64_t sums[4][16]);   // call only where the CPU has AVX2
#endif
