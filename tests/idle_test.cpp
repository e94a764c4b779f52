// idle_test.cpp — the tick: its three phases, their order, and when no game time passes.
#include "levelScenario.h"

class Tick : public LevelScenario {};

TEST_F(Tick, NoGameTimePassesOnTheTitleOrEndingScreens) {
    play(levelText({"...."}, {2, 0, FA_W}, {{0, 0, FA_E}}, {}, {}, {0, 0, 1, 0}));
    board().useCloak();
    for (auto screen : {gotoTitle, gotoEnding}) {
        screen();
        redraws = 0;
        runFor(5000);
        EXPECT_EQ(redraws, 500);  // every tick still asks for a frame
        EXPECT_TRUE(board().getIll().isCloaked);
    }
    gotoMainGame();
    runFor(10);
    EXPECT_TRUE(board().hasLost());  // the cloak ran out at the first tick of play
}

TEST_F(Tick, WithNoBoardNothingHappens) {
    play(levelText({"."}, {0, 0, FA_N}));
    loadNextBoard();  // past the last level
    ASSERT_EQ(getCurrentBoard(), nullptr);
    runFor(100);
    EXPECT_EQ(redraws, 0);
}

TEST_F(Tick, FoodIsStillSeenInTheTickItExpires) {
    // Facing west, the guard only sees the food once it has turned at home.
    play(levelText({"....", "...."}, {2, 1, FA_N}, {{2, 0, FA_E}}, {}, {}, {1, 0, 0, 0}));
    board().useFood();  // (2, 0) is taken, so nothing is placed
    EXPECT_TRUE(board().getFoods().empty());
    board().moveLeft();
    board().moveLeft();  // (1, 1)
    board().moveUp();
    board().useFood();  // (1, 0), behind the guard
    ASSERT_EQ(board().getFoods().size(), 1u);
    board().getGuards()[0].o = FA_W;
    // No tick for 2 s: the next one kills the food and still lets the guard see it.
    clock.advance(2000);
    runCallbackPhase();
    EXPECT_TRUE(board().getFoods()[0].isDead());
    runEnemyPhase();
    EXPECT_TRUE(board().getGuards()[0].approachFlag);
    runRemoveDeadPhase();
    EXPECT_TRUE(board().getFoods().empty());
}

TEST_F(Tick, AFakeKilledEarlierInTheTickStillBlocksSightUntilErased) {
    play(levelText({".....", ".....", "....."}, {3, 0, FA_N},
                   {{0, 1, FA_E}, {3, 1, FA_W}, {3, 2, FA_N}}));
    board().getGuards()[1].makeFakeIll();  // shot by the first guard, then the last
    runEnemyPhase();
    EXPECT_TRUE(board().getGuards()[1].isDead());
    EXPECT_FALSE(board().hasLost());  // the last guard's view of the player was blocked
    runRemoveDeadPhase();
    ASSERT_EQ(board().getGuards().size(), 2u);
    EXPECT_EQ(board().getGuards()[1].y, 2);
    runEnemyPhase();
    EXPECT_TRUE(board().hasLost());
}

TEST(RemoveDead, KeepsTheSurvivorsInOrder) {
    std::vector<Guard> guards;
    for (int x = 0; x < 6; ++x) guards.emplace_back(x, 0, FA_N);
    for (int dead : {0, 2, 3, 5}) guards[dead].kill();
    removeDead(guards);
    ASSERT_EQ(guards.size(), 2u);
    EXPECT_EQ(guards[0].x, 1);
    EXPECT_EQ(guards[1].x, 4);

    for (Guard& g : guards) g.kill();
    removeDead(guards);
    EXPECT_TRUE(guards.empty());
}
