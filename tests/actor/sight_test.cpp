// sight_test.cpp — what guards, dogs and commanders see and how they react, played on real levels.
#include "actor/sight.h"
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

TEST_F(Sight, DogIgnoresFoodAndSeesPastIt) {
    // The same line as the guard's: food three squares ahead of the dog at t = 0.
    play(levelText({".......", "......."}, {3, 0, FA_S}, {}, {{0, 1, FA_E}}, {}, {1, 0, 0, 0}));
    board().useFood();
    ASSERT_EQ(board().getFoods().size(), 1u);
    Trace steps = trace([&]() -> const Actor& { return board().getDogs()[0]; }, 3000);
    EXPECT_EQ(steps, Trace{});
    EXPECT_FALSE(board().getDogs()[0].inManipulateMode());
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

// The overlay's squares, '*' for a square some enemy sees.
static std::vector<std::string> sightPicture(Board& b) {
    const std::vector<bool> seen = squaresInEnemySight(b);
    std::vector<std::string> rows(b.getHeight(), std::string(b.getWidth(), '.'));
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            if (seen[y * b.getWidth() + x]) rows[y][x] = '*';
    return rows;
}

using Rows = std::vector<std::string>;

TEST_F(Sight, OverlayShowsEachKindsLineUpToWhatEndsIt) {
    // Guard east, stopped by the wall; dog south over water, stopped by the
    // commander (whose square it sees); commander west, to the board's edge.
    play(levelText({"......", "...#..", "..~...", "......"}, {5, 0, FA_N}, {{0, 1, FA_E}},
                   {{2, 0, FA_S}}, {{2, 3, FA_W}}));
    EXPECT_EQ(sightPicture(board()), (Rows{"......", ".**...", "..*...", "***..."}));

    // A cloaked player in the guard's line is looked through; food too.
    play(levelText({"......", "......"}, {3, 1, FA_N}, {{0, 0, FA_E}}, {}, {}, {1, 0, 1, 0}));
    board().useFood();  // (3, 0)
    board().useCloak();
    board().moveLeft();  // turning keeps the cloak on
    EXPECT_EQ(sightPicture(board()), (Rows{".*****", "......"}));
    runFor(2100);  // the cloak is off again: the player, at (3, 1), is out of sight
    EXPECT_FALSE(board().hasLost());

    // A fake blocks a commander's view as any enemy does.
    play(levelText({"....."}, {4, 0, FA_N}, {{2, 0, FA_W}}, {}, {{0, 0, FA_E}}));
    board().getGuards()[0].makeFakeIll();
    EXPECT_EQ(sightPicture(board()), (Rows{"***.."}));  // the fake guard sees the commander
}

// The overlay never lies: on every square it marks, the player is caught at the
// next look; on every other square the player can stand on, nobody sees them.
TEST_F(Sight, OverlayMarksExactlyTheSquaresWhereThePlayerIsCaught) {
    const std::vector<std::string> levels = {
        levelText({"#.........", "...~..#...", "..........", "....E.....", "..#......."},
                  {0, 1, FA_N}, {{1, 2, FA_E}, {5, 4, FA_N}}, {{9, 0, FA_W}, {7, 1, FA_S}},
                  {{3, 0, FA_S}, {9, 4, FA_W}}),
        levelText({".....", ".#.#.", ".....", ".#.#.", "....."}, {0, 0, FA_N},
                  {{2, 2, FA_N}, {4, 2, FA_W}}, {{2, 4, FA_N}}, {{4, 0, FA_S}}),
    };
    for (const std::string& text : levels) {
        play(text);
        const std::vector<bool> seen = squaresInEnemySight(board());
        Ill& ill = board().getIll();
        ASSERT_FALSE(seen[ill.y * board().getWidth() + ill.x]) << "the player must start unseen";
        int caught = 0;
        for (int y = 0; y < board().getHeight(); ++y)
            for (int x = 0; x < board().getWidth(); ++x) {
                Actor* occupant = nullptr;
                const TILE_TYPE t = board().getTile(x, y);
                if ((t != FLOOR && t != IN_FLOOR) || board().getObject(x, y, occupant) != OB_EMPTY) continue;
                ill.x = x;
                ill.y = y;
                ill.alive = true;
                board().resetWinLoss();
                runEnemyPhase();
                EXPECT_EQ(board().hasLost(), seen[y * board().getWidth() + x]) << "square " << x << ", " << y;
                caught += board().hasLost();
            }
        EXPECT_GE(caught, 5);  // both boards put squares of every kind's sight in reach
    }
}
