// fuzz_lametag.cpp — the reader of the encoder's metadata frame (Xing/Info and the LAME tag) over any bytes.
//
// Input: the frame. Besides running clean under the sanitizers, what it reads must be in
// range, and a LAME tag accepted once must be refused after any change to its own bytes.
#include <cstring>
#include <vector>

#include "fuzzInput.h"
#include "lameTag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    // An exactly sized copy: a read past the frame is a read past the allocation.
    std::vector<uint8_t> frame(data, data + size);
    const int length = static_cast<int>(size);
    const ikpmp3::SEncoderTag tag = ikpmp3::readEncoderTag(frame.data(), length);

    FUZZ_CHECK(!tag.hasGapless || tag.isTagFrame);
    if (!tag.isTagFrame) {
        FUZZ_CHECK(!tag.hasGapless && tag.lameTagOffset == -1);
        return 0;
    }
    FUZZ_CHECK(tag.samplesPerFrame == 576 || tag.samplesPerFrame == 1152);
    FUZZ_CHECK(tag.frameCount >= -1);
    FUZZ_CHECK(tag.encoderDelay >= 0 && tag.encoderDelay <= 4095);
    FUZZ_CHECK(tag.padding >= 0 && tag.padding <= 4095);
    if (!tag.hasGapless) return 0;
    FUZZ_CHECK(tag.lameTagOffset > 0 && tag.lameTagOffset + 36 <= length);

    // The checksum covers the tag's own bytes: one changed byte (chosen by the input) is caught.
    FuzzRandom random(static_cast<uint32_t>(size) * 2654435761u ^ frame[size - 1]);
    const int at = tag.lameTagOffset + static_cast<int>(random.range(0, 33));
    frame[at] ^= static_cast<uint8_t>(random.range(1, 255));
    const ikpmp3::SEncoderTag damaged = ikpmp3::readEncoderTag(frame.data(), length);
    FUZZ_CHECK(damaged.isTagFrame && !damaged.hasGapless);
    return 0;
}
