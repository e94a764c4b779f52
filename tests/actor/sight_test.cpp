// sight_test.cpp — what guards, dogs and commanders see and how they react, played on real levels.
#include "levelScenario.h"

using Trace = std::vector<std::string>;

class Sight : public LevelScenario {
protected:
    // Row 1 is the enemies' line of sight; the player stands on it at column 6.
    Board& lineWith(const char* row1, std::vector<Placed> guards, std::vector<Placed> dogs = {},
                    std::vector<Placed> sgs = {}) {
        return play(levelText({".......", row1, "......."}, {6, 1, FA_W}, guards, dogs, sgs));
    }
    void tick() { runFor(10); }
};

TEST_F(Sight, WaterAndExitDoNotStopSightButAWallDoes) {
    lineWith(".~E~...", {{0, 1, FA_E}});
    tick();
    EXPECT_TRUE(board().hasLost());
    EXPECT_TRUE(board().getIll().isDead());

    lineWith("..#....", {{0, 1, FA_E}});
    runFor(1000);
    EXPECT_FALSE(board().hasLost());
}

TEST_F(Sight, CloakedPlayerIsNeitherSeenNorInTheWay) {
    // The guard looks west past the cloaked player at a fake dog behind it.
    play(levelText({"......"}, {3, 0, FA_N}, {{5, 0, FA_W}}, {{1, 0, FA_E}}, {}, {0, 0, 1, 0}));
    board().useCloak();
    board().getDogs()[0].makeFakeIll();
    tick();
    EXPECT_FALSE(board().hasLost());
    EXPECT_TRUE(board().getDogs().empty());  // killed by the guard, erased the same tick
}

TEST_F(Sight, RealEnemyBlocksSightAndAFakeOneIsKilledFirst) {
    lineWith(".......", {{0, 1, FA_E}}, {{3, 1, FA_N}});
    runFor(1000);
    EXPECT_FALSE(board().hasLost());

    // Made fake, the dog is shot this tick and the player behind it the next.
    board().getDogs()[0].makeFakeIll();
    tick();
    EXPECT_TRUE(board().getDogs().empty());
    EXPECT_FALSE(board().hasLost());
    tick();
    EXPECT_TRUE(board().hasLost());
}

TEST_F(Sight, GuardShootsAFakeAtTheFarEndOfItsSight) {
    lineWith(".......", {{0, 1, FA_E}, {5, 1, FA_N}});
    board().getGuards()[1].makeFakeIll();
    tick();
    ASSERT_EQ(board().getGuards().size(), 1u);
    EXPECT_EQ(board().getGuards()[0].x, 0);  // the shooter never moved
}

TEST_F(Sight, DogBitesAFakeNextToItAndStalksOneFurtherOff) {
    lineWith(".......", {}, {{0, 1, FA_E}, {1, 1, FA_N}});
    board().getDogs()[1].makeFakeIll();
    tick();
    EXPECT_EQ(board().getDogs().size(), 1u);

    // A fake three squares ahead: two steps 0.5 s apart, then the bite in that tick.
    lineWith(".......", {}, {{0, 1, FA_E}, {3, 1, FA_N}});
    board().getDogs()[1].makeFakeIll();
    Trace steps = trace([&]() -> const Actor& { return board().getDogs()[0]; }, 1010);
    EXPECT_EQ(steps, (Trace{"510:1,1,E", "1010:2,1,E"}));
    EXPECT_EQ(board().getDogs().size(), 1u);
}

TEST_F(Sight, CommanderIgnoresFakesAndTheyBlockItsView) {
    lineWith(".......", {{3, 1, FA_N}}, {}, {{0, 1, FA_E}});
    board().getGuards()[0].makeFakeIll();
    runFor(1000);
    EXPECT_EQ(board().getGuards().size(), 1u);
    EXPECT_FALSE(board().hasLost());
    EXPECT_FALSE(board().getSgs()[0].callback);
}

TEST_F(Sight, GuardWalksToFoodThenHomeAndTurns) {
    // The player drops food three squares ahead of the guard at t = 0.
    play(levelText({".......", "......."}, {3, 0, FA_S}, {{0, 1, FA_E}}, {}, {}, {1, 0, 0, 0}));
    board().useFood();
    Trace steps = trace([&]() -> const Actor& { return board().getGuards()[0]; }, 5000);
    EXPECT_EQ(steps, (Trace{"510:1,1,E", "1010:2,1,E", "1510:3,1,E",  // on the food
                            "2010:2,1,W", "2510:1,1,W", "3010:0,1,W", "3510:0,1,E"}));
    EXPECT_FALSE(board().getGuards()[0].returnOrigLocFlag);
}

TEST_F(Sight, DogWalksToADeadBodyAndHomeInThreeFirings) {
    play(levelText({"...", "..."}, {2, 1, FA_N}, {}, {{0, 0, FA_E}}, {}, {0, 1, 0, 0}));
    board().useDeadBody();
    Trace steps = trace([&]() -> const Actor& { return board().getDogs()[0]; }, 4000);
    EXPECT_EQ(steps, (Trace{"510:1,0,E", "1010:2,0,E", "1510:1,0,W", "2010:0,0,W", "2510:0,0,E"}));
}

TEST_F(Sight, GuardBacksOffADeadBodyAgainEachTimeItIsHome) {
    play(levelText({"....", "...."}, {3, 1, FA_N}, {{1, 0, FA_E}}, {}, {}, {0, 1, 0, 0}));
    board().useDeadBody();
    Trace steps = trace([&]() -> const Actor& { return board().getGuards()[0]; }, 4000);
    // The body expires at 2 s; the guard then stays home.
    EXPECT_EQ(steps, (Trace{"510:0,0,W", "1010:1,0,E", "1510:0,0,W", "2010:1,0,E"}));
}

// One timer per enemy: each case once left the guard stranded with a flag whose
// timer had been replaced.
TEST_F(Sight, GuardSeeingFoodAndABodyInOneLineStillGoesHome) {
    play(levelText({"......", "......"}, {3, 0, FA_S}, {{1, 1, FA_E}}, {}, {}, {1, 1, 0, 0}));
    board().useFood();  // (3, 1)
    board().moveRight();
    board().moveRight();
    board().moveRight();  // player now at (5, 0)
    board().moveDown();
    board().useDeadBody();  // (5, 1)
    ASSERT_EQ(board().getDeadBodies().size(), 1u);
    runFor(6000);
    const Guard& g = board().getGuards()[0];
    EXPECT_TRUE(g.atOrigLoc());
    EXPECT_FALSE(g.inManipulateMode() || g.returnOrigLocFlag);
}

TEST_F(Sight, GuardDistractedOnItsWayHomeStillGetsHome) {
    play(levelText({"......", "......"}, {3, 0, FA_S}, {{0, 1, FA_E}}, {}, {}, {2, 0, 0, 0}));
    board().useFood();  // (3, 1): reached at 1.5 s, walking home from there
    runFor(2050);
    ASSERT_EQ(board().getGuards()[0].x, 2);
    board().moveLeft();
    board().moveLeft();
    board().moveLeft();  // player now at (1, 0)
    board().moveDown();
    board().useFood();  // (1, 1), right in front of the guard
    runFor(4000);
    const Guard& g = board().getGuards()[0];
    EXPECT_TRUE(g.atOrigLoc());
    EXPECT_FALSE(g.inManipulateMode() || g.returnOrigLocFlag);
}
