// patrol_test.cpp — enemies that walk a route: walking, turning, looking, lured and resuming,
// played on real level files in simulated time.
#include "actor/sight.h"
#include "levelScenario.h"

using Trace = std::vector<std::string>;

namespace {

class Patrol : public LevelScenario {
protected:
    Guard& guard(size_t i = 0) { return board().getGuards().at(i); }
    // Guard 0's squares and facings until `untilMs`.
    Trace guardTrace(int64_t untilMs) { return trace([&]() -> Actor& { return guard(); }, untilMs); }
    // Plays `level` until guard 0 has taken its first patrol step, east to (1, 0).
    void playToTheFirstStep(const std::string& level) {
        play(level);
        runFor(510);
        ASSERT_TRUE(guard().isAt(1, 0));
    }
};

TEST_F(Patrol, WalksOutAndBackOneSquarePerPaceFacingTheWayItWalks) {
    // The file says the guard faces north; on a route it faces its first leg.
    play(withRoutes(levelText({".....", "....."}, {0, 1, FA_N}, {{0, 0, FA_N}}), "1,0,1,3,0,"));
    EXPECT_TRUE(guard().patrols());
    EXPECT_EQ(guard().o, FA_E);
    // The first look (at 10 ms) starts the walk; a step each 500 ms, with no key pressed.
    // On reaching (3, 0) it faces the way back at once.
    EXPECT_EQ(guardTrace(3600),
              (Trace{"510:1,0,E", "1010:2,0,E", "1510:3,0,W", "2010:2,0,W", "2510:1,0,W",
                     "3010:0,0,E", "3510:1,0,E"}));
}

TEST_F(Patrol, TurnsAtEveryPointOfALoopAndClosesItAtTheStart) {
    play(withRoutes(levelText({"...", "...", "..."}, {1, 1, FA_N}, {{0, 0, FA_S}}),
                    "1,0,3,2,0,2,2,0,2,"));
    const Trace loop = guardTrace(4100);
    EXPECT_EQ(loop, (Trace{"510:1,0,E", "1010:2,0,S", "1510:2,1,S", "2010:2,2,W", "2510:1,2,W",
                           "3010:0,2,N", "3510:0,1,N", "4010:0,0,E"}));
    // The player in the middle is never in a line the guard looks along... until the
    // guard faces it: it never does on this loop, so the level goes on.
    EXPECT_FALSE(board().hasLost());
}

TEST_F(Patrol, LooksAlongEachLegAndCatchesThePlayerWhenItTurnsToThem) {
    // Loop (0, 0) → (2, 0) → (2, 2) → (0, 2); the player waits down column 2 at (2, 4).
    play(withRoutes(levelText({"...", "...", "...", "...", "..."}, {2, 4, FA_N}, {{0, 0, FA_N}}),
                    "1,0,3,2,0,2,2,0,2,"));
    runFor(1000);
    EXPECT_FALSE(board().hasLost());  // walking east, it looks along row 0
    runFor(10);                        // at (2, 0) it turns south
    EXPECT_TRUE(board().hasLost());
}

TEST_F(Patrol, CommanderPatrolsAtAGuardsPaceAndIgnoresFood) {
    play(withRoutes(levelText({"......"}, {5, 0, FA_W}, {}, {}, {{0, 0, FA_N}}), "3,0,1,3,0,"));
    board().getFoods().emplace_back(2, 0, FA_S);
    EXPECT_EQ(trace([&]() -> Actor& { return board().getSgs()[0]; }, 2100),
              (Trace{"510:1,0,E", "1010:2,0,E", "1510:3,0,W", "2010:2,0,W"}));
}

TEST_F(Patrol, FoodDrawsItOffTheRouteAndItWalksBackToWhereItLeftIt) {
    // The guard walks row 0 between (0, 0) and (5, 0); the player stands out of its sight.
    playToTheFirstStep(withRoutes(levelText({"......", "......"}, {0, 1, FA_E}, {{0, 0, FA_N}}), "1,0,1,5,0,"));
    // Food ahead: the next look (10 ms on) gives up the patrol step for a step to the food at
    // the walking pace. Standing on the food it no longer sees it, so it walks back to (1, 0),
    // turns east as it was, and a pace later goes on along its route.
    board().getFoods().emplace_back(3, 0, FA_S);
    EXPECT_EQ(guardTrace(3600),
              (Trace{"510:2,0,E", "1010:3,0,E", "1510:2,0,W", "2010:1,0,W", "2510:1,0,E",
                     "3010:2,0,E", "3510:3,0,E"}));
    EXPECT_EQ(guard().routeNext, 1);
    EXPECT_FALSE(board().hasLost());
}

TEST_F(Patrol, ABodyTurnsItBackAndItResumesWhenTheBodyIsGone) {
    playToTheFirstStep(withRoutes(levelText({".......", "......."}, {6, 1, FA_W}, {{0, 0, FA_N}}), "1,0,1,4,0,"));
    board().getDeadBodies().emplace_back(4, 0, FA_S);
    // It backs off west and turns about, walks back to (1, 0) facing east, sees the body
    // again and backs off again; back once more after the body has gone (two seconds), it
    // goes on along its route where it left it.
    EXPECT_EQ(guardTrace(6000),
              (Trace{"510:0,0,W", "1010:1,0,E", "1510:0,0,W", "2010:1,0,E", "2510:2,0,E",
                     "3010:3,0,E", "3510:4,0,W", "4010:3,0,W", "4510:2,0,W", "5010:1,0,W",
                     "5510:0,0,E"}));
    EXPECT_TRUE(board().getDeadBodies().empty());
    EXPECT_FALSE(board().hasLost());
}

TEST_F(Patrol, APatrollingDogHuntsAFakeAcrossItsRoute) {
    // The dog's loop: (0, 0) down to (0, 2), east to (1, 2), up to (1, 0), home. At (0, 2) it
    // faces east along row 2, where a fake guard stands at (3, 2), looking off the board.
    play(withRoutes(levelText({"....", "....", "...."}, {3, 0, FA_W}, {{3, 2, FA_S}}, {{0, 0, FA_N}}),
                    "2,0,3,0,2,1,2,1,0,"));
    board().getGuards()[0].makeFakeIll();
    // Down the column (two paces), then stalking east, a square a pace, to (2, 2), where it bites.
    runFor(1010);
    EXPECT_TRUE(board().getDogs()[0].isAt(0, 2));
    EXPECT_EQ(board().getDogs()[0].o, FA_E);
    runFor(1100);
    EXPECT_TRUE(board().getDogs()[0].isAt(2, 2));
    EXPECT_TRUE(board().getGuards().empty());
    // Then it walks back to (0, 2), faces east and goes on along its loop.
    runFor(1600);
    EXPECT_TRUE(board().getDogs()[0].isAt(0, 2));
    EXPECT_TRUE(board().getDogs()[0].atOrigLoc());
    EXPECT_EQ(trace([&]() -> Actor& { return board().getDogs()[0]; }, 1000),
              (Trace{"300:1,2,N", "800:1,1,N"}));
    EXPECT_FALSE(board().hasLost());
}

TEST_F(Patrol, ABoardCopyCarriesTheRouteAndWhereOnItTheEnemyIs) {
    play(withRoutes(levelText({"....."}, {4, 0, FA_W}, {{0, 0, FA_N}}), "1,0,1,2,0,"));
    runFor(1600);
    Board saved = board();
    runFor(1000);
    const Guard later = guard();
    board() = saved;
    runFor(1000);
    EXPECT_EQ(guard().x, later.x);
    EXPECT_EQ(guard().o, later.o);
    EXPECT_EQ(guard().routeNext, later.routeNext);
    EXPECT_EQ(guard().route, later.route);  // shared, not copied
}

TEST_F(Patrol, EnemiesWithoutARouteNeverHoldATimer) {
    play(withRoutes(levelText({".....", "....."}, {4, 1, FA_W}, {{0, 0, FA_E}, {4, 0, FA_W}}),
                    "1,1,1,2,0,"));
    EXPECT_FALSE(guard(0).patrols());
    runFor(2000);
    EXPECT_EQ(guard(0).callback, nullptr);
    EXPECT_TRUE(guard(0).isAt(0, 0));
    EXPECT_NE(guard(1).callback, nullptr);
}

}  // namespace

