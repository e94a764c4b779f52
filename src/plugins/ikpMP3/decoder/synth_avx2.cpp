// synth_avx2.cpp — the synthesis kernels' AVX2 instances; this file alone is compiled with AVX2.
#include "synth_kernels.h"

#if defined(__x86_64__)
#ifndef __AVX2__
#error "synth_avx2.cpp must be compiled with -mavx2"
#endif
void window_sums_avx2(const int32_t* b, int64_t sums[4][16]) { window_sums_with<Avx2Lanes>(b, sums); }
void dct32_avx2(int32_t* out, const int32_t* in) { dct32_with<Avx2Lanes>(out, in); }
#endif
