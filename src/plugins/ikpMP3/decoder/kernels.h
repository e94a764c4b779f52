// kernels.h — the sets of inner loops, one per instruction set, and the one in use: the synthesis
// and layer III both call through it and neither reaches into the other.
#pragma once

#include "imdct_kernels.h"
#include "synth_kernels.h"

// One instruction set's kernels, by the name mpaudec_use_kernels takes. The layer III IMDCT
// kernel is null where the portable transform serves.
struct KernelSet {
    const char* name;
    bool needs_avx2;
    Dct32 dct32;
    SynthSlot slot;
    SynthPair pair;
    Antialias antialias;
    ImdctLongBlocks imdct_long;
};

// The kernels in use: set by the first choose_kernels or by mpaudec_use_kernels.
extern const KernelSet* mpa_kernels;

// Picks the fastest set this CPU runs, unless one is chosen already.
void choose_kernels();
