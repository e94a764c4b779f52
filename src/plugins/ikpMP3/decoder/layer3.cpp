// layer3.cpp — layer III frames: the shared tables built once, the bit reservoir, and each granule
// taken through its stages (layer3_sideinfo, _huffdec, _requant, _imdct).
#include <cstring>

#include "layer3.h"

int mp_layer3_init()
{
    if (huff_quad_vlc[1].table)
        return 0;
    build_band_index();
    build_requant_tables();
    build_imdct_tables();
    return build_huffman();
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

    int16_t exponents[GRANULE_LINES];
    for (int gr = 0; gr < nb_granules; ++gr) {
        for (int ch = 0; ch < nb_channels; ++ch) {
            GranuleDef* g = &granules[ch][gr];
            const int start = get_bits_count(gb);
            read_scale_factors(s, g, ch, &granules[ch][0]);
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
