// score.h — the text scores soundgen plays: instruments, and lines of notes placed on a beat grid.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "synth.h"

struct Score {
    int channels = 1;
    double tempo = 60;           // beats per minute
    double lengthBeats = 0;      // 0: as long as the last note sounds
    bool loop = false;           // the end joins the start without a seam
    double peak = 0.8;           // of full scale, where no loudness is asked for
    double loudness = 0;         // LUFS (as the game plays it) the sound is scaled to; 0: by peak
    double echoSeconds = 0, echoFeedback = 0;
    std::map<std::string, Instrument> instruments;
    std::vector<Note> notes;     // instruments point into `instruments`
};

// Reads a score; false with `error` naming the line when it is malformed.
bool parseScore(const std::string& text, Score& score, std::string& error);

// Frequency of a note name such as "A4" (440 Hz), "C#3", "Bb1"; 0 when it is not one.
double noteFrequency(const std::string& name);

// A sound scaled to its loudness may peak no higher than this (-1 dBFS), leaving room for
// the encoder's ripple.
constexpr double MAX_PEAK = 0.891;

// The whole piece as 16-bit PCM, interleaved when stereo. False, with `error` saying why,
// when the loudness asked for would need a peak above MAX_PEAK.
bool renderScore(const Score& score, int rate, std::vector<int16_t>& pcm, std::string& error);
