// syntheticStream.h — test support: an audio stream whose every sample is known in advance.
#pragma once

#include <cstdint>
#include <functional>

#include "irrklang/irrKlang.h"

// `length` frames of `channels` samples; sample c of frame k is value(k, c).
class SyntheticStream : public irrklang::IAudioStream {
public:
    SyntheticStream(int channels, int length, std::function<int16_t(int, int)> value)
        : Channels(channels), Length(length), Value(std::move(value)) {}

    irrklang::SAudioStreamFormat getFormat() override {
        return {Channels, Length, 44100, irrklang::ESF_S16};
    }
    bool setPosition(int32_t pos) override {
        Pos = pos;
        return true;
    }
    int32_t readFrames(void* target, int32_t count) override {
        auto* out = static_cast<int16_t*>(target);
        int n = 0;
        for (; n < count && Pos < Length; ++n, ++Pos)
            for (int c = 0; c < Channels; ++c) *out++ = Value(Pos, c);
        return n;
    }
    int position() const { return Pos; }

private:
    int Channels, Length;
    std::function<int16_t(int, int)> Value;
    int Pos = 0;
};

// A constant sample, on every channel.
inline std::function<int16_t(int, int)> constant(int16_t v) {
    return [v](int, int) { return v; };
}
