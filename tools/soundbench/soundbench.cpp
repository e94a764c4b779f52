// soundbench.cpp — the cost of one audio callback (a 1024-frame buffer mixed with the stage
// music and three effects), the seams where the music loops and every sound's loudness.
//
// Run from the repository root (it reads assets/sounds).
//   soundbench [BATCHES]   the median and mean time per buffer over several batches, and the
//                          share of one core that is, a buffer lasting 1024 / 44100 s. Each
//                          batch starts three effects and times the 30 buffers in which all
//                          three and the music play, then lets the effects end untimed.
//   soundbench --loop      renders each piece of music through the mixer past its loop point and
//                          measures the seam: silent frames at it, the step across it against
//                          the 99th percentile of the piece's steps, and its level above 6 kHz
//                          against the piece's median; exit status 1 when any seam clicks.
//   soundbench --loop FILE.wav
//                          the same measure of a stereo WAV file taken as a loop.
//   soundbench --loudness  a table of every sound's loudness (BS.1770, a mono one counted on
//                          both speakers) and peak, decoded through the plug-in.
//   soundbench --limiter [BUFFERS]
//                          the cost of the mixer's output stage (gains, limiter, soft knee) per
//                          buffer: once with nothing playing, so only that stage runs, and once
//                          with nine full-scale square waves (music and eight effects), so every
//                          sample is bent by the knee; with the loudest sample each produced.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "loopSeam.h"
#include "loudness.h"
#include "sound/engineHost.h"
#include "sound/mixer.h"
#include "sound/soundBank.h"

