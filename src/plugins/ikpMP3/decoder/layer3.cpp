// layer3.cpp — layer III audio data: side information, bit reservoir, scale factors, Huffman data,
// dequantisation, joint stereo, alias reduction and the IMDCT with overlap-add.
#include "layer3.h"
#include "imdct_kernels.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

uint16_t band_index_long[9][23];
uint32_t table_4_3_value[8207];
int8_t table_4_3_exp[8207];
int32_t is_table[2][16];
int32_t is_table_lsf[2][2][16];
int32_t csa_table[8][2];
int32_t mdct_win[8][36];
VLC huff_vlc[16];
uint8_t huff_code_table[16][256];
VLC huff_quad_vlc[2];
HuffLookup huff_lookup[16];
HuffLookup huff_quad_lookup[2];
int64_t icos36[9];
int64_t icos72[18];
int64_t cos9[4][9];
int64_t mdct_win_lanes[4][36][4];
ImdctLongBlocks imdct_long_blocks = nullptr;

namespace {

// Room for every level of all seventeen tables (they need about 23,000 entries).
constexpr int HUFF_ENTRIES = 32768;
uint32_t huff_entries[HUFF_ENTRIES];
int huff_entries_used = 0;

constexpr int FRAC_BITS = IMDCT_FRAC_BITS;
constexpr int32_t FIX_ONE = 1 << FRAC_BITS;
constexpr int32_t SQRT_HALF = 5931642;   // 1/√2
constexpr int LINES = SBLIMIT * 18;      // spectral lines per granule
constexpr int COS9_BITS = IMDCT_COS9_BITS;

int32_t cos12[6][6];      // cos((2m + 1)(2k + 1)π/24), the 6-point DCT-IV, 23 fraction bits

// l3_unscale of the values below 16, which make up nearly all of the spectrum, by exponent. Below
// SMALL_EXP_MIN every such value comes out 0; exponents end at 45 (global gain 255).
constexpr int SMALL_EXP_MIN = -192;
int32_t unscale_small[256][16];

// The row for an exponent; the first row (all zeros) serves every lower exponent too.
inline const int32_t* small_row(int exponent)
{
    return unscale_small[exponent > SMALL_EXP_MIN ? exponent - SMALL_EXP_MIN : 0];
}

int32_t fix_round(double v) { return static_cast<int32_t>(std::lround(v * FIX_ONE)); }
// The published convention for windows and stereo tables: add 0.5 and truncate.
int32_t fix_trunc_half(double v) { return static_cast<int32_t>(v * FIX_ONE + 0.5); }

// 64-bit product with rounding, kept 64-bit so that sums of out-of-range values cannot overflow.
inline int64_t mul_round(int64_t a, int64_t b)
{
    return (a * b + (int64_t{1} << (FRAC_BITS - 1))) >> FRAC_BITS;
}

inline int32_t get_bitsz(GetBitContext* gb, int n) { return n ? static_cast<int32_t>(get_bits(gb, n)) : 0; }

// The next bits from bit position pos, most significant first. At least 57 of the 64 are valid;
// bits past the reader's end read as 0, as with show_bits.
inline uint64_t peek64(const GetBitContext* gb, int pos)
{
    const int byte = pos >> 3;
    if (byte + 8 <= (gb->size_in_bits >> 3)) {
        uint64_t v;
        std::memcpy(&v, gb->buffer + byte, sizeof v);   // one load; the bytes are big-endian
        if constexpr (std::endian::native == std::endian::little)
            v = __builtin_bswap64(v);
        return v << (pos & 7);
    }
    GetBitContext near_end = *gb;
    near_end.index = pos;
    const uint64_t hi = show_bits(&near_end, 32);
    near_end.index = pos + 32;
    return (hi << 32) | show_bits(&near_end, 32);
}

// Index of the last non-zero line plus one (0 for an all-zero spectrum).
int spectrum_end(const int32_t* x)
{
    int n = LINES;
    while (n > 0 && x[n - 1] == 0)
        --n;
    return n;
}

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

void read_scale_factors_lsf(MPADecodeContext* s, GranuleDef* g, int ch)
{
    GetBitContext* gb = &s->gb;
    const int tindex = g->block_type == 2 ? (g->switch_point ? 2 : 1) : 0;
    int sf = g->scalefac_compress;
    int slen[4];
    int partition;
    if (ch == 1 && (s->mode_ext & 1)) {
        sf >>= 1;
        if (sf < 180) {
            lsf_sf_expand(slen, sf, 6, 6, 0);
            partition = 3;
        } else if (sf < 244) {
            lsf_sf_expand(slen, sf - 180, 4, 4, 0);
            partition = 4;
        } else {
            lsf_sf_expand(slen, sf - 244, 3, 0, 0);
            partition = 5;
        }
    } else {
        if (sf < 400) {
            lsf_sf_expand(slen, sf, 5, 4, 4);
            partition = 0;
        } else if (sf < 500) {
            lsf_sf_expand(slen, sf - 400, 5, 4, 0);
            partition = 1;
        } else {
            lsf_sf_expand(slen, sf - 500, 3, 0, 0);
            partition = 2;
            g->preflag = 1;
        }
    }
    int j = 0;
    for (int k = 0; k < 4; ++k) {
        const int n = lsf_nsf_table[partition][tindex][k];
        for (int i = 0; i < n; ++i)
            g->scale_factors[j++] = static_cast<uint8_t>(get_bitsz(gb, slen[k]));
    }
    std::memset(g->scale_factors + j, 0, sizeof g->scale_factors - j);
}

// The 18-point DCT-IV c[m] = Σ in[k] cos((2m + 1)(2k + 1)π/72), through two 9-point cosine sums,
// in and out with SB_FRAC_BITS fraction bits, inputs clamped to IMDCT_INPUT_LIMIT.
void dct4_18(int64_t c[18], const int32_t in[18])
{
    constexpr int32_t INPUT_LIMIT = IMDCT_INPUT_LIMIT;
    int32_t v[18];
    for (int i = 0; i < 18; ++i)
        v[i] = in[i] > INPUT_LIMIT ? INPUT_LIMIT : (in[i] < -INPUT_LIMIT ? -INPUT_LIMIT : in[i]);
    // With u[k] = in[k] + in[k - 1], the even sums take u[0], u[2], ..., u[16] and the odd sums
    // u[1] + u[-1], u[3] + u[1], ..., u[17] + u[15].
    int64_t a[2][9];
    a[0][0] = v[0];
    a[1][0] = int64_t{v[1]} + v[0];
    for (int j = 1; j < 9; ++j) {
        a[0][j] = int64_t{v[2 * j]} + v[2 * j - 1];
        a[1][j] = int64_t{v[2 * j + 1]} + v[2 * j] + v[2 * j - 1] + v[2 * j - 2];
    }

    // m and 8 - m share their products, the odd-j terms changing sign. Products add up unshifted.
    constexpr int SUM_SHIFT = COS9_BITS;
    constexpr int64_t SUM_ROUND = int64_t{1} << (SUM_SHIFT - 1);
    int64_t sums[2][9];
    for (int part = 0; part < 2; ++part) {
        const int64_t* x = a[part];
        int64_t* out = sums[part];
        const int64_t x0 = x[0] * (1 << COS9_BITS) + SUM_ROUND;
        for (int m = 0; m < 4; ++m) {
            const int64_t* cm = cos9[m];
            const int64_t even = x0 + x[2] * cm[2] + x[4] * cm[4] + x[6] * cm[6] + x[8] * cm[8];
            const int64_t odd = x[1] * cm[1] + x[3] * cm[3] + x[5] * cm[5] + x[7] * cm[7];
            out[m] = (even + odd) >> SUM_SHIFT;
            out[8 - m] = (even - odd) >> SUM_SHIFT;
        }
        out[4] = x[0] - x[2] + x[4] - x[6] + x[8];
    }
    constexpr int FINAL_SHIFT = FRAC_BITS;
    constexpr int64_t FINAL_ROUND = int64_t{1} << (FINAL_SHIFT - 1);
    for (int m = 0; m < 9; ++m) {
        const int64_t e = sums[0][m];
        const int64_t o = mul_round(sums[1][m], icos36[m]);
        c[m] = ((e + o) * icos72[m] + FINAL_ROUND) >> FINAL_SHIFT;
        c[17 - m] = ((e - o) * icos72[17 - m] + FINAL_ROUND) >> FINAL_SHIFT;
    }
}

void build_transform_tables()
{
    for (int m = 0; m < 9; ++m)
        icos36[m] = fix_round(1.0 / (2.0 * std::cos((2 * m + 1) * M_PI / 36.0)));
    for (int m = 0; m < 18; ++m)
        icos72[m] = fix_round(1.0 / (2.0 * std::cos((2 * m + 1) * M_PI / 72.0)));
    for (int m = 0; m < 4; ++m)
        for (int j = 0; j < 9; ++j)
            cos9[m][j] = static_cast<int64_t>(std::lround(std::cos((2 * m + 1) * j * M_PI / 18.0) * (1 << COS9_BITS)));
    for (int m = 0; m < 6; ++m)
        for (int k = 0; k < 6; ++k)
            cos12[m][k] = fix_round(std::cos((2 * m + 1) * (2 * k + 1) * M_PI / 24.0));
}

void build_window_tables()
{
    for (int i = 0; i < 36; ++i) {
        const int32_t v = fix_trunc_half(std::sin((i + 0.5) * M_PI / 36.0));
        mdct_win[0][i] = mdct_win[1][i] = mdct_win[3][i] = v;
    }
    for (int i = 0; i < 6; ++i) {
        mdct_win[1][18 + i] = FIX_ONE;
        mdct_win[1][24 + i] = fix_trunc_half(std::sin((i + 6 + 0.5) * M_PI / 12.0));
        mdct_win[1][30 + i] = 0;
        mdct_win[3][i] = 0;
        mdct_win[3][6 + i] = fix_trunc_half(std::sin((i + 0.5) * M_PI / 12.0));
        mdct_win[3][12 + i] = FIX_ONE;
    }
    for (int i = 0; i < 36; ++i)
        mdct_win[2][i] = i < 12 ? fix_trunc_half(std::sin((i + 0.5) * M_PI / 12.0)) : 0;
    // Odd sub-bands come out frequency-inverted; negating every other coefficient undoes it.
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < 36; ++i)
            mdct_win[row + 4][i] = (i & 1) ? -mdct_win[row][i] : mdct_win[row][i];
    // The same rows for four adjacent sub-bands side by side, with the unfolding's signs.
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < 36; ++i)
            for (int lane = 0; lane < 4; ++lane)
                mdct_win_lanes[row][i][lane] = (i < 9 ? 1 : -1) * mdct_win[row + ((lane & 1) << 2)][i];
}

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

    static const float ci_table[8] = {-0.6f, -0.535f, -0.33f, -0.185f, -0.095f, -0.041f, -0.0142f, -0.0037f};
    for (int i = 0; i < 8; ++i) {
        const double ci = ci_table[i];
        const double cs = 1.0 / std::sqrt(1.0 + ci * ci);
        csa_table[i][0] = static_cast<int32_t>(cs * FIX_ONE);
        csa_table[i][1] = static_cast<int32_t>(cs * ci * FIX_ONE);
    }
}

