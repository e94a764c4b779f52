// imdct_neon.cpp — the layer III long-block IMDCT over the NEON body of lanes.h, two sub-bands at
// a time (64-bit ARM, where NEON is always present).
#include "imdct_kernels.h"

#if defined(__aarch64__)
void imdct_long_blocks_neon(const int32_t* x, int first, int end, int row, int32_t* sb_samples, int32_t* overlap)
{
    imdct_lanes::long_blocks<NeonLanes>(x, first, end, row, sb_samples, overlap);
}
#endif
