// mixer.cpp — the voices and their sum; everything below render() runs on the audio thread.
#include "sound/mixer.h"

#include <algorithm>
#include <cmath>

namespace {
// Unchanged up to the knee; above it x/(1+x) bends the rest of the way towards the ceiling,
// meeting the straight part with the same slope, so the bend adds no corner of its own.
float softKnee(float v) {
    constexpr float knee = float(Mixer::KNEE), room = float(Mixer::CEILING - Mixer::KNEE);
    const float size = std::fabs(v);
    if (size <= knee) return v;
    const float over = (size - knee) / room;
    return std::copysign(knee + room * over / (1 + over), v);
}
}  // namespace

float Mixer::volumeGain(int step) {
    const float share = float(std::clamp(step, 0, VOLUME_STEPS)) / VOLUME_STEPS;
    return share * share;
}

void Mixer::Ramp::to(float goal, int frames) {
    if (goal == target) return;
    target = goal;
    if (frames <= 0 || goal == now) {
        now = goal;
        step = 0;
        return;
    }
    step = (goal - now) / float(frames);
}

bool Mixer::post(const Command& command) {
    std::lock_guard<std::mutex> hold(ProducerLock);
    return Requests.push(command);
}

bool Mixer::startMusic(int sound, irrklang::IAudioStream* first, irrklang::IAudioStream* spare) {
    return post({Kind::StartMusic, sound, first, spare});
}

bool Mixer::stopMusic() { return post({Kind::StopMusic, -1, nullptr, nullptr}); }

bool Mixer::offerMusicSpare(int sound, irrklang::IAudioStream* stream) {
    return post({Kind::MusicSpare, sound, stream, nullptr});
}

bool Mixer::startEffect(int sound, irrklang::IAudioStream* stream, bool ducksMusic, float pitch) {
    const float held = std::clamp(pitch, MIN_PITCH, MAX_PITCH);
    return post({Kind::StartEffect, sound, stream, nullptr, ducksMusic, uint32_t(std::lround(held * 65536.0f))});
}

void Mixer::giveBack(irrklang::IAudioStream* stream, int sound) {
    if (stream) Returned.push({stream, sound});
}

void Mixer::askForSpare(int sound) {
    if (SpareAsked || sound < 0) return;
    SpareAsked = Returned.push({nullptr, sound});
}

void Mixer::apply(const Command& c) {
    auto voiceFor = [&](irrklang::IAudioStream* stream) {
        Voice v;
        v.sound = c.sound;
        v.stream = stream;
        v.channels = stream ? stream->getFormat().ChannelCount : 0;
        if (stream && v.channels != 1 && v.channels != 2) {
            giveBack(stream, c.sound);
            v.stream = nullptr;
        }
        return v;
    };
    switch (c.kind) {
    case Kind::StartMusic:
    case Kind::StopMusic: {
        // Music that was playing fades out; new music fades in over it, unless it starts from silence.
        const bool over = Music.stream != nullptr;
        fadeOutMusic(c.kind == Kind::StartMusic ? CROSSFADE_FRAMES : RAMP_FRAMES);
        Music = voiceFor(c.stream);
        MusicSpareVoice = voiceFor(c.spare);
        SpareAsked = false;
        MusicFade = Ramp{};
        if (over) {
            MusicFade.now = MusicFade.target = 0;
            MusicFade.to(1, CROSSFADE_FRAMES);
        }
        if (c.kind == Kind::StartMusic && !MusicSpareVoice.stream) askForSpare(c.sound);
        break;
    }
    case Kind::MusicSpare:
        if (c.sound != Music.sound || MusicSpareVoice.stream) {
            giveBack(c.stream, c.sound);   // asked for by music that has stopped since
            break;
        }
        SpareAsked = false;
        if (!Music.stream) {
            Music = voiceFor(c.stream);
            askForSpare(c.sound);
        } else {
            MusicSpareVoice = voiceFor(c.stream);
        }
        break;
    case Kind::StartEffect: {
        Voice* slot = nullptr;
        for (Voice& v : Effects)
            if (!v.stream) {
                slot = &v;
                break;
            }
        if (!slot) {
            slot = &Effects[0];
            for (Voice& v : Effects)
                if (v.started < slot->started) slot = &v;
            giveBack(slot->stream, slot->sound);
        }
        *slot = voiceFor(c.stream);
        slot->started = ++EffectsStarted;
        slot->ducks = c.ducks;
        slot->step = c.step;
        break;
    }
    }
}

