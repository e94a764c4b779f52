// synth.h — the synthesizer: oscillators, envelopes, noise and filters, rendering notes into a float buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Wave { Sine, Triangle, Saw, Square, Noise };

// How one instrument sounds; times in seconds, frequencies in hertz.
struct Instrument {
    Wave wave = Wave::Sine;
    double attack = 0.01, decay = 0.1, sustain = 0.8, release = 0.1;
    double gain = 0.5;
    double pan = 0.0;            // -1 left .. +1 right
    double cutoff = 0.0;         // low-pass at the note's start; 0 leaves it open
    double cutoffEnd = -1.0;     // low-pass at the end of its release; -1: as at the start
    double resonance = 0.0;      // 0 .. 0.9
    double highpass = 0.0;       // one-pole high-pass; 0 leaves it open
    double glide = 0.0;          // semitones the pitch moves over the held part of the note
    double vibratoRate = 0.0, vibratoDepth = 0.0;   // hertz, semitones
    double detune = 0.0;         // cents; a second oscillator this far above the first
    double fifth = 0.0;          // level of an added oscillator a fifth above (organ-like)
};

// A note: when it starts and how long it is held, both in seconds; its frequency.
struct Note {
    const Instrument* instrument;
    double start, held, frequency, velocity;
};

// Stereo float samples, interleaved.
struct Render {
    int rate = 44100;
    std::vector<double> samples;   // 2 per frame
    int64_t frames() const { return int64_t(samples.size() / 2); }
};

// Adds the note into `out`. With `wrapFrames` > 0 the buffer is a loop of that many
// frames and whatever sounds past its end is added at its start, so the loop has no seam.
void renderNote(const Note& note, uint32_t seed, Render& out, int64_t wrapFrames);

// A feedback echo; on a loop it runs round the buffer until its tail has settled.
void addEcho(Render& out, double delaySeconds, double feedback, bool loop);

// The render as the file holds it: interleaved stereo, or mono as the two channels' sum
// at the same power.
std::vector<double> mixdown(const Render& in, int channels);
// The largest magnitude among `samples`.
double loudestOf(const std::vector<double>& samples);
// Each sample times `scale` (1.0 becoming full scale), rounded to 16 bits.
std::vector<int16_t> toPcm16(const std::vector<double>& samples, double scale);

// A 16-bit PCM WAV file; false when it cannot be written.
bool writeWav(const std::string& path, const std::vector<int16_t>& pcm, int channels, int rate);
