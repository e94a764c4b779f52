// pngLoader_test.cpp — the PNG reader on files written with libpng: every colour type to bottom-up RGBA.
#include "pngLoader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "testImages.h"

using namespace testimages;
using ::testing::EndsWith;
using ::testing::Eq;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;

namespace {

using Bytes = std::vector<uint8_t>;

class PngLoaderTest : public ::testing::Test {
protected:
    TempDir dir;
    png_uint_32 width = 77;
    png_uint_32 height = 77;

    // Writes `img`, reads it back and returns all of its RGBA bytes.
    Bytes roundTrip(const PngImage& img) {
        std::string p = dir.path("img.png");
        EXPECT_TRUE(writePng(p, img));
        png_bytep pixels = read_png_file(p.c_str(), width, height);
        Bytes out(pixels, pixels + size_t(width) * height * 4);
        std::free(pixels);
        return out;
    }
};

PngImage image(png_uint_32 w, png_uint_32 h, int colorType, int bitDepth,
               std::vector<Bytes> rows) {
    PngImage img;
    img.width = w;
    img.height = h;
    img.colorType = colorType;
    img.bitDepth = bitDepth;
    img.rows = std::move(rows);
    return img;
}

TEST_F(PngLoaderTest, RgbGetsOpaqueAlpha) {
    EXPECT_EQ(roundTrip(image(1, 1, PNG_COLOR_TYPE_RGB, 8, {{10, 20, 30}})), (Bytes{10, 20, 30, 255}));
    EXPECT_EQ(width, 1u);
    EXPECT_EQ(height, 1u);
}

TEST_F(PngLoaderTest, RowsComeOutBottomFirst) {
    Bytes out = roundTrip(image(2, 3, PNG_COLOR_TYPE_RGBA, 8,
                                {{1, 1, 1, 1, 2, 2, 2, 2}, {3, 3, 3, 3, 4, 4, 4, 4}, {5, 5, 5, 5, 6, 6, 6, 6}}));
    EXPECT_EQ(width, 2u);
    EXPECT_EQ(height, 3u);
    EXPECT_EQ(out, (Bytes{5, 5, 5, 5, 6, 6, 6, 6, 3, 3, 3, 3, 4, 4, 4, 4, 1, 1, 1, 1, 2, 2, 2, 2}));
}

TEST_F(PngLoaderTest, PaletteTakesItsColoursAndTransparency) {
    PngImage img = image(3, 1, PNG_COLOR_TYPE_PALETTE, 8, {{0, 1, 2}});
    img.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    EXPECT_EQ(roundTrip(img), (Bytes{10, 20, 30, 255, 40, 50, 60, 255, 70, 80, 90, 255}));

    img.trnsAlpha = {255, 0};   // entry 1 fully transparent; entry 2 beyond the chunk stays opaque
    EXPECT_EQ(roundTrip(img), (Bytes{10, 20, 30, 255, 40, 50, 60, 0, 70, 80, 90, 255}));

    PngImage low = image(4, 1, PNG_COLOR_TYPE_PALETTE, 2, {{0b00011011}});   // indexes 0, 1, 2, 3
    low.palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    EXPECT_EQ(roundTrip(low), (Bytes{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255}));
}

TEST_F(PngLoaderTest, GreyBecomesEqualChannelsAtEveryDepth) {
    EXPECT_EQ(roundTrip(image(2, 1, PNG_COLOR_TYPE_GRAY, 8, {{0, 77}})),
              (Bytes{0, 0, 0, 255, 77, 77, 77, 255}));
    // 1, 2 and 4 bits scale to the full 0-255 range.
    EXPECT_EQ(roundTrip(image(2, 1, PNG_COLOR_TYPE_GRAY, 1, {{0b10000000}})),
              (Bytes{255, 255, 255, 255, 0, 0, 0, 255}));
    EXPECT_EQ(roundTrip(image(4, 1, PNG_COLOR_TYPE_GRAY, 2, {{0b00011011}})),
              (Bytes{0, 0, 0, 255, 85, 85, 85, 255, 170, 170, 170, 255, 255, 255, 255, 255}));
    EXPECT_EQ(roundTrip(image(2, 1, PNG_COLOR_TYPE_GRAY, 4, {{0x5F}})),
              (Bytes{85, 85, 85, 255, 255, 255, 255, 255}));
    EXPECT_EQ(roundTrip(image(1, 1, PNG_COLOR_TYPE_GRAY, 16, {{0xAB, 0xCD}})), (Bytes{0xAB, 0xAB, 0xAB, 255}));
}

TEST_F(PngLoaderTest, GreyWithAlphaKeepsItsAlpha) {
    EXPECT_EQ(roundTrip(image(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{40, 128, 200, 0}})),
              (Bytes{40, 40, 40, 128, 200, 200, 200, 0}));
}

