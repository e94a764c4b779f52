// hint_test.cpp — the hint: doing what it says wins, from the start and from random states,
// in simulated time; asked in play it is thought of aside while the board's timers stand.
#include "hint.h"

#include <random>
#include <string>

#include "boardState.h"
#include "hintThinker.h"
#include "levelScenario.h"
#include "linePlay.h"
#include "repositoryRoot.h"
#include "rewind.h"
#include "solver.h"

namespace {

// A hall the commander at its south watches through the gap at x = 3: only the cloak gets
// the player past it.
const std::initializer_list<const char*> HALL = {
    "#######",
    "#....E#",
    "###.###",
    "###.###",
    "#######",
};
const Placed HALL_START{1, 1, FA_E};

// The guard at the east end of the upper hall watches all of it; food at the west end draws
// it along, and the player follows behind it as it walks home.
const std::initializer_list<const char*> GALLERY = {
    "########",
    "#......#",
    "#.#.####",
    "#.#E####",
    "########",
};

constexpr int64_t ASK_AGAIN_MS = 100;  // how long a follower waits after "hint: wait"
constexpr int MOST_ASKS = 120;

// Ticks of the game loop until `ms` later; false if the level is lost meanwhile.
bool passTime(ManualClock& clock, int64_t ms) { return playUntil(clock, clock.now() + ms, 4, false); }

// Does what each hint says until the level is won: "hint: K" presses K HINT_PRESS_MS later
// and asks again at once; "hint: wait" asks again a little later. "" when that wins, else
// what went wrong. `ask` answers for the board as it is now.
template <typename Ask>
std::string followHints(ManualClock& clock, Ask ask, std::string* said = nullptr) {
    for (int n = 0; n < MOST_ASKS; ++n) {
        const Hint h = ask();
        if (said) *said += hintText(h) + "\n";
        switch (h.kind) {
        case Hint::KEY:
            if (!passTime(clock, HINT_PRESS_MS)) return "lost before pressing " + hintText(h);
            {
                StdoutSilenced quiet;
                keyboard(static_cast<unsigned char>(h.key), 0, 0);
            }
            if (getCurrentBoard()->hasLost()) return "lost by " + hintText(h);
            if (getCurrentBoard()->hasWon()) return "";
            break;
        case Hint::WAIT:
            if (!passTime(clock, ASK_AGAIN_MS)) return "lost while waiting";
            break;
        default: return "after " + std::to_string(n) + " hints: " + hintText(h);
        }
    }
    return "not won after " + std::to_string(MOST_ASKS) + " hints";
}

class Hints : public LevelScenario {
protected:
    void SetUp() override {
        LevelScenario::SetUp();
        beginTry();
    }
    void TearDown() override {
        dropHintQuestion();
        LevelScenario::TearDown();
    }

    // The hint as the game's frame loop would have it: the book kept by the frame step.
    Hint askNow() {
        last = thinkOfHint(clock, book.lines());
        book.answered(board(), clock.now(), last);
        return last;
    }

