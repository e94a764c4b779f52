// linePlay_test.cpp — lines of keys played as a person plays them, and the humane rule: a
// level built so that one key wins only on its exact tick.
#include "linePlay.h"

#include <string>
#include <vector>

#include "frameStep.h"
#include "keyboard.h"
#include "levelScenario.h"
#include "boardState.h"
#include "solver.h"

namespace {

// The stairs lie across the hall a guard at its west end watches. Food put down in the hall
// draws the guard east; it steps onto the food's square 1.5 s after it first sees it and
// walks home facing west. A player who enters the food's square on the very tick before the
// guard steps onto it is not seen (a look never examines its own square); a tick earlier the
// guard sees them, a tick later they walk into the guard.
const std::initializer_list<const char*> CROSSING = {
    "####E####",
    "#.......#",
    "####.####",
    "####.####",
    "#########",
};

std::string crossing() { return levelText(CROSSING, {4, 3, FA_N}, {{1, 1, FA_E}}, {}, {}, {.food = 1}); }

// Up to the hall's edge, the food into the hall; the guard's look arms its walk on the tick
// after, at 404 ms, and it steps at 904, 1404 and 1904 ms.
const std::vector<Press> ON_THE_TICK = {{200, 'w'}, {200, 'h'}, {1500, 'w'}, {200, 'w'}};
// The same after the guard has turned for home: it faces west from 2404 to 3904 ms, a window
// wide enough for the line played at 90 % or 110 % of its pace too.
const std::vector<Press> BEHIND_ITS_BACK = {{200, 'w'}, {200, 'h'}, {2500, 'w'}, {200, 'w'}};

class LinePlayTest : public LevelScenario {
protected:
    LineOutcome playFresh(const std::vector<Press>& presses, int tempo = 100) {
        play(crossing());
        LinePlay how;
        how.tempoPercent = tempo;
        return playLine(clock, presses, how);
    }
};

// Played in stretches that carry their quiet from one to the next, the board is at each
// stretch's end what ticking through every tick makes it, while the food draws the guard out
// and home again, stretch lengths on and off the guard's pace.
TEST_F(LinePlayTest, StretchesCarryingTheirQuietEndWhereEveryTickLeads) {
    for (int64_t stretch : {4, 8, 100, 196, 500, 1000}) {
        SCOPED_TRACE("stretches of " + std::to_string(stretch) + " ms");
        play(crossing());
        ASSERT_FALSE(playLine(clock, {{200, 'w'}, {200, 'h'}}, LinePlay{}).lost);
        const int64_t from = clock.now();
        Board ticked = board();
        bool quiet = false;
        int quietEnds = 0;
        for (int64_t until = from + stretch; until <= from + 4000; until += stretch) {
            const Board carried = board();
            board() = ticked;
            clock.advance(until - stretch - clock.now());
            ASSERT_TRUE(playUntil(clock, until, 4, false));
            ticked = board();
            const std::string expected = boardStateKey(ticked, until);
            board() = carried;
            clock.advance(until - stretch - clock.now());
            ASSERT_TRUE(playUntil(clock, until, 4, true, &quiet));
            EXPECT_EQ(boardStateKey(board(), until), expected) << "at " << until - from << " ms";
            quietEnds += quiet;
        }
        EXPECT_GT(quietEnds, 0) << "no stretch ended quiet: nothing was carried";
    }
}

TEST_F(LinePlayTest, AKeyOnTheGuardsExactTickWinsAsWrittenAndLosesATickOff) {
    EXPECT_TRUE(playFresh(ON_THE_TICK).won);
    for (int64_t off : {-4, 4}) {
        std::vector<Press> shifted = ON_THE_TICK;
        shifted[2].waitMs += off;
        LineOutcome out = playFresh(shifted);
        EXPECT_TRUE(out.lost) << off;
        EXPECT_FALSE(out.won) << off;
    }
    // Already the food a tick early moves the guard's steps a tick earlier.
    play(crossing());
    EXPECT_EQ(humaneFailure(clock, ON_THE_TICK), "key 2 4 ms early: lost at 1900 ms");
    EXPECT_TRUE(playFresh(BEHIND_ITS_BACK).won);
    play(crossing());
    EXPECT_EQ(humaneFailure(clock, BEHIND_ITS_BACK), "");
}

// isHumane() tries the same ways of playing in another order: it says yes exactly when
// humaneFailure() finds none that fails, whichever way fails first.
TEST_F(LinePlayTest, IsHumaneAgreesWithHumaneFailure) {
    std::vector<Press> tooSlow = BEHIND_ITS_BACK, tooLate = BEHIND_ITS_BACK, short2 = BEHIND_ITS_BACK;
    tooSlow[2].waitMs = 3400;  // at 110 % of the pace the guard has turned back
    tooLate[2].waitMs = 4000;  // as written, the guard is looking again
    short2.pop_back();         // ends on the hall's edge, not won
    const struct {
        const char* name;
        std::vector<Press> line;
        bool humane;
    } cases[] = {{"behind its back", BEHIND_ITS_BACK, true}, {"on the exact tick", ON_THE_TICK, false},
                 {"too slow a pace", tooSlow, false}, {"too late", tooLate, false}, {"one key short", short2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        play(crossing());
        const std::string failure = humaneFailure(clock, c.line);
        EXPECT_EQ(failure.empty(), c.humane) << failure;
        EXPECT_EQ(isHumane(clock, c.line), c.humane);
        // Both put the board back as it was.
        EXPECT_TRUE(playLine(clock, BEHIND_ITS_BACK, LinePlay{}).won);
    }
}

TEST_F(LinePlayTest, TheHumaneSearchRefusesTheExactTickAndFindsTheWayBehindTheGuard) {
    play(crossing());
    SolveOptions options;
    options.waits = {200, 1500};
    options.humane = false;
    SolveResult exact = solveCurrentLevel(clock, options);
    ASSERT_TRUE(exact.solved);
    EXPECT_EQ(walkthroughText(exact.presses), walkthroughText(ON_THE_TICK));

    // On the same waits a humane win must spend keys to pass the time until the guard's back
    // is turned.
    options.humane = true;
    SolveResult humane = solveCurrentLevel(clock, options);
    ASSERT_TRUE(humane.solved);
    EXPECT_GT(humane.presses.size(), 4u) << walkthroughText(humane.presses);
    EXPECT_GT(humane.unplayable, 0u);
    EXPECT_EQ(humaneFailure(clock, humane.presses), "") << walkthroughText(humane.presses);

    options.waits = {200, 1500, 2500};
    humane = solveCurrentLevel(clock, options);
    ASSERT_TRUE(humane.solved);
    EXPECT_EQ(humane.presses.size(), 4u);
    EXPECT_EQ(humaneFailure(clock, humane.presses), "") << walkthroughText(humane.presses);
    EXPECT_NE(walkthroughText(humane.presses), walkthroughText(ON_THE_TICK));
}

TEST_F(LinePlayTest, APlayedLineStopsAtItsOutcomeAndKeepsTheTempo) {
    struct Case {
        const char* name;
        std::vector<Press> presses;
        int tempo;
        int64_t settleMs;
        bool won, lost;
        std::vector<int64_t> keyTimes;
    };
    const std::vector<Case> cases = {
        {"a win stops the line", {{200, 'w'}, {200, 'h'}, {1500, 'w'}, {200, 'w'}, {200, 's'}}, 100, 0, true, false,
         {200, 400, 1900, 2100}},
        {"the tempo scales every time", {{200, 'a'}, {300, 'd'}}, 90, 0, false, false, {180, 450}},
        {"into the hall in the guard's sight", {{200, 'w'}, {200, 'w'}, {200, 'w'}}, 100, 0, false, true, {200, 400}},
        {"left where the guard turns to look", {{200, 'w'}, {200, 'h'}, {1500, 'w'}}, 100, 0, false, false,
         {200, 400, 1900}},
        {"left there, caught while settling", {{200, 'w'}, {200, 'h'}, {1500, 'w'}}, 100, 3000, false, true,
         {200, 400, 1900}},
        {"nothing happens to a player out of sight", {{200, 'w'}}, 100, 3000, false, false, {200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        play(crossing());
        std::vector<int64_t> times;
        LinePlay how;
        how.tempoPercent = c.tempo;
        how.settleMs = c.settleMs;
        how.afterKey = [&](int64_t at, char) { times.push_back(at); };
        LineOutcome out = playLine(clock, c.presses, how);
        EXPECT_EQ(times, c.keyTimes);
        EXPECT_EQ(out.won, c.won);
        EXPECT_EQ(out.lost, c.lost);
        EXPECT_EQ(out.keys, c.keyTimes.size());
    }
}

// A search's ticks and keys act on the board as ever, but show nothing: no frame is asked for
// while it plays; once it is over, the board as it stands is asked for again.
TEST_F(LinePlayTest, ASearchsTicksAskForNoFrameAndThePlayAfterItDoes) {
    play(crossing());
    frameStep();
    notePicturePainted();
    {
        SearchQuiet search;
        EXPECT_TRUE(searchPlaying());
        keyboard('w', 0, 0);
        EXPECT_EQ(board().getIll().y, 2);
        for (int i = 0; i < 10; ++i) {
            clock.advance(4);
            FrameReport r = frameStep();
            EXPECT_TRUE(r.played);
            EXPECT_FALSE(r.redraw) << "tick " << i;
        }
        // Nested searches (a hint's humane checks inside its search) stay quiet until the last ends.
        { SearchQuiet inner; }
        EXPECT_TRUE(searchPlaying());
    }
    EXPECT_FALSE(searchPlaying());
    clock.advance(4);
    EXPECT_TRUE(frameStep().redraw);
}

TEST(HumaneVariants, EachKeyATickOffAloneAndWithTheRestThenThePace) {
    const std::vector<Press> line = {{200, 'a'}, {500, 'b'}, {300, 'c'}};
    struct Expected {
        std::string name;
        std::vector<int64_t> waits;
        int tempo;
    };
    const std::vector<Expected> expected = {
        {"key 1 4 ms early", {196, 504, 300}, 100},
        {"key 1 4 ms early with the keys after it", {196, 500, 300}, 100},
        {"key 1 4 ms late", {204, 496, 300}, 100},
        {"key 1 4 ms late with the keys after it", {204, 500, 300}, 100},
        {"key 2 4 ms early", {200, 496, 304}, 100},
        {"key 2 4 ms early with the keys after it", {200, 496, 300}, 100},
        {"key 2 4 ms late", {200, 504, 296}, 100},
        {"key 2 4 ms late with the keys after it", {200, 504, 300}, 100},
        {"key 3 4 ms early with the keys after it", {200, 500, 296}, 100},
        {"key 3 4 ms late with the keys after it", {200, 500, 304}, 100},
        {"at 90 % of the pace", {200, 500, 300}, 90},
        {"at 110 % of the pace", {200, 500, 300}, 110},
    };
    const std::vector<LineVariant> got = humaneVariants(line, 4);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(got[i].name, expected[i].name);
        std::vector<int64_t> waits;
        std::string keys;
        for (const Press& p : got[i].presses) {
            waits.push_back(p.waitMs);
            keys += p.key;
        }
        EXPECT_EQ(waits, expected[i].waits);
        EXPECT_EQ(keys, "abc");
        EXPECT_EQ(got[i].tempoPercent, expected[i].tempo);
    }
}

}  // namespace
