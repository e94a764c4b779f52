// soundManager.h — named music and sound events, and the places game code asks for them.
#pragma once

#include <string>

// The stage music is the first chapter's theme; each ten levels after it have their own.
enum SoundBgm {
    BGM_NONE = 0,
    BGM_STAGE = 1,
    BGM_ENDING = 2,
    BGM_TITLE = 3,
    BGM_CHAPTER_2 = 4,
    BGM_CHAPTER_3 = 5,
    NUM_SOUND_BGM = 6
};
constexpr int LEVELS_PER_CHAPTER = 10;
// The theme of the chapter holding `level` (counted from 0); the last theme goes on past it.
SoundBgm chapterBgm(int level);

enum SoundSfx {
    SFX_GAME_OVER = 0,
    SFX_WALKING = 1,
    SFX_ILLUSION_SOUND = 2,
    SFX_LEVEL_VICTORY = 3,
    SFX_GUARD_SEES_BODY = 4,
    SFX_DOG_DIES = 5,
    SFX_DOG_DISCOVERS_PLAYER = 6,
    SFX_GUARD_KILLS_GUARD = 7,
    SFX_GUARD_DISCOVERS_PLAYER = 8,
    SFX_FOOD_PLACED = 9,
    SFX_BODY_PLACED = 10,
    SFX_CLOAK_ON = 11,
    SFX_CLOAK_ENDING = 12,      // the cloak's last half second
    SFX_CLOAK_OFF = 13,
    SFX_BUMP = 14,              // a step into wall or water
    SFX_RESTART = 15,
    SFX_DOG_BITES = 16,         // a dog kills a fake
    SFX_COMMANDER_DISCOVERS_PLAYER = 17,
    // Two more footsteps: the output plays one of the three for SFX_WALKING, at a slightly
    // different pitch each time. The game itself never asks for these two.
    SFX_WALKING_2 = 18,
    SFX_WALKING_3 = 19,
    NUM_SOUND_SFX = 20
};

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
