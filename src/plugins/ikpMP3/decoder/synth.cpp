// synth.cpp — the polyphase synthesis filter bank: its window and DCT tables, and the time slots
// run through the chosen kernels into 16-bit samples.
#include <cmath>

#include "kernels.h"
#include "mpaudec_internal.h"

int32_t synth_window_runs[4][8][16];
DctMatrices dct_matrices;

namespace {

// 512 coefficients with 16 fraction bits, built from mpa_enwindow by synth_init.
MPA_INT window[512];

// The window has 16 fraction bits; one output step is 2^-15.
static_assert(SYNTH_OUT_SHIFT == SB_FRAC_BITS + 16 - 15);

}  // namespace

void synth_init()
{
    for (int i = 0; i <= 256; ++i)
        window[i] = mpa_enwindow[i];
    for (int i = 1; i <= 256; ++i)
        window[512 - i] = (i % 64 == 0) ? mpa_enwindow[i] : -mpa_enwindow[i];
    auto cosine = [](double x) { return fix_round(std::cos(x), DCT_COEF_BITS); };
    for (int n = 0; n < 16; ++n)
        for (int k = 0; k < 16; ++k)
            dct_matrices.odd16[n][k] = cosine((2 * n + 1) * (2 * k + 1) * M_PI / 64);
    for (int n = 0; n < 8; ++n) {
        for (int k = 0; k < 8; ++k) {
            dct_matrices.odd8[n][k] = cosine((2 * n + 1) * (2 * k + 1) * M_PI / 32);
            dct_matrices.even8[n][k] = cosine((2 * n + 1) * k * M_PI / 16);
        }
    }

    // The four runs of the windowed sum (see synth_kernels.h), signs folded into the coefficients.
    for (int t = 0; t < 8; ++t) {
        for (int l = 0; l < 16; ++l) {
            const int tap = 64 * t;
            synth_window_runs[0][t][l] = window[l + tap];
            synth_window_runs[1][t][l] = -window[47 - l + tap];
            synth_window_runs[2][t][l] = l == 15 ? 0 : -window[31 - l + tap];   // output 16 has no such term
            synth_window_runs[3][t][l] = -window[48 + l + tap];
        }
    }
}

void dct32(int32_t* out, int32_t* in)
{
    mpa_kernels->dct32(out, in);
}

int round_sample(int64_t sum)
{
    return round_synth_sample(sum);
}

void synth_filter(MPADecodeContext* s, int ch, short* samples, int incr, int32_t* sb_samples)
{
    const int offset = s->synth_buf_offset[ch];
    mpa_kernels->slot(s->synth_buf[ch] + offset, sb_samples, samples, incr);
    s->synth_buf_offset[ch] = (offset - 32) & (SYNTH_RING_SIZE - 1);
}

void synth_slots(MPADecodeContext* s, short* samples, int nb_slots)
{
    if (s->nb_channels != 2) {
        for (int slot = 0; slot < nb_slots; ++slot)
            synth_filter(s, 0, samples + 32 * slot, 1, s->sb_samples[0][slot]);
        return;
    }
    // Both channels of a slot at once, so that the stereo samples are written interleaved.
    for (int slot = 0; slot < nb_slots; ++slot) {
        const int offset0 = s->synth_buf_offset[0];
        const int offset1 = s->synth_buf_offset[1];
        mpa_kernels->pair(s->synth_buf[0] + offset0, s->sb_samples[0][slot], s->synth_buf[1] + offset1,
                          s->sb_samples[1][slot], samples + 64 * slot);
        s->synth_buf_offset[0] = (offset0 - 32) & (SYNTH_RING_SIZE - 1);
        s->synth_buf_offset[1] = (offset1 - 32) & (SYNTH_RING_SIZE - 1);
    }
}
