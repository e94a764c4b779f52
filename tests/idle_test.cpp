// idle_test.cpp — the tick: its three phases, their order, and when no game time passes.
#include "levelScenario.h"

class Tick : public LevelScenario {
protected:
    // Each redraw request is answered by a frame at once, as the window does.
    void paintOnRequest() {
        setRedisplayHandler([this] {
            ++redraws;
            displayFrame([](const Picture&, const std::vector<GlideShift>&) {});
        });
    }
};

TEST_F(Tick, NoGameTimePassesOnTheTitleOrEndingScreens) {
    play(levelText({"...."}, {2, 0, FA_W}, {{0, 0, FA_E}}, {}, {}, {0, 0, 1, 0}));
    board().useCloak();
    paintOnRequest();
    for (auto screen : {gotoTitle, gotoEnding}) {
        screen();
        redraws = 0;
        runFor(5000);
        EXPECT_EQ(redraws, 1);  // the screen once; it never changes
        EXPECT_TRUE(board().getIll().isCloaked);
    }
    setRedisplayHandler({});  // no frame: the loss stays for the test to see
    gotoMainGame();
    runFor(10);
    EXPECT_TRUE(board().hasLost());  // the cloak ran out at the first tick of play
}

TEST_F(Tick, WithNoBoardNothingHappens) {
    play(levelText({"."}, {0, 0, FA_N}));
    loadNextBoard();  // past the last level
    ASSERT_EQ(getCurrentBoard(), nullptr);
    runFor(100);
    EXPECT_EQ(redraws, 0);
}

TEST_F(Tick, FoodIsStillSeenInTheTickItExpires) {
    // Facing west, the guard only sees the food once it has turned at home.
    play(levelText({"....", "...."}, {2, 1, FA_N}, {{2, 0, FA_E}}, {}, {}, {1, 0, 0, 0}));
    board().useFood();  // (2, 0) is taken, so nothing is placed
    EXPECT_TRUE(board().getFoods().empty());
    board().moveLeft();
    board().moveLeft();  // (1, 1)
    board().moveUp();
    board().useFood();  // (1, 0), behind the guard
    ASSERT_EQ(board().getFoods().size(), 1u);
    board().getGuards()[0].o = FA_W;
    // No tick for 2 s: the next one kills the food and still lets the guard see it.
    clock.advance(2000);
    runCallbackPhase();
    EXPECT_TRUE(board().getFoods()[0].isDead());
    runEnemyPhase();
    EXPECT_TRUE(board().getGuards()[0].approachFlag);
    runRemoveDeadPhase();
    EXPECT_TRUE(board().getFoods().empty());
}

TEST_F(Tick, AFakeKilledEarlierInTheTickStillBlocksSightUntilErased) {
    play(levelText({".....", ".....", "....."}, {3, 0, FA_N},
                   {{0, 1, FA_E}, {3, 1, FA_W}, {3, 2, FA_N}}));
    board().getGuards()[1].makeFakeIll();  // shot by the first guard, then the last
    runEnemyPhase();
    EXPECT_TRUE(board().getGuards()[1].isDead());
    EXPECT_FALSE(board().hasLost());  // the last guard's view of the player was blocked
    runRemoveDeadPhase();
    ASSERT_EQ(board().getGuards().size(), 2u);
    EXPECT_EQ(board().getGuards()[1].y, 2);
    runEnemyPhase();
    EXPECT_TRUE(board().hasLost());
}

TEST(RemoveDead, KeepsTheSurvivorsInOrder) {
    std::vector<Guard> guards;
    for (int x = 0; x < 6; ++x) guards.emplace_back(x, 0, FA_N);
    for (int dead : {0, 2, 3, 5}) guards[dead].kill();
    removeDead(guards);
    ASSERT_EQ(guards.size(), 2u);
    EXPECT_EQ(guards[0].x, 1);
    EXPECT_EQ(guards[1].x, 4);

    for (Guard& g : guards) g.kill();
    removeDead(guards);
    EXPECT_TRUE(guards.empty());
}

