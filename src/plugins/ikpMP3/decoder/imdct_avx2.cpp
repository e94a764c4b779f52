// imdct_avx2.cpp — the layer III long-block IMDCT over the AVX2 body of lanes.h, four sub-bands at
// a time; this file alone is compiled with AVX2.
#include "imdct_kernels.h"

#if defined(__x86_64__)
#ifndef __AVX2__
#error "imdct_avx2.cpp must be compiled with -mavx2"
#endif

void imdct_long_blocks_avx2(const int32_t* x, int first, int end, int row, int32_t* sb_samples, int32_t* overlap)
{
    imdct_lanes::long_blocks<Avx2Lanes>(x, first, end, row, sb_samples, overlap);
}
#endif
