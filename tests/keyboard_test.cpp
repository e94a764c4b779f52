// keyboard_test.cpp — keys on each screen: the action, the stock line, the win check, quitting.
#include <unistd.h>

#include "levelScenario.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class Keyboard : public LevelScenario {
protected:
    void SetUp() override {
        LevelScenario::SetUp();
        play(levelText({"...", ".E."}, {0, 1, FA_N}, {}, {}, {}, {3, 1, 2, 0}));
    }
    // Presses one key and returns what it printed.
    std::string typed(unsigned char key) {
        CaptureStdout();
        keyboard(key, 0, 0);
        return GetCapturedStdout();
    }
};

TEST_F(Keyboard, FirstKeyLeavesTheTitleAndActsOnLevelZero) {
    gotoTitle();
    EXPECT_EQ(typed('w'), "fo: 3, db: 1, cl: 2, fk: 0\n");
    EXPECT_FALSE(atTitle());
    EXPECT_TRUE(board().getIll().isAt(0, 0));
    EXPECT_EQ(redraws, 1);
}

TEST_F(Keyboard, EachPowerKeyUsesItsPower) {
    play(levelText({"...", "..."}, {1, 0, FA_E}, {}, {}, {}, {1, 1, 1, 1}));
    EXPECT_EQ(typed('h'), "fo: 0, db: 1, cl: 1, fk: 1\n");
    typed('s');
    EXPECT_EQ(typed('j'), "fo: 0, db: 0, cl: 1, fk: 1\n");
    typed('a');
    EXPECT_EQ(typed('l'), "fo: 0, db: 0, cl: 1, fk: 0\n");
    EXPECT_EQ(typed('k'), "fo: 0, db: 0, cl: 0, fk: 0\n");
    EXPECT_TRUE(board().getIll().isCloaked);
    EXPECT_EQ(board().getFoods().size() + board().getDeadBodies().size(), 2u);
}

TEST_F(Keyboard, CapitalsAndOtherCharactersDoNothingButStillPrint) {
    for (unsigned char key : {'W', 'D', 'H', 'K', 'Q', ' ', '1'})
        EXPECT_EQ(typed(key), "fo: 3, db: 1, cl: 2, fk: 0\n");
    EXPECT_EQ(board().getIll().o, FA_N);
    EXPECT_FALSE(board().getIll().isCloaked);
    EXPECT_EQ(redraws, 7);
}

TEST_F(Keyboard, TheKeyThatReachesTheExitWinsAtOnce) {
    typed('d');
    EXPECT_FALSE(board().hasWon());
    typed('d');
    EXPECT_TRUE(board().hasWon());
}

// Output is sent to standard error in the child so that the death test can read it.
TEST_F(Keyboard, QuitEndsAtOnceOnEveryScreenPrintingNothing) {
    for (auto screen : {gotoTitle, gotoMainGame}) {
        screen();
        EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), keyboard('q', 0, 0)),
                    testing::ExitedWithCode(0), "^$");
    }
    CaptureStdout();
    gotoEnding();
    GetCapturedStdout();
    EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), keyboard('q', 0, 0)),
                testing::ExitedWithCode(0), "^$");
}

TEST_F(Keyboard, AnyOtherKeyOnTheEndingWinsAndEnds) {
    CaptureStdout();
    gotoEnding();
    GetCapturedStdout();
    EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), keyboard('d', 0, 0)),
                testing::ExitedWithCode(0), "^you win!$");
}
