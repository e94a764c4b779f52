// tileManager_test.cpp — the tile catalogue over small images written into a temporary working folder.
#include "tileManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "Bitmap/Bitmap.h"
#include "testImages.h"

using namespace testimages;
using ::testing::Eq;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;

namespace {

using Bytes = std::vector<uint8_t>;

// The catalogue as a player meets it, built independently of the table in the
// module: the five terrain files, then families of four facings N, S, E, W.
struct Expected {
    TILE_TYPE code;
    std::string stem;
};

std::vector<Expected> expectedCatalogue() {
    std::vector<Expected> all = {{FLOOR, "sand"}, {WATER, "water"}, {IN_FLOOR, "in_floor"},
                                 {WALL, "wall"}, {EXIT, "stairs"}};
    const char* facings[] = {"back", "front", "right", "left"};
    const std::pair<TILE_TYPE, const char*> families[] = {
        {ILL_N, "hero"}, {DOG_N, "dog"}, {GUARD_N, "g1"}, {SG_N, "command"},
        {FAKE_DOG_N, "dogfake"}, {FAKE_GUARD_N, "g1fake"}, {FAKE_SG_N, "commandfake"}};
    for (const auto& [first, name] : families)
        for (int f = 0; f < 4; ++f)
            all.push_back({TILE_TYPE(first + f), std::string(name) + "_" + facings[f]});
    all.push_back({FOOD, "pizza"});
    all.push_back({DEAD_BODY, "bones"});
    for (int f = 0; f < 4; ++f) all.push_back({TILE_TYPE(CLOAK_N + f), std::string("cloak_") + facings[f]});
    for (auto& e : all) e.stem = "assets/tiles/" + e.stem;
    return all;
}

bool isTerrain(TILE_TYPE code) { return code >= FLOOR && code <= EXIT; }

// Each image tells where it came from: terrain code c is a (c + 1) × 2 BMP of
// colour (c, 100, 200); PNG code c is a 1 × (c % 7 + 1) image of colour (c, 1, 2).
png_uint_32 pngHeight(TILE_TYPE code) { return code % 7 + 1; }

void writeAssets(const TempDir& dir, const std::set<std::string>& skip = {}) {
    for (const Expected& e : expectedCatalogue()) {
        if (isTerrain(e.code)) {
            std::string name = e.stem + ".bmp";
            if (!skip.count(name)) writeBytes(dir.path(name), solidBmp24(e.code + 1, 2, uint8_t(e.code), 100, 200));
        } else {
            std::string name = e.stem + ".png";
            PngImage img;
            img.height = pngHeight(e.code);
            img.rows.assign(img.height, Bytes{uint8_t(e.code), 1, 2});
            if (!skip.count(name)) writePng(dir.path(name), img);
        }
    }
    if (!skip.count("assets/screens/title.bmp"))
        writeBytes(dir.path("assets/screens/title.bmp"), solidBmp24(8, 6, 1, 2, 3));
    if (!skip.count("assets/screens/ending.bmp")) {
        std::vector<Bytes> rows(6, Bytes(8 * 4, 0x44));
        writeBytes(dir.path("assets/screens/ending.bmp"), bmpFile(8, 6, 32, rows));
    }
}

// Runs the catalogue's loading with `dir` as the working folder.
void initTilesIn(const TempDir& dir) {
    std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.root());
    initTiles();
    std::filesystem::current_path(before);
}

// Declared first: once a test in this process has run initTiles, the screens stay loaded.
TEST(TileCatalogue, ScreensAreNullBeforeInitTiles) {
    EXPECT_EQ(getTitleScreen(), nullptr);
    EXPECT_EQ(getEndingScreen(), nullptr);
}

