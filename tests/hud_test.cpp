// hud_test.cpp — what the border around the board shows for a board state.
#include "hud.h"
#include "levelScenario.h"

#include <cmath>

#include "Bitmap/Bitmap.h"
#include "levelSelect.h"
#include "rewind.h"
#include "repositoryRoot.h"

class Hud : public LevelScenario {};

TEST_F(Hud, ShowsTheLevelOfTheLevelsPresentAndTheStocks) {
    const std::string level = levelText({"...", "..."}, {1, 0, FA_S}, {}, {}, {}, {2, 1, 3, 0});
    for (int n = 1; n < 4; ++n) writeLevel(n, level);
    play(level);
    HudState hud = hudState(board());
    EXPECT_EQ(hudLevelText(hud), "Level 1 / 4");
    EXPECT_EQ(hud, (HudState{1, 4, 2, 1, 3, 0, 0, ""}));

    board().useFood();
    board().useDeadBody();  // (1, 1) holds the food: refused
    EXPECT_EQ(hudState(board()), (HudState{1, 4, 1, 1, 3, 0, 0, ""}));

    // The count follows the files present at the last load.
    writeLevel(4, level);
    loadNextBoard();
    loadNextBoard();
    EXPECT_EQ(hudLevelText(hudState(board())), "Level 3 / 5");
    std::filesystem::remove("assets/levels/level04.txt");
    loadCurrBoard();
    EXPECT_EQ(hudLevelText(hudState(board())), "Level 3 / 4");
}

TEST_F(Hud, CountsTheCloakDownInTenthsRoundedUp) {
    play(levelText({".."}, {0, 0, FA_E}, {}, {}, {}, {0, 0, 2, 0}));
    EXPECT_EQ(hudCloakText(hudState(board())), "");
    board().useCloak();
    struct {
        int advanceMs;
        const char* text;
    } const steps[] = {{0, "cloak 2.0 s"}, {1, "cloak 2.0 s"}, {99, "cloak 1.9 s"},
                       {1350, "cloak 0.6 s"}, {549, "cloak 0.1 s"}};
    for (const auto& step : steps) {
        runFor(step.advanceMs, 1);
        EXPECT_EQ(hudCloakText(hudState(board())), step.text) << "at " << clock.now() << " ms";
        // Above the player, the same time without the words.
        EXPECT_EQ("cloak " + hudCloakSeconds(hudState(board())) + " s", step.text);
    }
    runFor(1, 1);  // two seconds: the cloak is off
    EXPECT_FALSE(board().getIll().isCloaked);
    EXPECT_EQ(hudState(board()).cloakTenthsLeft, 0);
    EXPECT_EQ(hudCloakSeconds(hudState(board())), "");
    EXPECT_EQ(hudState(board()).cloak, 1);
}

// The reminder below the board names each key that is not a power with what it does, and
// each named key does that in a level.
TEST_F(Hud, KeyReminderNamesEachKeyAndEachDoesWhatItSays) {
    const std::string reminder = hudKeyReminder();
    for (const char* entry : {"? hint", "u back", "Esc levels", "v sight", "r restart", "m sound", "-= music",
                              "[] effects", "q quit"})
        EXPECT_NE(reminder.find(entry), std::string::npos) << entry;
    EXPECT_EQ(reminder.find("Esc levels"), reminder.find("u back") + 9) << "the game's keys first, in order";

    const std::string level = levelText({"....E"}, {0, 0, FA_E});
    const struct {
        const char* keys;
        const char* does;
        bool (*done)(Board&);
    } presses[] = {
        {"dd", "steps", [](Board& b) { return b.getIll().x == 2; }},
        {"ddu", "takes the step back", [](Board& b) { return b.getIll().x == 1 && keysOnLine() == 1; }},
        {"ddr", "restarts", [](Board& b) { return b.getIll().x == 0 && keysOnLine() == 0; }},
        {"v", "shows the sight", [](Board&) { return sightOverlayShown(); }},
        {"\x1b", "opens the levels", [](Board&) { return atLevelSelect(); }},
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(p.does);
        play(level);
        beginTry();
        gotoMainGame();
        testing::internal::CaptureStdout();
        press(p.keys);
        testing::internal::GetCapturedStdout();
        EXPECT_TRUE(p.done(board()));
        if (sightOverlayShown()) toggleSightOverlay();
    }
}

TEST_F(Hud, OverlayIsOffAtStartAndEachToggleFlipsIt) {
    EXPECT_FALSE(sightOverlayShown());
    toggleSightOverlay();
    EXPECT_TRUE(sightOverlayShown());
    toggleSightOverlay();
    EXPECT_FALSE(sightOverlayShown());
}