int build_huffman_tables()
{
    for (int i = 1; i < 16; ++i) {
        const HuffTable& h = mpa_huff_tables[i];
        const int n = h.xsize * h.xsize;
        if (init_vlc(&huff_vlc[i], 8, n, h.bits, 1, 1, h.codes, 4, 4) < 0)
            return -1;
        for (int x = 0, k = 0; x < h.xsize; ++x)
            for (int y = 0; y < h.xsize; ++y)
                huff_code_table[i][k++] = static_cast<uint8_t>((x << 4) | y);
    }
    for (int i = 0; i < 2; ++i)
        if (init_vlc(&huff_quad_vlc[i], i == 0 ? 7 : 4, 16, mpa_quad_bits[i], 1, 1, mpa_quad_codes[i], 1, 1) < 0)
            return -1;
    return 0;
}

// Builds one two-level look-up from the codes and lengths of `count` values; value i is stored
// as values[i]. Returns -1 when the storage is full.
int build_lookup(HuffLookup* t, int count, const uint8_t* lengths, const uint32_t* codes, const uint8_t* values)
{
    int longest = 0;
    for (int i = 0; i < count; ++i)
        longest = std::max(longest, int{lengths[i]});
    const int root_bits = std::min(longest, HUFF_ROOT_BITS);
    const int root_size = 1 << root_bits;
    if (huff_entries_used + root_size > HUFF_ENTRIES)
        return -1;
    uint32_t* root = huff_entries + huff_entries_used;
    const int root_start = huff_entries_used;
    huff_entries_used += root_size;
    std::fill(root, root + root_size, 0u);
    // Second-level width per first-level pattern: the longest code beginning with it.
    int extra[1 << HUFF_ROOT_BITS] = {};
    for (int i = 0; i < count; ++i)
        if (lengths[i] > root_bits) {
            const int prefix = static_cast<int>(codes[i] >> (lengths[i] - root_bits));
            extra[prefix] = std::max(extra[prefix], lengths[i] - root_bits);
        }
    for (int prefix = 0; prefix < root_size; ++prefix) {
        if (extra[prefix] == 0)
            continue;
        const int size = 1 << extra[prefix];
        if (huff_entries_used + size > HUFF_ENTRIES)
            return -1;
        std::fill(huff_entries + huff_entries_used, huff_entries + huff_entries_used + size, 0u);
        root[prefix] = HUFF_LINK | (static_cast<uint32_t>(huff_entries_used) << 5) | static_cast<uint32_t>(extra[prefix]);
        huff_entries_used += size;
    }
    for (int i = 0; i < count; ++i) {
        const int length = lengths[i];
        if (length == 0)
            continue;
        const uint32_t leaf = (static_cast<uint32_t>(length) << 8) | values[i];
        uint32_t* level = root;
        int bits = root_bits;
        uint32_t code = codes[i];
        int code_bits = length;
        if (length > root_bits) {
            const uint32_t link = root[code >> (length - root_bits)];
            level = huff_entries + ((link & ~HUFF_LINK) >> 5);
            bits = static_cast<int>(link & 31);
            code_bits = length - root_bits;
            code &= (1u << code_bits) - 1;
        }
        const int spread = bits - code_bits;
        std::fill(level + (code << spread), level + ((code + 1) << spread), leaf);
    }
    t->root = huff_entries + root_start;
    t->root_bits = root_bits;
    return 0;
}

