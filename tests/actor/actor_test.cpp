// Tests of facing steps, approach and flight at the board's edges, and the walk home.
#include <gtest/gtest.h>

#include <memory>

#include "actor/actor.h"
#include "actor/facing.h"
#include "board.h"
#include "gameClock.h"
#include "levelFiles.h"

namespace {

TEST(Facing, StepsPointNorthTowardsRowZero) {
    const int expected[4][2] = {{0, -1}, {0, 1}, {1, 0}, {-1, 0}};
    for (int f = FA_N; f <= FA_W; f++) {
        int dx = 99, dy = 99;
        getDxAndDy(static_cast<Facing>(f), dx, dy);
        EXPECT_EQ(dx, expected[f][0]) << f;
        EXPECT_EQ(dy, expected[f][1]) << f;
    }
    EXPECT_EQ(flip(FA_N), FA_S);
    EXPECT_EQ(flip(FA_S), FA_N);
    EXPECT_EQ(flip(FA_E), FA_W);
    EXPECT_EQ(flip(FA_W), FA_E);
}

TEST(ActorRecord, ManhattanDistance) {
    Actor a(3, 4, FA_N);
    EXPECT_EQ(a.getManhattanDist(3, 4), 0);
    EXPECT_EQ(a.getManhattanDist(1, 5), 3);
    EXPECT_EQ(a.getManhattanDist(6, 0), 7);
    EXPECT_TRUE(a.isAt(3, 4));
    EXPECT_FALSE(a.isAt(4, 3));
}

// Approach and flee consult the current board, so these run with one loaded: 4 x 3
// with water at (1, 1) and a wall at (2, 1), which movement does not look at.
class ActorMoves : public LevelDirTest {
protected:
    void SetUp() override {
        LevelDirTest::SetUp();
        clock.install();
        writeLevel(0, "4,3,0,0,0,0,0,1,3,0,0,0,0,0,999,0,0,1,999,999,999,999,0,0,0,0");
        initBoards();
    }
    ManualClock clock;
};

TEST_F(ActorMoves, ApproachStepsForwardButNeverOffTheBoard) {
    Actor a(0, 1, FA_E);
    a.approach();
    EXPECT_TRUE(a.isAt(1, 1));  // onto water: tiles are not examined
    a.approach();
    EXPECT_TRUE(a.isAt(2, 1));  // onto a wall likewise
    a.approach();
    a.approach();
    EXPECT_TRUE(a.isAt(3, 1));
    EXPECT_EQ(a.o, FA_E);

    Actor corner(0, 0, FA_N);
    corner.approach();
    EXPECT_TRUE(corner.isAt(0, 0));
    corner.o = FA_W;
    corner.approach();
    EXPECT_TRUE(corner.isAt(0, 0));
    EXPECT_EQ(corner.o, FA_W);
}

TEST_F(ActorMoves, FleeStepsBackAndTurnsAboutOnlyWhenThereIsRoom) {
    Actor a(0, 1, FA_E);  // west edge behind it
    a.flee();
    EXPECT_TRUE(a.isAt(0, 1));
    EXPECT_EQ(a.o, FA_E);

    Actor b(2, 2, FA_N);
    b.flee();
    EXPECT_TRUE(b.isAt(2, 2));  // south edge behind it
    EXPECT_EQ(b.o, FA_N);
    b.o = FA_S;
    b.flee();
    EXPECT_TRUE(b.isAt(2, 1));
    EXPECT_EQ(b.o, FA_N);

    Actor c(1, 0, FA_W);
    c.flee();
    EXPECT_TRUE(c.isAt(2, 0));
    EXPECT_EQ(c.o, FA_E);
}

TEST_F(ActorMoves, StepTimersClearTheirFlagWhenTheyFire) {
    Actor a(1, 0, FA_S);
    a.approachFlag = true;
    a.addCallback(std::make_unique<TimedCallback>(approachCallback, 0.5f, false));
    clock.advance(500);
    a.invokeCallback();
    EXPECT_TRUE(a.isAt(1, 1));
    EXPECT_FALSE(a.approachFlag);

    a.fleeFlag = true;
    a.addCallback(std::make_unique<TimedCallback>(fleeCallback, 0.5f, false));
    clock.advance(500);
    a.invokeCallback();
    EXPECT_TRUE(a.isAt(1, 0));
    EXPECT_EQ(a.o, FA_N);
    EXPECT_FALSE(a.fleeFlag);
    EXPECT_EQ(a.callback, nullptr);
}

// Home (1, 2) facing south, found at (3, 5) facing west: column first, then row,
// then the turn; six firings of the repeating timer, which then ends itself.
TEST(WalkHome, ColumnThenRowThenTurnInSixMoves) {
    ManualClock clock;
    clock.install();
    Actor a(1, 2, FA_S);
    a.x = 3;
    a.y = 5;
    a.o = FA_W;
    a.returnOrigLocFlag = true;
    a.addCallback(std::make_unique<TimedCallback>(returnOrigLocCallback, 0.5f, true));

    struct Move { int x, y; Facing o; };
    const Move expected[] = {{2, 5, FA_W}, {1, 5, FA_W}, {1, 4, FA_N},
                             {1, 3, FA_N}, {1, 2, FA_N}, {1, 2, FA_S}};
    for (const Move& m : expected) {
        EXPECT_FALSE(a.atOrigLoc());
        ASSERT_NE(a.callback, nullptr);
        clock.advance(499);
        a.invokeCallback();
        clock.advance(1);
        a.invokeCallback();
        EXPECT_TRUE(a.isAt(m.x, m.y)) << a.x << "," << a.y;
        EXPECT_EQ(a.o, m.o);
    }
    EXPECT_TRUE(a.atOrigLoc());
    EXPECT_FALSE(a.returnOrigLocFlag);
    EXPECT_EQ(a.callback, nullptr);
}

TEST(WalkHome, LastStepFacingHomeNeedsNoTurn) {
    Actor a(2, 0, FA_E);
    a.x = 0;
    a.returnOrigLocFlag = true;
    a.returnOrigLoc();
    EXPECT_TRUE(a.isAt(1, 0));
    EXPECT_TRUE(a.returnOrigLocFlag);
    a.returnOrigLoc();
    EXPECT_TRUE(a.atOrigLoc());
    EXPECT_FALSE(a.returnOrigLocFlag);
}

TEST(WalkHome, OnlyTheFacingWrongIsOneTurn) {
    Actor a(2, 2, FA_N);
    a.o = FA_E;
    a.returnOrigLoc();
    EXPECT_TRUE(a.atOrigLoc());
}

TEST(WalkHome, AlreadyHomeDoesNothingAndLeavesTheTimerAlone) {
    ManualClock clock;
    clock.install();
    Actor a(2, 2, FA_N);
    a.returnOrigLocFlag = true;
    a.addCallback(std::make_unique<TimedCallback>(returnOrigLocCallback, 0.5f, true));
    a.returnOrigLoc();
    ASSERT_NE(a.callback, nullptr);
    EXPECT_FALSE(a.callback->isDead());
    EXPECT_TRUE(a.returnOrigLocFlag);
    EXPECT_TRUE(a.atOrigLoc());
}

}  // namespace