TEST(TileCatalogue, EveryCodeGetsTheImageOfItsOwnFile) {
    TempDir dir;
    writeAssets(dir);
    initTilesIn(dir);

    for (const Expected& e : expectedCatalogue()) {
        SCOPED_TRACE(e.stem);
        int w = -1, h = -1;
        unsigned char* png = getTilePng(e.code, w, h);
        Bitmap* bmp = getTileBmp(e.code);
        if (isTerrain(e.code)) {
            ASSERT_NE(bmp, nullptr);
            EXPECT_TRUE(bmp->loaded);
            EXPECT_EQ(bmp->width, e.code + 1);
            EXPECT_EQ(static_cast<uint8_t>(bmp->data[0]), e.code);
            EXPECT_EQ(png, nullptr);
            EXPECT_EQ(w, 0);
            EXPECT_EQ(h, 0);
        } else {
            EXPECT_EQ(bmp, nullptr);
            ASSERT_NE(png, nullptr);
            EXPECT_EQ(w, 1);
            EXPECT_EQ(h, static_cast<int>(pngHeight(e.code)));
            EXPECT_EQ(Bytes(png, png + 4), (Bytes{uint8_t(e.code), 1, 2, 255}));
        }
    }
    ASSERT_NE(getTitleScreen(), nullptr);
    EXPECT_EQ(getTitleScreen()->bpp, 24);
    EXPECT_EQ(getTitleScreen()->width, 8);
    ASSERT_NE(getEndingScreen(), nullptr);
    EXPECT_EQ(getEndingScreen()->bpp, 32);
}

TEST(TileCatalogue, EndsOfTheThreeRangesPassTheCheck) {
    for (TILE_TYPE code : {FLOOR, EXIT, ILL_N, FAKE_SG_W, FOOD, CLOAK_W}) {
        int w = -1, h = -1;
        getTilePng(code, w, h);
        getTileBmp(code);
        EXPECT_GE(w, 0) << code;
    }
}

const char* const rangeAssertion =
    "Assertion `boundsCheck(tile, FLOOR, EXIT) || boundsCheck(tile, ILL_N, FAKE_SG_W) || "
    "boundsCheck(tile, FOOD, CLOAK_W)' failed";

TEST(TileCatalogueDeathTest, CodesOutsideTheCatalogueStopWithTheRangeAssertion) {
    for (int32_t code : {5, 9, 38, 199, 206, -1, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(code);
        EXPECT_DEATH(getTileBmp(TILE_TYPE(code)), HasSubstr(rangeAssertion));
        int w = 0, h = 0;
        EXPECT_DEATH(getTilePng(TILE_TYPE(code), w, h), HasSubstr(rangeAssertion));
    }
}

// Start-up failures: one line on standard error naming the file, status 1.

TEST(TileCatalogueDeathTest, MissingPlayerTileStopsAfterTheTerrainLoaded) {
    TempDir dir;
    writeAssets(dir, {"assets/tiles/hero_back.png"});
    EXPECT_EXIT(initTilesIn(dir), ExitedWithCode(1),
                Eq("[read_png_file] File assets/tiles/hero_back.png could not be opened for reading\n"));
}

TEST(TileCatalogueDeathTest, TerrainIsLoadedBeforeAnyPng) {
    TempDir dir;
    writeAssets(dir, {"assets/tiles/hero_back.png"});
    writeBytes(dir.path("assets/tiles/stairs.bmp"), {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
    EXPECT_EXIT(initTilesIn(dir), ExitedWithCode(1),
                Eq("[initTiles] File assets/tiles/stairs.bmp could not be loaded: File is not in DIB format\n"));
}

TEST(TileCatalogueDeathTest, UnreadablePngTileStopsStartUp) {
    TempDir dir;
    writeAssets(dir);
    writeBytes(dir.path("assets/tiles/pizza.png"), solidBmp24(4, 1, 1, 2, 3));
    EXPECT_EXIT(initTilesIn(dir), ExitedWithCode(1),
                Eq("[read_png_file] File assets/tiles/pizza.png is not recognized as a PNG file\n"));
}

TEST(TileCatalogueDeathTest, MissingOrBrokenScreenStopsStartUp) {
    TempDir dir;
    writeAssets(dir, {"assets/screens/ending.bmp"});
    EXPECT_EXIT(initTilesIn(dir), ExitedWithCode(1),
                Eq("[initTiles] File assets/screens/ending.bmp could not be loaded: File not found\n"));

    writeBytes(dir.path("assets/screens/title.bmp"), bmpHeader(800, -600, 24));
    EXPECT_EXIT(initTilesIn(dir), ExitedWithCode(1),
                Eq("[initTiles] File assets/screens/title.bmp could not be loaded: "
                   "Top-down bitmaps (negative height) are not supported\n"));
}

}  // namespace