int build_huffman_lookups()
{
    huff_entries_used = 0;
    for (int i = 1; i < 16; ++i) {
        const HuffTable& h = mpa_huff_tables[i];
        if (build_lookup(&huff_lookup[i], h.xsize * h.xsize, h.bits, h.codes, huff_code_table[i]) < 0)
            return -1;
    }
    const uint8_t nibbles[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int t = 0; t < 2; ++t) {
        uint32_t codes[16];
        for (int v = 0; v < 16; ++v)
            codes[v] = mpa_quad_codes[t][v];
        if (build_lookup(&huff_quad_lookup[t], 16, mpa_quad_bits[t], codes, nibbles) < 0)
            return -1;
    }
    return 0;
}

}  // namespace

const uint32_t* huff_lookup_entries = huff_entries;

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

int mp_layer3_init()
{
    if (huff_quad_vlc[1].table)
        return 0;
    for (int sri = 0; sri < 9; ++sri) {
        band_index_long[sri][0] = 0;
        for (int i = 0; i < 22; ++i)
            band_index_long[sri][i + 1] = static_cast<uint16_t>(band_index_long[sri][i] + band_size_long[sri][i]);
    }
    for (int i = 1; i < 8207; ++i) {
        int e = 0;
        table_4_3_value[i] = static_cast<uint32_t>(int_pow(i, &e));
        table_4_3_exp[i] = static_cast<int8_t>(e);
    }
    for (int e = 0; e < 256; ++e) {
        unscale_small[e][0] = 0;
        for (int v = 1; v < 16; ++v)
            unscale_small[e][v] = l3_unscale(v, e + SMALL_EXP_MIN);
    }
    build_transform_tables();
    build_window_tables();
    build_stereo_tables();
    if (build_huffman_tables() < 0 || build_huffman_lookups() < 0) {
        for (VLC& v : huff_vlc)
            if (v.table)
                free_vlc(&v);
        for (VLC& v : huff_quad_vlc)
            if (v.table)
                free_vlc(&v);
        return -1;
    }
    return 0;
}

