// kernels.h — the sets of inner loops, one per instruction set, and the one in use: the synthesis
// and layer III both call through it and neither reaches into the other.
#pragma once

#include "imdct_kernels.h"
#include "synth_kernels.h"

// One instruction set's kernels, by the name mpaudec_use_kernels takes (kernels.cpp).
struct KernelSet {
    const char* name;
    bool (*supported)();   // whether this CPU runs them
    void (*prepare)();     // builds their tables from the portable ones; called when chosen
    Dct32 dct32;
    SynthSlot slot;
    SynthPair pair;
    Antialias antialias;
    ImdctLongBlocks imdct_long;   // null: the portable transform
    // The slot's last stage alone (tests): window sums in the portable layout to samples.
    void (*output)(const int64_t sums[4][16], short* samples, int incr);
};

// The kernels in use: set by the first choose_kernels or by mpaudec_use_kernels.
extern const KernelSet* mpa_kernels;
// The kernel set of that name built into this program, or null (tests).
const KernelSet* mpaudec_kernel_set(const char* name);
// The name of the fastest set this CPU runs.
const char* mpaudec_fastest_kernels();
// What the CPU offers (kernels.cpp, compiled for the baseline CPU).
bool cpu_has_avx2();
bool cpu_has_neon();

// The vector sets (synth_avx2.cpp, synth_neon.cpp, kernels.cpp), where built.
extern const KernelSet avx2_kernel_set;
extern const KernelSet neon_kernel_set;
extern const KernelSet lanes_kernel_set;

// Picks the fastest set this CPU runs, unless one is chosen already.
void choose_kernels();

namespace synth_lanes {
namespace {

// The kernel set of body L.
template <class L>
constexpr KernelSet kernel_set(const char* name, bool (*supported)(), ImdctLongBlocks imdct_long)
{
    return {name, supported, prepare<L>, dct32_kernel<L>, slot<L>, pair<L>, antialias_kernel<L>, imdct_long, output<L>};
}

}  // namespace
}  // namespace synth_lanes
