// Tests of the numbered level sequence: file names, advancing, restarting, running out.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "board.h"
#include "gameClock.h"
#include "levelFiles.h"

namespace {

// A one-row level `width` squares wide: the width tells the levels apart.
std::string levelOfWidth(int width) {
    std::string text = std::to_string(width) + ",1,";
    for (int i = 0; i < width; i++) text += "0,";
    return text + "999,0,0,2,999,1,0,3,999,999,999,2,0,1,0";
}

class LevelSequence : public LevelDirTest {
protected:
    void SetUp() override {
        LevelDirTest::SetUp();
        clock.install();
    }

    // Advances from level 0 (with no file there) to level `n`.
    void goToLevel(int n) {
        loadInitialBoard();
        for (int i = 0; i < n; i++) loadNextBoard();
        ASSERT_EQ(getCurrLevel(), n);
    }

    int currentWidth() {
        Board* b = getCurrentBoard();
        return b ? b->getWidth() : -1;
    }

    ManualClock clock;
};

using LevelSequenceDeathTest = LevelSequence;

TEST_F(LevelSequence, FileNamesHaveAtLeastTwoDigits) {
    goToLevel(0);
    EXPECT_STREQ(getLevelFilename(), "assets/levels/level00.txt");
    goToLevel(5);
    EXPECT_STREQ(getLevelFilename(), "assets/levels/level05.txt");
    goToLevel(42);
    EXPECT_STREQ(getLevelFilename(), "assets/levels/level42.txt");
    goToLevel(123);
    EXPECT_STREQ(getLevelFilename(), "assets/levels/level123.txt");
}

TEST_F(LevelSequence, PlaysInOrderRunsOutAndStartsAgain) {
    for (int n = 0; n <= 2; n++) writeLevel(n, levelOfWidth(n + 2));
    initBoards();
    EXPECT_EQ(getCurrLevel(), 0);
    EXPECT_EQ(currentWidth(), 2);
    loadNextBoard();
    EXPECT_EQ(currentWidth(), 3);
    loadNextBoard();
    EXPECT_EQ(currentWidth(), 4);

    loadNextBoard();
    EXPECT_EQ(getCurrentBoard(), nullptr);
    EXPECT_EQ(getCurrLevel(), 3);

    loadInitialBoard();
    EXPECT_EQ(getCurrLevel(), 0);
    EXPECT_EQ(currentWidth(), 2);
}

TEST_F(LevelSequence, AGapEndsTheSequence) {
    writeLevel(0, levelOfWidth(2));
    writeLevel(1, levelOfWidth(3));
    writeLevel(3, levelOfWidth(5));
    initBoards();
    loadNextBoard();
    EXPECT_EQ(currentWidth(), 3);
    loadNextBoard();
    EXPECT_EQ(getCurrentBoard(), nullptr);
    EXPECT_EQ(getCurrLevel(), 2);
}

TEST_F(LevelSequence, RestartBuildsAFreshBoardFromTheFile) {
    writeLevel(0, levelOfWidth(2));
    writeLevel(1, levelOfWidth(6));
    initBoards();
    loadNextBoard();
    Board* played = getCurrentBoard();
    played->getIll().x = 3;
    played->getIll().activateCloak();
    played->getGuards()[0].kill();
    played->getGuards()[0].makeFakeIll();
    played->getFoods().emplace_back(4, 0, FA_S);

    loadCurrBoard();
    Board* fresh = getCurrentBoard();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_EQ(fresh->getWidth(), 6);
    EXPECT_TRUE(fresh->getIll().isAt(0, 0));
    EXPECT_FALSE(fresh->getIll().isCloaked);
    EXPECT_EQ(fresh->getIll().callback, nullptr);
    ASSERT_EQ(fresh->getGuards().size(), 1u);
    EXPECT_FALSE(fresh->getGuards()[0].isDead());
    EXPECT_FALSE(fresh->getGuards()[0].isFakeIll());
    EXPECT_TRUE(fresh->getFoods().empty());
    EXPECT_EQ(fresh->getFoodUse(), 2);
    EXPECT_EQ(fresh->getCloakUse(), 1);
}

TEST_F(LevelSequence, ALevelWhoseFileHasGoneLeavesNoBoard) {
    writeLevel(0, levelOfWidth(2));
    initBoards();
    std::filesystem::remove("assets/levels/level00.txt");
    loadCurrBoard();
    EXPECT_EQ(getCurrentBoard(), nullptr);
    EXPECT_EQ(getCurrLevel(), 0);
    EXPECT_FALSE(setCurrBoard());
}

TEST_F(LevelSequenceDeathTest, StartingWithoutLevelZeroStops) {
    writeLevel(1, levelOfWidth(3));
    EXPECT_DEATH(initBoards(), "Assertion `rv' failed");
}

}  // namespace