int32_t l3_unscale(int value, int exponent)
{
    // The table gives FRAC_BITS fraction bits; spectral values carry SB_FRAC_BITS.
    const int sh = FRAC_BITS - (SB_FRAC_BITS - FRAC_BITS) - (table_4_3_exp[value] + (exponent >> 2));
    if (sh >= 64)
        return 0;
    if (sh < 1)
        return INT32_MAX;   // far beyond full scale: clip instead of shifting by a negative count
    const uint64_t m = uint64_t{table_4_3_value[value]} * static_cast<uint32_t>(scale_factor_mult3[exponent & 3]);
    const uint64_t r = (m + (uint64_t{1} << (sh - 1))) >> sh;
    return r > INT32_MAX ? INT32_MAX : static_cast<int32_t>(r);
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

int huffman_decode(MPADecodeContext* s, GranuleDef* g, const int16_t* exponents, int end_pos)
{
    GetBitContext* gb = &s->gb;
    int32_t* x = g->sb_hybrid;
    int pos = gb->index;
    int line = 0;

    for (int region = 0; region < 3; ++region) {
        const int pairs = g->region_size[region];
        if (pairs == 0)
            continue;
        const int descriptor = mpa_huff_data[g->table_select[region]][0];
        const int linbits = mpa_huff_data[g->table_select[region]][1];
        if (descriptor == 0) {
            // A region of zeros reads nothing; like any pair it stops once the bits are used up.
            if (pos >= end_pos)
                continue;
            std::memset(x + line, 0, sizeof(int32_t) * 2 * pairs);
            line += 2 * pairs;
            continue;
        }
        const HuffLookup& table = huff_lookup[descriptor];
        for (int p = 0; p < pairs; ++p) {
            if (pos >= end_pos)
                break;
            const uint64_t window = peek64(gb, pos);
            const uint32_t entry = huff_entry(table, window);
            if (entry == 0)
                return -1;
            int used = static_cast<int>(entry >> 8);
            // Bands have even widths, so both values of a pair share their exponent.
            const int exponent = exponents[line];
            const int32_t* small = small_row(exponent);
            int values[2] = {static_cast<int>(entry >> 4) & 15, static_cast<int>(entry) & 15};
            for (int v = 0; v < 2; ++v) {
                // Zeros and signs without branches: which values are zero is data, not pattern.
                int value = values[v];
                int32_t out;
                if (value == 15 && linbits) {
                    value += static_cast<int>((window << used) >> (64 - linbits));
                    used += linbits;
                    out = l3_unscale(value, exponent);
                } else {
                    out = small[value];
                }
                const int32_t nonzero = value != 0;
                const int32_t negate = -static_cast<int32_t>((window << used) >> 63) & -nonzero;
                x[line++] = (out ^ negate) - negate;
                used += nonzero;
            }
            pos += used;
        }
    }

    // Count-1 region: quadruples of values -1, 0 or 1.
    const HuffLookup& quad = huff_quad_lookup[g->count1table_select];
    int quad_start = -1;
    while (line <= LINES - 4) {
        if (pos >= end_pos) {
            // Encoders sometimes cut the last quadruple short with part2_3_length: drop it.
            if (pos > end_pos && quad_start >= 0) {
                pos = quad_start;
                line -= 4;
            }
            break;
        }
        quad_start = pos;
        const uint64_t window = peek64(gb, pos);
        const uint32_t entry = huff_entry(quad, window);
        if (entry == 0)
            return -1;
        int used = static_cast<int>(entry >> 8);
        const int code = static_cast<int>(entry) & 15;
        for (int i = 0; i < 4; ++i) {
            const int32_t one = (code >> (3 - i)) & 1;
            const int32_t out = small_row(exponents[line])[1] & -one;
            const int32_t negate = -static_cast<int32_t>((window << used) >> 63) & -one;
            x[line++] = (out ^ negate) - negate;
            used += one;
        }
        pos += used;
    }
    std::memset(x + line, 0, sizeof(int32_t) * (LINES - line));
    gb->index = pos;
    return 0;
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
        for (int j = 0; j < LINES; ++j) {
            const int64_t l = left[j];
            const int64_t r = right[j];
            left[j] = static_cast<int32_t>(l + r);
            right[j] = static_cast<int32_t>(l - r);
        }
    }
}

