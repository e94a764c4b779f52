// keyboard_test.cpp — keys on each screen: the action, the stock line, the win check, quitting.
#include <unistd.h>

#include "hud.h"
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
    // `key` ends the program with status 0, its output matching `output`. The child's output
    // goes to standard error, where the death test reads it.
    static void expectKeyEnds(unsigned char key, const char* output) {
        EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), keyboard(key, 0, 0)), testing::ExitedWithCode(0),
                    output);
    }
    // The ending screen, its "you win!" already printed (and swallowed here).
    void atTheEnding() {
        CaptureStdout();
        gotoEnding();
        GetCapturedStdout();
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

TEST_F(Keyboard, QuitEndsAtOnceOnEveryScreenPrintingNothing) {
    for (auto screen : {gotoTitle, gotoMainGame}) {
        screen();
        expectKeyEnds('q', "^$");
    }
    atTheEnding();
    expectKeyEnds('q', "^$");
}

TEST_F(Keyboard, AnyOtherKeyOnTheEndingWinsAndEnds) {
    atTheEnding();
    expectKeyEnds('d', "^you win!$");
}

TEST_F(Keyboard, RRestartsTheLevelFromItsFileWithoutCountingALoss) {
    const std::string level =
        levelText({".......", "......."}, {3, 0, FA_S}, {{0, 1, FA_E}}, {}, {}, {2, 0, 1, 0});
    writeLevel(1, level);
    loadNextBoard();
    typed('h');  // food three squares ahead of the guard
    typed('k');
    typed('a');
    typed('a');  // a turn and a step west: (2, 0)
    runFramesFor(1200);  // the guard has taken two steps
    ASSERT_EQ(board().getGuards()[0].x, 2);
    EXPECT_EQ(typed('r'), "fo: 2, db: 0, cl: 1, fk: 0\n");  // no "sorry, you lose a life"
    frame();
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_TRUE(board().getIll().isAt(3, 0));
    EXPECT_EQ(board().getIll().o, FA_S);
    EXPECT_FALSE(board().getIll().isCloaked);
    EXPECT_TRUE(board().getGuards()[0].atOrigLoc());
    EXPECT_TRUE(board().getFoods().empty());
    EXPECT_FALSE(board().hasLost() || board().hasWon());
    // The fresh level runs as at its start: nothing happens without a key.
    runFramesFor(3000);
    EXPECT_TRUE(board().getGuards()[0].atOrigLoc());
    EXPECT_FALSE(board().hasLost());
}

TEST_F(Keyboard, ROnTheTitleStartsTheGameOnTheFirstLevel) {
    gotoTitle();
    typed('w');  // leaves the title and steps north, to (0, 0)
    gotoTitle();  // as if it were still showing
    EXPECT_EQ(typed('r'), "fo: 3, db: 1, cl: 2, fk: 0\n");
    EXPECT_FALSE(atTitle());
    EXPECT_TRUE(board().getIll().isAt(0, 1));  // the step north undone
}

TEST_F(Keyboard, VShowsAndHidesTheSightOverlayAndStillPrints) {
    EXPECT_FALSE(sightOverlayShown());
    EXPECT_EQ(typed('v'), "fo: 3, db: 1, cl: 2, fk: 0\n");
    EXPECT_TRUE(sightOverlayShown());
    EXPECT_EQ(typed('v'), "fo: 3, db: 1, cl: 2, fk: 0\n");
    EXPECT_FALSE(sightOverlayShown());
    EXPECT_EQ(redraws, 2);
}
