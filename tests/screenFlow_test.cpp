// screenFlow_test.cpp — losing, winning and running out of levels, as the redraws see them.
#include <unistd.h>

#include "levelScenario.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class ScreenFlow : public LevelScenario {
protected:
    // Two steps east reach the exit.
    const std::string shortWalk = levelText({"..E"}, {0, 0, FA_E}, {}, {}, {}, {1, 0, 0, 0});
    void win() {
        while (board().getTile(board().getIll()) != EXIT) board().moveRight();
        board().checkForWin();
    }
    void removeLevel(int n) {
        std::filesystem::remove(dir / "assets" / "levels" / ("level0" + std::to_string(n) + ".txt"));
    }
};

TEST_F(ScreenFlow, ALossRestartsTheLevelFromItsFile) {
    writeLevel(1, shortWalk);
    play(shortWalk);
    board().useFood();
    board().moveRight();
    board().setLose();
    CaptureStdout();
    runFlowStep();
    EXPECT_EQ(GetCapturedStdout(), "sorry, you lose a life\n");
    EXPECT_EQ(getCurrLevel(), 0);
    EXPECT_TRUE(board().getIll().isAt(0, 0));
    EXPECT_EQ(board().getFoodUse(), 1);
    EXPECT_TRUE(board().getFoods().empty());
}

TEST_F(ScreenFlow, AWinAdvancesAndALossInTheSameTickRestartsInstead) {
    writeLevel(1, shortWalk);
    play(shortWalk);
    win();
    board().setLose();
    CaptureStdout();
    runFlowStep();
    EXPECT_EQ(GetCapturedStdout(), "sorry, you lose a life\n");
    EXPECT_EQ(getCurrLevel(), 0);

    win();
    CaptureStdout();
    runFlowStep();
    EXPECT_EQ(GetCapturedStdout(), "won in 0 keys\n");
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_FALSE(atEnding());
}

TEST_F(ScreenFlow, WinningTheLastLevelLoadsLevelZeroAndFlagsTheEnding) {
    play(shortWalk);
    win();
    CaptureStdout();
    runFlowStep();
    EXPECT_EQ(GetCapturedStdout(), "won in 0 keys\nsetting the ending flag\n");
    EXPECT_TRUE(atEnding());
    EXPECT_EQ(getCurrLevel(), 0);
    EXPECT_FALSE(board().hasWon());  // a fresh level 0 behind the ending
}

// A level file that vanishes during play cannot be restarted or returned to.
TEST_F(ScreenFlow, AVanishedLevelFileStopsTheGameNamingIt) {
    play(shortWalk);
    removeLevel(0);
    board().setLose();
    EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), runFlowStep()), testing::ExitedWithCode(1),
                "^sorry, you lose a life\nmissing level file: assets/levels/level00.txt\n$");

    writeLevel(0, shortWalk);
    writeLevel(1, shortWalk);
    loadInitialBoard();
    win();
    runFlowStep();
    removeLevel(0);
    win();
    EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), runFlowStep()), testing::ExitedWithCode(1),
                "^won in 0 keys\nmissing level file: assets/levels/level00.txt\n$");

    // A key is never acted on without a board: the same stop, the same line.
    loadInitialBoard();
    ASSERT_EQ(getCurrentBoard(), nullptr);
    EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), keyboard('w', 0, 0)), testing::ExitedWithCode(1),
                "^missing level file: assets/levels/level00.txt\n$");
}

// Two levels played from the title with keys, ticks and redraws, to the end.
TEST_F(ScreenFlow, AWalkThroughFromTitleToEnding) {
    writeLevel(1, levelText({"...", "E.."}, {2, 0, FA_W}, {{0, 0, FA_E}}, {}, {}, {0, 0, 1, 0}));
    play(levelText({".E"}, {0, 0, FA_E}));
    gotoTitle();
    CaptureStdout();
    press("d");  // leaves the title and reaches level 0's exit at once
    EXPECT_EQ(getCurrLevel(), 1);
    runFramesFor(10);  // the guard sees the player: restart
    EXPECT_EQ(getCurrLevel(), 1);
    press("kssaa");
    runFramesFor(100);  // cloaked, out of the guard's row
    press("a");
    std::string stock = "fo: 0, db: 0, cl: 0, fk: 0\n";
    EXPECT_EQ(GetCapturedStdout(), stock + "won in 1 keys\nsorry, you lose a life\n" + stock + stock + stock +
                                       stock + stock + stock + "won in 6 keys\nsetting the ending flag\n");
    EXPECT_TRUE(atEnding());
    EXPECT_EQ(getCurrLevel(), 0);
}
