// kernels.cpp — the kernel sets: the portable reference code, the vector kernels over the portable
// body of lanes.h, what the CPU offers, and the one choice of a set for the process.
#include <cstring>
#include <iterator>

#if defined(__aarch64__) && defined(__linux__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#endif

#include "kernels.h"
#include "mpaudec_internal.h"

const KernelSet* mpa_kernels = nullptr;
ImdctLongBlocks imdct_long_blocks = nullptr;

namespace {

// Sums and differences wrap rather than overflow: corrupt streams can carry any value.
int32_t wrap_add(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
int32_t wrap_sub(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }

// out[k] = Σ over n of m[n][k] × v[n], one exact sum (wrapping past 64 bits) rounded once.
template <int N>
void dct_matrix_times(const int32_t (&m)[N][N], const int32_t* v, int32_t* out)
{
    for (int k = 0; k < N; ++k) {
        uint64_t acc = 0;
        for (int n = 0; n < N; ++n)
            acc += static_cast<uint64_t>(int64_t{m[n][k]} * v[n]);
        out[k] = static_cast<int32_t>((acc + (uint64_t{1} << (DCT_COEF_BITS - 1))) >> DCT_COEF_BITS);
    }
}

// A time slot from the separate reference kernels: the DCT, the copy into the ring, the sums,
// the output.
void slot_reference(int32_t* b, const int32_t* in, short* samples, int incr)
{
    int32_t tmp[32];
    dct32_reference(tmp, in);
    for (int j = 0; j < 32; ++j) {
        b[j] = tmp[j];
        b[SYNTH_RING_SIZE + j] = tmp[j];   // mirror: the tap reads never wrap
    }
    int64_t sums[4][16];
    window_sums_reference(b, sums);
    synth_output_scalar(sums, samples, incr);
}

void pair_reference(int32_t* b0, const int32_t* in0, int32_t* b1, const int32_t* in1, short* samples)
{
    slot_reference(b0, in0, samples, 2);
    slot_reference(b1, in1, samples + 1, 2);
}

bool always() { return true; }
void nothing_to_prepare() {}

constexpr KernelSet reference_kernel_set = {"scalar", always, nothing_to_prepare, dct32_reference, slot_reference,
                                            pair_reference, antialias_scalar, nullptr, synth_output_scalar};

// Fastest first, where the CPU runs them: the choice is the first supported.
const KernelSet* const kernel_sets[] = {
#if defined(__x86_64__)
    &avx2_kernel_set,
#endif
#if defined(__aarch64__)
    &neon_kernel_set,
#endif
    &reference_kernel_set,
    &lanes_kernel_set,
};

bool prepared[std::size(kernel_sets)];

}  // namespace

void imdct_long_blocks_lanes(const int32_t* x, int first, int end, int row, int32_t* sb_samples, int32_t* overlap)
{
    imdct_lanes::long_blocks<ScalarLanes>(x, first, end, row, sb_samples, overlap);
}

// The vector kernels over the portable body: one lane, the shape of every other body.
const KernelSet lanes_kernel_set = synth_lanes::kernel_set<ScalarLanes>("lanes", always, imdct_long_blocks_lanes);

void window_sums_reference(const int32_t* b, int64_t sums[4][16])
{
    for (int p = 0; p < 4; ++p) {
        for (int l = 0; l < 16; ++l) {
            uint64_t acc = 0;
            for (int t = 0; t < 8; ++t)
                acc += static_cast<uint64_t>(int64_t{synth_window_runs[p][t][l]} * b[SYNTH_RUN_BASE[p] + 64 * t + l]);
            sums[p][l] = static_cast<int64_t>(acc);
        }
    }
}

// out[k] = Σ over n of in[n] cos((2n + 1)kπ/64): sums and differences of mirrored inputs split
// the transform into the odd outputs, the outputs 4k + 2 and the outputs 4k.
void dct32_reference(int32_t* out, const int32_t* in)
{
    int32_t sum[16], diff[16], sum2[8], diff2[8];
    for (int n = 0; n < 16; ++n) {
        sum[n] = wrap_add(in[n], in[31 - n]);
        diff[n] = wrap_sub(in[n], in[31 - n]);
    }
    for (int n = 0; n < 8; ++n) {
        sum2[n] = wrap_add(sum[n], sum[15 - n]);
        diff2[n] = wrap_sub(sum[n], sum[15 - n]);
    }
    int32_t odd[16], twos[8], fours[8];
    dct_matrix_times(dct_matrices.odd16, diff, odd);
    dct_matrix_times(dct_matrices.odd8, diff2, twos);
    dct_matrix_times(dct_matrices.even8, sum2, fours);
    for (int k = 0; k < 16; ++k)
        out[2 * k + 1] = odd[k];
    for (int k = 0; k < 8; ++k) {
        out[4 * k + 2] = twos[k];
        out[4 * k] = fours[k];
    }
}

bool cpu_has_avx2()
{
#if defined(__x86_64__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

// Every 64-bit ARM CPU has NEON (Advanced SIMD) in the base architecture; Linux still says so.
bool cpu_has_neon()
{
#if defined(__aarch64__) && defined(__linux__)
    return (getauxval(AT_HWCAP) & HWCAP_ASIMD) != 0;
#elif defined(__aarch64__)
    return true;
#else
    return false;
#endif
}

const KernelSet* mpaudec_kernel_set(const char* name)
{
    for (const KernelSet* set : kernel_sets)
        if (std::strcmp(name, set->name) == 0)
            return set;
    return nullptr;
}

const char* mpaudec_fastest_kernels()
{
    for (const KernelSet* set : kernel_sets)
        if (set->supported())
            return set->name;
    return reference_kernel_set.name;
}

int mpaudec_use_kernels(const char* name)
{
    for (size_t i = 0; i < std::size(kernel_sets); ++i) {
        const KernelSet* set = kernel_sets[i];
        if (std::strcmp(name, set->name) != 0)
            continue;
        if (!set->supported())
            return -1;
        if (!prepared[i]) {
            set->prepare();
            prepared[i] = true;
        }
        mpa_kernels = set;
        imdct_long_blocks = set->imdct_long;
        return 0;
    }
    return -1;
}

void choose_kernels()
{
    if (!mpa_kernels)
        mpaudec_use_kernels(mpaudec_fastest_kernels());
}

const char* mpaudec_kernels()
{
    return mpa_kernels ? mpa_kernels->name : nullptr;
}

void antialias(int32_t* x, int last, const int32_t csa[8][2])
{
    mpa_kernels->antialias(x, last, csa);
}
