// gapless.cpp — the loop's ends around it, and the LAME tag's delay and padding moved over them.
#include "gapless.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "lameTag.h"

std::vector<int16_t> withLoopContext(const std::vector<int16_t>& pcm, int channels) {
    const int64_t frames = int64_t(pcm.size()) / channels;
    std::vector<int16_t> out;
    if (frames == 0) return out;
    out.reserve(pcm.size() + size_t(2 * LOOP_CONTEXT_FRAMES * channels));
    auto frame = [&](int64_t k) {
        const int64_t at = ((k % frames) + frames) % frames;
        out.insert(out.end(), pcm.begin() + at * channels, pcm.begin() + (at + 1) * channels);
    };
    for (int64_t k = -LOOP_CONTEXT_FRAMES; k < 0; ++k) frame(k);
    out.insert(out.end(), pcm.begin(), pcm.end());
    for (int64_t k = 0; k < LOOP_CONTEXT_FRAMES; ++k) frame(k);
    return out;
}

bool trimLoopContext(std::vector<uint8_t>& mp3, std::string& error) {
    // The tag frame comes first; it is never larger than the largest layer III frame.
    const int size = int(std::min<size_t>(mp3.size(), 2881));
    const ikpmp3::SEncoderTag tag = ikpmp3::readEncoderTag(mp3.data(), size);
    if (!tag.hasGapless) {
        error = "no LAME tag with delay and padding";
        return false;
    }
    const int delay = tag.encoderDelay + LOOP_CONTEXT_FRAMES, padding = tag.padding + LOOP_CONTEXT_FRAMES;
    if (delay > 0xFFF || padding > 0xFFF) {
        error = "the delay or padding would not fit the LAME tag";
        return false;
    }
    uint8_t* lame = mp3.data() + tag.lameTagOffset;
    lame[21] = uint8_t(delay >> 4);
    lame[22] = uint8_t((delay & 0xF) << 4 | padding >> 8);
    lame[23] = uint8_t(padding);
    const uint16_t crc = ikpmp3::lameTagCrc(mp3.data(), tag.lameTagOffset + 34);
    lame[34] = uint8_t(crc >> 8);
    lame[35] = uint8_t(crc);
    return true;
}

bool trimLoopContext(const std::string& path, std::string& error) {
    std::vector<uint8_t> mp3;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            error = "cannot be read";
            return false;
        }
        mp3.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (!trimLoopContext(mp3, error)) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(mp3.data()), std::streamsize(mp3.size()));
    if (!out.flush()) {
        error = "cannot be written";
        return false;
    }
    return true;
}
