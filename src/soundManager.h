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

// The game is silent: every hook accepts its request and does nothing, so a
// sound engine can be wired in here later without touching the callers.
void initSounds();
void playBgm(SoundBgm bgm);
void playSfx(SoundSfx sfx);
void soundTest();
void shutdownSounds();
