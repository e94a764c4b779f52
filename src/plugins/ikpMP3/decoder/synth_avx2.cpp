// synth_avx2.cpp — the synthesis and alias reduction kernels over the AVX2 body of lanes.h, and the
// AVX2 kernel set; this file and imdct_avx2.cpp alone are compiled with AVX2.
#include "kernels.h"

#if defined(__x86_64__)
#ifndef __AVX2__
#error "synth_avx2.cpp must be compiled with -mavx2"
#endif

const KernelSet avx2_kernel_set = synth_lanes::kernel_set<Avx2Lanes>("avx2", cpu_has_avx2, imdct_long_blocks_avx2);
#endif
