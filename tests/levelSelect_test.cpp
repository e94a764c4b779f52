// levelSelect_test.cpp — the level select through the keyboard handler: where the cursor
// starts, how it moves, what it plays, what stays locked, and its labels.
#include "levelScenario.h"
#include "levelSelect.h"
#include "progress.h"
#include "records.h"
#include "rewind.h"

class LevelSelect : public LevelScenario {
protected:
    void SetUp() override {
        LevelScenario::SetUp();
        for (int n = 0; n < 8; ++n) writeLevel(n, levelText({"..E"}, {0, 0, FA_E}));
        keepProgressIn((dir / "progress").string());
        keepRecordsIn((dir / "records").string());
        loadInitialBoard();
        gotoTitle();
    }
    void TearDown() override {
        keepProgressIn("");
        keepRecordsIn("");
        LevelScenario::TearDown();
    }
    void keys(const char* k) {
        testing::internal::CaptureStdout();
        press(k);
        testing::internal::GetCapturedStdout();
    }
};

TEST_F(LevelSelect, WithProgressAtLevelTwoEscapeLeftReturnPlaysLevelOne) {
    writeFile("progress", "2\n");
    keys("\x1b");
    ASSERT_TRUE(atLevelSelect());
    EXPECT_EQ(levelSelectCursor(), 2);
    keys("a\r");
    EXPECT_FALSE(atLevelSelect());
    EXPECT_FALSE(atTitle());
    EXPECT_EQ(getCurrLevel(), 1);
}

TEST_F(LevelSelect, TheCursorMovesByOneAndByARowWithinTheLevels) {
    writeFile("progress", "7\n");
    keys("\x1b");
    const struct {
        const char* keys;
        int cursor;
    } moves[] = {
        {"d", 7}, {"a", 6}, {"w", 0}, {"w", 0}, {"a", 0}, {"s", 6}, {"s", 6}, {"dd", 7}, {"x1", 7},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(m.keys);
        keys(m.keys);
        EXPECT_EQ(levelSelectCursor(), m.cursor);
        EXPECT_TRUE(atLevelSelect());
    }
}

TEST_F(LevelSelect, LockedLevelsCannotBePlayedAndEscapeGoesBack) {
    writeFile("progress", "1\n");
    keys("\x1b");
    keys("dd ");      // level 3 is not reached yet
    EXPECT_TRUE(atLevelSelect());
    EXPECT_EQ(levelSelectLabel(3), "4  locked");
    keys("\x1b");
    EXPECT_FALSE(atLevelSelect());
    EXPECT_TRUE(atTitle());
    keys("c");        // continue still plays the furthest level at once
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_FALSE(atTitle());
}

TEST_F(LevelSelect, EscapeDuringALevelReturnsToTheSelectAndLabelsShowBestAgainstPar) {
    writeFile("assets/levels/level00.par", "2\n");
    keys(" ");        // from the title to level 0
    keys("dd");       // won in 2 keys
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_EQ(levelSelectLabel(0), "1  best 2 / par 2");
    EXPECT_EQ(levelSelectLabel(1), "2  ");
    keys("\x1b");
    EXPECT_TRUE(atLevelSelect());
    EXPECT_EQ(levelSelectCursor(), 1);
    keys("a ");
    EXPECT_EQ(getCurrLevel(), 0);
    EXPECT_FALSE(atTitle());
}

// Entering a level from the select begins a new try, even at the level just played: nothing
// to take back, no key on the line, no rewind counted against the next win.
TEST_F(LevelSelect, EnteringALevelAgainBeginsAFreshTry) {
    writeFile("progress", "2\n");
    keys("\x1b");
    keys("a\r");
    ASSERT_EQ(getCurrLevel(), 1);
    keys("wuw");
    ASSERT_EQ(keysOnLine(), 1);
    ASSERT_TRUE(rewindUsedThisTry());
    keys("\x1b");
    ASSERT_TRUE(atLevelSelect());
    keys("a\r");
    ASSERT_EQ(getCurrLevel(), 1);
    EXPECT_EQ(keysOnLine(), 0);
    EXPECT_EQ(keysToTakeBack(), 0u);
    EXPECT_FALSE(rewindUsedThisTry());
}
