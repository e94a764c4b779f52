// kernels.cpp — the kernel sets this build offers and the choice among them, made once.
#include "kernels.h"

#include <cstring>

#include "mpaudec_internal.h"

const KernelSet* mpa_kernels = nullptr;
ImdctLongBlocks imdct_long_blocks = nullptr;

namespace {

void window_sums_scalar(const int32_t* b, int64_t sums[4][16]) { window_sums_with<ScalarLanes>(b, sums); }
void dct32_scalar(int32_t* out, const int32_t* in) { dct32_with<ScalarLanes>(out, in); }
#ifdef MPA_X86_KERNELS
void window_sums_sse2(const int32_t* b, int64_t sums[4][16]) { window_sums_with<Sse2Lanes>(b, sums); }
void dct32_sse2(int32_t* out, const int32_t* in) { dct32_with<Sse2Lanes>(out, in); }
#endif

// A time slot from the separate kernels: the DCT, the copy into the ring, the sums, the output.
template <Dct32 dct, WindowSums window_sums>
void synth_slot_with(int32_t* b, const int32_t* in, short* samples, int incr)
{
    int32_t tmp[32];
    dct(tmp, in);
    for (int j = 0; j < 32; ++j) {
        b[j] = tmp[j];
        b[SYNTH_RING_SIZE + j] = tmp[j];   // mirror: the tap reads never wrap
    }
    int64_t sums[4][16];
    window_sums(b, sums);
    synth_output_scalar(sums, samples, incr);
}

template <SynthSlot slot>
void synth_pair_with(int32_t* b0, const int32_t* in0, int32_t* b1, const int32_t* in1, short* samples)
{
    slot(b0, in0, samples, 2);
    slot(b1, in1, samples + 1, 2);
}

constexpr SynthSlot synth_slot_scalar = synth_slot_with<dct32_scalar, window_sums_scalar>;
#ifdef MPA_X86_KERNELS
constexpr SynthSlot synth_slot_sse2 = synth_slot_with<dct32_sse2, window_sums_sse2>;
#endif

constexpr KernelSet kernel_sets[] = {
    {"scalar", false, dct32_scalar, synth_slot_scalar, synth_pair_with<synth_slot_scalar>, antialias_scalar, nullptr},
#ifdef MPA_X86_KERNELS
    {"sse2", false, dct32_sse2, synth_slot_sse2, synth_pair_with<synth_slot_sse2>, antialias_scalar, nullptr},
    {"avx2", true, dct32_avx2, synth_slot_avx2, synth_pair_avx2, antialias_avx2, imdct_long_blocks_avx2},
#endif
};

bool cpu_has_avx2()
{
#ifdef MPA_X86_KERNELS
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

}  // namespace

void choose_kernels()
{
    // SSE2 has no signed 32 × 32-bit multiply; built from the unsigned one its kernels are slower
    // than the portable code (mpabench), so CPUs without AVX2 run the portable code.
    if (!mpa_kernels)
        mpaudec_use_kernels(cpu_has_avx2() ? "avx2" : "scalar");
}

int mpaudec_use_kernels(const char* name)
{
    for (const KernelSet& set : kernel_sets) {
        if (std::strcmp(name, set.name) == 0) {
            if (set.needs_avx2 && !cpu_has_avx2())
                return -1;
            mpa_kernels = &set;
            imdct_long_blocks = set.imdct_long;
            return 0;
        }
    }
    return -1;
}

const char* mpaudec_kernels()
{
    return mpa_kernels ? mpa_kernels->name : nullptr;
}

void antialias(int32_t* x, int last, const int32_t csa[8][2])
{
    mpa_kernels->antialias(x, last, csa);
}