int Mixer::mixVoice(Voice& voice, int32_t* sum, int frames, bool music) {
    int got = voice.stream->readFrames(Pcm, frames);
    got = std::clamp(got, 0, frames);
    if (voice.channels == 1) {
        for (int i = 0; i < got; ++i) {
            int32_t s = Pcm[i];
            if (music) s = (s * MUSIC_GAIN_NUM) >> MUSIC_GAIN_SHIFT;
            sum[2 * i] += s;
            sum[2 * i + 1] += s;
        }
    } else {
        for (int i = 0; i < 2 * got; ++i) {
            int32_t s = Pcm[i];
            if (music) s = (s * MUSIC_GAIN_NUM) >> MUSIC_GAIN_SHIFT;
            sum[i] += s;
        }
    }
    return got;
}

// Output frame i sits at frac + i * step (16.16) counted from the first held frame, and
// is the straight line between the two frames either side of that point. The stream is
// read exactly as far as the last frame needs; whatever the next buffer still needs of
// it (at most two frames while the step is at most two) is held for it.
int Mixer::mixPitched(Voice& v, int32_t* sum, int frames) {
    const int ch = v.channels;
    int16_t* in = PitchedPcm;
    std::copy(v.heldFrames, v.heldFrames + v.held * ch, in);
    const uint64_t last = (uint64_t(v.frac) + uint64_t(frames - 1) * v.step) >> 16;
    const int wanted = int(last) + 2 - v.held;
    int got = wanted > 0 ? v.stream->readFrames(in + v.held * ch, wanted) : 0;
    got = std::clamp(got, 0, std::max(wanted, 0));
    const int avail = v.held + got;
    int made = 0;
    for (uint64_t at = v.frac; made < frames; ++made, at += v.step) {
        const int k = int(at >> 16);
        if (k + 1 >= avail) break;
        const int32_t w = int32_t(at & 0xFFFF);
        for (int c = 0; c < OUTPUT_CHANNELS; ++c) {
            const int32_t a = in[k * ch + (ch == 1 ? 0 : c)], b = in[(k + 1) * ch + (ch == 1 ? 0 : c)];
            sum[OUTPUT_CHANNELS * made + c] += a + int32_t((int64_t(b - a) * w) >> 16);
        }
    }
    const uint64_t next = uint64_t(v.frac) + uint64_t(made) * v.step;
    const int base = int(next >> 16);
    v.held = std::clamp(avail - base, 0, 2);
    std::copy(in + (avail - v.held) * ch, in + avail * ch, v.heldFrames);
    v.frac = uint32_t(next & 0xFFFF);
    return made;
}

void Mixer::dropFading() {
    giveBack(Fading.stream, Fading.sound);
    giveBack(FadingSpare.stream, FadingSpare.sound);
    Fading = FadingSpare = Voice{};
}

// A second change while one piece still fades out cuts that one short: two at once at most.
void Mixer::fadeOutMusic(int frames) {
    dropFading();
    if (!Music.stream) {
        giveBack(MusicSpareVoice.stream, MusicSpareVoice.sound);
        MusicSpareVoice = Voice{};
        return;
    }
    Fading = Music;
    FadingSpare = MusicSpareVoice;
    FadingGain = Ramp{};
    FadingGain.now = FadingGain.target = MusicFade.now;
    FadingGain.to(0, std::max(1, int(float(frames) * MusicFade.now)));
    Music = MusicSpareVoice = Voice{};
}

void Mixer::mixFading(int32_t* sum, int frames) {
    if (!Fading.stream) return;
    if (mixVoice(Fading, sum, frames, true) < frames) dropFading();
}