    HintBook book;
    Hint last;
};

TEST(HintText, SaysTheKeyWaitOrNone) {
    const struct {
        Hint::Kind kind;
        char key;
        const char* text;
    } cases[] = {{Hint::KEY, 'd', "hint: d"}, {Hint::KEY, 'k', "hint: k"}, {Hint::WAIT, 0, "hint: wait"},
                 {Hint::NONE, 0, "hint: none"}, {Hint::UNKNOWN, 0, "hint: not found"}};
    for (const auto& c : cases) {
        Hint h;
        h.kind = c.kind;
        h.key = c.key;
        EXPECT_EQ(hintText(h), c.text);
    }
    for (unsigned char k : {'?', '/'}) EXPECT_TRUE(isHintKey(k));
    for (unsigned char k : {'h', 'u', '\b', '.'}) EXPECT_FALSE(isHintKey(k));
}

// The game's own keys all the way: `?` asks, a forked helper thinks, the answer is printed
// and taken in by the frame step; doing what each line says crosses the hall under the cloak.
TEST_F(Hints, OnALevelNeedingTheCloakDoingWhatEachHintSaysWinsIt) {
    play(levelText(HALL, HALL_START, {}, {}, {{3, 3, FA_N}}, {.cloak = 1}));
    frameStep([] { return false; });
    std::string said;
    const std::string failure = followHints(
        clock,
        [&] {
            testing::internal::CaptureStdout();
            keyboard('?', 0, 0);
            EXPECT_TRUE(hintThinking());
            awaitHint();
            const std::string out = testing::internal::GetCapturedStdout();
            EXPECT_EQ(out, hintText(lastHint()) + "\n");
            EXPECT_EQ(shownHint(), lastHint().kind == Hint::KEY ? std::string(1, lastHint().key)
                                   : lastHint().kind == Hint::WAIT ? "wait" : "none");
            return lastHint();
        },
        &said);
    EXPECT_EQ(failure, "") << said;
    EXPECT_NE(said.find("hint: k\n"), std::string::npos) << said;
    EXPECT_TRUE(hintUsedThisTry());
    // The hint shows for about a second, then the board shows no hint again.
    passTime(clock, HINT_SHOWN_MS);
    EXPECT_EQ(shownHint(), "");
}

TEST_F(Hints, NoneWhenNoWinIsLeftAndTheSearchAgreesWithoutLimits) {
    play(levelText(HALL, HALL_START, {}, {}, {{3, 3, FA_N}}, {.cloak = 1}));
    StdoutSilenced quiet;
    keyboard('k', 0, 0);  // the cloak put on too early: it runs out before the gap
    ASSERT_TRUE(passTime(clock, 3000));
    EXPECT_EQ(askNow().kind, Hint::NONE);
    SolveOptions exhaustive;
    exhaustive.maxSeconds = 0;
    EXPECT_FALSE(solveCurrentLevel(clock, exhaustive).solved);
}

// The timers stand while the helper thinks: the board answered about is the board played on.
TEST_F(Hints, TheBoardsTimersStandWhileAHintIsThoughtOf) {
    play(levelText(HALL, HALL_START, {}, {}, {{3, 3, FA_N}}, {.cloak = 1}));
    StdoutSilenced quiet;
    keyboard('k', 0, 0);
    ASSERT_TRUE(passTime(clock, 600));  // the cloak has 1.4 s left
    const std::string asked = boardStateKey(board(), clock.now());
    keyboard('/', 0, 0);
    ASSERT_TRUE(hintThinking());
    for (int i = 0; i < 50; ++i) {  // half a second of frames while it thinks
        clock.advance(10);
        frameStep([] { return false; });
        if (!hintThinking()) break;
        EXPECT_EQ(boardStateKey(board(), clock.now()), asked) << "frame " << i;
    }
    awaitHint();
    EXPECT_EQ(boardStateKey(board(), clock.now()), asked);
    EXPECT_TRUE(board().getIll().isCloaked);
    // Once answered, time runs on: the cloak's time runs out.
    ASSERT_TRUE(passTime(clock, 500));
    EXPECT_NE(boardStateKey(board(), clock.now()), asked);
}

TEST_F(Hints, AKeyThatMovesThePlayerDropsTheQuestion) {
    play(levelText(HALL, HALL_START, {}, {}, {{3, 3, FA_N}}, {.cloak = 1}));
    StdoutSilenced quiet;
    const unsigned before = hintsAnswered();
    keyboard('?', 0, 0);
    ASSERT_TRUE(hintThinking());
    keyboard('v', 0, 0);  // the sight overlay changes nothing on the board
    EXPECT_TRUE(hintThinking());
    keyboard('v', 0, 0);
    keyboard('d', 0, 0);
    EXPECT_FALSE(hintThinking());
    EXPECT_EQ(board().getIll().x, 2);
    frameStep([] { return false; });
    EXPECT_EQ(hintsAnswered(), before);
}

// From random states the monkey could reach on small levels: where the hint says a win is
// left, following the hints wins.
TEST_F(Hints, FollowedFromRandomStatesTheyWinWheneverAWinIsLeft) {
    const std::string levels[] = {
        levelText(HALL, HALL_START, {}, {}, {{3, 3, FA_N}}, {.cloak = 1}),
        levelText(GALLERY, {1, 3, FA_N}, {{6, 1, FA_W}}, {}, {}, {.food = 1}),
    };
    std::mt19937 rng(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int followed = 0, none = 0;
    for (int round = 0; round < 24; ++round) {
        play(levels[round % 2]);
        book.levelStarted(board(), clock.now());
        last = {};
        std::vector<Press> randomKeys;
        for (int k = pick(0, 5); k > 0; --k) randomKeys.push_back({pick(0, 200) * 4, "wasdwasdhk"[pick(0, 9)]});
        StdoutSilenced quiet;
        LineOutcome out = playLine(clock, randomKeys, LinePlay{});
        if (out.won || out.lost) continue;
        const Hint first = askNow();
        ASSERT_NE(first.kind, Hint::UNKNOWN) << "round " << round;
        if (first.kind == Hint::NONE) {
            ++none;
            SolveOptions exhaustive;
            EXPECT_FALSE(solveCurrentLevel(clock, exhaustive).solved) << "round " << round;
            continue;
        }
        ++followed;
        EXPECT_EQ(followHints(clock, [&] { return askNow(); }), "") << "round " << round;
    }
    EXPECT_GE(followed, 8);
    EXPECT_GE(none + followed, 12);
}

class CampaignHints : public RepositoryRootTest {};

// The walkthrough is known from the level's start: the first hint is its first key, with no
// search, and following the hints from there wins the level.
TEST_F(CampaignHints, FromALevelsStartTheWalkthroughAnswersAndFollowingItWins) {
    ManualClock clock(1000);
    clock.install();
    for (int level : {1, 14}) {
        loadBoardAt(level);
        gotoMainGame();
        beginTry();
        HintBook book;
        book.levelStarted(*getCurrentBoard(), clock.now());
        const std::vector<Press> walk = currentLevelWalkthrough();
        ASSERT_FALSE(walk.empty());
        Hint h = thinkOfHint(clock, book.lines());
        EXPECT_EQ(h.kind, Hint::KEY) << "level " << level;
        EXPECT_EQ(h.key, walk.front().key) << "level " << level;
        EXPECT_EQ(h.states, 0u) << "level " << level << ": the walkthrough should have answered";
        int searched = 0;
        book.answered(*getCurrentBoard(), clock.now(), h);
        const std::string failure = followHints(clock, [&] {
            h = thinkOfHint(clock, book.lines());
            book.answered(*getCurrentBoard(), clock.now(), h);
            searched += h.states > 0;
            return h;
        });
        EXPECT_EQ(failure, "") << "level " << level;
        // Level 1's waits are all HINT_PRESS_MS or longer, so each of its answers is known;
        // level 14 waits 150 ms at times, sooner than a hint's key comes, and is searched then.
        if (level == 1) {
            EXPECT_EQ(searched, 0) << "every answer on the line is known";
        }
    }
    gotoTitle();
}

}  // namespace
