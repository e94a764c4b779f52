// Bitmap_test.cpp — the BMP reader on files written byte by byte: depths, padding, refusals.
#include "Bitmap/Bitmap.h"

#include <gtest/gtest.h>

#include "testImages.h"

using namespace testimages;

namespace {

class BitmapTest : public ::testing::Test {
protected:
    TempDir dir;

    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string p = dir.path(name);
        writeBytes(p, bytes);
        return p;
    }

    static std::vector<uint8_t> bytesOf(const Bitmap& bmp, size_t offset, size_t count) {
        const auto* d = reinterpret_cast<const uint8_t*>(bmp.data);
        return std::vector<uint8_t>(d + offset, d + offset + count);
    }
};

using Bytes = std::vector<uint8_t>;

TEST_F(BitmapTest, TwentyFourBitBecomesRgbBottomRowFirst) {
    // Bottom row stored first; B, G, R per pixel.
    Bytes bottom = {0x10, 0x20, 0x30, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    Bytes top = {0xA1, 0xA2, 0xA3, 11, 12, 13, 14, 15, 16, 0xB1, 0xB2, 0xB3};
    Bitmap bmp(write("a.bmp", bmpFile(4, 2, 24, {bottom, top})).c_str());

    ASSERT_TRUE(bmp.loaded);
    EXPECT_EQ(bmp.error, "Bitmap loaded");
    EXPECT_EQ(bmp.width, 4);
    EXPECT_EQ(bmp.height, 2);
    EXPECT_EQ(bmp.bpp, 24);
    EXPECT_EQ(bmp.colours, nullptr);
    EXPECT_EQ(bytesOf(bmp, 0, 12), (Bytes{0x30, 0x20, 0x10, 3, 2, 1, 6, 5, 4, 9, 8, 7}));
    EXPECT_EQ(bytesOf(bmp, 12, 12), (Bytes{0xA3, 0xA2, 0xA1, 13, 12, 11, 16, 15, 14, 0xB3, 0xB2, 0xB1}));
}

TEST_F(BitmapTest, ThirtyTwoBitBecomesRgbaKeepingAlpha) {
    Bytes bottom = {0x10, 0x20, 0x30, 0x40, 1, 2, 3, 4, 5, 6, 7, 8};
    Bytes top = {9, 10, 11, 12, 13, 14, 15, 0, 0xF0, 0xF1, 0xF2, 0xFF};
    Bitmap bmp(write("a.bmp", bmpFile(3, 2, 32, {bottom, top})).c_str());

    ASSERT_TRUE(bmp.loaded);
    EXPECT_EQ(bmp.bpp, 32);
    EXPECT_EQ(bytesOf(bmp, 0, 24), (Bytes{0x30, 0x20, 0x10, 0x40, 3, 2, 1, 4, 7, 6, 5, 8,
                                          11, 10, 9, 12, 15, 14, 13, 0, 0xF2, 0xF1, 0xF0, 0xFF}));
}

TEST_F(BitmapTest, EightBitLooksUpAllOf256PaletteEntriesWhateverClrUsedSays) {
    Bytes bottom = {200, 255, 0, 1};
    Bytes top = {17, 128, 254, 200};
    Bitmap bmp(write("a.bmp", bmpFile(4, 2, 8, {bottom, top}, /*clrUsed=*/2)).c_str());

    ASSERT_TRUE(bmp.loaded);
    EXPECT_EQ(bmp.bpp, 8);   // the file's depth, although the pixels are now RGB
    ASSERT_NE(bmp.colours, nullptr);
    EXPECT_EQ(bmp.colours[255].rgbRed, paletteRed(255));
    Bytes expected;
    for (int index : {200, 255, 0, 1, 17, 128, 254, 200})
        expected.insert(expected.end(), {paletteRed(index), paletteGreen(index), paletteBlue(index)});
    EXPECT_EQ(bytesOf(bmp, 0, 24), expected);
}

// glDrawPixels reads rows starting at multiples of 4 bytes; the file pads the
// same way. Padding bytes (0xEE in the test files) must never become pixels.
TEST_F(BitmapTest, PaddedRowsAreReadAndRewrittenOnFourByteBoundaries) {
    {
        // 24-bit, 3 wide: 9 pixel bytes + 3 padding per row, in the file and in data.
        Bytes bottom = {1, 2, 3, 4, 5, 6, 7, 8, 9};
        Bytes top = {10, 11, 12, 13, 14, 15, 16, 17, 18};
        Bitmap bmp(write("p24.bmp", bmpFile(3, 2, 24, {bottom, top})).c_str());
        ASSERT_TRUE(bmp.loaded) << bmp.error;
        EXPECT_EQ(bytesOf(bmp, 0, 9), (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7}));
        EXPECT_EQ(bytesOf(bmp, 12, 9), (Bytes{12, 11, 10, 15, 14, 13, 18, 17, 16}));
    }
    {
        // 8-bit, 5 wide: the file stride is 8, the RGB output stride 15 rounded to 16.
        Bytes bottom = {0, 1, 2, 3, 4};
        Bytes top = {250, 251, 252, 253, 254};
        Bitmap bmp(write("p8.bmp", bmpFile(5, 2, 8, {bottom, top})).c_str());
        ASSERT_TRUE(bmp.loaded) << bmp.error;
        Bytes row0, row1;
        for (int i : bottom) row0.insert(row0.end(), {paletteRed(i), paletteGreen(i), paletteBlue(i)});
        for (int i : top) row1.insert(row1.end(), {paletteRed(i), paletteGreen(i), paletteBlue(i)});
        EXPECT_EQ(bytesOf(bmp, 0, 15), row0);
        EXPECT_EQ(bytesOf(bmp, 16, 15), row1);
    }
    {
        // 24-bit, 1 wide, 3 high: one pixel and one padding byte per row.
        Bitmap bmp(write("p1.bmp", bmpFile(1, 3, 24, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}})).c_str());
        ASSERT_TRUE(bmp.loaded) << bmp.error;
        EXPECT_EQ(bytesOf(bmp, 8, 3), (Bytes{9, 8, 7}));
    }
}

