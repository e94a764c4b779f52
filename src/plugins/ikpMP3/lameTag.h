// lameTag.h — recognises the metadata frame encoders put first (Xing/Info) and reads the LAME tag's gapless figures from it.
#pragma once

#include <cstdint>

namespace ikpmp3 {

// What the first MPEG frame of a stream says about the stream, when it is a metadata frame.
struct SEncoderTag {
    // The frame is a Xing/Info frame: a layer III frame without audio whose main data holds
    // the tag. It decodes to silence and is no part of the music.
    bool isTagFrame = false;
    // A LAME tag with a matching checksum follows the Xing fields: the figures below count.
    bool hasGapless = false;
    int32_t samplesPerFrame = 0;   // of this frame's kind: 1152 or 576
    int32_t frameCount = -1;       // MPEG frames of audio after this one; -1 when not given
    int32_t encoderDelay = 0;      // sample frames the encoder put before the music
    int32_t padding = 0;           // sample frames it put after the music
    int32_t lameTagOffset = -1;    // where the LAME tag starts in the frame; -1 none found
};

// Reads one whole MPEG frame (header first, `size` bytes). Anything that is not a
// well-formed Xing/Info frame gives isTagFrame false; a damaged LAME tag gives hasGapless false.
SEncoderTag readEncoderTag(const unsigned char* frame, int size);

// The checksum the LAME tag carries over the frame's bytes before it (poly 0x8005, reflected).
uint16_t lameTagCrc(const unsigned char* data, int size);

} // namespace ikpmp3
