// synth_neon.cpp — the synthesis and alias reduction kernels over the NEON body of lanes.h, and the
// NEON kernel set (64-bit ARM).
#include "kernels.h"

#if defined(__aarch64__)
const KernelSet neon_kernel_set = synth_lanes::kernel_set<NeonLanes>("neon", cpu_has_neon, imdct_long_blocks_neon);
#endif
