// mpaudec.cpp — the decoder's frame layer (finding, measuring and gathering frames) and layers I and II.
#include "mpaudec.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

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

namespace {

// Layer II.
constexpr int sblimit_table[5] = {27, 30, 8, 12, 30};
constexpr int quant_steps[17] = {3, 5, 7, 9, 15, 31, 63, 127, 255, 511,
                                 1023, 2047, 4095, 8191, 16383, 32767, 65535};
// Negative: one grouped code of that many bits carrying three samples.
constexpr int quant_bits[17] = {-5, -7, 3, -10, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// Scale factor index i: (i mod 3) in the low 2 bits, i / 3 above them.
uint8_t scale_factor_modshift[64];
// For n = 2..16 bits: 2^n / (2^n - 1) times 2, 2 * 2^(-1/3), 2 * 2^(-2/3).
int32_t scale_factor_mult[15][3];
// For 3, 5 and 9 steps: 4/3, 4/5, 4/9 times 1, 2^(-1/3), 2^(-2/3).
int32_t scale_factor_mult2[3][3];

constexpr uint32_t FREE_FORMAT_MATCH_MASK = 0xFFFEFC00;   // sync, version, layer, rates

void build_tables()
{
    for (int i = 0; i < 64; ++i)
        scale_factor_modshift[i] = static_cast<uint8_t>((i % 3) | ((i / 3) << 2));
    // 2^(1 - k/3) × 2^n / (2^n - 1) with 24 fraction bits: the scale factor and the mantissa's
    // normalisation in one rounded multiplier.
    for (int i = 0; i < 15; ++i) {
        const int n = i + 2;
        const double norm = std::exp2(n) / (std::exp2(n) - 1.0);
        for (int k = 0; k < 3; ++k)
            scale_factor_mult[i][k] = static_cast<int32_t>(std::lround(std::exp2(24 - k / 3.0) * norm));
    }
    constexpr int divisors[3] = {3, 5, 9};
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k) {
            const double v = 4.0 / divisors[i] * std::exp2(-k / 3.0);
            scale_factor_mult2[i][k] = static_cast<int32_t>(std::lround(v * (1 << SB_FRAC_BITS)));
        }
    }
}

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

// Drops the first gathered byte, so the header search resumes one byte later.
void drop_first_byte(MPADecodeContext* s)
{
    const long len = s->inbuf_ptr - s->inbuf;
    std::memmove(s->inbuf, s->inbuf + 1, len - 1);
    --s->inbuf_ptr;
}

// Moves input into the current row until `target` bytes of the frame are gathered
// (fewer when the input runs out).
void gather_up_to(MPADecodeContext* s, const uint8_t*& buf_ptr, int& remaining, int target)
{
    int len = target - static_cast<int>(s->inbuf_ptr - s->inbuf);
    if (len < 0)
        len = 0;   // more than the target is gathered already
    if (len > remaining)
        len = remaining;
    std::memcpy(s->inbuf_ptr, buf_ptr, len);
    s->inbuf_ptr += len;
    buf_ptr += len;
    remaining -= len;
}

// Layer I mantissa of n + 1 bits to a sample value with scale factor sf.
int32_t l1_unscale(int n, int mant, int sf)
{
    const int m = scale_factor_modshift[sf];
    const int mod = m & 3;
    // The multiplier carries the factor 2 of the scale in a 24th fraction bit and the mantissa
    // has n; the result has SB_FRAC_BITS.
    const int shift = (m >> 2) + n - (SB_FRAC_BITS - 23);
    const int64_t value = static_cast<int64_t>(mant + 1 - (1 << n)) * scale_factor_mult[n - 1][mod];
    if (shift <= 0)
        return static_cast<int32_t>(value * (int64_t{1} << -shift));
    return static_cast<int32_t>((value + (int64_t{1} << (shift - 1))) >> shift);
}

// One sample of a grouped layer II code of 3, 5 or 9 steps.
int32_t l2_unscale_group(int steps, int mant, int sf)
{
    const int m = scale_factor_modshift[sf];
    const int mod = m & 3;
    const int shift = m >> 2;
    int32_t value = scale_factor_mult2[steps >> 2][mod] * (mant - (steps >> 1));
    if (shift > 0)
        value = (value + (1 << (shift - 1))) >> shift;
    return value;
}

}  // namespace

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

int l2_select_table(int bitrate, int nb_channels, int freq, int lsf)
{
    if (lsf)
        return 4;
    const int per_channel = bitrate / nb_channels;
    if ((freq == 48000 && per_channel >= 56) || (per_channel >= 56 && per_channel <= 80))
        return 0;
    if (freq != 48000 && per_channel >= 96)
        return 1;
    if (freq == 32000)
        return 3;
    if (per_channel > 48)
        return 3;
    return 2;
}