namespace {
constexpr int BUFFER_FRAMES = 1024;
constexpr int TIMED_PER_BATCH = 30;   // the shortest of the three effects lasts 34 buffers
constexpr int SETTLE_PER_BATCH = 60;  // the longest ends within 86
constexpr double BUFFER_US = 1e6 * BUFFER_FRAMES / OUTPUT_RATE;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Quiet: no sample of the frame is louder than `threshold`.
bool quiet(const std::vector<int16_t>& out, size_t frame, int threshold) {
    return std::abs(out[2 * frame]) <= threshold && std::abs(out[2 * frame + 1]) <= threshold;
}

// A full-scale square wave, stereo, as long as asked; no decoding, so the mixer's own work is timed.
class SquareWave : public irrklang::IAudioStream {
public:
    explicit SquareWave(int period) : Period(period) {}
    irrklang::SAudioStreamFormat getFormat() override { return {2, 1 << 30, OUTPUT_RATE, irrklang::ESF_S16}; }
    bool setPosition(int32_t pos) override {
        Pos = pos;
        return true;
    }
    int32_t readFrames(void* target, int32_t count) override {
        auto* out = static_cast<int16_t*>(target);
        for (int32_t i = 0; i < count; ++i, ++Pos) out[2 * i] = out[2 * i + 1] = Pos / Period % 2 ? -32768 : 32767;
        return count;
    }

private:
    int Period;
    int32_t Pos = 0;
};

int measureLimiter(int buffers) {
    std::vector<int16_t> out(BUFFER_FRAMES * Mixer::OUTPUT_CHANNELS);
    std::vector<std::unique_ptr<SquareWave>> waves;
    for (int loud : {0, 1}) {
        Mixer mixer;
        if (loud) {
            for (int i = 0; i < 1 + Mixer::MAX_EFFECT_VOICES; ++i) waves.push_back(std::make_unique<SquareWave>(50 + i));
            mixer.startMusic(0, waves[0].get(), nullptr);
            for (int i = 1; i <= Mixer::MAX_EFFECT_VOICES; ++i) mixer.startEffect(i, waves[size_t(i)].get());
        }
        std::vector<double> timed;
        int loudest = 0;
        for (int b = 0; b < buffers; ++b) {
            const auto start = std::chrono::steady_clock::now();
            mixer.render(out.data(), BUFFER_FRAMES);
            const auto end = std::chrono::steady_clock::now();
            timed.push_back(std::chrono::duration<double, std::micro>(end - start).count());
            for (int16_t v : out) loudest = std::max(loudest, std::abs(int(v)));
        }
        const double mid = median(timed);
        std::printf("%-44s median %.1f us per buffer = %.2f %% of one core; loudest sample %d\n",
                    loud ? "nine full-scale voices (every sample kneed):" : "nothing playing (output stage alone):", mid,
                    100 * mid / BUFFER_US, loudest);
        mixer.releaseAll();
        for (LentStream s; mixer.takeReturned(s);) {
        }
    }
    return 0;
}

// Every piece of music rendered through the mixer past its loop point, and its seam measured.
int measureLoops() {
    EngineHost host;
    host.loadPlugins();
    bool allClean = true;
    for (int music = 1; music < NUM_SOUND_BGM; ++music) {
        Mixer mixer;
        SoundBank bank(mixer);
        if (const std::string problem = bank.load(host, music, soundPath(music), MUSIC_COPIES); !problem.empty()) {
            std::fprintf(stderr, "soundbench: %s %s\n", soundPath(music), problem.c_str());
            return 1;
        }
        const size_t seam = size_t(bank.frames(music));
        mixer.startMusic(music, bank.borrow(music), bank.borrow(music));
        const size_t total = seam + 2 * OUTPUT_RATE;
        std::vector<int16_t> out(total * 2);
        for (size_t done = 0; done < total; done += BUFFER_FRAMES)
            mixer.render(out.data() + 2 * done, int(std::min<size_t>(BUFFER_FRAMES, total - done)));
        mixer.stopMusic();
        mixer.render(out.data() + 2 * (total - 1), 1);
        mixer.releaseAll();
        bank.stop();

        size_t begin = seam, end = seam;
        while (begin > 0 && quiet(out, begin - 1, 0)) --begin;
        while (end < total && quiet(out, end, 0)) ++end;
        const SeamReport r = measureSeam(out, int64_t(seam), OUTPUT_RATE);
        std::printf("%s: %zu frames (%.3f s) a loop; at the seam: %zu silent frames, step %d LSB (99th percentile %d), "
                    "above %.0f kHz %.1f dBFS (beside it %.1f, median %.1f): %s\n",
                    soundPath(music), seam, double(seam) / OUTPUT_RATE, end - begin, r.seamStep, r.p99Step,
                    SeamReport::HIGH_CUTOFF_HZ / 1000, r.seamHighDb, r.besideHighDb, r.medianHighDb,
                    r.clicks() ? (r.stepClicks() ? "CLICKS (step)" : "CLICKS (tick)") : "seamless");
        allClean = allClean && !r.clicks() && end == begin;
    }
    return allClean ? 0 : 1;
}

// A 16-bit stereo WAV file (soundgen's) measured as a loop: its end followed by its start.
int measureWavLoop(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) || bytes[22] != 2) {
        std::fprintf(stderr, "soundbench: %s is not a stereo WAV file as soundgen writes them\n", path);
        return 2;
    }
    std::vector<int16_t> loop((bytes.size() - 44) / 2);
    std::memcpy(loop.data(), bytes.data() + 44, loop.size() * 2);
    std::vector<int16_t> out = loop;
    out.insert(out.end(), loop.begin(), loop.begin() + std::ptrdiff_t(std::min<size_t>(loop.size(), 2 * 2 * OUTPUT_RATE)));
    const SeamReport r = measureSeam(out, int64_t(loop.size() / 2), OUTPUT_RATE);
    std::printf("%s: step %d LSB (99th percentile %d), above 6 kHz %.1f dBFS (beside it %.1f, median %.1f): %s\n",
                path, r.seamStep, r.p99Step, r.seamHighDb, r.besideHighDb, r.medianHighDb,
                r.clicks() ? "CLICKS" : "seamless");
    return r.clicks() ? 1 : 0;
}

