// kernel_paths.h — every kernel set a build may offer, by the name mpaudec_use_kernels takes: the
// portable reference first, then the vector kernels over the portable body, AVX2 and NEON.
#pragma once

inline constexpr const char* KERNEL_PATHS[] = {"scalar", "lanes", "avx2", "neon"};
