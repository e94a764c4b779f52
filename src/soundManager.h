// soundManager.h — named music and sound events, and the places game code asks for them.
#pragma once

enum SoundBgm {
    BGM_NONE = 0,
    BGM_STAGE = 1,
    BGM_ENDING = 2,
    NUM_SOUND_BGM = 3
};

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
    NUM_SOUND_SFX = 9
};

// Where the hooks send their requests: the audio device in the game, a recorder in
// tests. The game logic never learns which.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    virtual void playBgm(SoundBgm bgm) = 0;
    virtual void playSfx(SoundSfx sfx) = 0;
    virtual void setMuted(bool muted) = 0;
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

// Not owned; null makes the game silent again. The mute state carries over.
void setSoundOutput(SoundOutput* output);