void reorder_block(const MPADecodeContext* s, GranuleDef* g)
{
    if (g->block_type != 2)
        return;
    const int sri = s->sample_rate_index;
    int32_t* ptr = g->sb_hybrid;
    if (g->switch_point)
        ptr += sri != 8 ? 36 : 48;
    int32_t tmp[3 * 66];   // widest short band
    for (int i = g->short_start; i < 13; ++i) {
        const int w = band_size_short[sri][i];
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < w; ++j)
                tmp[3 * j + k] = ptr[k * w + j];
        std::memcpy(ptr, tmp, sizeof(int32_t) * 3 * w);
        ptr += 3 * w;
    }
}

void compute_antialias(const MPADecodeContext*, GranuleDef* g)
{
    int last_boundary;
    if (g->block_type == 2) {
        if (!g->switch_point)
            return;
        last_boundary = 1;
    } else {
        last_boundary = SBLIMIT - 1;
    }
    // A boundary whose eight lines on both sides are zero stays zero.
    const int end = spectrum_end(g->sb_hybrid);
    const int needed = (end + 7) / 18;
    if (needed < last_boundary)
        last_boundary = needed;
    antialias(g->sb_hybrid, last_boundary, csa_table);
}

void imdct36(int32_t out[36], const int32_t in[18])
{
    // The 36 outputs are the DCT-IV's 18 values unfolded: c[9..17], -c[17..0], -c[0..8].
    int64_t c[18];
    dct4_18(c, in);
    for (int i = 0; i < 9; ++i)
        out[i] = static_cast<int32_t>(c[i + 9]);
    for (int i = 9; i < 27; ++i)
        out[i] = static_cast<int32_t>(-c[26 - i]);
    for (int i = 27; i < 36; ++i)
        out[i] = static_cast<int32_t>(-c[i - 27]);
}

