// header.cpp — the MPEG audio frame header: checking it, reading the rates, mode and frame length.
#include "mpaudec_internal.h"

const uint16_t mpa_bitrate_tab[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};

const uint16_t mpa_freq_tab[3] = {44100, 48000, 32000};

uint32_t read_header(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// A frame's padding in bytes: layer I pads in 4-byte slots.
int padding_bytes(uint32_t header)
{
    const int padding = (header >> 9) & 1;
    const int layer = 4 - ((header >> 17) & 3);
    return layer == 1 ? padding * 4 : padding;
}

int samples_per_frame(const MPADecodeContext* s)
{
    if (s->layer == 1)
        return 384;
    if (s->layer == 2)
        return 1152;
    return s->lsf ? 576 : 1152;
}

int check_header(uint32_t header)
{
    if ((header & 0xFFE00000) != 0xFFE00000)
        return -1;
    if (((header >> 17) & 3) == 0)
        return -1;
    if (((header >> 12) & 0xF) == 0xF)
        return -1;
    if (((header >> 10) & 3) == 3)
        return -1;
    return 0;
}

int decode_header(MPADecodeContext* s, uint32_t header)
{
    int mpeg25;
    if (header & (1u << 20)) {
        s->lsf = (header & (1u << 19)) ? 0 : 1;
        mpeg25 = 0;
    } else {
        s->lsf = 1;
        mpeg25 = 1;
    }
    s->layer = 4 - ((header >> 17) & 3);
    const int rate_index = (header >> 10) & 3;
    s->sample_rate = mpa_freq_tab[rate_index] >> (s->lsf + mpeg25);
    s->sample_rate_index = rate_index + 3 * (s->lsf + mpeg25);
    s->error_protection = ((header >> 16) & 1) ^ 1;
    const int bitrate_index = (header >> 12) & 0xF;
    const int padding = (header >> 9) & 1;
    s->mode = (header >> 6) & 3;
    s->mode_ext = (header >> 4) & 3;
    s->nb_channels = s->mode == MPA_MONO ? 1 : 2;

    if (bitrate_index != 0) {
        const int kbps = mpa_bitrate_tab[s->lsf][s->layer - 1][bitrate_index];
        s->bit_rate = kbps * 1000;
        switch (s->layer) {
        case 1:
            s->frame_size = ((kbps * 12000) / s->sample_rate + padding) * 4;
            break;
        case 2:
            s->frame_size = (kbps * 144000) / s->sample_rate + padding;
            break;
        default:
            s->frame_size = (kbps * 144000) / (s->sample_rate << s->lsf) + padding;
            break;
        }
        return 0;
    }

    if (s->free_format_frame_size == 0)
        return 1;
    s->frame_size = s->free_format_frame_size + padding_bytes(header);
    // Bits per second from the measured length; layer II picks its tables by this rate.
    const int64_t bytes_rate = static_cast<int64_t>(s->frame_size) * 1000;
    switch (s->layer) {
    case 1:
        s->bit_rate = static_cast<int>(bytes_rate * s->sample_rate / 48000);
        break;
    case 2:
        s->bit_rate = static_cast<int>(bytes_rate * s->sample_rate / 144000);
        break;
    default:
        s->bit_rate = static_cast<int>(bytes_rate * (s->sample_rate << s->lsf) / 144000);
        break;
    }
    return 0;
}
