// mixer.h — sums one looping music voice and up to eight effect voices; render() runs on the audio thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "irrklang/irrKlang.h"
#include "sound/spscRing.h"

// A stream lent to the mixer, with the number of the sound it plays. A null stream
// coming back from the mixer asks for a fresh copy of that (music) sound.
struct LentStream {
    irrklang::IAudioStream* stream = nullptr;
    int sound = -1;
};

// The mixer never rewinds, opens or frees a stream: those may allocate. Every stream
// it is done with goes back through takeReturned(), and whoever lent it rewinds it
// off the audio thread. The music loops by switching to a second, rewound copy of the
// same sound at the end of the first, in the middle of a buffer if need be.
class Mixer {
public:
    static constexpr int MAX_EFFECT_VOICES = 8;
    static constexpr int OUTPUT_CHANNELS = 2;
    static constexpr int CHUNK_FRAMES = 1024;
    // The music plays under the effects, at 5/8 of its level.
    static constexpr int32_t MUSIC_GAIN_NUM = 5;
    static constexpr int MUSIC_GAIN_SHIFT = 3;

    // Requests, from any thread but the audio thread; they take effect at the next
    // render(). Each returns false (and keeps nothing) when the request queue is full.
    // `spare` may be null: the mixer then asks for one when it needs it.
    bool startMusic(int sound, irrklang::IAudioStream* first, irrklang::IAudioStream* spare);
    bool stopMusic();
    // A rewound copy of the music, answering the mixer's request for one.
    bool offerMusicSpare(int sound, irrklang::IAudioStream* stream);
    // A rewound effect stream; a ninth at once replaces the one that started first.
    bool startEffect(int sound, irrklang::IAudioStream* stream);
    void setMuted(bool muted) { Muted.store(muted, std::memory_order_relaxed); }

    // Streams the mixer is done with and requests for music spares, one at a time, on
    // one thread at a time.
    bool takeReturned(LentStream& out) { return Returned.pop(out); }

    // Fills `frames` interleaved stereo frames. The audio thread, or whoever stands in
    // for it, and nothing else calls this; it never blocks, allocates or touches a file.
    void render(int16_t* out, int frames);

    // Hands back every stream still in a voice. Only once render() can no longer run.
    void releaseAll();

private:
    enum class Kind : uint8_t { StartMusic, StopMusic, MusicSpare, StartEffect };
    struct Command {
        Kind kind = Kind::StopMusic;
        int sound = -1;
        irrklang::IAudioStream* stream = nullptr;
        irrklang::IAudioStream* spare = nullptr;
    };
    struct Voice {
        irrklang::IAudioStream* stream = nullptr;
        int sound = -1;
        int channels = 0;
        uint64_t started = 0;
    };

    bool post(const Command& command);
    void apply(const Command& command);
    void giveBack(irrklang::IAudioStream* stream, int sound);
    void askForSpare(int sound);
    void mixMusic(int32_t* sum, int frames);
    // Adds up to `frames` frames of the voice to `sum`; returns how many it had.
    int mixVoice(Voice& voice, int32_t* sum, int frames, bool music);

    // Serialises the producers among themselves (game thread and the stream keeper);
    // render() never takes it.
    std::mutex ProducerLock;
    SpscRing<Command, 64> Requests;
    // Never full: it holds at most every stream there is plus one spare request per music.
    SpscRing<LentStream, 256> Returned;
    std::atomic<bool> Muted{false};

    // Audio-thread state.
    Voice Music;
    Voice MusicSpareVoice;
    bool SpareAsked = false;
    Voice Effects[MAX_EFFECT_VOICES];
    uint64_t EffectsStarted = 0;
    int32_t Sum[CHUNK_FRAMES * OUTPUT_CHANNELS] = {};
    int16_t Pcm[CHUNK_FRAMES * OUTPUT_CHANNELS] = {};
};
