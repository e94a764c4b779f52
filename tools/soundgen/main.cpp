// main.cpp — soundgen: plays every score beside it into a WAV file, for lame to encode into the game's sounds.
// A looping score becomes NAME.loop.wav, the loop with its own ends around it; once encoded,
// `soundgen --trim-loop NAME.mp3` tells the decoder to cut those ends off again.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "gapless.h"
#include "score.h"

namespace {
constexpr int RATE = 44100;

int usage() {
    std::fprintf(stderr, "usage: soundgen --out DIR [--scores DIR]\n"
                         "       soundgen --trim-loop FILE.mp3\n"
                         "Writes NAME.wav (NAME.loop.wav for a loop) into DIR for every NAME.score.\n");
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "--trim-loop")) {
        std::string error;
        if (trimLoopContext(argv[2], error)) return 0;
        std::fprintf(stderr, "soundgen: %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    std::filesystem::path out, scores = SOUNDGEN_SCORES_DIR;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--out") && i + 1 < argc) out = argv[++i];
        else if (!std::strcmp(argv[i], "--scores") && i + 1 < argc) scores = argv[++i];
        else return usage();
    }
    if (out.empty()) return usage();
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    int written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(scores, ec)) {
        if (entry.path().extension() != ".score") continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        Score score;
        std::string error;
        if (!parseScore(text.str(), score, error)) {
            std::fprintf(stderr, "soundgen: %s: %s\n", entry.path().c_str(), error.c_str());
            return 1;
        }
        std::vector<int16_t> pcm;
        if (!renderScore(score, RATE, pcm, error)) {
            std::fprintf(stderr, "soundgen: %s: %s\n", entry.path().c_str(), error.c_str());
            return 1;
        }
        const std::filesystem::path wav = out / (entry.path().stem().string() + (score.loop ? ".loop.wav" : ".wav"));
        if (!writeWav(wav.string(), score.loop ? withLoopContext(pcm, score.channels) : pcm, score.channels, RATE)) {
            std::fprintf(stderr, "soundgen: cannot write %s\n", wav.c_str());
            return 1;
        }
        ++written;
    }
    if (ec || written == 0) {
        std::fprintf(stderr, "soundgen: no scores in %s\n", scores.c_str());
        return 1;
    }
    return 0;
}
