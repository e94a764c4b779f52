// layer3_sideinfo.cpp — layer III side information, scale factors and the exponent of every line.
#include <cstring>

#include "layer3.h"

uint16_t band_index_long[9][23];

namespace {

inline int32_t get_bitsz(GetBitContext* gb, int n) { return n ? static_cast<int32_t>(get_bits(gb, n)) : 0; }

void read_scale_factors_mpeg1(MPADecodeContext* s, GranuleDef* g, const GranuleDef* first)
{
    GetBitContext* gb = &s->gb;
    const int slen1 = slen_table[0][g->scalefac_compress];
    const int slen2 = slen_table[1][g->scalefac_compress];
    int j = 0;
    if (g->block_type == 2) {
        const int n = g->switch_point ? 17 : 18;
        for (int i = 0; i < n; ++i)
            g->scale_factors[j++] = static_cast<uint8_t>(get_bitsz(gb, slen1));
        for (int i = 0; i < 18; ++i)
            g->scale_factors[j++] = static_cast<uint8_t>(get_bitsz(gb, slen2));
        for (int i = 0; i < 3; ++i)
            g->scale_factors[j++] = 0;
    } else {
        for (int k = 0; k < 4; ++k) {
            const int n = k == 0 ? 6 : 5;
            const int slen = k < 2 ? slen1 : slen2;
            if (g->scfsi & (8 >> k)) {
                std::memcpy(g->scale_factors + j, first->scale_factors + j, n);
                j += n;
            } else {
                for (int i = 0; i < n; ++i)
                    g->scale_factors[j++] = static_cast<uint8_t>(get_bitsz(gb, slen));
            }
        }
        g->scale_factors[j++] = 0;
    }
    std::memset(g->scale_factors + j, 0, sizeof g->scale_factors - j);
}

// How an MPEG-2 scalefac_compress gives the four scale-factor lengths: the first row whose bound
// it is below takes it; its offset from the row before's bound, in the radices n1, n2, n3, gives
// the lengths, and the row names the partition of the bands into four groups. The intensity
// stereo channel halves its value first and has rows of its own.
struct LsfSplit {
    int below;
    int n1, n2, n3;
    int partition;
};
constexpr int ANY = 1 << 30;
constexpr LsfSplit LSF_SPLITS[2][3] = {
    {{400, 5, 4, 4, 0}, {500, 5, 4, 0, 1}, {ANY, 3, 0, 0, 2}},
    {{180, 6, 6, 0, 3}, {244, 4, 4, 0, 4}, {ANY, 3, 0, 0, 5}},
};

void read_scale_factors_lsf(MPADecodeContext* s, GranuleDef* g, int ch)
{
    GetBitContext* gb = &s->gb;
    const int tindex = g->block_type == 2 ? (g->switch_point ? 2 : 1) : 0;
    const bool intensity = ch == 1 && (s->mode_ext & 1);
    const int sf = intensity ? g->scalefac_compress >> 1 : g->scalefac_compress;
    const LsfSplit* split = LSF_SPLITS[intensity];
    int base = 0;
    while (sf >= split->below)
        base = (split++)->below;
    int slen[4];
    lsf_sf_expand(slen, sf - base, split->n1, split->n2, split->n3);
    const int partition = split->partition;
    if (partition == 2)
        g->preflag = 1;
    int j = 0;
    for (int k = 0; k < 4; ++k) {
        const int n = lsf_nsf_table[partition][tindex][k];
        for (int i = 0; i < n; ++i)
            g->scale_factors[j++] = static_cast<uint8_t>(get_bitsz(gb, slen[k]));
    }
    std::memset(g->scale_factors + j, 0, sizeof g->scale_factors - j);
}

}  // namespace

void build_band_index()
{
    for (int sri = 0; sri < 9; ++sri) {
        band_index_long[sri][0] = 0;
        for (int i = 0; i < 22; ++i)
            band_index_long[sri][i + 1] = static_cast<uint16_t>(band_index_long[sri][i] + band_size_long[sri][i]);
    }
}

