// playerMoves_test.cpp — the player's turns and steps, the four powers and winning or losing.
#include "levelScenario.h"

class PlayerMoves : public LevelScenario {
protected:
    Ill& ill() { return board().getIll(); }
};

TEST_F(PlayerMoves, ADirectionKeyTurnsFirstAndStepsSecond) {
    play(levelText({"...", "..."}, {1, 1, FA_E}));
    board().moveUp();
    EXPECT_EQ(ill().o, FA_N);
    EXPECT_TRUE(ill().isAt(1, 1));
    board().moveUp();
    EXPECT_TRUE(ill().isAt(1, 0));
}

TEST_F(PlayerMoves, WaterWallsAndTheEdgeStopTheStep) {
    play(levelText({"~.#"}, {1, 0, FA_N}));
    for (auto move : {&Board::moveLeft, &Board::moveRight, &Board::moveUp, &Board::moveDown}) {
        (board().*move)();
        (board().*move)();
        EXPECT_TRUE(ill().isAt(1, 0));
    }
    EXPECT_EQ(ill().o, FA_S);
}

TEST_F(PlayerMoves, SteppingOntoAnyEnemyLosesTheLevel) {
    for (bool fake : {false, true}) {
        for (bool cloaked : {false, true}) {
            // The guard looks away from the player.
            play(levelText({"...E"}, {0, 0, FA_E}, {{1, 0, FA_E}}, {}, {}, {0, 0, 1, 0}));
            if (fake) board().getGuards()[0].makeFakeIll();
            if (cloaked) board().useCloak();
            board().moveRight();
            EXPECT_TRUE(ill().isAt(1, 0));
            EXPECT_TRUE(board().hasLost()) << "fake " << fake << ", cloaked " << cloaked;
        }
    }
    board().moveRight();
    board().moveRight();
    board().checkForWin();
    EXPECT_TRUE(ill().isAt(3, 0));
    EXPECT_FALSE(board().hasWon());  // a lost level reaching the exit is still lost
}

TEST_F(PlayerMoves, ReachingTheExitWins) {
    play(levelText({".,E"}, {0, 0, FA_E}));
    board().moveRight();
    board().checkForWin();
    EXPECT_FALSE(board().hasWon());  // second floor is plain floor
    board().moveRight();
    board().checkForWin();
    EXPECT_TRUE(board().hasWon());
    EXPECT_FALSE(board().hasLost());
}

// Food, dead body and fake all need floor in front of the player; anything else
// (water, wall, exit, the edge) does nothing and keeps the stock.
TEST_F(PlayerMoves, PowersAimedAtAnythingButFloorKeepTheirStock) {
    play(levelText({".~.", "#.E", "..."}, {1, 1, FA_N}, {}, {}, {}, {1, 1, 0, 1}));
    auto tryAll = [&] {
        board().useFood();
        board().useDeadBody();
        board().useFake();
        EXPECT_EQ(board().getFoodUse() + board().getDeadBodyUse() + board().getFakeUse(), 3)
            << "facing " << ill().o << " from " << ill().x << "," << ill().y;
    };
    for (Facing f : {FA_N, FA_W, FA_E}) {
        ill().o = f;
        tryAll();
    }
    board().moveDown();
    board().moveDown();  // bottom row, facing the edge
    tryAll();
    EXPECT_TRUE(board().getFoods().empty() && board().getDeadBodies().empty());
}

TEST_F(PlayerMoves, FoodAndBodiesGoOnlyOntoEmptyFloorWhileStocked) {
    play(levelText({"....", "...."}, {1, 1, FA_E}, {}, {{1, 0, FA_E}}, {}, {2, 1, 0, 0}));
    board().useFood();
    ASSERT_EQ(board().getFoods().size(), 1u);
    EXPECT_TRUE(board().getFoods()[0].isAt(2, 1));
    EXPECT_EQ(board().getFoodUse(), 1);

    board().useDeadBody();  // the food is in the way
    board().useFood();
    EXPECT_EQ(board().getDeadBodyUse(), 1);
    EXPECT_EQ(board().getFoodUse(), 1);

    board().moveUp();  // facing the dog
    board().useFood();
    EXPECT_EQ(board().getFoodUse(), 1);

    board().moveLeft();
    board().useDeadBody();
    board().useDeadBody();  // out of stock; (-1) is off the board anyway
    board().moveDown();
    board().useDeadBody();
    EXPECT_EQ(board().getDeadBodies().size(), 1u);
    EXPECT_EQ(board().getDeadBodyUse(), 0);
}

TEST_F(PlayerMoves, CloakLastsTwoSecondsFromItsLatestUse) {
    play(levelText({".."}, {0, 0, FA_E}, {}, {}, {}, {0, 0, 2, 0}));
    board().useCloak();
    runFor(1000);
    board().useCloak();
    runFor(1990);
    EXPECT_TRUE(ill().isCloaked);
    EXPECT_EQ(ill().getTile(), CLOAK_E);
    runFor(10);
    EXPECT_FALSE(ill().isCloaked);

    board().useCloak();  // out of stock
    EXPECT_FALSE(ill().isCloaked);
    EXPECT_EQ(board().getCloakUse(), 0);
}

TEST_F(PlayerMoves, FakeIsSpentOnFloorWhetherOrNotAnEnemyStandsThere) {
    play(levelText({"...", "..."}, {0, 0, FA_E}, {}, {{1, 1, FA_W}}, {}, {0, 0, 0, 2}));
    board().useFake();
    EXPECT_EQ(board().getFakeUse(), 1);
    board().moveRight();
    board().moveDown();  // at (1, 0), turned to face the dog
    board().useFake();
    EXPECT_EQ(board().getDogs()[0].getTile(), FAKE_DOG_W);
    EXPECT_EQ(board().getFakeUse(), 0);
}
