// hud_test.cpp — what the border around the board shows for a board state.
#include "hud.h"
#include "levelScenario.h"

class Hud : public LevelScenario {};

TEST_F(Hud, ShowsTheLevelOfTheLevelsPresentAndTheStocks) {
    const std::string level = levelText({"...", "..."}, {1, 0, FA_S}, {}, {}, {}, {2, 1, 3, 0});
    for (int n = 1; n < 4; ++n) writeLevel(n, level);
    play(level);
    HudState hud = hudState(board());
    EXPECT_EQ(hudLevelText(hud), "Level 1 / 4");
    EXPECT_EQ(hud, (HudState{1, 4, 2, 1, 3, 0, 0}));

    board().useFood();
    board().useDeadBody();  // (1, 1) holds the food: refused
    EXPECT_EQ(hudState(board()), (HudState{1, 4, 1, 1, 3, 0, 0}));

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
    }
    runFor(1, 1);  // two seconds: the cloak is off
    EXPECT_FALSE(board().getIll().isCloaked);
    EXPECT_EQ(hudState(board()).cloakTenthsLeft, 0);
    EXPECT_EQ(hudState(board()).cloak, 1);
}

TEST_F(Hud, OverlayIsOffAtStartAndEachToggleFlipsIt) {
    EXPECT_FALSE(sightOverlayShown());
    toggleSightOverlay();
    EXPECT_TRUE(sightOverlayShown());
    toggleSightOverlay();
    EXPECT_FALSE(sightOverlayShown());
}
