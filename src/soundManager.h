// soundManager.h — named music and sound events, and the places game code asks for them.
#pragma once

#include <string>

#include "soundTable.h"

// Both enumerations come from the sound table, in its order: BGM_NONE 0, BGM_STAGE 1,
// BGM_ENDING 2, ...; SFX_GAME_OVER 0, SFX_WALKING 1, ...
#define VW_SOUND_EVENT(event, file, score) event,
enum SoundBgm {
    BGM_NONE = 0,
    VW_MUSIC_SOUNDS(VW_SOUND_EVENT)
    NUM_SOUND_BGM
};
enum SoundSfx {
    VW_EFFECT_SOUNDS(VW_SOUND_EVENT)
    NUM_SOUND_SFX
};
#undef VW_SOUND_EVENT
constexpr int LEVELS_PER_CHAPTER = 10;
// The theme of the chapter holding `level` (counted from 0); the last theme goes on past it.
SoundBgm chapterBgm(int level);

// Where the hooks send their requests: the audio device in the game, a recorder in
// tests. The game logic never learns which.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    virtual void playBgm(SoundBgm bgm) = 0;
    virtual void playSfx(SoundSfx sfx) = 0;
    virtual void setMuted(bool muted) = 0;
    // Each a step from 0 (silent) to SOUND_VOLUME_STEPS (full).
    virtual void setVolumes(int musicStep, int effectsStep) = 0;
    virtual void soundTest() = 0;
    // Stops playing and releases what the output holds; the hooks are silent after it.
    virtual void shutdown() = 0;
};

// Opens the audio device and loads every sound (defined beside the device code, so
// programs that only drive the game logic never link a device). Without a device the
// game plays on silently.
void initSounds();

// With no output installed (tests, solvers and other tools that run the game logic
// without a device) each hook costs one pointer test and does nothing else.
void playBgm(SoundBgm bgm);
void playSfx(SoundSfx sfx);
void soundTest();
void shutdownSounds();

// The `m` key: music and effects fall silent or come back; the device keeps running.
void toggleMute();
bool isMuted();

// The two volumes, in ten steps each from silent to full: `-` and `=` for the music,
// `[` and `]` for the effects. Each change is stored in the settings file, if one is kept.
constexpr int SOUND_VOLUME_STEPS = 10;
void musicQuieter();
void musicLouder();
void effectsQuieter();
void effectsLouder();
int musicVolume();
int effectsVolume();

// The settings file beside the progress file ("settings" in the same folder); empty
// when the progress path is empty.
std::string settingsPathBeside(const std::string& progressPath);
// Reads the volumes from `path` and keeps every later change there, written to a temporary
// file that then replaces the old one. A missing or damaged file means full volume for
// both; an empty path keeps nothing (the tests and tools). The file is two lines:
//   music 7
//   effects 10
void keepSoundSettingsIn(const std::string& path);
// The volumes in that form, and back; false (leaving both untouched) for anything else.
std::string soundSettingsText(int musicStep, int effectsStep);
bool parseSoundSettings(const std::string& text, int& musicStep, int& effectsStep);

// Not owned; null makes the game silent again. The mute state and the volumes carry over.
void setSoundOutput(SoundOutput* output);
