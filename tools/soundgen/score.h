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
    double peak = 0.8;           // of full scale
    double echoSeconds = 0, echoFeedback = 0;
    std::map<std::string, Instrument> instruments;
    std::vector<Note> notes;     // instruments point into `instruments`
};

// Reads a score; false with `error` naming the line when it is malformed.
bool parseScore(const std::string& text, Score& score, std::string& error);

// Frequency of a note name such as "A4" (440 Hz), "C#3", "Bb1"; 0 when it is not one.
double noteFrequency(const std::string& name);

// The whole piece as 16-bit PCM, interleaved when stereo.
std::vector<int16_t> renderScore(const Score& score, int rate);