int mp_decode_layer1(MPADecodeContext* s)
{
    uint8_t allocation[MPA_MAX_CHANNELS][SBLIMIT] = {};
    uint8_t scale_factors[MPA_MAX_CHANNELS][SBLIMIT] = {};
    GetBitContext* gb = &s->gb;
    const int channels = s->nb_channels;
    const int bound = s->mode == MPA_JSTEREO ? (s->mode_ext + 1) * 4 : SBLIMIT;

    for (int i = 0; i < bound; ++i)
        for (int ch = 0; ch < channels; ++ch)
            allocation[ch][i] = static_cast<uint8_t>(get_bits(gb, 4));
    for (int i = bound; i < SBLIMIT; ++i)
        allocation[0][i] = allocation[1][i] = static_cast<uint8_t>(get_bits(gb, 4));

    for (int i = 0; i < bound; ++i)
        for (int ch = 0; ch < channels; ++ch)
            if (allocation[ch][i])
                scale_factors[ch][i] = static_cast<uint8_t>(get_bits(gb, 6));
    for (int i = bound; i < SBLIMIT; ++i) {
        if (allocation[0][i]) {
            scale_factors[0][i] = static_cast<uint8_t>(get_bits(gb, 6));
            scale_factors[1][i] = static_cast<uint8_t>(get_bits(gb, 6));
        }
    }

    for (int slot = 0; slot < 12; ++slot) {
        for (int i = 0; i < bound; ++i) {
            for (int ch = 0; ch < channels; ++ch) {
                const int n = allocation[ch][i];
                s->sb_samples[ch][slot][i] =
                    n ? l1_unscale(n, static_cast<int>(get_bits(gb, n + 1)), scale_factors[ch][i]) : 0;
            }
        }
        for (int i = bound; i < SBLIMIT; ++i) {
            const int n = allocation[0][i];
            if (n) {
                const int mant = static_cast<int>(get_bits(gb, n + 1));
                s->sb_samples[0][slot][i] = l1_unscale(n, mant, scale_factors[0][i]);
                s->sb_samples[1][slot][i] = l1_unscale(n, mant, scale_factors[1][i]);
            } else {
                s->sb_samples[0][slot][i] = 0;
                s->sb_samples[1][slot][i] = 0;
            }
        }
    }
    return 12;
}

namespace {

// Reads the three codes of one sub-band, channel-independent, as unscaled mantissas.
struct Triple {
    int mant[3];
    bool grouped;
    int steps;
    int bits;
};

Triple read_triple(GetBitContext* gb, int qindex)
{
    Triple t{};
    t.bits = quant_bits[qindex];
    t.steps = quant_steps[qindex];
    if (t.bits < 0) {
        t.grouped = true;
        int v = static_cast<int>(get_bits(gb, -t.bits));
        t.mant[0] = v % t.steps;
        v /= t.steps;
        t.mant[1] = v % t.steps;
        t.mant[2] = v / t.steps;
    } else {
        for (int m = 0; m < 3; ++m)
            t.mant[m] = static_cast<int>(get_bits(gb, t.bits));
    }
    return t;
}

int32_t unscale(const Triple& t, int m, int sf)
{
    return t.grouped ? l2_unscale_group(t.steps, t.mant[m], sf) : l1_unscale(t.bits - 1, t.mant[m], sf);
}

}  // namespace

