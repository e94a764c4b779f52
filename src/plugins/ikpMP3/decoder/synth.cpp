// synth.cpp — polyphase synthesis filter bank (32-point DCT, windowed history ring) and the x^(4/3) routine.
#include <cmath>
#include <cstring>

#include "mpaudec_internal.h"
#include "synth_kernels.h"

int32_t synth_window_parts[4][8][16];

namespace {

// 512 coefficients with 16 fraction bits, built from mpa_enwindow by synth_init.
MPA_INT window[512];

// Butterfly multipliers 1/(2 cos((2i + 1)π/2N)) with DCT_COEF_BITS fraction bits, for N = 32, 16,
// 8, 4, 2. The largest, 10.2, still fits 32 bits.
constexpr int DCT_COEF_BITS = 26;
int32_t dct_coefs[16 + 8 + 4 + 2 + 1];
constexpr int DCT_COEF_OFFSET_32 = 0;
constexpr int DCT_COEF_OFFSET_16 = 16;
constexpr int DCT_COEF_OFFSET_8 = 24;
constexpr int DCT_COEF_OFFSET_4 = 28;
constexpr int DCT_COEF_OFFSET_2 = 30;

// The window kernel in use and its name; chosen once, by the first synth_init or by
// mpaudec_use_kernels.
WindowSums window_sums = nullptr;
const char* kernels_name = nullptr;

void window_sums_scalar(const int32_t* b, int64_t sums[4][16]) { window_sums_with<ScalarLanes>(b, sums); }
#ifdef MPA_X86_KERNELS
void window_sums_sse2(const int32_t* b, int64_t sums[4][16]) { window_sums_with<Sse2Lanes>(b, sums); }
#endif

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

// Sums and differences wrap rather than overflow: corrupt streams can carry any value.
inline int32_t wrap_add(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<int64_t>(a) + b); }
inline int32_t wrap_sub(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<int64_t>(a) - b); }

// Rounded: a truncating product biases every output of the transform the same way.
inline int32_t dct_mul(int32_t a, int32_t coef)
{
    return static_cast<int32_t>((int64_t{a} * coef + (int64_t{1} << (DCT_COEF_BITS - 1))) >> DCT_COEF_BITS);
}

constexpr int dct_coef_offset(int n)
{
    return n == 32 ? DCT_COEF_OFFSET_32 : n == 16 ? DCT_COEF_OFFSET_16 : n == 8 ? DCT_COEF_OFFSET_8
         : n == 4 ? DCT_COEF_OFFSET_4 : DCT_COEF_OFFSET_2;
}

// In-place N-point DCT-II with gain 1: split into the sum half (even outputs) and the
// scaled difference half (odd outputs, recombined by adding neighbours).
template <int N>
void dct_split(int32_t* x)
{
    if constexpr (N == 1) {
        (void)x;
    } else {
        constexpr int H = N / 2;
        const int32_t* coef = dct_coefs + dct_coef_offset(N);
        int32_t even[H];
        int32_t odd[H];
        for (int n = 0; n < H; ++n) {
            even[n] = wrap_add(x[n], x[N - 1 - n]);
            odd[n] = dct_mul(wrap_sub(x[n], x[N - 1 - n]), coef[n]);
        }
        dct_split<H>(even);
        dct_split<H>(odd);
        for (int k = 0; k < H - 1; ++k) {
            x[2 * k] = even[k];
            x[2 * k + 1] = wrap_add(odd[k], odd[k + 1]);
        }
        x[N - 2] = even[H - 1];
        x[N - 1] = odd[H - 1];
    }
}

void init_dct_coefs(int n)
{
    for (int i = 0; i < n / 2; ++i) {
        const double c = 1.0 / (2.0 * std::cos((2 * i + 1) * M_PI / (2 * n)));
        dct_coefs[dct_coef_offset(n) + i] = static_cast<int32_t>(std::lround(c * (1 << DCT_COEF_BITS)));
    }
}

}  // namespace

void synth_init()
{
    for (int i = 0; i <= 256; ++i)
        window[i] = mpa_enwindow[i];
    for (int i = 1; i <= 256; ++i)
        window[512 - i] = (i % 64 == 0) ? mpa_enwindow[i] : -mpa_enwindow[i];
    for (int n = 32; n >= 2; n /= 2)
        init_dct_coefs(n);

    // The four parts of the windowed sum (see synth_kernels.h), signs folded into the coefficients.
    for (int t = 0; t < 8; ++t) {
        for (int l = 0; l < 16; ++l) {
            const int tap = 64 * t;
            synth_window_parts[0][t][l] = window[l + tap];
            synth_window_parts[1][t][l] = -window[47 - l + tap];
            synth_window_parts[2][t][l] = l == 15 ? 0 : -window[31 - l + tap];   // output 16 has no such term
            synth_window_parts[3][t][l] = -window[48 + l + tap];
        }
    }
    if (!window_sums)
        mpaudec_use_kernels(cpu_has_avx2() ? "avx2" : "sse2");
    if (!window_sums)
        mpaudec_use_kernels("scalar");
}

int mpaudec_use_kernels(const char* name)
{
    if (std::strcmp(name, "scalar") == 0) {
        window_sums = window_sums_scalar;
        kernels_name = "scalar";
        return 0;
    }
#ifdef MPA_X86_KERNELS
    if (std::strcmp(name, "sse2") == 0) {
        window_sums = window_sums_sse2;
        kernels_name = "sse2";
        return 0;
    }
    if (std::strcmp(name, "avx2") == 0 && cpu_has_avx2()) {
        window_sums = window_sums_avx2;
        kernels_name = "avx2";
        return 0;
    }
#endif
    return -1;
}

const char* mpaudec_kernels()
{
    return kernels_name;
}

void dct32(int32_t* out, int32_t* in)
{
    dct_split<32>(in);
    for (int k = 0; k < 32; ++k)
        out[k] = in[k];
}

int round_sample(int64_t sum)
{
    // The window has 16 fraction bits; one output step is 2^-15.
    constexpr int SHIFT = SB_FRAC_BITS + 16 - 15;
    const int64_t v = (sum + (int64_t{1} << (SHIFT - 1))) >> SHIFT;
    if (v < -32768)
        return -32768;
    if (v > 32767)
        return 32767;
    return static_cast<int>(v);
}

void synth_filter(MPADecodeContext* s, int ch, short* samples, int incr, int32_t* sb_samples)
{
    int32_t tmp[32];
    dct32(tmp, sb_samples);

    const int offset = s->synth_buf_offset[ch];
    MPA_INT* b = s->synth_buf[ch] + offset;
    for (int j = 0; j < 32; ++j) {
        b[j] = tmp[j];
        b[SYNTH_RING_SIZE + j] = tmp[j];   // mirror: the tap reads below never wrap
    }

    int64_t sums[4][16];
    window_sums(b, sums);
    for (int j = 0; j < 16; ++j)
        samples[j * incr] = static_cast<short>(round_sample(sums[0][j] + sums[1][15 - j]));
    for (int j = 1; j <= 16; ++j)
        samples[(32 - j) * incr] = static_cast<short>(round_sample(sums[2][j - 1] + sums[3][16 - j]));

    s->synth_buf_offset[ch] = (offset - 32) & (SYNTH_RING_SIZE - 1);
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
