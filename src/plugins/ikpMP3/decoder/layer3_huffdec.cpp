// layer3_huffdec.cpp — layer III Huffman decoding: the look-up tables built from the code tables,
// and the big-values and count-1 regions read into dequantised spectral lines.
#include <algorithm>
#include <bit>
#include <cstring>

#include "layer3.h"

VLC huff_vlc[16];
uint8_t huff_code_table[16][256];
VLC huff_quad_vlc[2];
HuffLookup huff_lookup[16];
HuffLookup huff_quad_lookup[2];

namespace {

// Room for every level of all seventeen tables (they need about 23,000 entries).
constexpr int HUFF_ENTRIES = 32768;
uint32_t huff_entries[HUFF_ENTRIES];
int huff_entries_used = 0;

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

int build_huffman()
{
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
    while (line <= GRANULE_LINES - 4) {
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
    std::memset(x + line, 0, sizeof(int32_t) * (GRANULE_LINES - line));
    gb->index = pos;
    return 0;
}