int mp_decode_layer2(MPADecodeContext* s)
{
    uint8_t bit_alloc[MPA_MAX_CHANNELS][SBLIMIT] = {};
    uint8_t scale_code[MPA_MAX_CHANNELS][SBLIMIT] = {};
    uint8_t scale_factors[MPA_MAX_CHANNELS][SBLIMIT][3] = {};
    GetBitContext* gb = &s->gb;
    const int channels = s->nb_channels;

    const int table = l2_select_table(s->bit_rate / 1000, channels, s->sample_rate, s->lsf);
    const int sblimit = sblimit_table[table];
    const uint8_t* alloc_table = alloc_tables[table];
    int bound = s->mode == MPA_JSTEREO ? (s->mode_ext + 1) * 4 : sblimit;
    if (bound > sblimit)
        bound = sblimit;

    int j = 0;
    for (int i = 0; i < sblimit; ++i) {
        const int bits = alloc_table[j];
        if (i < bound) {
            for (int ch = 0; ch < channels; ++ch)
                bit_alloc[ch][i] = static_cast<uint8_t>(get_bits(gb, bits));
        } else {
            bit_alloc[0][i] = bit_alloc[1][i] = static_cast<uint8_t>(get_bits(gb, bits));
        }
        j += 1 << bits;
    }

    for (int i = 0; i < sblimit; ++i)
        for (int ch = 0; ch < channels; ++ch)
            if (bit_alloc[ch][i])
                scale_code[ch][i] = static_cast<uint8_t>(get_bits(gb, 2));

    for (int i = 0; i < sblimit; ++i) {
        for (int ch = 0; ch < channels; ++ch) {
            if (!bit_alloc[ch][i])
                continue;
            uint8_t* sf = scale_factors[ch][i];
            switch (scale_code[ch][i]) {
            case 0:
                sf[0] = static_cast<uint8_t>(get_bits(gb, 6));
                sf[1] = static_cast<uint8_t>(get_bits(gb, 6));
                sf[2] = static_cast<uint8_t>(get_bits(gb, 6));
                break;
            case 1:
                sf[0] = sf[1] = static_cast<uint8_t>(get_bits(gb, 6));
                sf[2] = static_cast<uint8_t>(get_bits(gb, 6));
                break;
            case 2:
                sf[0] = sf[1] = sf[2] = static_cast<uint8_t>(get_bits(gb, 6));
                break;
            default:
                sf[0] = static_cast<uint8_t>(get_bits(gb, 6));
                sf[1] = sf[2] = static_cast<uint8_t>(get_bits(gb, 6));
                break;
            }
        }
    }

    for (int part = 0; part < 3; ++part) {
        for (int l = 0; l < 12; l += 3) {
            const int slot = part * 12 + l;
            j = 0;
            for (int i = 0; i < sblimit; ++i) {
                const int bits = alloc_table[j];
                if (i < bound) {
                    for (int ch = 0; ch < channels; ++ch) {
                        const int a = bit_alloc[ch][i];
                        if (a) {
                            const Triple t = read_triple(gb, alloc_table[j + a]);
                            for (int m = 0; m < 3; ++m)
                                s->sb_samples[ch][slot + m][i] = unscale(t, m, scale_factors[ch][i][part]);
                        } else {
                            for (int m = 0; m < 3; ++m)
                                s->sb_samples[ch][slot + m][i] = 0;
                        }
                    }
                } else {
                    const int a = bit_alloc[0][i];
                    if (a) {
                        const Triple t = read_triple(gb, alloc_table[j + a]);
                        for (int ch = 0; ch < 2; ++ch)
                            for (int m = 0; m < 3; ++m)
                                s->sb_samples[ch][slot + m][i] = unscale(t, m, scale_factors[ch][i][part]);
                    } else {
                        for (int ch = 0; ch < 2; ++ch)
                            for (int m = 0; m < 3; ++m)
                                s->sb_samples[ch][slot + m][i] = 0;
                    }
                }
                j += 1 << bits;
            }
            for (int i = sblimit; i < SBLIMIT; ++i)
                for (int ch = 0; ch < channels; ++ch)
                    for (int m = 0; m < 3; ++m)
                        s->sb_samples[ch][slot + m][i] = 0;
        }
    }
    return 36;
}

int mp_decode_frame(MPADecodeContext* s, short* samples)
{
    init_get_bits(&s->gb, s->inbuf + HEADER_SIZE, (s->frame_size - HEADER_SIZE) * 8);
    if (s->error_protection)
        skip_bits(&s->gb, 16);   // the CRC is not checked

    int nb_slots;
    switch (s->layer) {
    case 1:
        nb_slots = mp_decode_layer1(s);
        break;
    case 2:
        nb_slots = mp_decode_layer2(s);
        break;
    default:
        nb_slots = mp_decode_layer3(s);
        break;
    }
    if (nb_slots < 0)
        return nb_slots;

    synth_slots(s, samples, nb_slots);
    return nb_slots * 32 * 2 * s->nb_channels;
}

int mpaudec_init(MPAuDecContext* ctx)
{
    *ctx = MPAuDecContext{};
    // Over-aligned for the synthesis history (aligned_alloc wants a multiple of the alignment).
    constexpr size_t align = alignof(MPADecodeContext);
    auto* s = static_cast<MPADecodeContext*>(std::aligned_alloc(align, (sizeof(MPADecodeContext) + align - 1) / align * align));
    if (!s)
        return -1;
    std::memset(static_cast<void*>(s), 0, sizeof(MPADecodeContext));
    // The shared tables are built once, by the first decoder opened on any thread; a host may
    // open streams on several (the game's audio keeper rewinds them on its own).
    static const int tables = [] {
        build_tables();
        synth_init();
        int_pow_init();
        return mp_layer3_init();
    }();
    if (tables < 0) {
        std::free(s);
        return -1;
    }
    s->inbuf_index = 0;
    s->inbuf = &s->inbuf1[0][BACKSTEP_SIZE];
    s->inbuf_ptr = s->inbuf;
    ctx->priv_data = s;
    return 0;
}

void mpaudec_clear(MPAuDecContext* ctx)
{
    std::free(ctx->priv_data);
    *ctx = MPAuDecContext{};
}

