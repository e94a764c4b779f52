// lameTag.cpp — recognises the metadata frame encoders put first (Xing/Info) and reads the LAME tag's gapless figures from it.
#include "lameTag.h"

#include <cstring>

namespace ikpmp3 {

namespace {

uint32_t bigEndian32(const unsigned char* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

bool printable(unsigned char c)
{
    return c >= 0x20 && c < 0x7F;
}

// Where the Xing fields start: right after the side information. Encoders that protect
// the frame with a checksum still put them at the unprotected place (the two bytes of
// checksum then overlap the end of the side information); both places are tried.
int xingOffset(const unsigned char* frame, int size, bool mpeg1, bool mono, bool protectedFrame)
{
    const int sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const int firstSideInfoByte = protectedFrame ? 6 : 4;
    const int places = protectedFrame ? 2 : 1;
    for (int place = 0; place < places; ++place) {
        const int offset = 4 + 2 * place + sideInfo;
        if (size < offset + 8)
            return -1;
        if (std::memcmp(frame + offset, "Xing", 4) != 0 && std::memcmp(frame + offset, "Info", 4) != 0)
            continue;
        // An audio frame has side information; the metadata frame has none at all.
        for (int i = firstSideInfoByte; i < offset; ++i)
            if (frame[i] != 0)
                return -1;
        return offset;
    }
    return -1;
}

} // namespace

uint16_t lameTagCrc(const unsigned char* data, int size)
{
    uint16_t crc = 0;
    for (int i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

SEncoderTag readEncoderTag(const unsigned char* frame, int size)
{
    SEncoderTag tag;
    if (!frame || size < 4 || frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0)
        return tag;
    const int version = (frame[1] >> 3) & 3;   // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = (frame[1] >> 1) & 3;     // 1: layer III
    if (version == 1 || layer != 1)
        return tag;
    const bool mpeg1 = version == 3;
    const bool protectedFrame = (frame[1] & 1) == 0;
    const bool mono = (frame[3] >> 6) == 3;

    const int offset = xingOffset(frame, size, mpeg1, mono, protectedFrame);
    if (offset < 0)
        return tag;
    tag.isTagFrame = true;
    tag.samplesPerFrame = mpeg1 ? 1152 : 576;

    const uint32_t flags = bigEndian32(frame + offset + 4);
    int at = offset + 8;
    if (flags & 1) {
        if (size < at + 4)
            return tag;
        const uint32_t frames = bigEndian32(frame + at);
        tag.frameCount = frames <= uint32_t(INT32_MAX) ? int32_t(frames) : -1;
        at += 4;
    }
    at += (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);

    // The LAME tag: 36 bytes, its own checksum over every byte of the frame before the
    // checksum in its last two bytes.
    const int lameTagSize = 36;
    if (at + lameTagSize > size)
        return tag;
    const unsigned char* lame = frame + at;
    for (int i = 0; i < 4; ++i)
        if (!printable(lame[i]))
            return tag;
    tag.lameTagOffset = at;
    const uint16_t stored = uint16_t(lame[34] << 8 | lame[35]);
    if (lameTagCrc(frame, at + 34) != stored)
        return tag;
    tag.encoderDelay = lame[21] << 4 | lame[22] >> 4;
    tag.padding = (lame[22] & 0x0F) << 8 | lame[23];
    tag.hasGapless = true;
    return tag;
}

} // namespace ikpmp3
