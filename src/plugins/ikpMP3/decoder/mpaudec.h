// mpaudec.h — fixed-point MPEG-1/2/2.5 audio decoder (layers I, II, III): compressed bytes in, 16-bit PCM out.
#pragma once

#include <cstdint>

struct MPADecodeContext;

// Largest PCM output of one frame in bytes: 1152 sample frames, 2 channels, 16 bits.
constexpr int MPAUDEC_MAX_AUDIO_FRAME_SIZE = 4608;

// Owned by the caller. The first five fields follow every valid header found.
struct MPAuDecContext {
    int32_t bit_rate;           // bits per second
    int32_t layer;              // 1, 2 or 3
    int32_t sample_rate;        // Hz
    int32_t channels;           // 1 or 2
    int32_t frame_size;         // sample frames per MPEG frame
    MPADecodeContext* priv_data;  // owned; released by mpaudec_clear
    int32_t parse_only;         // non-zero: frames are found and measured, not decoded
    int32_t coded_frame_size;   // bytes of the last complete frame, header included
};

// Clears the public fields and creates the private state; -1 when memory runs out.
// Set parse_only after this call, not before.
int mpaudec_init(MPAuDecContext* ctx);

// Consumes bytes of `buf` until one frame is complete or the input is used up, and
// returns how many it consumed. *data_size receives 0 when no frame was completed,
// otherwise the PCM bytes written to `data` (which must hold
// MPAUDEC_MAX_AUDIO_FRAME_SIZE bytes), negative when the frame's audio data could not
// be decoded. In parse_only mode *data_size is the frame's length in bytes and the first
// pointer-sized word of `data` points at the frame inside the decoder until the next call.
int mpaudec_decode_frame(MPAuDecContext* ctx, void* data, int* data_size,
                         const unsigned char* buf, int buf_size);

// Frees the private state and clears the public fields; shared tables stay.
void mpaudec_clear(MPAuDecContext* ctx);

// The decoder's inner loops exist as portable reference code ("scalar") and as vector kernels
// written once over a small vocabulary with a body per instruction set: "lanes" (the portable
// body, one lane), "avx2" (x86-64) and "neon" (64-bit ARM). The first mpaudec_init picks the
// fastest this CPU runs (AVX2 or NEON where present, else the reference). All give the same
// output, bit for bit.
// mpaudec_use_kernels("scalar" | "lanes" | "avx2" | "neon") switches every decoder of the process
// (for tests and benchmarks; never while another thread decodes) and returns 0, or -1 when this
// build or CPU lacks that path. mpaudec_kernels names the path in use (null before either call).
int mpaudec_use_kernels(const char* name);
const char* mpaudec_kernels();