void Mixer::mixMusic(int32_t* sum, int frames) {
    int done = 0;
    // Each pass either fills the rest or uses up one stream, so this ends.
    while (done < frames && Music.stream) {
        done += mixVoice(Music, sum + OUTPUT_CHANNELS * done, frames - done, true);
        if (done < frames) {
            giveBack(Music.stream, Music.sound);
            const int sound = Music.sound;
            Music = MusicSpareVoice;
            Music.sound = sound;
            MusicSpareVoice = Voice{};
            askForSpare(sound);
        }
    }
}

void Mixer::render(int16_t* out, int frames) {
    Command c;
    while (Requests.pop(c)) apply(c);
    const bool muted = Muted.load(std::memory_order_relaxed);
    const float musicVolume = muted ? 0 : volumeGain(MusicVolume.load(std::memory_order_relaxed));
    const float effectsVolume = muted ? 0 : volumeGain(EffectsVolume.load(std::memory_order_relaxed));
    while (frames > 0) {
        const int n = std::min(frames, CHUNK_FRAMES);
        std::fill(Sum, Sum + OUTPUT_CHANNELS * n, 0);
        std::fill(FadingSum, FadingSum + OUTPUT_CHANNELS * n, 0);
        std::fill(EffectSum, EffectSum + OUTPUT_CHANNELS * n, 0);
        mixMusic(Sum, n);
        mixFading(FadingSum, n);
        bool ducked = false;
        for (Voice& v : Effects) {
            if (!v.stream) continue;
            ducked = ducked || v.ducks;
            const int made = v.step == 1u << 16 ? mixVoice(v, EffectSum, n, false) : mixPitched(v, EffectSum, n);
            if (made < n) {
                giveBack(v.stream, v.sound);
                v = Voice{};
            }
        }
        MusicGain.to(musicVolume * (ducked ? DUCKED : 1.0f), RAMP_FRAMES);
        EffectsGain.to(effectsVolume, RAMP_FRAMES);
        finish(out, n);
        out += OUTPUT_CHANNELS * n;
        frames -= n;
    }
}

void Mixer::finish(int16_t* out, int frames) {
    // The gains first, in place; then the limiter over the whole buffer.
    float* mix = Mix;
    float peak = 0;
    for (int f = 0; f < frames; ++f) {
        const float music = MusicGain.next(), fade = MusicFade.next(), fading = FadingGain.next();
        const float effects = EffectsGain.next();
        for (int c = 0; c < OUTPUT_CHANNELS; ++c) {
            const int i = OUTPUT_CHANNELS * f + c;
            const float v = music * (fade * float(Sum[i]) + fading * float(FadingSum[i])) +
                            effects * float(EffectSum[i]);
            mix[i] = v;
            peak = std::max(peak, std::fabs(v));
        }
    }
    if (Fading.stream && FadingGain.now == 0) dropFading();
    // A buffer louder than the knee lowers the gain to fit it, over the buffer, at once;
    // a quieter one lets it climb back slowly. What the fall misses, the knee takes.
    const float fits = peak > float(KNEE) ? float(KNEE) / peak : 1.0f;
    const float goal = std::min(fits, LimiterGain + LIMITER_RECOVERY * float(frames));
    const int over = goal < LimiterGain ? std::min(frames, LIMITER_ATTACK_FRAMES) : frames;
    const float start = LimiterGain, step = (goal - start) / float(over);
    for (int f = 0; f < frames; ++f) {
        const float g = f < over ? start + step * float(f + 1) : goal;
        for (int c = 0; c < OUTPUT_CHANNELS; ++c) {
            const int i = OUTPUT_CHANNELS * f + c;
            const float v = g == 1.0f ? mix[i] : mix[i] * g;
            out[i] = static_cast<int16_t>(std::lrint(softKnee(v)));
        }
    }
    LimiterGain = goal;
}

void Mixer::releaseAll() {
    Command c;
    while (Requests.pop(c)) {
        giveBack(c.stream, c.sound);
        giveBack(c.spare, c.sound);
    }
    giveBack(Music.stream, Music.sound);
    giveBack(MusicSpareVoice.stream, MusicSpareVoice.sound);
    Music = MusicSpareVoice = Voice{};
    dropFading();
    for (Voice& v : Effects) {
        giveBack(v.stream, v.sound);
        v = Voice{};
    }
}
