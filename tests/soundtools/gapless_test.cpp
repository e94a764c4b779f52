// gapless_test.cpp — a loop's ends around it, and the LAME tag told to trim them again.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gapless.h"
#include "lameTag.h"

namespace {
std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ikpmp3::SEncoderTag tagOf(const std::vector<uint8_t>& mp3) {
    return ikpmp3::readEncoderTag(mp3.data(), int(std::min<size_t>(mp3.size(), 2881)));
}
}  // namespace

TEST(LoopContext, TheLoopSitsBetweenItsOwnEndAndItsOwnStart) {
    // Stereo frames numbered 0..4999: the context is frames 2952..4999 before, 0..2047 after.
    std::vector<int16_t> pcm;
    for (int k = 0; k < 5000; ++k) pcm.insert(pcm.end(), {int16_t(k), int16_t(-k)});
    const std::vector<int16_t> out = withLoopContext(pcm, 2);
    ASSERT_EQ(out.size(), pcm.size() + 4 * LOOP_CONTEXT_FRAMES);
    EXPECT_EQ(out[0], 5000 - LOOP_CONTEXT_FRAMES);
    EXPECT_EQ(out[1], -(5000 - LOOP_CONTEXT_FRAMES));
    EXPECT_EQ(out[2 * LOOP_CONTEXT_FRAMES - 2], 4999);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), out.begin() + 2 * LOOP_CONTEXT_FRAMES));
    EXPECT_EQ(out[out.size() - 2], LOOP_CONTEXT_FRAMES - 1);
    // A loop shorter than the context wraps round as often as it takes.
    const std::vector<int16_t> mono = withLoopContext({10, 11, 12}, 1);
    ASSERT_EQ(mono.size(), 3u + 2 * LOOP_CONTEXT_FRAMES);
    for (size_t i = 0; i < mono.size(); ++i)
        ASSERT_EQ(mono[i], 10 + int(((i + 3 - LOOP_CONTEXT_FRAMES % 3) % 3))) << i;
    EXPECT_TRUE(withLoopContext({}, 2).empty());
}

TEST(LoopContext, TrimmingMovesDelayAndPaddingAndKeepsTheTagsChecksumRight) {
    std::vector<uint8_t> mp3 = readFile(std::string(VW_SOURCE_ROOT) + "/assets/sounds/game_over.mp3");
    const ikpmp3::SEncoderTag before = tagOf(mp3);
    ASSERT_TRUE(before.hasGapless);
    std::string error;
    ASSERT_TRUE(trimLoopContext(mp3, error)) << error;
    const ikpmp3::SEncoderTag after = tagOf(mp3);
    ASSERT_TRUE(after.hasGapless) << "the checksum no longer matches";
    EXPECT_EQ(after.encoderDelay, before.encoderDelay + LOOP_CONTEXT_FRAMES);
    EXPECT_EQ(after.padding, before.padding + LOOP_CONTEXT_FRAMES);
    EXPECT_EQ(after.frameCount, before.frameCount);
    // Twice would not fit in twelve bits: refused, and the bytes stay as they were.
    const std::vector<uint8_t> once = mp3;
    EXPECT_FALSE(trimLoopContext(mp3, error));
    EXPECT_EQ(mp3, once);
    // No tag at all.
    std::vector<uint8_t> noise(4000, 0x55);
    EXPECT_FALSE(trimLoopContext(noise, error));
    EXPECT_NE(error.find("LAME"), std::string::npos) << error;
}