void imdct12(int32_t out[12], const int32_t in[6])
{
    int64_t c[6];
    for (int m = 0; m < 6; ++m) {
        int64_t sum = 0;
        for (int k = 0; k < 6; ++k)
            sum += int64_t{in[k]} * cos12[m][k];
        c[m] = (sum + (int64_t{1} << (FRAC_BITS - 1))) >> FRAC_BITS;
    }
    for (int i = 0; i < 3; ++i)
        out[i] = static_cast<int32_t>(c[i + 3]);
    for (int i = 3; i < 9; ++i)
        out[i] = static_cast<int32_t>(-c[8 - i]);
    for (int i = 9; i < 12; ++i)
        out[i] = static_cast<int32_t>(-c[i - 9]);
}

namespace {

// The long-block IMDCT of sub-bands first..end - 1, windowed and overlapped; see compute_imdct.
void imdct_long_portable(const GranuleDef* g, int first, int end, int32_t* sb_samples, int32_t* mdct_buf)
{
    for (int j = first; j < end; ++j) {
        // The transform's outputs unfolded as in imdct36, windowed on the way.
        int64_t c[18];
        dct4_18(c, g->sb_hybrid + 18 * j);
        const int row = (g->switch_point && j < 2) ? 0 : g->block_type;
        const int32_t* win = mdct_win[row + ((j & 1) << 2)];
        int32_t* overlap = mdct_buf + j;
        int32_t* out = sb_samples + j;
        for (int i = 0; i < 9; ++i) {
            out[i * SBLIMIT] = static_cast<int32_t>(mul_round(c[i + 9], win[i]) + overlap[i * SBLIMIT]);
            out[(i + 9) * SBLIMIT] = static_cast<int32_t>(mul_round(-c[17 - i], win[i + 9]) + overlap[(i + 9) * SBLIMIT]);
            overlap[i * SBLIMIT] = static_cast<int32_t>(mul_round(-c[8 - i], win[i + 18]));
            overlap[(i + 9) * SBLIMIT] = static_cast<int32_t>(mul_round(-c[i], win[i + 27]));
        }
    }
}

}  // namespace