TEST_F(Tick, AFrameIsAskedForOnlyWhenThePictureChanges) {
    // A guard looking at the wall beside it: nothing moves.
    play(levelText({"#....", "....."}, {4, 1, FA_N}, {{1, 0, FA_W}}));
    paintOnRequest();
    runFor(10);
    EXPECT_EQ(redraws, 1);
    runFor(5000);
    EXPECT_EQ(redraws, 1);

    // Food three squares ahead of a guard (as in its sight test): the food
    // appears, three steps to it, the food expires, three steps home, the turn;
    // and each of the six steps glides, one frame every GLIDE_FRAME_MS.
    play(levelText({".......", "......."}, {3, 0, FA_S}, {{0, 1, FA_E}}, {}, {}, {1, 0, 1, 0}));
    board().useFood();
    redraws = 0;
    runFor(4000);
    EXPECT_EQ(redraws, 9 + 6 * (GLIDE_MS / GLIDE_FRAME_MS));

    // The cloak's countdown repaints each tenth of a second, and once when it ends.
    redraws = 0;
    board().useCloak();
    runFor(3000);
    EXPECT_EQ(redraws, 21);

    // The overlay on and off: one frame each.
    redraws = 0;
    toggleSightOverlay();
    runFor(100);
    toggleSightOverlay();
    runFor(100);
    EXPECT_EQ(redraws, 2);
}

TEST_F(Tick, AFrameAskedForButNotYetPaintedIsNotAskedForAgain) {
    play(levelText({"..."}, {0, 0, FA_E}, {}, {}, {}, {0, 0, 1, 0}));
    board().useCloak();
    runFor(10);
    EXPECT_EQ(redraws, 1);  // a hidden window paints nothing
    runFor(50);
    EXPECT_EQ(redraws, 1);
    runFor(100);
    EXPECT_EQ(redraws, 2);  // the countdown changed again
}

TEST_F(Tick, IdleSleepsUntilTheNextTimerAFewMillisecondsAtMost) {
    std::vector<int> waits;
    setIdleWait([&](int ms) { waits.push_back(ms); });
    play(levelText({"...."}, {0, 0, FA_E}, {}, {}, {}, {0, 0, 1, 0}));
    setRedisplayHandler(notePicturePainted);

    gotoTitle();
    idle();
    idle();
    gotoMainGame();
    idle();
    idle();
    // The first pass after a screen change asks for a frame instead of sleeping.
    EXPECT_EQ(waits, (std::vector<int>{MAX_IDLE_WAIT_MS, MAX_IDLE_WAIT_MS}));

    // The cloak's timer is due 2000 ms after it started.
    board().useCloak();
    waits.clear();
    runFor(1997, 1);
    waits.clear();
    idle();
    clock.advance(1);
    idle();
    clock.advance(1);
    idle();
    clock.advance(1);
    idle();  // due now: it fires, the picture changes, a frame is asked for instead
    EXPECT_EQ(waits, (std::vector<int>{3, 2, 1}));
    EXPECT_FALSE(board().getIll().isCloaked);
    setIdleWait({});
}

TEST_F(Tick, TimersDueMillisecondIsTheFirstPollThatFiresThem) {
    for (float seconds : {0.5f, 2.0f, 0.001f, 0.3f, 1.7f}) {
        ManualClock local(1000);
        local.install();
        int fired = 0;
        TimedCallback t([](Actor* a) { ++*reinterpret_cast<int*>(a); }, seconds, false);
        const int64_t due = t.dueMs();
        local.advance(due - 1 - local.now());
        t.poll(reinterpret_cast<Actor*>(&fired));
        EXPECT_EQ(fired, 0) << seconds;
        local.advance(1);
        t.poll(reinterpret_cast<Actor*>(&fired));
        EXPECT_EQ(fired, 1) << seconds;
    }
    clock.install();
}
