// layer12.cpp — layers I and II: bit allocation, scale factors and the dequantised sub-band samples.
#include <cmath>

#include "mpaudec_internal.h"

namespace {

// Layer II.
constexpr int sblimit_table[5] = {27, 30, 8, 12, 30};
constexpr int quant_steps[17] = {3, 5, 7, 9, 15, 31, 63, 127, 255, 511,
                                 1023, 2047, 4095, 8191, 16383, 32767, 65535};
// Negative: one grouped code of that many bits carrying three samples.
constexpr int quant_bits[17] = {-5, -7, 3, -10, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// Scale factor index i: (i mod 3) in the low 2 bits, i / 3 above them.
uint8_t scale_factor_modshift[64];
// For n = 2..16 bits: 2^n / (2^n - 1) times 2, 2 * 2^(-1/3), 2 * 2^(-2/3).
int32_t scale_factor_mult[15][3];
// For 3, 5 and 9 steps: 4/3, 4/5, 4/9 times 1, 2^(-1/3), 2^(-2/3).
int32_t scale_factor_mult2[3][3];

// Layer I mantissa of n + 1 bits to a sample value with scale factor sf.
int32_t l1_unscale(int n, int mant, int sf)
{
    const int m = scale_factor_modshift[sf];
    const int mod = m & 3;
    // The multiplier carries the factor 2 of the scale in a 24th fraction bit and the mantissa
    // has n; the result has SB_FRAC_BITS.
    const int shift = (m >> 2) + n - (SB_FRAC_BITS - FRAC_BITS);
    const int64_t value = static_cast<int64_t>(mant + 1 - (1 << n)) * scale_factor_mult[n - 1][mod];
    if (shift <= 0)
        return static_cast<int32_t>(value * (int64_t{1} << -shift));
    return static_cast<int32_t>(round_shift(value, shift));
}

// One sample of a grouped layer II code of 3, 5 or 9 steps.
int32_t l2_unscale_group(int steps, int mant, int sf)
{
    const int m = scale_factor_modshift[sf];
    const int mod = m & 3;
    const int shift = m >> 2;
    int32_t value = scale_factor_mult2[steps >> 2][mod] * (mant - (steps >> 1));
    if (shift > 0)
        value = static_cast<int32_t>(round_shift(value, shift));
    return value;
}

}  // namespace

void layer12_init()
{
    for (int i = 0; i < 64; ++i)
        scale_factor_modshift[i] = static_cast<uint8_t>((i % 3) | ((i / 3) << 2));
    // 2^(1 - k/3) × 2^n / (2^n - 1) with 24 fraction bits: the scale factor and the mantissa's
    // normalisation in one rounded multiplier.
    for (int i = 0; i < 15; ++i) {
        const int n = i + 2;
        const double norm = std::exp2(n) / (std::exp2(n) - 1.0);
        for (int k = 0; k < 3; ++k)
            scale_factor_mult[i][k] = static_cast<int32_t>(std::lround(std::exp2(24 - k / 3.0) * norm));
    }
    constexpr int divisors[3] = {3, 5, 9};
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k) {
            const double v = 4.0 / divisors[i] * std::exp2(-k / 3.0);
            scale_factor_mult2[i][k] = static_cast<int32_t>(std::lround(v * (1 << SB_FRAC_BITS)));
        }
    }
}

int l2_select_table(int bitrate, int nb_channels, int freq, int lsf)
{
    if (lsf)
        return 4;
    const int per_channel = bitrate / nb_channels;
    if ((freq == 48000 && per_channel >= 56) || (per_channel >= 56 && per_channel <= 80))
        return 0;
    if (freq != 48000 && per_channel >= 96)
        return 1;
    if (freq == 32000)
        return 3;
    if (per_channel > 48)
        return 3;
    return 2;
}

int mp_decode_layer1(MPADecodeContext* s)
{
    uint8_t allocation[MPA_MAX_CHANNELS][SBLIMIT] = {};
    uint8_t scale_factors[MPA_MAX_CHANNELS][SBLIMIT] = {};
    GetBitContext* gb = &s->gb;
    const int channels = s->nb_channels;
    const int bound = s->mode == MPA_JSTEREO ? (s->mode_ext + 1) * 4 : SBLIMIT;

    for (int i = 0; i < bound; ++i)
        for (int ch = 0; ch < channels; ++ch)
            allocation[ch][i] = static_cast<uint8_t>(get_bits(gb, 4));
    for (int i = bound; i < SBLIMIT; ++i)
        allocation[0][i] = allocation[1][i] = static_cast<uint8_t>(get_bits(gb, 4));

    for (int i = 0; i < bound; ++i)
        for (int ch = 0; ch < channels; ++ch)
            if (allocation[ch][i])
                scale_factors[ch][i] = static_cast<uint8_t>(get_bits(gb, 6));
    for (int i = bound; i < SBLIMIT; ++i) {
        if (allocation[0][i]) {
            scale_factors[0][i] = static_cast<uint8_t>(get_bits(gb, 6));
            scale_factors[1][i] = static_cast<uint8_t>(get_bits(gb, 6));
        }
    }

    for (int slot = 0; slot < 12; ++slot) {
        for (int i = 0; i < bound; ++i) {
            for (int ch = 0; ch < channels; ++ch) {
                const int n = allocation[ch][i];
                s->sb_samples[ch][slot][i] =
                    n ? l1_unscale(n, static_cast<int>(get_bits(gb, n + 1)), scale_factors[ch][i]) : 0;
            }
        }
        for (int i = bound; i < SBLIMIT; ++i) {
            const int n = allocation[0][i];
            if (n) {
                const int mant = static_cast<int>(get_bits(gb, n + 1));
                s->sb_samples[0][slot][i] = l1_unscale(n, mant, scale_factors[0][i]);
                s->sb_samples[1][slot][i] = l1_unscale(n, mant, scale_factors[1][i]);
            } else {
                s->sb_samples[0][slot][i] = 0;
                s->sb_samples[1][slot][i] = 0;
            }
        }
    }
    return 12;
}