namespace {

// The overlay's squares as rows of '#' (seen) and '.', for comparing at a glance.
std::vector<std::string> overlayRows(Board& b) {
    const std::vector<bool> seen = squaresInEnemySight(b);
    std::vector<std::string> rows(static_cast<size_t>(b.getHeight()), std::string(static_cast<size_t>(b.getWidth()), '.'));
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            if (seen[static_cast<size_t>(y * b.getWidth() + x)]) rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
    return rows;
}

}  // namespace

TEST_F(Patrol, TheSightOverlaySweepsWithThePatrolAsItWalksAndTurns) {
    // A guard walks column 0 from (0, 0) down to (0, 2) and back; the player stands aside.
    play(withRoutes(levelText({"....", "....", "....", "...."}, {3, 3, FA_N}, {{0, 0, FA_N}}), "1,0,1,0,2,"));
    using Rows = std::vector<std::string>;
    EXPECT_EQ(overlayRows(board()), (Rows{"....", "#...", "#...", "#..."}));  // facing its first leg
    runFor(510);
    EXPECT_EQ(overlayRows(board()), (Rows{"....", "....", "#...", "#..."}));  // one square on
    runFor(500);
    EXPECT_EQ(overlayRows(board()), (Rows{"#...", "#...", "....", "...."}));  // turned at (0, 2)
    EXPECT_FALSE(board().hasLost());
}