// mdct_buf holds each sub-band's overlap laid out like sb_samples, [time slot][sub-band], so that
// a vector kernel reads and writes adjacent sub-bands together.
void compute_imdct(const MPADecodeContext*, GranuleDef* g, int32_t* sb_samples, int32_t* mdct_buf)
{
    int32_t* x = g->sb_hybrid;
    int sblimit = 2;
    for (int start = LINES - 6; start >= 36; start -= 6) {
        if (x[start] | x[start + 1] | x[start + 2] | x[start + 3] | x[start + 4] | x[start + 5]) {
            sblimit = start / 18 + 1;
            break;
        }
    }
    int long_end;
    if (g->block_type == 2)
        long_end = g->switch_point ? 2 : 0;
    else
        long_end = sblimit;

    int done = 0;   // sub-bands transformed so far
    if (imdct_long_blocks && g->block_type != 2) {
        // The kernel takes groups of four sub-bands on one window row: a switch point gives
        // sub-bands 0 and 1 another row, so their group stays portable. The lines past sblimit
        // are zero, and the transform of zeros is zero: rounding the end up gives those
        // sub-bands exactly what the loop over silent sub-bands below would.
        const int first = g->switch_point ? 4 : 0;
        const int end = (long_end + 3) & ~3;
        if (first < end) {
            imdct_long_portable(g, 0, first, sb_samples, mdct_buf);
            imdct_long_blocks(x, first, end, g->block_type, sb_samples, mdct_buf);
            done = end;
        }
    }
    imdct_long_portable(g, done, long_end, sb_samples, mdct_buf);

    for (int j = long_end; j < sblimit; ++j) {
        const int32_t* win = mdct_win[2 + ((j & 1) << 2)];
        const int32_t* lines = x + 18 * j;
        int64_t r[36] = {};
        for (int k = 0; k < 3; ++k) {
            int32_t in[6];
            for (int m = 0; m < 6; ++m)
                in[m] = lines[k + 3 * m];
            int32_t out[12];
            imdct12(out, in);
            for (int i = 0; i < 6; ++i) {
                r[6 + 6 * k + i] += mul_round(out[i], win[i]);
                r[12 + 6 * k + i] = mul_round(out[i + 6], win[i + 6]);
            }
        }
        for (int i = 0; i < 18; ++i) {
            sb_samples[i * SBLIMIT + j] = static_cast<int32_t>(r[i] + mdct_buf[i * SBLIMIT + j]);
            mdct_buf[i * SBLIMIT + j] = static_cast<int32_t>(r[i + 18]);
        }
    }

    // The silent sub-bands output their overlap, side by side in each time slot.
    const int silent = std::max(done, sblimit);
    for (int i = 0; i < 18; ++i) {
        int32_t* overlap = mdct_buf + i * SBLIMIT;
        std::copy(overlap + silent, overlap + SBLIMIT, sb_samples + i * SBLIMIT + silent);
        std::fill(overlap + silent, overlap + SBLIMIT, 0);
    }
}

