// rewind_test.cpp — taking keys back: after a step, each power, an enemy's walk and a
// capture, the board is exactly as it was just before the key, timers keeping their time left.
#include "boardState.h"
#include "levelScenario.h"
#include "linePlay.h"
#include "rewind.h"

class Rewind : public LevelScenario {
protected:
    void SetUp() override {
        LevelScenario::SetUp();
        std::fflush(stdout);
    }

    // The board's state at this moment.
    std::string state() { return boardStateKey(board(), clock.now()); }

    // Plays ticks with a redraw after each, as the window does, 4 ms apart.
    void wait(int ms) { runFramesFor(ms, 4); }

    void startLevel(const std::string& text) {
        play(text);
        beginTry();
    }
};

// A guard two squares east of the player's line, looking west along row 1.
const std::string OPEN_ROOM = levelText({"......", "......", "......", ".....E"}, {0, 3, FA_N},
                                        {{5, 1, FA_W}}, {{5, 0, FA_W}}, {}, {1, 1, 1, 1});

TEST_F(Rewind, ATurnAndAStepTakenBackShowTheLevelsFirstPicture) {
    startLevel(OPEN_ROOM);
    const Picture first = currentPicture();
    const std::string start = state();
    press("d");
    wait(300);
    press("d");
    EXPECT_EQ(board().getIll().x, 1);
    EXPECT_EQ(keysOnLine(), 2);
    press("u");
    EXPECT_EQ(board().getIll().x, 0);
    EXPECT_EQ(board().getIll().o, FA_E);
    press("\b");  // Backspace does the same
    EXPECT_EQ(state(), start);
    EXPECT_TRUE(currentPicture() == first);
    EXPECT_EQ(keysOnLine(), 0);
    // At the level's start there is nothing left to take back: a rewind changes nothing.
    EXPECT_FALSE(rewindLastKey());
    press("u");
    EXPECT_EQ(state(), start);
    EXPECT_TRUE(rewindUsedThisTry());
}

// A search's keys act and count on the line, but none can be taken back; keys after it can.
TEST_F(Rewind, KeysPressedDuringASearchNeitherCountNorCanBeTakenBack) {
    startLevel(OPEN_ROOM);
    press("d");
    const std::string afterFirst = state();
    {
        SearchQuiet search;
        press("s");
        press("s");  // into the edge
        wait(300);
        press("a");
        EXPECT_EQ(board().getIll().o, FA_W);
        EXPECT_EQ(keysOnLine(), 1);
        EXPECT_EQ(keysToTakeBack(), 1u);
    }
    const std::string beforeLast = state();
    press("d");
    EXPECT_EQ(keysToTakeBack(), 2u);
    press("u");
    EXPECT_EQ(state(), beforeLast);
    // The next rewind goes past the unsaved keys, to before the first key.
    press("u");
    EXPECT_NE(state(), afterFirst);
    EXPECT_EQ(board().getIll().o, FA_N);
    EXPECT_FALSE(rewindLastKey());
}

TEST_F(Rewind, KeysThatChangeNothingAreNotKept) {
    startLevel(OPEN_ROOM);
    press("s");           // turn south
    press("s");           // into the edge: nothing moves
    press("vxm");         // overlay, a key of no use, mute: not board keys
    press("m");
    press("v");
    EXPECT_EQ(keysToTakeBack(), 1u);
    press("u");
    EXPECT_EQ(board().getIll().o, FA_N);
}