namespace {

// Reads the three codes of one sub-band, channel-independent, as unscaled mantissas.
struct Triple {
    int mant[3];
    bool grouped;
    int steps;
    int bits;
};

Triple read_triple(GetBitContext* gb, int qindex)
{
    Triple t{};
    t.bits = quant_bits[qindex];
    t.steps = quant_steps[qindex];
    if (t.bits < 0) {
        t.grouped = true;
        int v = static_cast<int>(get_bits(gb, -t.bits));
        t.mant[0] = v % t.steps;
        v /= t.steps;
        t.mant[1] = v % t.steps;
        t.mant[2] = v / t.steps;
    } else {
        for (int m = 0; m < 3; ++m)
            t.mant[m] = static_cast<int>(get_bits(gb, t.bits));
    }
    return t;
}

int32_t unscale(const Triple& t, int m, int sf)
{
    return t.grouped ? l2_unscale_group(t.steps, t.mant[m], sf) : l1_unscale(t.bits - 1, t.mant[m], sf);
}

}  // namespace

int mp_decode_layer2(MPADecodeContext* s)
{
    uint8_t bit_alloc[MPA_MAX_CHANNELS][SBLIMIT] = {};
    uint8_t scale_code[MPA_MAX_CHANNELS][SBLIMIT] = {};
    uint8_t scale_factors[MPA_MAX_CHANNELS][SBLIMIT][3] = {};
    GetBitContext* gb = &s->gb;
    const int channels = s->nb_channels;

    const int table = l2_select_table(s->bit_rate / 1000, channels, s->sample_rate, s->lsf);
    const int sblimit = sblimit_table[table];
    const uint8_t* alloc_table = alloc_tables[table];
    int bound = s->mode == MPA_JSTEREO ? (s->mode_ext + 1) * 4 : sblimit;
    if (bound > sblimit)
        bound = sblimit;

    int j = 0;
    for (int i = 0; i < sblimit; ++i) {
        const int bits = alloc_table[j];
        if (i < bound) {
            for (int ch = 0; ch < channels; ++ch)
                bit_alloc[ch][i] = static_cast<uint8_t>(get_bits(gb, bits));
        } else {
            bit_alloc[0][i] = bit_alloc[1][i] = static_cast<uint8_t>(get_bits(gb, bits));
        }
        j += 1 << bits;
    }

    for (int i = 0; i < sblimit; ++i)
        for (int ch = 0; ch < channels; ++ch)
            if (bit_alloc[ch][i])
                scale_code[ch][i] = static_cast<uint8_t>(get_bits(gb, 2));

    for (int i = 0; i < sblimit; ++i) {
        for (int ch = 0; ch < channels; ++ch) {
            if (!bit_alloc[ch][i])
                continue;
            uint8_t* sf = scale_factors[ch][i];
            switch (scale_code[ch][i]) {
            case 0:
                sf[0] = static_cast<uint8_t>(get_bits(gb, 6));
                sf[1] = static_cast<uint8_t>(get_bits(gb, 6));
                sf[2] = static_cast<uint8_t>(get_bits(gb, 6));
                break;
            case 1:
                sf[0] = sf[1] = static_cast<uint8_t>(get_bits(gb, 6));
                sf[2] = static_cast<uint8_t>(get_bits(gb, 6));
                break;
            case 2:
                sf[0] = sf[1] = sf[2] = static_cast<uint8_t>(get_bits(gb, 6));
                break;
            default:
                sf[0] = static_cast<uint8_t>(get_bits(gb, 6));
                sf[1] = sf[2] = static_cast<uint8_t>(get_bits(gb, 6));
                break;
            }
        }
    }

    for (int part = 0; part < 3; ++part) {
        for (int l = 0; l < 12; l += 3) {
            const int slot = part * 12 + l;
            j = 0;
            for (int i = 0; i < sblimit; ++i) {
                const int bits = alloc_table[j];
                if (i < bound) {
                    for (int ch = 0; ch < channels; ++ch) {
                        const int a = bit_alloc[ch][i];
                        if (a) {
                            const Triple t = read_triple(gb, alloc_table[j + a]);
                            for (int m = 0; m < 3; ++m)
                                s->sb_samples[ch][slot + m][i] = unscale(t, m, scale_factors[ch][i][part]);
                        } else {
                            for (int m = 0; m < 3; ++m)
                                s->sb_samples[ch][slot + m][i] = 0;
                        }
                    }
                } else {
                    const int a = bit_alloc[0][i];
                    if (a) {
                        const Triple t = read_triple(gb, alloc_table[j + a]);
                        for (int ch = 0; ch < 2; ++ch)
                            for (int m = 0; m < 3; ++m)
                                s->sb_samples[ch][slot + m][i] = unscale(t, m, scale_factors[ch][i][part]);
                    } else {
                        for (int ch = 0; ch < 2; ++ch)
                            for (int m = 0; m < 3; ++m)
                                s->sb_samples[ch][slot + m][i] = 0;
                    }
                }
                j += 1 << bits;
            }
            for (int i = sblimit; i < SBLIMIT; ++i)
                for (int ch = 0; ch < channels; ++ch)
                    for (int m = 0; m < 3; ++m)
                        s->sb_samples[ch][slot + m][i] = 0;
        }
    }
    return 36;
}
