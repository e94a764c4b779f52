// lameTag_test.cpp — recognising the encoder's metadata frame and reading the LAME tag's gapless figures.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "lameTag.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct FrameKind {
    const char* name;
    unsigned char header[4];
    int sideInfo;        // bytes of side information after the header
    int samplesPerFrame;
    int xingAt;          // where the Xing fields start after the side information: 0, or 2 past
                         // a frame checksum
};

const FrameKind KINDS[] = {
    {"MPEG-1 stereo", {0xFF, 0xFB, 0x90, 0x64}, 32, 1152, 0},
    {"MPEG-1 mono", {0xFF, 0xFB, 0x90, 0xC4}, 17, 1152, 0},
    {"MPEG-2 stereo", {0xFF, 0xF3, 0x80, 0x44}, 17, 576, 0},
    {"MPEG-2.5 mono", {0xFF, 0xE3, 0x48, 0xC4}, 9, 576, 0},
    // Protected: the Xing fields most often start where an unprotected frame's would, but
    // some encoders put them after the checksum and a full side information.
    {"MPEG-1 stereo protected", {0xFF, 0xFA, 0x90, 0x64}, 32, 1152, 0},
    {"MPEG-1 stereo protected, fields after the checksum", {0xFF, 0xFA, 0x90, 0x64}, 32, 1152, 2},
    {"MPEG-1 mono protected, fields after the checksum", {0xFF, 0xFA, 0x90, 0xC4}, 17, 1152, 2},
    {"MPEG-2 stereo protected, fields after the checksum", {0xFF, 0xF2, 0x80, 0x44}, 17, 576, 2},
    {"MPEG-2.5 mono protected", {0xFF, 0xE2, 0x48, 0xC4}, 9, 576, 0},
    {"MPEG-2.5 mono protected, fields after the checksum", {0xFF, 0xE2, 0x48, 0xC4}, 9, 576, 2},
};

void put32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

// A metadata frame as lame writes it: Xing fields with the given flags, then the LAME tag.
Bytes tagFrame(const FrameKind& kind, uint32_t flags, int frames, int delay, int padding)
{
    Bytes f(417, 0);
    std::memcpy(f.data(), kind.header, 4);
    if ((kind.header[1] & 1) == 0) {
        f[4] = 0x12;   // the frame's own checksum, which is not side information
        f[5] = 0x34;
    }
    size_t at = size_t(4 + kind.xingAt + kind.sideInfo);
    std::memcpy(&f[at], "Info", 4);
    put32(f, at + 4, flags);
    at += 8;
    if (flags & 1) {
        put32(f, at, uint32_t(frames));
        at += 4;
    }
    at += (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    std::memcpy(&f[at], "LAME3.100", 9);
    f[at + 21] = static_cast<unsigned char>(delay >> 4);
    f[at + 22] = static_cast<unsigned char>((delay & 15) << 4 | padding >> 8);
    f[at + 23] = static_cast<unsigned char>(padding);
    const uint16_t crc = ikpmp3::lameTagCrc(f.data(), int(at + 34));
    f[at + 34] = static_cast<unsigned char>(crc >> 8);
    f[at + 35] = static_cast<unsigned char>(crc);
    return f;
}

} // namespace

TEST(LameTag, ChecksumIsTheReflected8005Sum)
{
    const unsigned char text[] = "123456789";
    EXPECT_EQ(ikpmp3::lameTagCrc(text, 9), 0xBB3D);
    EXPECT_EQ(ikpmp3::lameTagCrc(text, 0), 0);
}

TEST(LameTag, EveryFrameKindAndFieldSetIsRead)
{
    for (const FrameKind& kind : KINDS) {
        for (uint32_t flags : {0xFu, 0x1u, 0x5u, 0xDu}) {
            SCOPED_TRACE(std::string(kind.name) + " flags " + std::to_string(flags));
            const ikpmp3::SEncoderTag tag = ikpmp3::readEncoderTag(tagFrame(kind, flags, 1234, 576, 4095).data(), 417);
            EXPECT_TRUE(tag.isTagFrame);
            EXPECT_TRUE(tag.hasGapless);
            EXPECT_EQ(tag.samplesPerFrame, kind.samplesPerFrame);
            EXPECT_EQ(tag.frameCount, 1234);
            EXPECT_EQ(tag.encoderDelay, 576);
            EXPECT_EQ(tag.padding, 4095);
        }
    }
    const ikpmp3::SEncoderTag noCount = ikpmp3::readEncoderTag(tagFrame(KINDS[0], 0xE, 0, 1, 2).data(), 417);
    EXPECT_TRUE(noCount.hasGapless);
    EXPECT_EQ(noCount.frameCount, -1);
    EXPECT_EQ(noCount.encoderDelay, 1);
    EXPECT_EQ(noCount.padding, 2);
}

TEST(LameTag, DamageIsRecognisedAndAudioIsNotTakenForMetadata)
{
    const Bytes good = tagFrame(KINDS[0], 0xF, 40, 576, 1404);
    const int tagAt = 4 + 32 + 8 + 4 + 4 + 100 + 4;
    struct Case {
        const char* name;
        size_t at;             // byte changed
        unsigned char value;
        bool isTagFrame;
        bool hasGapless;
    };
    const Case cases[] = {
        {"delay changed", size_t(tagAt + 21), 0x25, true, false},
        {"checksum changed", size_t(tagAt + 35), 0x00, true, false},
        {"encoder name unprintable", size_t(tagAt), 0x01, true, false},
        {"frame count changed", 4 + 32 + 8 + 3, 41, true, false},
        {"side information present", 10, 0x80, false, false},
        {"other magic", 4 + 32, 'X', false, false},
        {"layer II header", 1, 0xFD, false, false},
        {"reserved version", 1, 0xEB, false, false},
        {"no sync", 0, 0x7F, false, false},
    };
    for (const Case& c : cases) {
        Bytes f = good;
        f[c.at] = c.value;
        const ikpmp3::SEncoderTag tag = ikpmp3::readEncoderTag(f.data(), int(f.size()));
        EXPECT_EQ(tag.isTagFrame, c.isTagFrame) << c.name;
        EXPECT_EQ(tag.hasGapless, c.hasGapless) << c.name;
        EXPECT_EQ(tag.encoderDelay, 0) << c.name;
    }
    // Cut anywhere, the frame is read only as far as it goes.
    for (int size = 0; size < int(good.size()); size += 7) {
        const Bytes cut(good.begin(), good.begin() + size);
        const ikpmp3::SEncoderTag tag = ikpmp3::readEncoderTag(cut.data(), size);
        EXPECT_EQ(tag.hasGapless, size >= tagAt + 36) << size;
    }
    EXPECT_FALSE(ikpmp3::readEncoderTag(nullptr, 417).isTagFrame);
}
