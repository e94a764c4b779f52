// lanes_cases_avx2.cpp — lanes_cases.h over the AVX2 body; this file alone of the test is compiled
// with AVX2, and shares nothing with the others but plain arrays.
#include "lanes_cases.h"

#if defined(__x86_64__) && defined(__AVX2__)
void run_lane_helper_avx2(LaneHelper helper, const int64_t* in, int64_t* out) { run_lane_helper<Avx2Lanes>(helper, in, out); }
#endif
