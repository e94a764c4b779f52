// bits.h — the decoder's bit reader (most significant bit first) and its table-driven Huffman (VLC) look-up.
#pragma once

#include <cstdint>

// Reads never leave [buffer, buffer + size_in_bits / 8]: every bit at or past
// size_in_bits, or before the start, reads as 0.
struct GetBitContext {
    const uint8_t* buffer;
    int index;          // next bit, counted from the first bit of buffer
    int size_in_bits;
};

inline void init_get_bits(GetBitContext* gb, const uint8_t* buffer, int bit_size)
{
    gb->buffer = buffer;
    gb->index = 0;
    gb->size_in_bits = bit_size;
}

// The next n bits (0..32) as an unsigned value, without moving.
inline uint32_t show_bits(const GetBitContext* gb, int n)
{
    if (n <= 0)
        return 0;
    const int start = gb->index;
    const int end = start + n;
    const int limit = gb->size_in_bits;
    // Whole bytes holding the requested bits, at most five for 32 bits.
    const int first = start >> 3;
    const int last = (end - 1) >> 3;
    uint64_t acc = 0;
    for (int byte = first; byte <= last; ++byte) {
        const bool inside = byte >= 0 && byte < (limit + 7) >> 3;
        acc = (acc << 8) | (inside ? gb->buffer[byte] : 0u);
    }
    acc >>= ((last + 1) << 3) - end;
    if (end > limit) {
        // Bits of a partly valid last byte that lie past the end.
        const int cut = end - (limit > start ? limit : start);
        acc = cut >= 64 ? 0 : (acc >> cut) << cut;
    }
    return static_cast<uint32_t>(n == 32 ? acc : acc & ((uint64_t{1} << n) - 1));
}

inline void skip_bits(GetBitContext* gb, int n) { gb->index += n; }

inline uint32_t get_bits(GetBitContext* gb, int n)
{
    const uint32_t v = show_bits(gb, n);
    skip_bits(gb, n);
    return v;
}

inline int get_bits_count(const GetBitContext* gb) { return gb->index; }

// Root table in the first 2^bits entries, sub-tables after it in the same array.
// Entry {code, length}: a leaf holds the symbol and the bits it uses at its level; a
// link holds the sub-table's start and minus the bits that index it; empty is {-1, 0}.
struct VLC {
    int bits;
    int16_t (*table)[2];
    int table_size;
    int table_allocated;
};

// bits/codes are read with a stride of *_wrap bytes, each element *_size bytes wide
// (1, 2, anything else = 4). Returns 0, or -1 when memory runs out (table freed).
int init_vlc(VLC* vlc, int nb_bits, int nb_codes,
             const void* bits, int bits_wrap, int bits_size,
             const void* codes, int codes_wrap, int codes_size);
void free_vlc(VLC* vlc);

// Symbol of the next code, consuming its bits; -1 for a pattern that is no code, which
// consumes only the bits of the table levels above the empty entry.
inline int get_vlc(GetBitContext* gb, const VLC* vlc)
{
    int n = vlc->bits;
    int base = 0;
    const int16_t* entry = vlc->table[show_bits(gb, n)];
    for (int level = 1; entry[1] < 0 && level < 3; ++level) {
        skip_bits(gb, n);
        n = -entry[1];
        base = entry[0];
        entry = vlc->table[base + static_cast<int>(show_bits(gb, n))];
    }
    if (entry[1] < 0)
        return -1;   // a code set deeper than three levels: refuse rather than misread
    skip_bits(gb, entry[1]);
    return entry[0];
}
