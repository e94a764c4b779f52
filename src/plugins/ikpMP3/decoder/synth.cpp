// synth.cpp — polyphase synthesis filter bank (32-point DCT, windowed history ring) and the x^(4/3) routine.
#include <cmath>
#include <cstring>

#include "imdct_kernels.h"
#include "mpaudec_internal.h"
#include "synth_kernels.h"

int32_t synth_window_runs[4][8][16];
DctMatrices dct_matrices;
SynthWideTables synth_wide_tables;

namespace {

// 512 coefficients with 16 fraction bits, built from mpa_enwindow by synth_init.
MPA_INT window[512];

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

constexpr KernelSet kernel_sets[] = {
    {"scalar", false, dct32_scalar, synth_slot_scalar, synth_pair_with<synth_slot_scalar>, antialias_scalar, nullptr},
#ifdef MPA_X86_KERNELS
    {"sse2", false, dct32_sse2, synth_slot_sse2, synth_pair_with<synth_slot_sse2>, antialias_scalar, nullptr},
    {"avx2", true, dct32_avx2, synth_slot_avx2, synth_pair_avx2, antialias_avx2, imdct_long_blocks_avx2},
#endif
};

// The kernels in use; chosen once, by the first synth_init or by mpaudec_use_kernels.
const KernelSet* kernels = nullptr;

// The AVX2 kernels' tables (see synth_kernels.h), from the portable ones.
void build_wide_tables()
{
    SynthWideTables& w = synth_wide_tables;
    constexpr int even_columns[8] = {0, 2, 1, 3, 4, 6, 5, 7};
    for (int n = 0; n < 16; ++n)
        for (int k = 0; k < 16; ++k)
            w.dct_odd16[n][k] = dct_matrices.odd16[n][k];
    for (int n = 0; n < 8; ++n) {
        for (int i = 0; i < 8; ++i) {
            w.dct_even8[n][i] = dct_matrices.even8[n][even_columns[i]];
            w.dct_odd8[n][i] = dct_matrices.odd8[n][even_columns[i]];
        }
    }
    for (int block = 0; block < 4; ++block) {
        const int forward = block < 2 ? 0 : 3;
        const int backward = block < 2 ? 1 : 2;
        const int j = 8 * (block % 2);
        for (int t = 0; t < 8; ++t) {
            for (int q = 0; q < 4; ++q) {
                w.window[block][t][0][q] = synth_window_runs[forward][t][j + 2 * q];
                w.window[block][t][1][q] = synth_window_runs[forward][t][j + 2 * q + 1];
                w.window[block][t][2][q] = synth_window_runs[backward][t][8 - j + 2 * q];
                w.window[block][t][3][q] = synth_window_runs[backward][t][9 - j + 2 * q];
            }
        }
    }
}

bool cpu_has_avx2()
{
#ifdef MPA_X86_KERNELS
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

// 4/3 binomial series coefficients with 24 fraction bits.
int dev_4_3_coefs[13];
constexpr int pow_mult3[3] = {16777216, 21137967, 26632170};   // 1, 2^(1/3), 2^(2/3)

// The window has 16 fraction bits; one output step is 2^-15.
static_assert(SYNTH_OUT_SHIFT == SB_FRAC_BITS + 16 - 15);

}  // namespace

void synth_init()
{
    for (int i = 0; i <= 256; ++i)
        window[i] = mpa_enwindow[i];
    for (int i = 1; i <= 256; ++i)
        window[512 - i] = (i % 64 == 0) ? mpa_enwindow[i] : -mpa_enwindow[i];
    auto cosine = [](double x) { return static_cast<int32_t>(std::lround(std::cos(x) * (1 << DCT_COEF_BITS))); };
    for (int n = 0; n < 16; ++n)
        for (int k = 0; k < 16; ++k)
            dct_matrices.odd16[n][k] = cosine((2 * n + 1) * (2 * k + 1) * M_PI / 64);
    for (int n = 0; n < 8; ++n) {
        for (int k = 0; k < 8; ++k) {
            dct_matrices.odd8[n][k] = cosine((2 * n + 1) * (2 * k + 1) * M_PI / 32);
            dct_matrices.even8[n][k] = cosine((2 * n + 1) * k * M_PI / 16);
        }
    }

    // The four runs of the windowed sum (see synth_kernels.h), signs folded into the coefficients.
    for (int t = 0; t < 8; ++t) {
        for (int l = 0; l < 16; ++l) {
            const int tap = 64 * t;
            synth_window_runs[0][t][l] = window[l + tap];
            synth_window_runs[1][t][l] = -window[47 - l + tap];
            synth_window_runs[2][t][l] = l == 15 ? 0 : -window[31 - l + tap];   // output 16 has no such term
            synth_window_runs[3][t][l] = -window[48 + l + tap];
        }
    }
    build_wide_tables();
    // SSE2 has no signed 32 × 32-bit multiply; built from the unsigned one its kernels are slower
    // than the portable code (mpabench), so CPUs without AVX2 run the portable code.
    if (!kernels)
        mpaudec_use_kernels(cpu_has_avx2() ? "avx2" : "scalar");
}

int mpaudec_use_kernels(const char* name)
{
    for (const KernelSet& set : kernel_sets) {
        if (std::strcmp(name, set.name) == 0) {
            if (set.needs_avx2 && !cpu_has_avx2())
                return -1;
            kernels = &set;
            imdct_long_blocks = set.imdct_long;
            return 0;
        }
    }
    return -1;
}

const char* mpaudec_kernels()
{
    return kernels ? kernels->name : nullptr;
}

void antialias(int32_t* x, int last, const int32_t csa[8][2])
{
    kernels->antialias(x, last, csa);
}

void dct32(int32_t* out, int32_t* in)
{
    kernels->dct32(out, in);
}

int round_sample(int64_t sum)
{
    return round_synth_sample(sum);
}

void synth_filter(MPADecodeContext* s, int ch, short* samples, int incr, int32_t* sb_samples)
{
    const int offset = s->synth_buf_offset[ch];
    kernels->slot(s->synth_buf[ch] + offset, sb_samples, samples, incr);
    s->synth_buf_offset[ch] = (offset - 32) & (SYNTH_RING_SIZE - 1);
}

void synth_slots(MPADecodeContext* s, short* samples, int nb_slots)
{
    if (s->nb_channels != 2) {
        for (int slot = 0; slot < nb_slots; ++slot)
            synth_filter(s, 0, samples + 32 * slot, 1, s->sb_samples[0][slot]);
        return;
    }
    // Both channels of a slot at once, so that the stereo samples are written interleaved.
    for (int slot = 0; slot < nb_slots; ++slot) {
        const int offset0 = s->synth_buf_offset[0];
        const int offset1 = s->synth_buf_offset[1];
        kernels->pair(s->synth_buf[0] + offset0, s->sb_samples[0][slot], s->synth_buf[1] + offset1, s->sb_samples[1][slot],
                   samples + 64 * slot);
        s->synth_buf_offset[0] = (offset0 - 32) & (SYNTH_RING_SIZE - 1);
        s->synth_buf_offset[1] = (offset1 - 32) & (SYNTH_RING_SIZE - 1);
    }
}

void int_pow_init()
{
    int64_t a = int64_t{1} << 24;
    for (int i = 0; i < 13; ++i) {
        a = ((a * (22369621 - i * (int64_t{1} << 24))) >> 24) / (i + 1);
        dev_4_3_coefs[i] = static_cast<int>(a);
    }
}

int int_pow(int i, int* exponent)
{
    int64_t a = i;
    int e = 24;
    while (a < (int64_t{1} << 23)) {
        a <<= 1;
        --e;
    }
    const int64_t x = a - (int64_t{1} << 24);
    int64_t acc = 0;
    for (int j = 12; j >= 0; --j)
        acc = (x * (dev_4_3_coefs[j] + acc)) >> 24;

    int q = (4 * e) / 3;
    const int r = (4 * e) % 3;
    a = (pow_mult3[r] * (acc + (int64_t{1} << 24))) >> 24;
    while (a > (int64_t{1} << 25) - 1) {
        a >>= 1;
        ++q;
    }
    while (a < (int64_t{1} << 24)) {
        a <<= 1;
        --q;
    }
    int result;
    if (a + 1 >= (int64_t{1} << 25)) {
        result = static_cast<int>((a + 1) >> 2);
        ++q;
    } else {
        result = static_cast<int>((a + 1) >> 1);
    }
    *exponent = q;
    return result;
}
