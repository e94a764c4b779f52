// layer3_requant.cpp — layer III requantisation (x^(4/3) times the power of two of its exponent)
// and the joint stereo tools, mid/side and intensity.
#include <climits>
#include <cmath>

#include "layer3.h"

uint32_t table_4_3_value[8207];
int8_t table_4_3_exp[8207];
int32_t unscale_small[256][16];
int32_t is_table[2][16];
int32_t is_table_lsf[2][2][16];

namespace {

constexpr int32_t SQRT_HALF = 5931642;   // 1/√2

// 4/3 binomial series coefficients with 24 fraction bits.
int dev_4_3_coefs[13];
constexpr int pow_mult3[3] = {16777216, 21137967, 26632170};   // 1, 2^(1/3), 2^(2/3)

void build_stereo_tables()
{
    for (int i = 0; i < 16; ++i)
        is_table[0][i] = is_table[1][i] = 0;
    for (int i = 0; i < 6; ++i) {
        const double t = std::tan(i * M_PI / 12.0);
        is_table[0][i] = fix_trunc_half(t / (1.0 + t));
    }
    is_table[0][6] = FIX_ONE;
    for (int i = 0; i <= 6; ++i)
        is_table[1][i] = is_table[0][6 - i];

    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 16; ++i) {
            const int e = -(j + 1) * ((i + 1) >> 1);
            const int k = i & 1;
            is_table_lsf[j][k ^ 1][i] = fix_trunc_half(std::pow(2.0, e / 4.0));
            is_table_lsf[j][k][i] = FIX_ONE;
        }
    }
}

}  // namespace

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

void build_requant_tables()
{
    // i^(4/3) = table_4_3_value[i] × 2^(table_4_3_exp[i] - 31), the value in [2^31, 2^32): 32
    // significant bits, which int_pow's 24-bit working precision cannot give.
    for (int i = 1; i < 8207; ++i) {
        int e = 0;
        const double mantissa = std::frexp(i * std::cbrt(static_cast<double>(i)), &e);   // [0.5, 1)
        uint64_t v = static_cast<uint64_t>(std::llround(std::ldexp(mantissa, 32)));
        if (v >> 32) {
            v >>= 1;
            ++e;
        }
        table_4_3_value[i] = static_cast<uint32_t>(v);
        table_4_3_exp[i] = static_cast<int8_t>(e - 1);
    }
    for (int e = 0; e < 256; ++e) {
        unscale_small[e][0] = 0;
        for (int v = 1; v < 16; ++v)
            unscale_small[e][v] = l3_unscale(v, e + SMALL_EXP_MIN);
    }
    build_stereo_tables();
}

int32_t l3_unscale(int value, int exponent)
{
    // value^(4/3) is the table's value with 31 fraction bits times 2^exp, 2^(exponent / 4) the
    // multiplier times 2^(exponent >> 2); the result has SB_FRAC_BITS.
    const int sh = 31 + SCALE_FACTOR_MULT3_BITS - SB_FRAC_BITS - (table_4_3_exp[value] + (exponent >> 2));
    if (sh >= 64)
        return 0;
    if (sh < 1)
        return INT32_MAX;   // far beyond full scale: clip instead of shifting by a negative count
    const uint64_t m = uint64_t{table_4_3_value[value]} * scale_factor_mult3[exponent & 3];
    const uint64_t r = (m + (uint64_t{1} << (sh - 1))) >> sh;
    return r > INT32_MAX ? INT32_MAX : static_cast<int32_t>(r);
}

void compute_stereo(const MPADecodeContext* s, GranuleDef* g0, GranuleDef* g1)
{
    int32_t* left = g0->sb_hybrid;
    int32_t* right = g1->sb_hybrid;
    const int sri = s->sample_rate_index;
    const bool mid_side = (s->mode_ext & 2) != 0;

    if (s->mode_ext & 1) {
        const int32_t* tab0;
        const int32_t* tab1;
        int limit;
        if (s->lsf) {
            const int j = g1->scalefac_compress & 1;
            tab0 = is_table_lsf[j][0];
            tab1 = is_table_lsf[j][1];
            limit = 16;
        } else {
            tab0 = is_table[0];
            tab1 = is_table[1];
            limit = 7;
        }
        // One band of lines [start, start + w): intensity from the left channel, or normal stereo.
        auto process = [&](int start, int w, bool intensity, int sf) {
            if (intensity && sf < limit) {
                const int32_t v0 = tab0[sf];
                const int32_t v1 = tab1[sf];
                for (int j = start; j < start + w; ++j) {
                    const int32_t l = left[j];
                    left[j] = MULL(l, v0);
                    right[j] = MULL(l, v1);
                }
            } else if (mid_side) {
                for (int j = start; j < start + w; ++j) {
                    const int64_t l = left[j];
                    const int64_t r = right[j];
                    left[j] = static_cast<int32_t>(((l + r) * SQRT_HALF) >> FRAC_BITS);
                    right[j] = static_cast<int32_t>(((l - r) * SQRT_HALF) >> FRAC_BITS);
                }
            }
        };
        auto has_nonzero = [&](int start, int w) {
            for (int j = start; j < start + w; ++j)
                if (right[j])
                    return true;
            return false;
        };

        bool nonzero_short[3] = {false, false, false};
        if (g1->short_start <= 12) {
            // Short bands lie window by window: band i starts at three times its short-window start.
            int band_start[14];
            band_start[0] = 0;
            for (int i = 0; i < 13; ++i)
                band_start[i + 1] = band_start[i] + band_size_short[sri][i];
            for (int i = 12; i >= g1->short_start; --i) {
                const int w = band_size_short[sri][i];
                const int sf_band = i == 12 ? 11 : i;
                for (int l = 2; l >= 0; --l) {
                    const int start = 3 * band_start[i] + l * w;
                    bool intensity = false;
                    int sf = 0;
                    if (!nonzero_short[l]) {
                        if (has_nonzero(start, w)) {
                            nonzero_short[l] = true;
                        } else {
                            intensity = true;
                            sf = g1->scale_factors[g1->long_end + (sf_band - g1->short_start) * 3 + l];
                        }
                    }
                    process(start, w, intensity, sf);
                }
            }
        }
        bool nonzero = nonzero_short[0] || nonzero_short[1] || nonzero_short[2];
        for (int i = g1->long_end - 1; i >= 0; --i) {
            const int start = band_index_long[sri][i];
            const int w = band_size_long[sri][i];
            bool intensity = false;
            int sf = 0;
            if (!nonzero) {
                if (has_nonzero(start, w)) {
                    nonzero = true;
                } else {
                    intensity = true;
                    sf = g1->scale_factors[i == 21 ? 20 : i];
                }
            }
            process(start, w, intensity, sf);
        }
    } else if (mid_side) {
        for (int j = 0; j < GRANULE_LINES; ++j) {
            const int64_t l = left[j];
            const int64_t r = right[j];
            left[j] = static_cast<int32_t>(l + r);
            right[j] = static_cast<int32_t>(l - r);
        }
    }
}