// Every sound decoded through the plug-in, its loudness as the mixer plays it and its peak.
int measureLoudness() {
    EngineHost host;
    host.loadPlugins();
    std::printf("| file | loudness (LUFS) | peak (dBFS) | length (s) |\n|---|---:|---:|---:|\n");
    for (int sound = 1; sound < NUM_SOUNDS; ++sound) {
        std::ifstream in(soundPath(sound), std::ios::binary);
        auto bytes = std::make_shared<std::vector<uint8_t>>(std::istreambuf_iterator<char>(in),
                                                            std::istreambuf_iterator<char>());
        irrklang::IAudioStream* stream = host.openStream(soundPath(sound), bytes);
        if (!stream) {
            std::fprintf(stderr, "soundbench: %s cannot be decoded\n", soundPath(sound));
            return 1;
        }
        const int channels = stream->getFormat().ChannelCount;
        std::vector<int16_t> all, chunk(size_t(BUFFER_FRAMES * channels));
        for (int32_t got; (got = stream->readFrames(chunk.data(), BUFFER_FRAMES)) > 0;)
            all.insert(all.end(), chunk.begin(), chunk.begin() + got * channels);
        stream->drop();
        int peak = 0;
        for (int16_t v : all) peak = std::max(peak, std::abs(int(v)));
        std::printf("| `%s` | %.1f | %.1f | %.2f |\n", std::strrchr(soundPath(sound), '/') + 1,
                    integratedLoudness(all, channels, OUTPUT_RATE), 20 * std::log10(std::max(peak, 1) / 32768.0),
                    double(all.size()) / channels / OUTPUT_RATE);
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--loop") return measureWavLoop(argv[2]);
    if (argc > 1 && std::string(argv[1]) == "--loop") return measureLoops();
    if (argc > 1 && std::string(argv[1]) == "--loudness") return measureLoudness();
    if (argc > 1 && std::string(argv[1]) == "--limiter") return measureLimiter(argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000);
    const int batches = argc > 1 ? std::atoi(argv[1]) : 20;
    if (batches <= 0) {
        std::fprintf(stderr, "usage: soundbench [BATCHES]   (run from the repository root)\n");
        return 2;
    }
    EngineHost host;
    host.loadPlugins();
    Mixer mixer;
    SoundBank bank(mixer);
    const SoundSfx effects[] = {SFX_GAME_OVER, SFX_LEVEL_VICTORY, SFX_GUARD_DISCOVERS_PLAYER};
    std::vector<int> sounds = {soundOf(BGM_STAGE)};
    for (SoundSfx sfx : effects) sounds.push_back(soundOf(sfx));
    for (int sound : sounds) {
        const std::string problem =
            bank.load(host, sound, soundPath(sound), sound < NUM_SOUND_BGM ? MUSIC_COPIES : EFFECT_COPIES);
        if (!problem.empty()) {
            std::fprintf(stderr, "soundbench: %s %s\n", soundPath(sound), problem.c_str());
            return 1;
        }
    }
    bank.startKeeper();
    mixer.startMusic(soundOf(BGM_STAGE), bank.borrow(soundOf(BGM_STAGE)), bank.borrow(soundOf(BGM_STAGE)));

    std::vector<int16_t> out(BUFFER_FRAMES * Mixer::OUTPUT_CHANNELS);
    std::vector<double> timed;
    long long checksum = 0;
    for (int b = 0; b < batches; ++b) {
        for (SoundSfx sfx : effects)
            if (irrklang::IAudioStream* s = bank.borrow(soundOf(sfx))) mixer.startEffect(soundOf(sfx), s);
        for (int i = 0; i < TIMED_PER_BATCH + SETTLE_PER_BATCH; ++i) {
            const auto start = std::chrono::steady_clock::now();
            mixer.render(out.data(), BUFFER_FRAMES);
            const auto end = std::chrono::steady_clock::now();
            if (i < TIMED_PER_BATCH) timed.push_back(std::chrono::duration<double, std::micro>(end - start).count());
            checksum += out[i % out.size()];
        }
    }
    mixer.stopMusic();
    mixer.render(out.data(), 1);
    mixer.releaseAll();
    bank.stop();

    double mean = 0;
    for (double t : timed) mean += t;
    mean /= double(timed.size());
    const double mid = median(timed);
    std::printf("buffers timed: %zu (music + 3 effects, %d frames each, %.1f us of audio)\n", timed.size(),
                BUFFER_FRAMES, BUFFER_US);
    std::printf("median: %.1f us per buffer = %.2f %% of one core\n", mid, 100 * mid / BUFFER_US);
    std::printf("mean:   %.1f us per buffer = %.2f %% of one core\n", mean, 100 * mean / BUFFER_US);
    std::printf("(checksum %lld)\n", checksum);
    return 0;
}
