// mixer.cpp — the voices and their sum; everything below render() runs on the audio thread.
#include "sound/mixer.h"

#include <algorithm>

namespace {
int16_t saturate(int32_t v) {
    return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}
}  // namespace

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

bool Mixer::startEffect(int sound, irrklang::IAudioStream* stream) {
    return post({Kind::StartEffect, sound, stream, nullptr});
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
    case Kind::StopMusic:
        giveBack(Music.stream, Music.sound);
        giveBack(MusicSpareVoice.stream, MusicSpareVoice.sound);
        Music = voiceFor(c.stream);
        MusicSpareVoice = voiceFor(c.spare);
        SpareAsked = false;
        if (c.kind == Kind::StartMusic && !MusicSpareVoice.stream) askForSpare(c.sound);
        break;
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
    while (frames > 0) {
        const int n = std::min(frames, CHUNK_FRAMES);
        std::fill(Sum, Sum + OUTPUT_CHANNELS * n, 0);
        mixMusic(Sum, n);
        for (Voice& v : Effects) {
            if (!v.stream) continue;
            if (mixVoice(v, Sum, n, false) < n) {
                giveBack(v.stream, v.sound);
                v = Voice{};
            }
        }
        for (int i = 0; i < OUTPUT_CHANNELS * n; ++i) out[i] = muted ? 0 : saturate(Sum[i]);
        out += OUTPUT_CHANNELS * n;
        frames -= n;
    }
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
    for (Voice& v : Effects) {
        giveBack(v.stream, v.sound);
        v = Voice{};
    }
}
