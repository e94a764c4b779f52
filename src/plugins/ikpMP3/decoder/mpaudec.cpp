// mpaudec.cpp — the decoder's frame layer: finding, measuring and gathering frames, and handing
// each to its layer and the synthesis.
#include "mpaudec.h"

#include <cstdlib>
#include <cstring>

#include "kernels.h"
#include "mpaudec_internal.h"

namespace {

constexpr uint32_t FREE_FORMAT_MATCH_MASK = 0xFFFEFC00;   // sync, version, layer, rates

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

}  // namespace

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
        layer12_init();
        synth_init();
        choose_kernels();
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