int mpaudec_decode_frame(MPAuDecContext* ctx, void* data, int* data_size,
                         const unsigned char* buf, int buf_size)
{
    MPADecodeContext* s = ctx->priv_data;
    const unsigned char* buf_ptr = buf;
    int remaining = buf_size;
    *data_size = 0;

    while (remaining > 0) {
        uint32_t next_header = 0;   // free format: the header that ended this frame
        const int gathered = static_cast<int>(s->inbuf_ptr - s->inbuf);

        if (s->frame_size == 0) {
            // After an abandoned free-format search more than a header may be gathered already.
            gather_up_to(s, buf_ptr, remaining, HEADER_SIZE);
            if (s->inbuf_ptr - s->inbuf >= HEADER_SIZE) {
                const uint32_t header = read_header(s->inbuf);
                if (check_header(header) < 0) {
                    drop_first_byte(s);
                    s->free_format_frame_size = 0;
                } else {
                    if (decode_header(s, header) == 1)
                        s->frame_size = -1;
                    ctx->sample_rate = s->sample_rate;
                    ctx->channels = s->nb_channels;
                    ctx->bit_rate = s->bit_rate;
                    ctx->layer = s->layer;
                    ctx->frame_size = samples_per_frame(s);
                }
            }
        } else if (s->frame_size == -1) {
            int len = MPA_MAX_CODED_FRAME_SIZE - gathered;
            if (len > remaining)
                len = remaining;
            if (len == 0) {
                // No second header within the longest frame: this one was not a header.
                s->frame_size = 0;
                drop_first_byte(s);
            } else {
                std::memcpy(s->inbuf_ptr, buf_ptr, len);
                uint8_t* const old_end = s->inbuf_ptr;
                uint8_t* const new_end = old_end + len;
                const uint32_t header = read_header(s->inbuf);
                const int padding = padding_bytes(header);
                // A frame holds at least its own header and some bytes besides its padding.
                uint8_t* p = old_end - 3;
                uint8_t* const first = s->inbuf + (padding + 1 > HEADER_SIZE ? padding + 1 : HEADER_SIZE);
                if (p < first)
                    p = first;
                for (; p + 4 <= new_end; ++p) {
                    if ((read_header(p) & FREE_FORMAT_MATCH_MASK) == (header & FREE_FORMAT_MATCH_MASK))
                        break;
                }
                if (p + 4 <= new_end) {
                    const int used = static_cast<int>(p + 4 - old_end);
                    buf_ptr += used;
                    remaining -= used;
                    s->inbuf_ptr = p;
                    s->free_format_frame_size = static_cast<int>(p - s->inbuf) - padding;
                    next_header = read_header(p);
                    decode_header(s, header);
                    ctx->bit_rate = s->bit_rate;
                } else {
                    s->inbuf_ptr = new_end;
                    buf_ptr += len;
                    remaining -= len;
                }
            }
        } else {
            if (s->frame_size > MPA_MAX_CODED_FRAME_SIZE)
                s->frame_size = MPA_MAX_CODED_FRAME_SIZE;
            // A free-format frame may be shorter than the header already gathered.
            gather_up_to(s, buf_ptr, remaining, s->frame_size);
        }

        if (s->frame_size > 0 && s->inbuf_ptr - s->inbuf >= s->frame_size) {
            // Bytes gathered beyond this frame (left from an abandoned free-format search)
            // belong to what follows it.
            const uint8_t* const after_frame = s->inbuf + s->frame_size;
            const int leftover = static_cast<int>(s->inbuf_ptr - after_frame);
            ctx->coded_frame_size = s->frame_size;
            if (ctx->parse_only) {
                const uint8_t* frame = s->inbuf;
                std::memcpy(data, &frame, sizeof frame);
                *data_size = s->frame_size;
                // The handed-out frame must stay whole: whatever follows it (a next header, or
                // bytes gathered beyond it) goes to the other row.
                if (next_header || leftover > 0) {
                    s->inbuf_index ^= 1;
                    s->inbuf = &s->inbuf1[s->inbuf_index][BACKSTEP_SIZE];
                }
            } else {
                *data_size = mp_decode_frame(s, static_cast<short*>(data));
            }
            if (next_header) {
                s->inbuf[0] = static_cast<uint8_t>(next_header >> 24);
                s->inbuf[1] = static_cast<uint8_t>(next_header >> 16);
                s->inbuf[2] = static_cast<uint8_t>(next_header >> 8);
                s->inbuf[3] = static_cast<uint8_t>(next_header);
                s->inbuf_ptr = s->inbuf + HEADER_SIZE;
            } else {
                std::memmove(s->inbuf, after_frame, leftover);
                s->inbuf_ptr = s->inbuf + leftover;
            }
            s->frame_size = 0;
            break;
        }
    }
    return static_cast<int>(buf_ptr - buf);
}
