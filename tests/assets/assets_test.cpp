// assets_test.cpp — the committed images, read through the game's own loaders, suit the board:
// right sizes and formats, transparent around the figures, every facing and family told apart.
#include "Bitmap/Bitmap.h"
#include "pngLoader.h"
#include "repositoryRoot.h"
#include "tileManager.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;    // bottom row first, as the loader gives it
    uint8_t alpha(int x, int y) const { return rgba[(size_t(y) * width + x) * 4 + 3]; }
};

class Assets : public RepositoryRootTest {
protected:

    static Picture png(const std::string& stem)
    {
        png_uint_32 w = 0, h = 0;
        png_bytep px = read_png_file(("assets/tiles/" + stem + ".png").c_str(), w, h);
        Picture p{int(w), int(h), std::vector<uint8_t>(px, px + size_t(w) * h * 4)};
        std::free(px);
        return p;
    }

    // Share of the picture's pixels whose colour or alpha differs between two pictures.
    static double difference(const Picture& a, const Picture& b)
    {
        size_t differing = 0;
        for (size_t i = 0; i < a.rgba.size(); i += 4)
            for (size_t c = 0; c < 4; ++c)
                if (std::abs(int(a.rgba[i + c]) - int(b.rgba[i + c])) > 24) {
                    ++differing;
                    break;
                }
        return double(differing) / double(a.rgba.size() / 4);
    }

};

const char* const FACINGS[] = {"back", "front", "right", "left"};

}

TEST_F(Assets, EveryCatalogueImageLoadsAtTheSizeOfABoardSquare)
{
    for (const TilePair& pair : allTilePairs) {
        SCOPED_TRACE(pair.filename);
        if (pair.type <= EXIT) {
            Bitmap bmp((std::string(pair.filename) + ".bmp").c_str());
            ASSERT_TRUE(bmp.loaded) << bmp.error;
            EXPECT_EQ(bmp.bpp, 24);
            EXPECT_EQ(bmp.width, 64);
            EXPECT_EQ(bmp.height, 48);
        } else {
            std::string stem = std::string(pair.filename).substr(std::string("assets/tiles/").size());
            Picture p = png(stem);
            EXPECT_EQ(p.width, 64);
            EXPECT_EQ(p.height, 48);
        }
    }
    for (const char* screen : {"assets/screens/title.bmp", "assets/screens/ending.bmp"}) {
        Bitmap bmp(screen);
        ASSERT_TRUE(bmp.loaded) << screen << ": " << bmp.error;
        EXPECT_EQ(bmp.bpp, 24);
        EXPECT_EQ(bmp.width, 800);
        EXPECT_EQ(bmp.height, 600);
    }
}

TEST_F(Assets, ActorTilesShowAFigureOnATransparentGround)
{
    for (const TilePair& pair : allTilePairs) {
        if (pair.type <= EXIT)
            continue;
        std::string stem = std::string(pair.filename).substr(std::string("assets/tiles/").size());
        SCOPED_TRACE(stem);
        Picture p = png(stem);
        int covered = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                covered += p.alpha(x, y) > 0;
        // The terrain must show around the figure, and the figure must be big enough to read.
        EXPECT_EQ(p.alpha(0, 0), 0);
        EXPECT_EQ(p.alpha(63, 0), 0);
        EXPECT_EQ(p.alpha(0, 47), 0);
        EXPECT_EQ(p.alpha(63, 47), 0);
        EXPECT_GT(covered, 64 * 48 / 8);
        EXPECT_LT(covered, 64 * 48 * 3 / 4);
    }
}

TEST_F(Assets, EachFacingOfAFamilyLooksDifferent)
{
    for (const char* family : {"hero", "g1", "dog", "command", "g1fake", "dogfake", "commandfake", "cloak"}) {
        std::vector<Picture> views;
        for (const char* f : FACINGS)
            views.push_back(png(std::string(family) + "_" + f));
        for (size_t i = 0; i < views.size(); ++i)
            for (size_t j = i + 1; j < views.size(); ++j)
                EXPECT_GT(difference(views[i], views[j]), 0.05)
                    << family << ": " << FACINGS[i] << " and " << FACINGS[j] << " look alike";
    }
}

TEST_F(Assets, FakesAreTheirOwnImagesNotThePlayerOrEachOther)
{
    for (const char* f : FACINGS) {
        std::map<std::string, Picture> kinds;
        for (const char* family : {"hero", "g1fake", "dogfake", "commandfake"})
            kinds[family] = png(std::string(family) + "_" + f);
        for (auto a = kinds.begin(); a != kinds.end(); ++a)
            for (auto b = std::next(a); b != kinds.end(); ++b)
                EXPECT_GT(difference(a->second, b->second), 0.05) << a->first << " and " << b->first << " (" << f << ")";
    }
}

// Cloaked, the player still sees the whole figure, clearly, but veiled: nothing of it fully
// opaque, the body neither faint nor solid, inside a bright cyan ring.
TEST_F(Assets, TheCloakedPlayerIsWholeButVeiledAndRinged)
{
    for (const char* f : FACINGS) {
        Picture cloak = png(std::string("cloak_") + f), hero = png(std::string("hero_") + f);
        int cloakSolid = 0, heroSolid = 0, bodyShown = 0, ringCyan = 0;
        long bodyAlpha = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const uint8_t a = cloak.alpha(x, y);
                const uint8_t* c = &cloak.rgba[(size_t(y) * 64 + x) * 4];
                cloakSolid += a == 255;
                if (hero.alpha(x, y) == 255) {
                    ++heroSolid;
                    bodyAlpha += a;
                    bodyShown += a >= 100;
                }
                ringCyan += a >= 200 && c[2] >= 220 && c[1] >= 200 && c[0] < 160;
            }
        EXPECT_EQ(cloakSolid, 0) << f;
        EXPECT_GT(heroSolid, 64 * 48 / 8) << f;
        EXPECT_GE(bodyShown, heroSolid * 95 / 100) << f << ": parts of the figure are faint or gone";
        EXPECT_GE(bodyAlpha, 140L * heroSolid) << f << ": the figure is too faint to follow";
        EXPECT_LE(bodyAlpha, 210L * heroSolid) << f << ": the figure is too solid to read as cloaked";
        EXPECT_GE(ringCyan, 40) << f << ": no bright ring";
        EXPECT_GT(difference(cloak, hero), 0.05) << f;
    }
}

TEST_F(Assets, TerrainKindsAreDistinctInColour)
{
    std::map<std::string, std::array<double, 3>> mean;
    for (const char* stem : {"sand", "water", "in_floor", "wall", "stairs"}) {
        Bitmap bmp(("assets/tiles/" + std::string(stem) + ".bmp").c_str());
        ASSERT_TRUE(bmp.loaded);
        std::array<double, 3> m{};
        for (int i = 0; i < bmp.width * bmp.height; ++i)
            for (int c = 0; c < 3; ++c)
                m[c] += uint8_t(bmp.data[i * 3 + c]) / double(bmp.width * bmp.height);
        mean[stem] = m;
    }
    for (auto a = mean.begin(); a != mean.end(); ++a)
        for (auto b = std::next(a); b != mean.end(); ++b) {
            double d = 0;
            for (int c = 0; c < 3; ++c)
                d += std::abs(a->second[c] - b->second[c]);
            EXPECT_GT(d, 40.0) << a->first << " and " << b->first << " have nearly the same colour";
        }
}
