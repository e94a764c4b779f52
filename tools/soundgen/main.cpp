// main.cpp — soundgen: plays every score beside it into a WAV file, for lame to encode into the game's sounds.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "score.h"

namespace {
constexpr int RATE = 44100;

int usage() {
    std::fprintf(stderr, "usage: soundgen --out DIR [--scores DIR]\n"
                         "Writes NAME.wav into DIR for every NAME.score.\n");
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
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
        const std::filesystem::path wav = out / (entry.path().stem().string() + ".wav");
        if (!writeWav(wav.string(), renderScore(score, RATE), score.channels, RATE)) {
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
