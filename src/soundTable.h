// soundTable.h — every sound the game plays, in one list: its event, its file in assets/sounds
// and the score in tools/soundgen/scores that file is made from. The SoundBgm and SoundSfx
// enumerations, the sound bank, soundgen and the test that regenerates the sounds all read it,
// so adding a sound is one line here (and its score).
#pragma once

#include <iterator>

// X(event, file, score). The music in SoundBgm order after BGM_NONE, which has no file; the
// stage music is the first chapter's theme, each ten levels after it have their own.
#define VW_MUSIC_SOUNDS(X)                                   \
    X(BGM_STAGE, "stage.mp3", "stage.score")                 \
    X(BGM_ENDING, "ending.mp3", "ending.score")              \
    X(BGM_TITLE, "title.mp3", "title.score")                 \
    X(BGM_CHAPTER_2, "chapter_2.mp3", "chapter_2.score")     \
    X(BGM_CHAPTER_3, "chapter_3.mp3", "chapter_3.score")

// The effects in SoundSfx order.
#define VW_EFFECT_SOUNDS(X)                                                                   \
    X(SFX_GAME_OVER, "game_over.mp3", "game_over.score")                                      \
    X(SFX_WALKING, "walking.mp3", "walking.score")                                            \
    X(SFX_ILLUSION_SOUND, "illusion_sound.mp3", "illusion_sound.score")                       \
    X(SFX_LEVEL_VICTORY, "level_victory.mp3", "level_victory.score")                          \
    X(SFX_GUARD_SEES_BODY, "guard_sees_body.mp3", "guard_sees_body.score")                    \
    X(SFX_DOG_DIES, "dog_dies.mp3", "dog_dies.score")                                         \
    X(SFX_DOG_DISCOVERS_PLAYER, "dog_discovers_player.mp3", "dog_discovers_player.score")     \
    X(SFX_GUARD_KILLS_GUARD, "guard_kills_guard.mp3", "guard_kills_guard.score")              \
    X(SFX_GUARD_DISCOVERS_PLAYER, "guard_discovers_player.mp3", "guard_discovers_player.score") \
    X(SFX_FOOD_PLACED, "food_placed.mp3", "food_placed.score")                                \
    X(SFX_BODY_PLACED, "body_placed.mp3", "body_placed.score")                                \
    X(SFX_CLOAK_ON, "cloak_on.mp3", "cloak_on.score")                                         \
    /* the cloak's last half second */                                                        \
    X(SFX_CLOAK_ENDING, "cloak_ending.mp3", "cloak_ending.score")                             \
    X(SFX_CLOAK_OFF, "cloak_off.mp3", "cloak_off.score")                                      \
    /* a step into wall or water */                                                           \
    X(SFX_BUMP, "bump.mp3", "bump.score")                                                     \
    X(SFX_RESTART, "restart.mp3", "restart.score")                                            \
    /* a dog kills a fake */                                                                  \
    X(SFX_DOG_BITES, "dog_bites.mp3", "dog_bites.score")                                      \
    X(SFX_COMMANDER_DISCOVERS_PLAYER, "commander_discovers_player.mp3",                       \
      "commander_discovers_player.score")                                                     \
    /* Two more footsteps: the output plays one of the three for SFX_WALKING, at a slightly   \
       different pitch each time. The game itself never asks for these two. */                \
    X(SFX_WALKING_2, "walking_2.mp3", "walking_2.score")                                      \
    X(SFX_WALKING_3, "walking_3.mp3", "walking_3.score")

// The folder the game reads its sounds from, relative to its working folder.
#define VW_SOUNDS_DIR "assets/sounds/"

struct SoundFile {
    const char* event;   // "SFX_BUMP"
    const char* file;    // "bump.mp3"; null for BGM_NONE, as are the other two
    const char* path;    // "assets/sounds/bump.mp3"
    const char* score;   // "bump.score"
};

// One row per sound number: BGM_NONE, the music, then the effects. The sound bank numbers
// its sounds so (soundOf in sound/soundBank.h).
inline constexpr SoundFile SOUND_FILES[] = {
    {"BGM_NONE", nullptr, nullptr, nullptr},
#define VW_SOUND_ROW(event, file, score) {#event, file, VW_SOUNDS_DIR file, score},
    VW_MUSIC_SOUNDS(VW_SOUND_ROW) VW_EFFECT_SOUNDS(VW_SOUND_ROW)
#undef VW_SOUND_ROW
};
inline constexpr int NUM_SOUND_FILES = int(std::size(SOUND_FILES));