void seek_to_maindata(MPADecodeContext* s, int backstep)
{
    uint8_t* q = s->inbuf1[s->inbuf_index] + (s->gb.buffer - s->inbuf1[s->inbuf_index]) + (s->gb.index >> 3);
    if (backstep > 0) {
        const uint8_t* previous = s->inbuf1[s->inbuf_index ^ 1] + BACKSTEP_SIZE + s->old_frame_size - backstep;
        std::memcpy(q - backstep, previous, backstep);
    }
    // The reader ends with the frame: whatever lies behind it in the row is not this frame's data.
    const uint8_t* start = q - backstep;
    const int bytes = static_cast<int>(s->inbuf + s->frame_size - start);
    init_get_bits(&s->gb, start, bytes * 8);
    s->inbuf_index ^= 1;
    s->inbuf = s->inbuf1[s->inbuf_index] + BACKSTEP_SIZE;
    s->old_frame_size = s->frame_size;
}

int mp_decode_layer3(MPADecodeContext* s)
{
    GetBitContext* gb = &s->gb;
    const int nb_channels = s->nb_channels;
    GranuleDef granules[MPA_MAX_CHANNELS][2];
    int main_data_begin;
    int nb_granules;
    if (s->lsf) {
        main_data_begin = get_bits(gb, 8);
        skip_bits(gb, nb_channels == 2 ? 2 : 1);
        nb_granules = 1;
        for (int ch = 0; ch < nb_channels; ++ch)
            granules[ch][0].scfsi = 0;
    } else {
        main_data_begin = get_bits(gb, 9);
        skip_bits(gb, nb_channels == 2 ? 3 : 5);
        nb_granules = 2;
        for (int ch = 0; ch < nb_channels; ++ch) {
            granules[ch][0].scfsi = 0;
            granules[ch][1].scfsi = static_cast<uint8_t>(get_bits(gb, 4));
        }
    }

    for (int gr = 0; gr < nb_granules; ++gr)
        for (int ch = 0; ch < nb_channels; ++ch)
            if (read_granule_side_info(s, &granules[ch][gr]) < 0)
                return -1;

    seek_to_maindata(s, main_data_begin);

    int16_t exponents[LINES];
    for (int gr = 0; gr < nb_granules; ++gr) {
        for (int ch = 0; ch < nb_channels; ++ch) {
            GranuleDef* g = &granules[ch][gr];
            const int start = get_bits_count(gb);
            if (s->lsf)
                read_scale_factors_lsf(s, g, ch);
            else
                read_scale_factors_mpeg1(s, g, &granules[ch][0]);
            exponents_from_scale_factors(s, g, exponents);
            const int end_pos = start + g->part2_3_length;
            if (huffman_decode(s, g, exponents, end_pos) < 0)
                return -1;
            if (get_bits_count(gb) > end_pos)
                return -1;
            gb->index = end_pos;   // ancillary bits up to part2_3_length
        }
        if (nb_channels == 2)
            compute_stereo(s, &granules[0][gr], &granules[1][gr]);
        for (int ch = 0; ch < nb_channels; ++ch) {
            GranuleDef* g = &granules[ch][gr];
            reorder_block(s, g);
            compute_antialias(s, g);
            compute_imdct(s, g, &s->sb_samples[ch][18 * gr][0], s->mdct_buf[ch]);
        }
    }
    return 18 * nb_granules;
}
