// mpaudec_internal.h — the decoder's private state, shared tables and the entry points its layers share.
#pragma once

#include <cstdint>

#include "bits.h"
#include "fixed.h"
#include "mpaudec.h"

// Sample values: 32-bit with 23 fraction bits (1.0 = 0x800000).
using MPA_INT = int32_t;

// Sub-band samples handed to the synthesis, and layer III spectral values, carry 4 more fraction
// bits than the layers' working values and constants: the rounding of each stage then stays far
// below what decides the 16-bit output (full scale is 2^27; 32 bits leave room for 16 times it).
constexpr int SB_FRAC_BITS = 27;

constexpr int SBLIMIT = 32;                     // sub-bands
constexpr int MPA_MAX_CHANNELS = 2;
constexpr int HEADER_SIZE = 4;
constexpr int BACKSTEP_SIZE = 512;              // room for the layer III bit reservoir
constexpr int MPA_MAX_CODED_FRAME_SIZE = 1792;  // longer frames are cut to this
constexpr int MPA_INBUF_SIZE = BACKSTEP_SIZE + MPA_MAX_CODED_FRAME_SIZE;
constexpr int SYNTH_RING_SIZE = 512;            // synthesis history per channel, mirrored once

// Header mode field.
constexpr int MPA_STEREO = 0;
constexpr int MPA_JSTEREO = 1;
constexpr int MPA_DUAL = 2;
constexpr int MPA_MONO = 3;

// Zero-filled at creation; see mpaudec_init.
struct MPADecodeContext {
    uint8_t inbuf1[2][MPA_INBUF_SIZE];  // two rows: reservoir room, then the frame at +512
    int inbuf_index;                    // current row
    uint8_t* inbuf_ptr;                 // end of the bytes gathered in the current row
    uint8_t* inbuf;                     // start of the frame in the current row
    int frame_size;                     // 0 = seeking a header, -1 = measuring free format
    int free_format_frame_size;         // without padding; 0 = not measured
    int error_protection;
    int layer;
    int sample_rate;
    int sample_rate_index;              // 0..8: rate index + 3 (lower rates) or + 6 (2.5 rates)
    int bit_rate;
    int old_frame_size;                 // previous layer III frame, for the reservoir
    GetBitContext gb;
    int nb_channels;
    int mode;
    int mode_ext;
    int lsf;
    alignas(32) MPA_INT synth_buf[MPA_MAX_CHANNELS][SYNTH_RING_SIZE * 2];   // whole vectors stored at 32-sample steps
    int synth_buf_offset[MPA_MAX_CHANNELS];
    int32_t sb_samples[MPA_MAX_CHANNELS][36][SBLIMIT];   // channel, time slot, sub-band; SB_FRAC_BITS
    int32_t mdct_buf[MPA_MAX_CHANNELS][18 * SBLIMIT];    // layer III overlap-add history: time slot, sub-band; SB_FRAC_BITS
};

// One granule of one channel of a layer III frame; lives only while the frame decodes.
struct GranuleDef {
    uint8_t scfsi;
    int part2_3_length;
    int big_values;
    int global_gain;
    int scalefac_compress;
    uint8_t block_type;
    uint8_t switch_point;
    int table_select[3];
    int subblock_gain[3];
    uint8_t scalefac_scale;
    uint8_t count1table_select;
    int region_size[3];
    int preflag;
    int short_start;
    int long_end;
    uint8_t scale_factors[40];
    int32_t sb_hybrid[SBLIMIT * 18];
};

// Shared tables, built once per process by the first mpaudec_init.
extern const uint16_t mpa_bitrate_tab[2][3][15];   // [lsf][layer - 1][index], kbit/s
extern const uint16_t mpa_freq_tab[3];
extern const int32_t mpa_enwindow[257];            // synthesis window D[0..256], 16 fraction bits
extern const uint8_t* const alloc_tables[5];       // layer II: per sub-band, bits then classes

// Frame header (header.cpp).
uint32_t read_header(const uint8_t* p);   // four bytes, most significant first
int check_header(uint32_t header);
int decode_header(MPADecodeContext* s, uint32_t header);
int padding_bytes(uint32_t header);       // layer I pads in 4-byte slots
int samples_per_frame(const MPADecodeContext* s);

// Layers I and II (layer12.cpp). layer12_init builds their shared tables once.
void layer12_init();
int mp_decode_layer1(MPADecodeContext* s);
int mp_decode_layer2(MPADecodeContext* s);
int l2_select_table(int bitrate, int nb_channels, int freq, int lsf);

// Layer III (layer3*.cpp). mp_layer3_init builds its shared tables once, after
// int_pow_init; it returns 0, or -1 when memory runs out. mp_decode_layer3 returns
// the time slots written to sb_samples (36, or 18 at the lower rates), -1 on failure.
int mp_layer3_init();
int mp_decode_layer3(MPADecodeContext* s);
// Layer III alias reduction over boundaries 1..last of 576 lines, on the chosen kernels
// (kernels.cpp).
void antialias(int32_t* x, int last, const int32_t csa[8][2]);

// x^(4/3) in 24-bit working precision (layer3_requant.cpp); layer III's table of x^(4/3) is
// computed to 32 significant bits instead, which this routine cannot give.
void int_pow_init();
int int_pow(int i, int* exponent);       // i^(4/3) ~ result * 2^(exponent - 23), i >= 1

// Synthesis filter bank (synth.cpp), on the chosen kernels.
void synth_init();
void dct32(int32_t* out, int32_t* in);   // destroys in
int round_sample(int64_t sum);          // window sum (SB_FRAC_BITS + 16 fraction bits) to 16 bits
void synth_filter(MPADecodeContext* s, int ch, short* samples, int incr, int32_t* sb_samples);
// Every channel of time slots 0..nb_slots - 1 of sb_samples, interleaved into samples.
void synth_slots(MPADecodeContext* s, short* samples, int nb_slots);

// The frame's audio data decoded into samples (mpaudec.cpp).
int mp_decode_frame(MPADecodeContext* s, short* samples);
