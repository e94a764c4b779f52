// soundManager.cpp — the sound hooks: each hands its request to the installed output, if any.
#include "soundManager.h"

#include "atomicFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {
SoundOutput* output = nullptr;
bool muted = false;
int musicStep = SOUND_VOLUME_STEPS;
int effectsStep = SOUND_VOLUME_STEPS;
std::string settingsPath;   // empty: the volumes are not kept

void saveSettings() {
    if (settingsPath.empty()) return;
    std::string why;
    if (!replaceFileAtomically(settingsPath, soundSettingsText(musicStep, effectsStep), &why))
        std::fprintf(stderr, "sound: cannot write %s (%s); the volumes are not kept\n", settingsPath.c_str(),
                     why.c_str());
}

void changeVolume(int& step, int by) {
    const int next = std::clamp(step + by, 0, SOUND_VOLUME_STEPS);
    if (next == step) return;
    step = next;
    if (output) output->setVolumes(musicStep, effectsStep);
    saveSettings();
}
}  // namespace

void musicQuieter() { changeVolume(musicStep, -1); }
void musicLouder() { changeVolume(musicStep, +1); }
void effectsQuieter() { changeVolume(effectsStep, -1); }
void effectsLouder() { changeVolume(effectsStep, +1); }
int musicVolume() { return musicStep; }
int effectsVolume() { return effectsStep; }

std::string settingsPathBeside(const std::string& progressPath) {
    if (progressPath.empty()) return {};
    return (std::filesystem::path(progressPath).parent_path() / "settings").string();
}

std::string soundSettingsText(int music, int effects) {
    return "music " + std::to_string(music) + "\neffects " + std::to_string(effects) + "\n";
}

bool parseSoundSettings(const std::string& text, int& music, int& effects) {
    // Exactly the two lines soundSettingsText() writes, each step one or two digits in range.
    std::istringstream in(text);
    std::string musicWord, effectsWord, rest;
    std::string musicValue, effectsValue;
    if (!(in >> musicWord >> musicValue >> effectsWord >> effectsValue) || (in >> rest)) return false;
    auto step = [](const std::string& digits, int& value) {
        if (digits.empty() || digits.size() > 2) return false;
        for (char c : digits)
            if (c < '0' || c > '9') return false;
        value = std::stoi(digits);
        return value <= SOUND_VOLUME_STEPS;
    };
    int m = 0, e = 0;
    if (musicWord != "music" || effectsWord != "effects" || !step(musicValue, m) || !step(effectsValue, e))
        return false;
    music = m;
    effects = e;
    return true;
}

void keepSoundSettingsIn(const std::string& path) {
    settingsPath = path;
    musicStep = effectsStep = SOUND_VOLUME_STEPS;
    if (!path.empty()) {
        std::ifstream in(path);
        std::ostringstream all;
        if (in) all << in.rdbuf();
        parseSoundSettings(all.str(), musicStep, effectsStep);
    }
    if (output) output->setVolumes(musicStep, effectsStep);
}

SoundBgm chapterBgm(int level) {
    static constexpr SoundBgm themes[] = {BGM_STAGE, BGM_CHAPTER_2, BGM_CHAPTER_3};
    constexpr int last = int(std::size(themes)) - 1;
    return themes[std::clamp(level / LEVELS_PER_CHAPTER, 0, last)];
}

void playBgm(SoundBgm bgm) {
    if (output) output->playBgm(bgm);
}

void playSfx(SoundSfx sfx) {
    if (output) output->playSfx(sfx);
}

void soundTest() {
    if (output) output->soundTest();
}

void shutdownSounds() {
    if (!output) return;
    // Cleared first, so a hook called while the output shuts down finds nothing.
    SoundOutput* closing = output;
    output = nullptr;
    closing->shutdown();
}

void toggleMute() {
    muted = !muted;
    if (output) output->setMuted(muted);
}

bool isMuted() { return muted; }

void setSoundOutput(SoundOutput* newOutput) {
    output = newOutput;
    if (!output) return;
    output->setMuted(muted);
    output->setVolumes(musicStep, effectsStep);
}