int read_granule_side_info(MPADecodeContext* s, GranuleDef* g)
{
    GetBitContext* gb = &s->gb;
    const int sri = s->sample_rate_index;
    g->part2_3_length = get_bits(gb, 12);
    g->big_values = get_bits(gb, 9);
    g->global_gain = get_bits(gb, 8);
    // Mid/side without intensity: the 1/√2 of the sum and difference is taken out of the gain.
    if ((s->mode_ext & 3) == 2)
        g->global_gain -= 2;
    g->scalefac_compress = get_bits(gb, s->lsf ? 9 : 4);
    if (get_bits(gb, 1)) {
        g->block_type = static_cast<uint8_t>(get_bits(gb, 2));
        if (g->block_type == 0)
            return -1;
        g->switch_point = static_cast<uint8_t>(get_bits(gb, 1));
        for (int i = 0; i < 2; ++i)
            g->table_select[i] = get_bits(gb, 5);
        g->table_select[2] = 0;
        for (int i = 0; i < 3; ++i)
            g->subblock_gain[i] = get_bits(gb, 3);
        // Region 1 starts at the fourth short band for short blocks (72 lines at 8000 Hz, where
        // short bands are twice as wide; 36 lines elsewhere) and at the ninth long band otherwise.
        if (g->block_type == 2)
            g->region_size[0] = sri == 8 ? 36 : 18;
        else if (sri <= 2)
            g->region_size[0] = 18;
        else
            g->region_size[0] = sri == 8 ? 54 : 27;
        g->region_size[1] = 288;
    } else {
        g->block_type = 0;
        g->switch_point = 0;
        for (int i = 0; i < 3; ++i)
            g->table_select[i] = get_bits(gb, 5);
        for (int i = 0; i < 3; ++i)
            g->subblock_gain[i] = 0;
        const int r0 = get_bits(gb, 4);
        const int r1 = get_bits(gb, 3);
        g->region_size[0] = band_index_long[sri][r0 + 1] >> 1;
        const int r2_start = r0 + r1 + 2 < 22 ? r0 + r1 + 2 : 22;
        g->region_size[1] = band_index_long[sri][r2_start] >> 1;
    }
    g->region_size[2] = 288;
    int previous = 0;
    for (int i = 0; i < 3; ++i) {
        const int boundary = g->region_size[i] < g->big_values ? g->region_size[i] : g->big_values;
        g->region_size[i] = boundary > previous ? boundary - previous : 0;
        if (boundary > previous)
            previous = boundary;
    }

    if (g->block_type == 2) {
        if (g->switch_point) {
            g->long_end = sri <= 2 ? 8 : (sri != 8 ? 6 : 4);
            g->short_start = sri != 8 ? 3 : 2;
        } else {
            g->long_end = 0;
            g->short_start = 0;
        }
    } else {
        g->short_start = 13;
        g->long_end = 22;
    }
    g->preflag = s->lsf ? 0 : static_cast<int>(get_bits(gb, 1));
    g->scalefac_scale = static_cast<uint8_t>(get_bits(gb, 1));
    g->count1table_select = static_cast<uint8_t>(get_bits(gb, 1));
    return 0;
}

void lsf_sf_expand(int slen[4], int sf, int n1, int n2, int n3)
{
    if (n3) {
        slen[3] = sf % n3;
        sf /= n3;
    } else {
        slen[3] = 0;
    }
    if (n2) {
        slen[2] = sf % n2;
        sf /= n2;
    } else {
        slen[2] = 0;
    }
    slen[1] = sf % n1;
    slen[0] = sf / n1;
}

void exponents_from_scale_factors(const MPADecodeContext* s, const GranuleDef* g, int16_t* exponents)
{
    const int sri = s->sample_rate_index;
    const int gain = g->global_gain - 210;
    const int shift = g->scalefac_scale + 1;
    const uint8_t* pretab = mpa_pretab[g->preflag ? 1 : 0];
    int16_t* e = exponents;
    for (int i = 0; i < g->long_end; ++i) {
        const int16_t v = static_cast<int16_t>(gain - ((g->scale_factors[i] + pretab[i]) << shift));
        for (int j = band_size_long[sri][i]; j > 0; --j)
            *e++ = v;
    }
    if (g->short_start < 13) {
        int k = g->long_end;
        for (int i = g->short_start; i < 13; ++i) {
            const int w = band_size_short[sri][i];
            for (int l = 0; l < 3; ++l) {
                const int16_t v = static_cast<int16_t>(gain - (g->subblock_gain[l] << 3) - (g->scale_factors[k++] << shift));
                for (int j = 0; j < w; ++j)
                    *e++ = v;
            }
        }
    }
}

void read_scale_factors(MPADecodeContext* s, GranuleDef* g, int ch, const GranuleDef* first)
{
    if (s->lsf)
        read_scale_factors_lsf(s, g, ch);
    else
        read_scale_factors_mpeg1(s, g, first);
}
