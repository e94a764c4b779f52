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

// One step each on the 4 x 3 board: water at (1, 1), a wall at (2, 1); tiles are not examined.
TEST_F(ActorMoves, ApproachStepsForwardFleeStepsBackAndTurnsAboutNeitherOffTheBoard) {
    const struct {
        const char* why;
        void (Actor::*step)();
        int x, y;
        Facing o;
        int toX, toY;
        Facing toO;
    } cases[] = {
        {"approach onto water", &Actor::approach, 0, 1, FA_E, 1, 1, FA_E},
        {"approach onto a wall", &Actor::approach, 1, 1, FA_E, 2, 1, FA_E},
        {"approach onto floor", &Actor::approach, 2, 1, FA_E, 3, 1, FA_E},
        {"approach at the east edge", &Actor::approach, 3, 1, FA_E, 3, 1, FA_E},
        {"approach at the north edge", &Actor::approach, 0, 0, FA_N, 0, 0, FA_N},
        {"approach at the west edge", &Actor::approach, 0, 0, FA_W, 0, 0, FA_W},
        {"flee with the west edge behind", &Actor::flee, 0, 1, FA_E, 0, 1, FA_E},
        {"flee with the south edge behind", &Actor::flee, 2, 2, FA_N, 2, 2, FA_N},
        {"flee north, turned about", &Actor::flee, 2, 2, FA_S, 2, 1, FA_N},
        {"flee east, turned about", &Actor::flee, 1, 0, FA_W, 2, 0, FA_E},
    };
    for (const auto& c : cases) {
        Actor a(c.x, c.y, c.o);
        (a.*c.step)();
        EXPECT_TRUE(a.isAt(c.toX, c.toY)) << c.why << ": at (" << a.x << ", " << a.y << ")";
        EXPECT_EQ(a.o, c.toO) << c.why;
    }
}

TEST_F(ActorMoves, StepTimersClearTheirFlagWhenTheyFire) {
    Actor a(1, 0, FA_S);
    a.approachFlag = true;
    a.addCallback(TimedCallback(approachCallback, 0.5f, false));
    clock.advance(500);
    a.invokeCallback();
    EXPECT_TRUE(a.isAt(1, 1));
    EXPECT_FALSE(a.approachFlag);

    a.fleeFlag = true;
    a.addCallback(TimedCallback(fleeCallback, 0.5f, false));
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
    a.addCallback(TimedCallback(returnOrigLocCallback, 0.5f, true));

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
    a.addCallback(TimedCallback(returnOrigLocCallback, 0.5f, true));
    a.returnOrigLoc();
    ASSERT_NE(a.callback, nullptr);
    EXPECT_FALSE(a.callback->isDead());
    EXPECT_TRUE(a.returnOrigLocFlag);
    EXPECT_TRUE(a.atOrigLoc());
}

}  // namespace
