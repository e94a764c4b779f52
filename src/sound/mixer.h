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

// Gains change along ramps, never in one step: mute, the two volumes and the end of
// the music over RAMP_FRAMES, one piece of music into another over CROSSFADE_FRAMES.
// The sum goes through a limiter, one gain per buffer that falls at once and recovers
// slowly, and a soft knee above KNEE that bends every sample below CEILING: the output
// never reaches the rails, whatever plays at once.
//
// The mixer never rewinds, opens or frees a stream: those may allocate. Every stream
// it is done with goes back through takeReturned(), and whoever lent it rewinds it
// off the audio thread. The music loops by switching to a second, rewound copy of the
// same sound at the end of the first, in the middle of a buffer if need be.
class Mixer {
public:
    static constexpr int MAX_EFFECT_VOICES = 8;
    static constexpr int OUTPUT_CHANNELS = 2;
    static constexpr int CHUNK_FRAMES = 1024;
    // The music plays under the effects, at 5/8 of its level (rounded down), times its volume.
    static constexpr int32_t MUSIC_GAIN_NUM = 5;
    static constexpr int MUSIC_GAIN_SHIFT = 3;
    static constexpr int VOLUME_STEPS = 10;          // 0 silent .. 10 full
    static constexpr int RAMP_FRAMES = 441;          // 10 ms
    static constexpr int CROSSFADE_FRAMES = 22050;   // 0.5 s
    static constexpr int32_t KNEE = 24576;           // -2.5 dBFS: below it the sum passes unchanged
    static constexpr int32_t CEILING = 32000;        // approached above the knee, never reached
    // Under an effect that ducks the music (the level's fanfare), the music plays at this share.
    static constexpr float DUCKED = 0.3f;
    // The limiter's gain climbs back at most this much per frame: from 0.5 to 1 in 0.25 s.
    static constexpr float LIMITER_RECOVERY = 2.0f / 44100;
    // ... and falls within this many frames (1.5 ms).
    static constexpr int LIMITER_ATTACK_FRAMES = 64;

    // The share of full level a volume step plays at: (step / 10) squared, so each step
    // sounds about as big as the last.
    static float volumeGain(int step);

    // Requests, from any thread but the audio thread; they take effect at the next
    // render(). Each returns false (and keeps nothing) when the request queue is full.
    // `spare` may be null: the mixer then asks for one when it needs it.
    bool startMusic(int sound, irrklang::IAudioStream* first, irrklang::IAudioStream* spare);
    bool stopMusic();
    // A rewound copy of the music, answering the mixer's request for one.
    bool offerMusicSpare(int sound, irrklang::IAudioStream* stream);
    // A rewound effect stream; a ninth at once replaces the one that started first.
    // A ducking effect lowers the music to DUCKED while it plays. `pitch` other than 1
    // plays it that much faster (higher) or slower, between MIN_PITCH and MAX_PITCH,
    // reading between its samples along a straight line.
    bool startEffect(int sound, irrklang::IAudioStream* stream, bool ducksMusic = false, float pitch = 1.0f);
    static constexpr float MIN_PITCH = 0.5f, MAX_PITCH = 2.0f;
    void setMuted(bool muted) { Muted.store(muted, std::memory_order_relaxed); }
    // Steps 0..VOLUME_STEPS; others are held to that range.
    void setMusicVolume(int step) { MusicVolume.store(step, std::memory_order_relaxed); }
    void setEffectsVolume(int step) { EffectsVolume.store(step, std::memory_order_relaxed); }

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
        bool ducks = false;
        uint32_t step = 1u << 16;
    };
    struct Voice {
        irrklang::IAudioStream* stream = nullptr;
        int sound = -1;
        int channels = 0;
        uint64_t started = 0;
        bool ducks = false;
        // Frames read per frame played, in 16.16 fixed point; with any other step than one
        // the voice keeps the frames it still reads between and where between them it is.
        uint32_t step = 1u << 16;
        uint32_t frac = 0;
        int held = 0;
        int16_t heldFrames[2 * OUTPUT_CHANNELS] = {};
    };
    // A gain moving in equal steps towards its target.
    struct Ramp {
        float now = 1, target = 1, step = 0;
        void to(float goal, int frames);
        float next() {
            if (now != target) {
                now += step;
                if ((step > 0) == (now > target)) now = target;
            }
            return now;
        }
    };

    bool post(const Command& command);
    void apply(const Command& command);
    void giveBack(irrklang::IAudioStream* stream, int sound);
    void askForSpare(int sound);
    void mixMusic(int32_t* sum, int frames);
    void mixFading(int32_t* sum, int frames);
    void fadeOutMusic(int frames);
    void dropFading();
    // Gains, limiter and knee: Sum, FadingSum and EffectSum into `out`.
    void finish(int16_t* out, int frames);
    // Adds up to `frames` frames of the voice to `sum`; returns how many it had.
    int mixVoice(Voice& voice, int32_t* sum, int frames, bool music);
    int mixPitched(Voice& voice, int32_t* sum, int frames);

    // Serialises the producers among themselves (game thread and the stream keeper);
    // render() never takes it.
    std::mutex ProducerLock;
    SpscRing<Command, 64> Requests;
    // Never full: it holds at most every stream there is plus one spare request per music.
    SpscRing<LentStream, 256> Returned;
    std::atomic<bool> Muted{false};
    std::atomic<int> MusicVolume{VOLUME_STEPS};
    std::atomic<int> EffectsVolume{VOLUME_STEPS};

    // Audio-thread state.
    Voice Music;
    Voice MusicSpareVoice;
    bool SpareAsked = false;
    Ramp MusicFade;                 // the music's own fade in
    Voice Fading, FadingSpare;      // music on its way out, not looped
    Ramp FadingGain;
    // Volume, mute and ducking.
    Ramp MusicGain, EffectsGain;
    float LimiterGain = 1;
    Voice Effects[MAX_EFFECT_VOICES];
    uint64_t EffectsStarted = 0;
    int32_t Sum[CHUNK_FRAMES * OUTPUT_CHANNELS] = {};
    int32_t FadingSum[CHUNK_FRAMES * OUTPUT_CHANNELS] = {};
    int32_t EffectSum[CHUNK_FRAMES * OUTPUT_CHANNELS] = {};
    float Mix[CHUNK_FRAMES * OUTPUT_CHANNELS] = {};
    int16_t Pcm[CHUNK_FRAMES * OUTPUT_CHANNELS] = {};
    // A pitched voice reads up to MAX_PITCH times as many frames, and two it held.
    int16_t PitchedPcm[(2 * CHUNK_FRAMES + 2) * OUTPUT_CHANNELS] = {};
};
