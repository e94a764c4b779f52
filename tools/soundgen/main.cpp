// main.cpp — soundgen: plays the score of every sound in the game's sound table into a WAV file,
// for lame to encode into the game's sounds. A looping score becomes NAME.loop.wav, the loop
// with its own ends around it; once encoded, `soundgen --trim-loop NAME.mp3` tells the decoder
// to cut those ends off again.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "gapless.h"
#include "score.h"
#include "soundTable.h"

namespace {
constexpr int RATE = 44100;

int usage() {
    std::fprintf(stderr, "usage: soundgen --out DIR [--scores DIR]\n"
                         "       soundgen --trim-loop FILE.mp3\n"
                         "       soundgen --list\n"
                         "Writes NAME.wav (NAME.loop.wav for a loop) into DIR for every sound NAME.mp3 of the\n"
                         "game, from its score; --list prints the game's sounds: event, file, score.\n");
    return 2;
}

bool fail(const std::filesystem::path& path, const std::string& error) {
    std::fprintf(stderr, "soundgen: %s: %s\n", path.c_str(), error.c_str());
    return false;
}

// Plays one score into DIR/STEM.wav, or DIR/STEM.loop.wav for a loop.
bool render(const std::filesystem::path& scorePath, const std::filesystem::path& out, const std::string& stem) {
    std::ifstream in(scorePath);
    if (!in) return fail(scorePath, "cannot be read");
    std::stringstream text;
    text << in.rdbuf();
    Score score;
    std::string error;
    if (!parseScore(text.str(), score, error)) return fail(scorePath, error);
    std::vector<int16_t> pcm;
    if (!renderScore(score, RATE, pcm, error)) return fail(scorePath, error);
    const std::filesystem::path wav = out / (stem + (score.loop ? ".loop.wav" : ".wav"));
    if (!writeWav(wav.string(), score.loop ? withLoopContext(pcm, score.channels) : pcm, score.channels, RATE))
        return fail(wav, "cannot be written");
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "--trim-loop")) {
        std::string error;
        if (trimLoopContext(argv[2], error)) return 0;
        std::fprintf(stderr, "soundgen: %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    if (argc == 2 && !std::strcmp(argv[1], "--list")) {
        for (const SoundFile& sound : SOUND_FILES)
            if (sound.score) std::printf("%s %s %s\n", sound.event, sound.file, sound.score);
        return 0;
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
    // A score the table does not name would never be heard; say so rather than drop it.
    std::set<std::string> wanted;
    for (const SoundFile& sound : SOUND_FILES)
        if (sound.score) wanted.insert(sound.score);
    for (const auto& entry : std::filesystem::directory_iterator(scores, ec)) {
        if (entry.path().extension() == ".score" && !wanted.count(entry.path().filename().string())) {
            fail(entry.path(), "no sound of the game plays this score; add it to src/soundTable.h");
            return 1;
        }
    }
    if (ec) {
        fail(scores, ec.message());
        return 1;
    }
    for (const SoundFile& sound : SOUND_FILES)
        if (sound.score && !render(scores / sound.score, out, std::filesystem::path(sound.file).stem().string()))
            return 1;
    return 0;
}
