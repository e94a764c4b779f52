// levelChart_test.cpp — the difficulty chart: bars as tall as the keys, the needed powers as
// coloured squares under their level, the same bytes for the same levels.
#include "levelChart.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "levelFiles.h"
#include "pngLoader.h"

namespace {

struct Picture {
    png_uint_32 width = 0, height = 0;
    png_bytep pixels = nullptr;  // bottom row first
    ~Picture() { std::free(pixels); }
    uint32_t at(int x, int y) const {  // y from the top, as the chart is drawn
        const png_bytep p = pixels + ((height - 1 - y) * width + x) * 4;
        return p[0] << 16 | p[1] << 8 | p[2];
    }
    // The rows, from the top, of column x that have this colour.
    int count(int x, uint32_t colour) const {
        int n = 0;
        for (png_uint_32 y = 0; y < height; ++y) n += at(x, y) == colour;
        return n;
    }
};

class LevelChart : public LevelDirTest {};

TEST_F(LevelChart, BarsFollowTheKeysAndSquaresTheNeeds) {
    ASSERT_TRUE(writeLevelChart({{10, ""}, {20, "k"}, {40, "hjkl"}}, "chart.png"));
    Picture pic;
    pic.pixels = read_png_file("chart.png", pic.width, pic.height);
    EXPECT_EQ(pic.width, 420u);  // the legend's width at the least

    // Bars start 54 px from the left, one per 28 px; the plot is 200 px for the scale's 40 keys.
    const int bar[] = {54 + 11, 54 + 28 + 11, 54 + 56 + 11};
    const uint32_t plain = 0x8fb8d8;
    EXPECT_EQ(pic.count(bar[0], plain), 50);                // 10 of 40 keys
    EXPECT_EQ(pic.count(bar[1], pic.at(bar[1], 243)), 100);  // 20 keys, darker for a power
    EXPECT_NE(pic.at(bar[1], 243), plain);
    int tall = 0;
    for (png_uint_32 y = 44; y < 244; ++y) tall += pic.at(bar[2], y) != 0x16161c && pic.at(bar[2], y) != 0x34343c;
    EXPECT_GE(tall, 195);                                   // 40 keys: the whole plot, but the grid lines

    // The power squares: food, body, cloak, fake in rows of 10 px below the plot.
    const uint32_t colours[] = {0xe0a030, 0xb04040, 0x6060e0, 0x40b060};
    for (int p = 0; p < 4; ++p) {
        int y = 44 + 200 + 16 + p * 10 + 4;
        EXPECT_NE(pic.at(bar[0], y), colours[p]) << "level 0 needs nothing";
        EXPECT_EQ(pic.at(bar[1], y) == colours[p], p == 2) << "level 1 needs only the cloak";
        EXPECT_EQ(pic.at(bar[2], y), colours[p]) << "level 2 needs all four";
    }

    // Deterministic: the committed chart can be compared byte for byte.
    ASSERT_TRUE(writeLevelChart({{10, ""}, {20, "k"}, {40, "hjkl"}}, "again.png"));
    auto bytes = [](const char* path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(bytes("chart.png"), bytes("again.png"));
    EXPECT_FALSE(writeLevelChart({{1, ""}}, "no-such-dir/chart.png"));
}

}  // namespace