// Each power, taken back a while later: the stock comes back, the placed object, the cloak
// or the fake goes, and every timer already running keeps the time it had left.
TEST_F(Rewind, EachPowerTakenBackGivesItsStockBack) {
    const struct {
        char power;
        int (Board::*stock)() const;
    } cases[] = {
        {'h', &Board::getFoodUse},
        {'j', &Board::getDeadBodyUse},
        {'k', &Board::getCloakUse},
        {'l', &Board::getFakeUse},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("power ") + c.power);
        // A guard two rows north facing east: the square in front of the player is free
        // floor; for the fake, a dog stands right in front of the player, facing away.
        const bool fake = c.power == 'l';
        startLevel(levelText({"......", "......", "......", ".....E"}, {0, 3, FA_N}, {{2, 0, FA_E}},
                             fake ? std::vector<Placed>{{0, 2, FA_N}} : std::vector<Placed>{}, {},
                             {1, 1, 1, 1}));
        wait(200);
        const std::string before = state();
        const int stock = (board().*c.stock)();
        ASSERT_EQ(stock, 1);
        const char key[] = {c.power, 0};
        press(key);
        EXPECT_EQ((board().*c.stock)(), 0);
        EXPECT_NE(state(), before);
        wait(700);
        press("u");
        EXPECT_EQ(state(), before);
        EXPECT_EQ((board().*c.stock)(), 1);
        EXPECT_FALSE(board().getIll().isCloaked);
        EXPECT_TRUE(board().getFoods().empty());
        EXPECT_TRUE(board().getDeadBodies().empty());
        for (const Dog& d : board().getDogs()) EXPECT_FALSE(d.isFakeIll());
    }
}

// Food sets a guard walking: its pace timer runs while the player turns, and after the turn
// is taken back the guard steps exactly when it would have without the turn.
TEST_F(Rewind, AnEnemysWalkKeepsItsTimeLeft) {
    const std::string room = levelText({"......", "......", "......", ".....E"}, {1, 2, FA_N}, {{5, 1, FA_W}},
                                       {}, {}, {1, 0, 0, 0});
    // Without any rewind: food, then the guard's steps as they come.
    startLevel(room);
    press("h");
    wait(100);
    const std::vector<std::string> undisturbed = trace([&]() -> const Actor& { return board().getGuards()[0]; }, 2000);
    ASSERT_FALSE(undisturbed.empty()) << "the food drew no guard";

    startLevel(room);
    press("h");
    wait(100);
    const std::string before = state();
    press("a");   // a turn west, then 332 ms of waiting...
    wait(332);
    press("u");   // ...taken back: the 332 ms are not given back, the guard's time left is
    EXPECT_EQ(state(), before);
    // The guard's timer was armed before the turn; from the restored board it steps on the
    // same schedule, measured from now.
    EXPECT_EQ(trace([&]() -> const Actor& { return board().getGuards()[0]; }, 2000), undisturbed);
}

// A capture restarts the level with its line; a rewind then returns to just before the key
// that walked into the guard's sight, not to the fresh start.
TEST_F(Rewind, AfterACaptureARewindReturnsToBeforeTheFatalKey) {
    startLevel(levelText({"......", "......", "......", ".....E"}, {0, 2, FA_E}, {{5, 1, FA_W}}, {}, {},
                         {0, 0, 0, 0}));
    const std::string start = state();
    press("d");
    wait(200);
    press("w");
    wait(200);
    const std::string beforeFatal = state();
    const Picture beforeFatalPicture = currentPicture();
    testing::internal::CaptureStdout();
    press("w");   // into row 1, straight in the guard's look
    wait(100);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("sorry, you lose a life"), std::string::npos);
    EXPECT_EQ(state(), start) << "the capture restarts the level";
    EXPECT_EQ(keysOnLine(), 0);
    press("u");
    EXPECT_EQ(state(), beforeFatal);
    EXPECT_TRUE(currentPicture() == beforeFatalPicture);
    EXPECT_EQ(keysOnLine(), 2);
    press("uu");
    EXPECT_EQ(state(), start);
}

// `r` is a key like the others: taken back, the level stands as it did before the restart.
// Entering another level forgets what could be taken back.
TEST_F(Rewind, ARestartCanBeTakenBackAndANewLevelForgetsEverything) {
    writeLevel(1, OPEN_ROOM);
    startLevel(OPEN_ROOM);
    press("d");
    wait(200);
    press("d");
    const std::string moved = state();
    press("r");
    EXPECT_EQ(keysOnLine(), 0);
    press("u");
    EXPECT_EQ(state(), moved);
    EXPECT_EQ(keysOnLine(), 2);
    loadNextBoard();
    EXPECT_EQ(keysToTakeBack(), 0u);
    EXPECT_FALSE(rewindUsedThisTry());
    const std::string fresh = state();
    press("u");
    EXPECT_EQ(state(), fresh);
}