TEST_F(PngLoaderTest, TransparentColourOfGreyAndRgbBecomesAlphaZero) {
    PngImage grey = image(2, 1, PNG_COLOR_TYPE_GRAY, 4, {{0x3A}});
    grey.hasTrnsColor = true;
    grey.trnsColor.gray = 3;
    EXPECT_EQ(roundTrip(grey), (Bytes{51, 51, 51, 0, 170, 170, 170, 255}));

    PngImage rgb = image(2, 1, PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3, 4, 5, 6}});
    rgb.hasTrnsColor = true;
    rgb.trnsColor.red = 4;
    rgb.trnsColor.green = 5;
    rgb.trnsColor.blue = 6;
    EXPECT_EQ(roundTrip(rgb), (Bytes{1, 2, 3, 255, 4, 5, 6, 0}));
}

TEST_F(PngLoaderTest, SixteenBitChannelsKeepTheirHighByte) {
    EXPECT_EQ(roundTrip(image(1, 1, PNG_COLOR_TYPE_RGBA, 16, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}})),
              (Bytes{0x12, 0x56, 0x9A, 0xDE}));
    EXPECT_EQ(roundTrip(image(1, 1, PNG_COLOR_TYPE_RGB, 16, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}})),
              (Bytes{0x12, 0x56, 0x9A, 0xFF}));
}

TEST_F(PngLoaderTest, LargestAcceptedSizeLoads) {
    roundTrip(blankGrey(PNG_MAX_DIMENSION, 1));
    EXPECT_EQ(width, 4096u);
    roundTrip(blankGrey(1, PNG_MAX_DIMENSION));
    EXPECT_EQ(height, 4096u);
}

// Every failure is one line on standard error and exit status 1.

TEST_F(PngLoaderTest, MissingFileStopsTheProcess) {
    std::string p = dir.path("missing.png");
    EXPECT_EXIT(read_png_file(p.c_str(), width, height), ExitedWithCode(1),
                Eq("[read_png_file] File " + p + " could not be opened for reading\n"));
}

TEST_F(PngLoaderTest, MissingFileWithALongPathIsNamedInFull) {
    std::string p = dir.path("");
    for (int k = 0; k < 12; ++k) p += std::string(100, char('a' + k)) + "/";
    p += "tile.png";
    EXPECT_EXIT(read_png_file(p.c_str(), width, height), ExitedWithCode(1),
                Eq("[read_png_file] File " + p + " could not be opened for reading\n"));
}

TEST_F(PngLoaderTest, FilesThatAreNotPngStopTheProcess) {
    std::string bmp = dir.path("tile.png");
    writeBytes(bmp, solidBmp24(4, 4, 1, 2, 3));
    EXPECT_EXIT(read_png_file(bmp.c_str(), width, height), ExitedWithCode(1),
                Eq("[read_png_file] File " + bmp + " is not recognized as a PNG file\n"));

    std::string tiny = dir.path("tiny.png");
    writeBytes(tiny, {0x89, 'P', 'N', 'G'});   // the signature cut short
    EXPECT_EXIT(read_png_file(tiny.c_str(), width, height), ExitedWithCode(1),
                Eq("[read_png_file] File " + tiny + " is not recognized as a PNG file\n"));
}

TEST_F(PngLoaderTest, TruncatedImageDataStopsTheProcess) {
    std::string p = dir.path("cut.png");
    std::vector<Bytes> rows(32);
    for (size_t y = 0; y < rows.size(); ++y)
        for (int x = 0; x < 32 * 3; ++x) rows[y].push_back(uint8_t(x * 7 + y * 13));
    ASSERT_TRUE(writePng(p, image(32, 32, PNG_COLOR_TYPE_RGB, 8, rows)));
    std::filesystem::resize_file(p, std::filesystem::file_size(p) / 2);
    EXPECT_EXIT(read_png_file(p.c_str(), width, height), ExitedWithCode(1),
                AllOf(HasSubstr("libpng error: "), EndsWith("\n[read_png_file] Error during init_io\n")));
}

TEST_F(PngLoaderTest, ImagesBeyondTheSizeLimitAreRefusedBeforeAllocating) {
    std::string wide = dir.path("wide.png");
    ASSERT_TRUE(writePng(wide, blankGrey(4097, 1)));
    EXPECT_EXIT(read_png_file(wide.c_str(), width, height), ExitedWithCode(1),
                Eq("[read_png_file] File " + wide + " is too large: 4097 x 1 pixels, at most 4096 x 4096\n"));

    std::string tall = dir.path("tall.png");
    ASSERT_TRUE(writePng(tall, blankGrey(1, 16385)));
    EXPECT_EXIT(read_png_file(tall.c_str(), width, height), ExitedWithCode(1),
                Eq("[read_png_file] File " + tall + " is too large: 1 x 16385 pixels, at most 4096 x 4096\n"));
}

}  // namespace
