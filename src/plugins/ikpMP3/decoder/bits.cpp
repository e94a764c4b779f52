// bits.cpp — building the multi-level Huffman look-up tables used by get_vlc.
#include "bits.h"

#include <cstdlib>
#include <cstring>

namespace {

struct CodeSource {
    const uint8_t* bits;
    int bits_wrap;
    int bits_size;
    const uint8_t* codes;
    int codes_wrap;
    int codes_size;
    int nb_codes;
};

uint32_t read_element(const uint8_t* base, int i, int wrap, int size)
{
    const uint8_t* p = base + static_cast<long>(i) * wrap;
    switch (size) {
    case 1:
        return *p;
    case 2: {
        uint16_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    default: {
        uint32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    }
}

// Appends `size` entries to the table, growing it by one root table's worth at a time.
int alloc_table(VLC* vlc, int size)
{
    const int index = vlc->table_size;
    vlc->table_size += size;
    while (vlc->table_size > vlc->table_allocated) {
        const int grown = vlc->table_allocated + (1 << vlc->bits);
        void* moved = std::realloc(vlc->table, sizeof(vlc->table[0]) * grown);
        if (!moved)
            return -1;
        vlc->table = static_cast<int16_t (*)[2]>(moved);
        vlc->table_allocated = grown;
    }
    return index;
}

int build_table(VLC* vlc, const CodeSource& src, int table_nb_bits, uint32_t prefix, int prefix_len)
{
    const int table_size = 1 << table_nb_bits;
    const int table_index = alloc_table(vlc, table_size);
    if (table_index < 0)
        return -1;
    int16_t (*table)[2] = &vlc->table[table_index];
    for (int i = 0; i < table_size; ++i) {
        table[i][0] = -1;
        table[i][1] = 0;
    }

    for (int i = 0; i < src.nb_codes; ++i) {
        const int n = static_cast<int>(read_element(src.bits, i, src.bits_wrap, src.bits_size));
        const uint32_t code = read_element(src.codes, i, src.codes_wrap, src.codes_size);
        const int m = n - prefix_len;
        if (n <= 0 || m <= 0 || (static_cast<uint64_t>(code) >> m) != prefix)
            continue;
        if (m <= table_nb_bits) {
            const int first = (code << (table_nb_bits - m)) & (table_size - 1);
            const int count = 1 << (table_nb_bits - m);
            for (int k = 0; k < count; ++k) {
                table[first + k][0] = static_cast<int16_t>(i);
                table[first + k][1] = static_cast<int16_t>(m);
            }
        } else {
            const int j = (code >> (m - table_nb_bits)) & (table_size - 1);
            const int deeper = m - table_nb_bits;
            if (-table[j][1] < deeper)
                table[j][1] = static_cast<int16_t>(-deeper);
        }
    }

    for (int i = 0; i < table_size; ++i) {
        int k = -table[i][1];
        if (k <= 0)
            continue;
        if (k > table_nb_bits) {
            k = table_nb_bits;
            table[i][1] = static_cast<int16_t>(-k);
        }
        const int sub = build_table(vlc, src, k, (prefix << table_nb_bits) | i, prefix_len + table_nb_bits);
        if (sub < 0)
            return -1;
        table = &vlc->table[table_index];   // the array may have moved
        table[i][0] = static_cast<int16_t>(sub);
    }
    return table_index;
}

}  // namespace

int init_vlc(VLC* vlc, int nb_bits, int nb_codes,
             const void* bits, int bits_wrap, int bits_size,
             const void* codes, int codes_wrap, int codes_size)
{
    vlc->bits = nb_bits;
    vlc->table = nullptr;
    vlc->table_size = 0;
    vlc->table_allocated = 0;
    const CodeSource src{static_cast<const uint8_t*>(bits), bits_wrap, bits_size,
                         static_cast<const uint8_t*>(codes), codes_wrap, codes_size, nb_codes};
    if (build_table(vlc, src, nb_bits, 0, 0) < 0) {
        free_vlc(vlc);
        return -1;
    }
    return 0;
}

void free_vlc(VLC* vlc)
{
    std::free(vlc->table);
    vlc->table = nullptr;
    vlc->table_size = 0;
    vlc->table_allocated = 0;
}
