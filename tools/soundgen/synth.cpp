// synth.cpp — oscillators, envelopes, filters and the echo, all in double precision and deterministic.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {
constexpr double PI = 3.14159265358979323846;

// xorshift32: the same noise on every machine for the same seed.
struct Noise {
    uint32_t state;
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return double(state) / 2147483648.0 - 1.0;
    }
};

double oscillator(Wave wave, double phase, Noise& noise) {
    switch (wave) {
    case Wave::Sine: return std::sin(2 * PI * phase);
    case Wave::Triangle: return 4 * std::fabs(phase - 0.5) - 1;
    case Wave::Saw: return 2 * phase - 1;
    case Wave::Square: return phase < 0.5 ? 1.0 : -1.0;
    case Wave::Noise: return noise.next();
    }
    return 0;
}

// Attack, decay to the sustain level while held, then release from wherever it is.
double envelope(const Instrument& in, double t, double held) {
    auto holding = [&](double u) {
        if (u < in.attack) return u / in.attack;
        u -= in.attack;
        if (u < in.decay) return 1 - (1 - in.sustain) * (u / in.decay);
        return in.sustain;
    };
    if (t < held) return holding(t);
    const double r = t - held;
    if (r >= in.release) return 0;
    return holding(held) * (1 - r / in.release);
}
}  // namespace

void renderNote(const Note& note, uint32_t seed, Render& out, int64_t wrapFrames) {
    const Instrument& in = *note.instrument;
    const int rate = out.rate;
    const int64_t first = std::llround(note.start * rate);
    const int64_t length = std::llround((note.held + in.release) * rate);
    Noise noise{seed | 1u};
    double phase = 0, phase2 = 0, phase3 = 0;
    double low = 0, band = 0;                     // state-variable filter
    double hpIn = 0, hpOut = 0;                   // one-pole high-pass
    const double hpCoef = in.highpass > 0 ? std::exp(-2 * PI * in.highpass / rate) : 0;
    const double left = std::sqrt((1 - in.pan) / 2), right = std::sqrt((1 + in.pan) / 2);
    const double cutoffEnd = in.cutoffEnd < 0 ? in.cutoff : in.cutoffEnd;
    for (int64_t i = 0; i < length; ++i) {
        const double t = double(i) / rate;
        const double heldPart = std::min(t / std::max(note.held, 1e-9), 1.0);
        double semis = in.glide * heldPart;
        if (in.vibratoDepth > 0) semis += in.vibratoDepth * std::sin(2 * PI * in.vibratoRate * t);
        const double f = note.frequency * std::pow(2.0, semis / 12);
        double s = oscillator(in.wave, phase, noise);
        if (in.detune != 0) s = 0.5 * (s + oscillator(in.wave, phase2, noise));
        if (in.fifth > 0) s += in.fifth * oscillator(in.wave, phase3, noise);
        phase += f / rate;
        phase -= std::floor(phase);
        phase2 += f * std::pow(2.0, in.detune / 1200) / rate;
        phase2 -= std::floor(phase2);
        phase3 += f * 1.5 / rate;
        phase3 -= std::floor(phase3);
        if (in.cutoff > 0) {
            const double c = in.cutoff + (cutoffEnd - in.cutoff) * (double(i) / length);
            const double k = 2 * std::sin(PI * std::min(c, rate / 6.0) / rate);
            const double q = 1 - in.resonance;
            low += k * band;
            band += k * (s - low - q * band);
            s = low;
        }
        if (in.highpass > 0) {
            hpOut = hpCoef * (hpOut + s - hpIn);
            hpIn = s;
            s = hpOut;
        }
        s *= envelope(in, t, note.held) * in.gain * note.velocity;
        int64_t frame = first + i;
        if (wrapFrames > 0) frame %= wrapFrames;
        if (frame >= out.frames()) out.samples.resize(size_t(frame + 1) * 2, 0.0);
        out.samples[size_t(frame) * 2] += s * left;
        out.samples[size_t(frame) * 2 + 1] += s * right;
    }
}

void addEcho(Render& out, double delaySeconds, double feedback, bool loop) {
    const int64_t delay = std::llround(delaySeconds * out.rate);
    const int64_t n = out.frames();
    if (delay <= 0 || n <= delay) return;
    const std::vector<double> dry = out.samples;
    if (!loop) {
        for (int64_t i = delay; i < n; ++i)
            for (int c = 0; c < 2; ++c)
                out.samples[size_t(i * 2 + c)] += feedback * out.samples[size_t((i - delay) * 2 + c)];
        return;
    }
    // y = dry + feedback * y delayed, round the loop: each pass adds one more repeat,
    // so after a few the next would be far below one 16-bit step.
    for (int pass = 0; pass < 24; ++pass) {
        const std::vector<double> wet = out.samples;
        for (int64_t i = 0; i < n; ++i)
            for (int c = 0; c < 2; ++c)
                out.samples[size_t(i * 2 + c)] =
                    dry[size_t(i * 2 + c)] + feedback * wet[size_t(((i - delay + n) % n) * 2 + c)];
    }
}

std::vector<double> mixdown(const Render& in, int channels) {
    if (channels == 2) return in.samples;
    std::vector<double> mono(in.samples.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i) mono[i] = (in.samples[2 * i] + in.samples[2 * i + 1]) * std::sqrt(0.5);
    return mono;
}

double loudestOf(const std::vector<double>& samples) {
    double loudest = 0;
    for (double s : samples) loudest = std::max(loudest, std::fabs(s));
    return loudest;
}

std::vector<int16_t> toPcm16(const std::vector<double>& samples, double scale) {
    std::vector<int16_t> pcm(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) pcm[i] = int16_t(std::lround(samples[i] * scale * 32767.0));
    return pcm;
}

bool writeWav(const std::string& path, const std::vector<int16_t>& pcm, int channels, int rate) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;
    const uint32_t dataBytes = uint32_t(pcm.size() * 2);
    auto u32 = [&](uint32_t v) {
        const unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        std::fwrite(b, 1, 4, file.get());
    };
    auto u16 = [&](uint16_t v) {
        const unsigned char b[2] = {uint8_t(v), uint8_t(v >> 8)};
        std::fwrite(b, 1, 2, file.get());
    };
    std::fputs("RIFF", file.get());
    u32(36 + dataBytes);
    std::fputs("WAVEfmt ", file.get());
    u32(16);
    u16(1);   // integer PCM
    u16(uint16_t(channels));
    u32(uint32_t(rate));
    u32(uint32_t(rate * channels * 2));
    u16(uint16_t(channels * 2));
    u16(16);
    std::fputs("data", file.get());
    u32(dataBytes);
    for (int16_t s : pcm) u16(uint16_t(s));
    return std::ferror(file.get()) == 0;
}
