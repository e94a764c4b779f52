// synth.cpp — polyphase synthesis filter bank (32-point DCT, windowed history ring) and the x^(4/3) routine.
#include <cmath>

#include "mpaudec_internal.h"

namespace {

// 512 coefficients with 16 fraction bits, built from mpa_enwindow by synth_init.
MPA_INT window[512];

// Butterfly multipliers 1/(2 cos((2i + 1)π/2N)) with 23 fraction bits, for N = 32, 16, 8, 4, 2.
int32_t dct_coefs[16 + 8 + 4 + 2 + 1];
constexpr int DCT_COEF_OFFSET_32 = 0;
constexpr int DCT_COEF_OFFSET_16 = 16;
constexpr int DCT_COEF_OFFSET_8 = 24;
constexpr int DCT_COEF_OFFSET_4 = 28;
constexpr int DCT_COEF_OFFSET_2 = 30;

// 4/3 binomial series coefficients with 24 fraction bits.
int dev_4_3_coefs[13];
constexpr int pow_mult3[3] = {16777216, 21137967, 26632170};   // 1, 2^(1/3), 2^(2/3)

// Sums and differences wrap rather than overflow: corrupt streams can carry any value.
inline int32_t wrap_add(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<int64_t>(a) + b); }
inline int32_t wrap_sub(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<int64_t>(a) - b); }

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
            odd[n] = MULL(wrap_sub(x[n], x[N - 1 - n]), coef[n]);
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
        dct_coefs[dct_coef_offset(n) + i] = static_cast<int32_t>(c * (1 << 23) + 0.5);
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
}

void dct32(int32_t* out, int32_t* in)
{
    dct_split<32>(in);
    for (int k = 0; k < 32; ++k)
        out[k] = in[k];
}

int round_sample(int64_t sum)
{
    const int64_t v = (sum + (int64_t{1} << 23)) >> 24;
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

    const MPA_INT* w = window;
    int64_t sum = 0;
    for (int t = 0; t < 512; t += 64)
        sum += static_cast<int64_t>(w[t]) * b[16 + t] - static_cast<int64_t>(w[32 + t]) * b[48 + t];
    samples[0] = static_cast<short>(round_sample(sum));

    for (int j = 1; j < 16; ++j) {
        int64_t sum1 = 0;
        int64_t sum2 = 0;
        for (int t = 0; t < 512; t += 64) {
            const int64_t lo = b[16 + j + t];
            const int64_t hi = b[48 - j + t];
            sum1 += w[j + t] * lo - w[j + 32 + t] * hi;
            sum2 -= w[32 - j + t] * lo + w[64 - j + t] * hi;
        }
        samples[j * incr] = static_cast<short>(round_sample(sum1));
        samples[(32 - j) * incr] = static_cast<short>(round_sample(sum2));
    }

    sum = 0;
    for (int t = 0; t < 512; t += 64)
        sum -= static_cast<int64_t>(w[48 + t]) * b[32 + t];
    samples[16 * incr] = static_cast<short>(round_sample(sum));

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
