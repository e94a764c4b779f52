// mpa_bits_test.cpp — the bit reader stays inside its buffer, and VLC tables decode every code at any depth.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "bits.h"

namespace {

TEST(BitReader, ReadsMostSignificantBitFirstAcrossBytes)
{
    const uint8_t bytes[] = {0x01, 0xFF, 0xA5, 0x3C, 0x96, 0x0F};
    GetBitContext gb;
    init_get_bits(&gb, bytes, 8 * sizeof bytes);

    EXPECT_EQ(get_bits(&gb, 0), 0u);
    EXPECT_EQ(get_bits_count(&gb), 0);
    skip_bits(&gb, 7);
    EXPECT_EQ(get_bits(&gb, 9), 0x1FFu);
    EXPECT_EQ(get_bits_count(&gb), 16);
    EXPECT_EQ(show_bits(&gb, 4), 0xAu);
    EXPECT_EQ(get_bits_count(&gb), 16);

    init_get_bits(&gb, bytes, 8 * sizeof bytes);
    skip_bits(&gb, 3);
    // 32 bits from a non-aligned position span five bytes.
    EXPECT_EQ(get_bits(&gb, 32), 0x0FFD29E4u);
    EXPECT_EQ(get_bits(&gb, 13), 0x160Fu);
}

TEST(BitReader, BitsPastTheEndReadAsZeroWithoutTouchingMemory)
{
    // Exactly-sized heap block, so a sanitizer build catches any byte read beyond it.
    auto bytes = std::make_unique<uint8_t[]>(2);
    bytes[0] = 0xFF;
    bytes[1] = 0xFF;
    GetBitContext gb;
    init_get_bits(&gb, bytes.get(), 12);   // the last 4 bits of byte 1 lie past the end

    EXPECT_EQ(show_bits(&gb, 16), 0xFFF0u);
    skip_bits(&gb, 10);
    EXPECT_EQ(get_bits(&gb, 8), 0xC0u);
    EXPECT_EQ(get_bits(&gb, 32), 0u);
    skip_bits(&gb, 100000);
    EXPECT_EQ(get_bits(&gb, 32), 0u);

    init_get_bits(&gb, bytes.get(), -8);   // a negative length reads nothing at all
    EXPECT_EQ(get_bits(&gb, 16), 0u);
}

// Code set over a 2-bit root: "1", "01", "001", "0001", "000011", "000010"; the last two
// need a third level, and "000000" / "000001" are no code.
struct Code {
    uint16_t code;
    uint8_t length;
};
const Code deepCodes[] = {{0b1, 1}, {0b01, 2}, {0b001, 3}, {0b0001, 4}, {0b000011, 6}, {0b000010, 6}};

class VlcTest : public ::testing::Test {
protected:
    void TearDown() override { free_vlc(&vlc_); }

    void buildDeep()
    {
        ASSERT_EQ(init_vlc(&vlc_, 2, 6, &deepCodes[0].length, sizeof(Code), 1, &deepCodes[0].code,
                           sizeof(Code), 2),
                  0);
    }

    VLC vlc_{};
};

TEST_F(VlcTest, CodesLongerThanTheRootUseUpToThreeLevels)
{
    buildDeep();
    EXPECT_GT(vlc_.table_size, 4);   // sub-tables follow the root
    EXPECT_LE(vlc_.table_size, vlc_.table_allocated);

    // All six codes back to back, then padding: 1 01 001 0001 000011 000010.
    const uint8_t stream[] = {0b10100100, 0b01000011, 0b00001000};
    GetBitContext gb;
    init_get_bits(&gb, stream, 24);
    const int lengths[] = {1, 2, 3, 4, 6, 6};
    int position = 0;
    for (int symbol = 0; symbol < 6; ++symbol) {
        EXPECT_EQ(get_vlc(&gb, &vlc_), symbol);
        position += lengths[symbol];
        EXPECT_EQ(get_bits_count(&gb), position) << "symbol " << symbol;
    }
}

TEST_F(VlcTest, APatternThatIsNoCodeConsumesOnlyTheLevelsAbove)
{
    buildDeep();
    // 00 00 01: root link, second-level link, empty third-level entry.
    const uint8_t stream[] = {0b00000100, 0x00};
    GetBitContext gb;
    init_get_bits(&gb, stream, 16);
    EXPECT_EQ(get_vlc(&gb, &vlc_), -1);
    EXPECT_EQ(get_bits_count(&gb), 4);

    const uint8_t zeros[] = {0x00, 0x00};
    init_get_bits(&gb, zeros, 16);
    EXPECT_EQ(get_vlc(&gb, &vlc_), -1);
    EXPECT_EQ(get_bits_count(&gb), 4);
}

TEST_F(VlcTest, CodeSetsDeeperThanThreeLevelsReadAsNoCode)
{
    // "0000101" over a 2-bit root needs a fourth level.
    const uint8_t lengths[] = {1, 7};
    const uint8_t codes[] = {0b1, 0b0000101};
    ASSERT_EQ(init_vlc(&vlc_, 2, 2, lengths, 1, 1, codes, 1, 1), 0);
    const uint8_t stream[] = {0b00001010};
    GetBitContext gb;
    init_get_bits(&gb, stream, 8);
    EXPECT_EQ(get_vlc(&gb, &vlc_), -1);
    EXPECT_EQ(get_bits_count(&gb), 4);
}

TEST_F(VlcTest, OneBitCodeAtTheRootConsumesOneBit)
{
    const uint8_t lengths[] = {1, 2, 2};
    const uint32_t codes[] = {0b1, 0b01, 0b00};
    ASSERT_EQ(init_vlc(&vlc_, 8, 3, lengths, 1, 1, codes, 4, 4), 0);
    EXPECT_EQ(vlc_.table_size, 256);   // no sub-tables needed

    const uint8_t stream[] = {0b10100000};
    GetBitContext gb;
    init_get_bits(&gb, stream, 8);
    EXPECT_EQ(get_vlc(&gb, &vlc_), 0);
    EXPECT_EQ(get_bits_count(&gb), 1);
    EXPECT_EQ(get_vlc(&gb, &vlc_), 1);
    EXPECT_EQ(get_vlc(&gb, &vlc_), 2);
    EXPECT_EQ(get_bits_count(&gb), 5);
}

}  // namespace
