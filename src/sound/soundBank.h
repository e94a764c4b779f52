// soundBank.h — every sound in memory as rewound streams ready to lend, and the keeper thread that rewinds them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sound/engineHost.h"
#include "sound/mixer.h"
#include "soundManager.h"

// One number per sound, its row in SOUND_FILES: the music by its SoundBgm value, then the effects.
constexpr int soundOf(SoundBgm bgm) { return int(bgm); }
constexpr int soundOf(SoundSfx sfx) { return int(NUM_SOUND_BGM) + int(sfx); }
constexpr int NUM_SOUNDS = NUM_SOUND_FILES;
// "assets/sounds/stage.mp3" and the like; null for BGM_NONE, which has no file.
const char* soundPath(int sound);

// Copies of each stream: enough for every effect voice to play the same effect
// while two more are on their way back, and for the music to loop (one playing,
// one spare, one being rewound).
constexpr int MUSIC_COPIES = 3;
constexpr int EFFECT_COPIES = Mixer::MAX_EFFECT_VOICES + 2;
// The device's rate; a file at another rate would need resampling, which the game does not do.
constexpr int OUTPUT_RATE = 44100;

class SoundBank {
public:
    explicit SoundBank(Mixer& mixer) : TheMixer(mixer) {}
    SoundBank(const SoundBank&) = delete;
    SoundBank& operator=(const SoundBank&) = delete;
    ~SoundBank() { stop(); }

    // Opens `copies` streams over the bytes of `path`, decoding a little of each so its
    // buffers are at full size before the audio thread uses it. An empty result means
    // success; otherwise it says why the file stays silent.
    std::string load(EngineHost& host, int sound, const std::string& path, int copies);
    // Sample frames in the sound (0 when it is not loaded).
    int64_t frames(int sound) const { return Frames[sound]; }
    int ready(int sound);

    // A rewound stream of the sound, or null when none is ready; give it to the mixer.
    irrklang::IAudioStream* borrow(int sound);
    void putBack(int sound, irrklang::IAudioStream* stream);

    // One round of the keeper's work: rewinds what the mixer handed back and answers
    // its requests for music spares.
    void serviceReturns();
    void startKeeper();
    // Ends the keeper and drops every stream. The mixer must have released all it held.
    void stop();

private:
    void keep();

    Mixer& TheMixer;
    std::mutex ReadyLock;   // between the game thread and the keeper, never the audio thread
    std::vector<irrklang::IAudioStream*> Ready[NUM_SOUNDS];
    int64_t Frames[NUM_SOUNDS] = {};
    bool SpareWanted[NUM_SOUNDS] = {};   // keeper only
    std::thread Keeper;
    std::mutex WakeLock;
    std::condition_variable Wake;
    bool Stopping = false;
};