TEST_F(BitmapTest, RefusesWhatItCannotReadWithItsReason) {
    struct Case {
        const char* what;
        Bytes file;
        const char* error;
    };
    Bytes notDib = solidBmp24(4, 1, 1, 2, 3);
    notDib[1] = 'A';
    Bytes shortPixels = solidBmp24(4, 4, 1, 2, 3);
    shortPixels.resize(54 + 10);
    Bytes shortPalette = bmpFile(4, 1, 8, {{0, 1, 2, 3}});
    shortPalette.resize(54 + 500);
    Bytes shortHeader = bmpHeader(4, 1, 24);
    shortHeader.resize(30);
    const Case cases[] = {
        {"'BA' magic", notDib, "File is not in DIB format"},
        {"empty file", {}, "File is not in DIB format"},
        {"1-bit", bmpHeader(8, 1, 1), "File is not 8 or 24 bits per pixel"},
        {"4-bit", bmpHeader(8, 1, 4), "File is not 8 or 24 bits per pixel"},
        {"16-bit: read as nothing, not an error", bmpFile(2, 1, 16, {{1, 2, 3, 4}}), "Bitmap loaded"},
        {"zero width", bmpHeader(0, 4, 24), "Bitmap width is not positive"},
        {"negative width", bmpHeader(-4, 4, 24), "Bitmap width is not positive"},
        {"top-down", bmpHeader(4, -4, 24), "Top-down bitmaps (negative height) are not supported"},
        // 65536 × 16385 × 4 wraps 32 bits to 262144: a short buffer, then an overrun.
        {"32-bit size wraps", bmpHeader(65536, 16385, 32), "Bitmap dimensions are too large"},
        {"24-bit size wraps", bmpHeader(0x40000000, 0x40000000, 24), "Bitmap dimensions are too large"},
        {"largest width", bmpHeader(INT32_MAX, 1, 24), "Bitmap dimensions are too large"},
        {"short header", shortHeader, "File is shorter than its headers"},
        {"short palette", shortPalette, "File is shorter than its palette"},
        {"short pixels", shortPixels, "File is shorter than its pixel data"},
        // Claims 8000 × 8000 but holds nothing: refused before any big allocation.
        {"huge claim", bmpHeader(8000, 8000, 24), "File is shorter than its pixel data"},
    };
    for (const Case& c : cases) {
        Bitmap bmp(write("bad.bmp", c.file).c_str());
        EXPECT_FALSE(bmp.loaded) << c.what;
        EXPECT_EQ(bmp.data, nullptr) << c.what;
        EXPECT_EQ(bmp.colours, nullptr) << c.what;
        EXPECT_EQ(bmp.error, c.error) << c.what;
    }
}

TEST_F(BitmapTest, ReloadingReplacesTheEarlierImageAndSurvivesAFailure) {
    Bitmap bmp(write("p.bmp", bmpFile(4, 1, 8, {{0, 1, 2, 3}})).c_str());
    ASSERT_TRUE(bmp.loaded);
    ASSERT_NE(bmp.colours, nullptr);

    EXPECT_TRUE(bmp.loadBMP(write("a.bmp", solidBmp24(4, 2, 7, 8, 9)).c_str()));
    EXPECT_EQ(bmp.colours, nullptr);   // the old palette went with the old image
    EXPECT_EQ(bmp.bpp, 24);
    EXPECT_EQ(bytesOf(bmp, 12, 3), (Bytes{7, 8, 9}));

    EXPECT_FALSE(bmp.loadBMP(dir.path("gone.bmp").c_str()));
    EXPECT_EQ(bmp.error, "File not found");
    EXPECT_EQ(bmp.data, nullptr);

    EXPECT_TRUE(bmp.loadBMP(write("empty.bmp", bmpFile(4, 0, 24, {})).c_str()));
    EXPECT_EQ(bmp.height, 0);
}

}  // namespace