namespace {
struct Colour {
    double r = 0, g = 0, b = 0;
};

// Hue in degrees, 0 red, 120 green, 240 blue.
double hueOf(Colour c) {
    const double hi = std::max({c.r, c.g, c.b}), lo = std::min({c.r, c.g, c.b});
    if (hi == lo) return 0;
    double h = hi == c.r ? std::fmod((c.g - c.b) / (hi - lo) + 6, 6) : hi == c.g ? (c.b - c.r) / (hi - lo) + 2
                                                                                  : (c.r - c.g) / (hi - lo) + 4;
    return h * 60;
}
double luma(Colour c) { return 0.3 * c.r + 0.59 * c.g + 0.11 * c.b; }
}  // namespace

class SightTint : public RepositoryRootTest {};

// Every shipped terrain tile, tinted: the same red within a few degrees of hue and close
// in brightness, where a translucent red laid over them turns purple on water. The tile's
// texture still shows through.
TEST_F(SightTint, ReadsTheSameOnEveryTerrain) {
    double hueLo = 360, hueHi = 0, lumaLo = 255, lumaHi = 0, blendHueHi = 0;
    for (const char* name : {"sand", "water", "in_floor", "wall", "stairs"}) {
        SCOPED_TRACE(name);
        Bitmap bmp((std::string("assets/tiles/") + name + ".bmp").c_str());
        ASSERT_TRUE(bmp.loaded) << bmp.error;
        const int bytes = bmp.bpp == 32 ? 4 : 3;
        const std::vector<uint8_t> tinted =
            sightTintedImage(reinterpret_cast<const uint8_t*>(bmp.data), bmp.width, bmp.height, bytes);
        ASSERT_EQ(tinted.size(), static_cast<size_t>(bmp.width) * bmp.height * 4);
        Colour mean, blended;
        int lo = 255, hi = 0;
        const size_t stride = (static_cast<size_t>(bmp.width) * bytes + 3) / 4 * 4;
        for (int y = 0; y < bmp.height; ++y)
            for (int x = 0; x < bmp.width; ++x) {
                const uint8_t* t = &tinted[(static_cast<size_t>(y) * bmp.width + x) * 4];
                EXPECT_EQ(t[3], 255);
                mean.r += t[0];
                mean.g += t[1];
                mean.b += t[2];
                lo = std::min<int>(lo, t[0]);
                hi = std::max<int>(hi, t[0]);
                const auto* in = reinterpret_cast<const uint8_t*>(bmp.data) + y * stride + x * bytes;
                const double a = 96 / 255.0;  // the overlay this one replaces
                blended.r += in[0] * (1 - a) + 255 * a;
                blended.g += in[1] * (1 - a) + 48 * a;
                blended.b += in[2] * (1 - a) + 32 * a;
            }
        const double n = static_cast<double>(bmp.width) * bmp.height;
        mean = {mean.r / n, mean.g / n, mean.b / n};
        blended = {blended.r / n, blended.g / n, blended.b / n};
        const double hue = hueOf(mean);
        hueLo = std::min(hueLo, hue);
        hueHi = std::max(hueHi, hue);
        lumaLo = std::min(lumaLo, luma(mean));
        lumaHi = std::max(lumaHi, luma(mean));
        const double bh = hueOf(blended);
        blendHueHi = std::max(blendHueHi, bh > 180 ? 360 - bh : bh);
        EXPECT_LT(hue, 20) << "a red, not an orange or a purple";
        EXPECT_GT(mean.r, 2 * mean.g) << "a strong red";
        EXPECT_GT(hi, lo) << "the texture is gone";
    }
    EXPECT_LT(hueHi - hueLo, 5);
    EXPECT_LT(lumaHi - lumaLo, 40);
    EXPECT_GT(blendHueHi, 30) << "the translucent tint this replaces was even already?";
}

TEST(SightTintPixel, KeepsBrightnessOrderInANarrowBand) {
    const struct {
        uint8_t r, g, b;
    } darkToBright[] = {{0, 0, 0}, {30, 60, 200}, {90, 90, 90}, {200, 160, 60}, {255, 255, 255}};
    int previous = -1;
    for (const auto& c : darkToBright) {
        const std::array<uint8_t, 3> t = sightTint(c.r, c.g, c.b);
        const int l = t[0] + t[1] + t[2];
        EXPECT_GT(l, previous);
        previous = l;
        EXPECT_GT(t[0], t[1]);
        EXPECT_GT(t[1], t[2]);
    }
    const std::array<uint8_t, 3> black = sightTint(0, 0, 0), white = sightTint(255, 255, 255);
    // Black to white spans under a quarter of the full range.
    EXPECT_LT(white[0] + white[1] + white[2] - (black[0] + black[1] + black[2]), 3 * 255 / 4);
}
