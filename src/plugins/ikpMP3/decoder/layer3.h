// layer3.h — layer III tables and the stages of mp_decode_layer3, for the decoder and its tests:
// side information and scale factors (layer3_sideinfo.cpp), Huffman decoding (layer3_huffdec.cpp),
// requantisation and stereo (layer3_requant.cpp), alias reduction and the IMDCT (layer3_imdct.cpp).
#pragma once

#include <cstdint>

#include "mpaudec_internal.h"

constexpr int GRANULE_LINES = SBLIMIT * 18;   // spectral lines of one granule and channel

// One Huffman code table: xsize × xsize values, code length and code per value (x outer).
struct HuffTable {
    int xsize;
    const uint8_t* bits;
    const uint32_t* codes;
};

// Generated from the decoding trees (layer3_huffman.cpp).
extern const HuffTable mpa_huff_tables[16];   // descriptor 0 is a region of zeros
extern const uint8_t mpa_huff_data[32][2];    // per table_select: descriptor, linbits
extern const uint8_t mpa_quad_codes[2][16];   // count-1 tables A and B
extern const uint8_t mpa_quad_bits[2][16];

// Written out once (layer3_tables.cpp).
extern const uint8_t band_size_long[9][22];
extern const uint8_t band_size_short[9][13];
extern const uint8_t mpa_pretab[2][22];
extern const uint8_t slen_table[2][16];
extern const uint8_t lsf_nsf_table[6][3][4];
extern const uint32_t scale_factor_mult3[4];   // 2^(k/4), SCALE_FACTOR_MULT3_BITS fraction bits
constexpr int SCALE_FACTOR_MULT3_BITS = 31;

// Computed once by mp_layer3_init, each by its stage's build function.
void build_band_index();
void build_requant_tables();   // after int_pow_init
void build_imdct_tables();
int build_huffman();           // 0, or -1 when memory runs out
extern uint16_t band_index_long[9][23];
// i^(4/3) = table_4_3_value[i] × 2^(table_4_3_exp[i] - 31), the value in [2^31, 2^32).
extern uint32_t table_4_3_value[8207];
extern int8_t table_4_3_exp[8207];
extern int32_t is_table[2][16];
extern int32_t is_table_lsf[2][2][16];
extern int32_t csa_table[8][2];           // cs, ca
extern int32_t mdct_win[8][36];
extern VLC huff_vlc[16];
extern uint8_t huff_code_table[16][256];  // symbol → (x << 4) | y
extern VLC huff_quad_vlc[2];

// Two-level look-up of the layer III codes, built once: the first level is indexed by the next
// HUFF_ROOT_BITS bits (fewer for short tables) and resolves every code that fits in them. An entry
// is a leaf (length << 8) | value, value (x << 4) | y or the count-1 nibble; a link
// HUFF_LINK | (start << 5) | bits to a second level indexed by the bits after the first level's;
// 0 for a pattern that is no code.
constexpr int HUFF_ROOT_BITS = 9;
constexpr uint32_t HUFF_LINK = 0x80000000u;
struct HuffLookup {
    const uint32_t* root;
    int root_bits;
};
extern HuffLookup huff_lookup[16];       // by descriptor, 0 unused
extern HuffLookup huff_quad_lookup[2];
extern const uint32_t* huff_lookup_entries;   // every level of every table; links index from here

// The entry for the code at the top of `window`, 0 when there is none.
inline uint32_t huff_entry(const HuffLookup& t, uint64_t window)
{
    uint32_t e = t.root[window >> (64 - t.root_bits)];
    if (e & HUFF_LINK) {
        const int bits = static_cast<int>(e & 31);
        e = huff_lookup_entries[((e & ~HUFF_LINK) >> 5) + ((window << t.root_bits) >> (64 - bits))];
    }
    return e;
}

// value^(4/3) × 2^(exponent / 4) with SB_FRAC_BITS fraction bits, rounded, value 1..8206; saturates
// far above full scale.
int32_t l3_unscale(int value, int exponent);

// l3_unscale of the values below 16, which make up nearly all of the spectrum, by exponent. Below
// SMALL_EXP_MIN every such value comes out 0; exponents end at 45 (global gain 255).
constexpr int SMALL_EXP_MIN = -192;
extern int32_t unscale_small[256][16];

// The row for an exponent; the first row (all zeros) serves every lower exponent too.
inline const int32_t* small_row(int exponent)
{
    return unscale_small[exponent > SMALL_EXP_MIN ? exponent - SMALL_EXP_MIN : 0];
}

// One granule and channel of side information; -1 for window switching with block type 0.
int read_granule_side_info(MPADecodeContext* s, GranuleDef* g);
// The scale factors of granule g of channel ch; first is the channel's first granule, whose
// factors an MPEG-1 second granule may share.
void read_scale_factors(MPADecodeContext* s, GranuleDef* g, int ch, const GranuleDef* first);
void lsf_sf_expand(int slen[4], int sf, int n1, int n2, int n3);
void exponents_from_scale_factors(const MPADecodeContext* s, const GranuleDef* g, int16_t* exponents);
int huffman_decode(MPADecodeContext* s, GranuleDef* g, const int16_t* exponents, int end_pos);
void compute_stereo(const MPADecodeContext* s, GranuleDef* g0, GranuleDef* g1);
void reorder_block(const MPADecodeContext* s, GranuleDef* g);
void compute_antialias(const MPADecodeContext* s, GranuleDef* g);
// sb_samples and the overlap mdct_buf are both laid out [time slot][sub-band].
void compute_imdct(const MPADecodeContext* s, GranuleDef* g, int32_t* sb_samples, int32_t* mdct_buf);
void imdct36(int32_t out[36], const int32_t in[18]);
void imdct12(int32_t out[12], const int32_t in[6]);
void seek_to_maindata(MPADecodeContext* s, int backstep);
