// hint_test.cpp — the hint: doing what it says wins, from the start and from random states,
// in simulated time; asked in play it is thought of aside while the board's timers stand.
#include "hint.h"

#include <random>
#include <string>

#include "boardState.h"
#include "hintThinker.h"
#include "hud.h"
#include "levelScenario.h"
#include "solverRooms.h"
#include "linePlay.h"
#include "repositoryRoot.h"
#include "rewind.h"
#include "solver.h"

namespace {

using solverRooms::galleryLevel;
using solverRooms::hallLevel;
using solverRooms::randomOpening;

// Ticks of the game loop until `ms` later; false if the level is lost meanwhile.
bool passTime(ManualClock& clock, int64_t ms) { return playUntil(clock, clock.now() + ms, 4, false); }

// Does what each hint `ask` gives says, on the current board in simulated time.
template <typename Ask>
std::string followHints(ManualClock& clock, Ask ask, std::string* said = nullptr) {
    HintFollower f;
    f.ask = ask;
    f.pass = [&](int64_t ms) { return passTime(clock, ms); };
    f.press = [](char key) {
        StdoutSilenced quiet;
        keyboard(static_cast<unsigned char>(key), 0, 0);
    };
    f.won = [] { return getCurrentBoard()->hasWon(); };
    f.lost = [] { return getCurrentBoard()->hasLost(); };
    return followHints(f, said);
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
    // The line a helper writes back reads back as the same hint; one cut short does not read.
    for (const auto& c : cases) {
        Hint h;
        h.kind = c.kind;
        h.key = c.key;
        h.states = 12345;
        if (c.kind != Hint::NONE) h.line = {{200, 'd'}, {1500, 'k'}};
        const std::string line = hintLine(h);
        Hint back;
        ASSERT_TRUE(readHintLine(line, back)) << line;
        EXPECT_EQ(hintLine(back), line);
        EXPECT_FALSE(readHintLine(line.substr(0, line.size() - 1), back)) << line;
    }
    Hint untouched;
    EXPECT_FALSE(readHintLine("9 0 0\n", untouched));
    EXPECT_FALSE(readHintLine("", untouched));
    for (unsigned char k : {'?', '/'}) EXPECT_TRUE(isHintKey(k));
    for (unsigned char k : {'h', 'u', '\b', '.'}) EXPECT_FALSE(isHintKey(k));
}

// The game's own keys all the way: `?` asks, a forked helper thinks, the answer is printed
// and taken in by the frame step; doing what each line says crosses the hall under the cloak.
TEST_F(Hints, OnALevelNeedingTheCloakDoingWhatEachHintSaysWinsIt) {
    play(hallLevel());
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
    EXPECT_EQ(hudState(board()).hint, shownHint());
    passTime(clock, HINT_SHOWN_MS);
    EXPECT_EQ(shownHint(), "");
    EXPECT_EQ(hudState(board()).hint, "");
}

TEST_F(Hints, NoneWhenNoWinIsLeftAndTheSearchAgreesWithoutLimits) {
    play(hallLevel());
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
    play(hallLevel());
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
    play(hallLevel());
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
    const std::string levels[] = {hallLevel(), galleryLevel()};
    std::mt19937 rng(7);
    int followed = 0, none = 0;
    for (int round = 0; round < 24; ++round) {
        play(levels[round % 2]);
        book.levelStarted(board(), clock.now());
        last = {};
        const std::vector<Press> randomKeys = randomOpening(rng);
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

// Each arrow is the same arrow turned: its tip on the edge it points to, its tail opposite.
TEST(HintArrow, PointsTheWayOfItsKeyAndIsNothingForAPower) {
    const int last = HINT_ARROW_SIZE - 1, mid = HINT_ARROW_SIZE / 2;
    const struct {
        char key;
        int tipX, tipY, tailX, tailY;  // rows counted from the bottom, as stored
    } cases[] = {{'d', last, mid, 0, mid}, {'a', 0, mid, last, mid}, {'w', mid, last, mid, 0}, {'s', mid, 0, mid, last}};
    auto opaque = [](const std::vector<uint8_t>& image, int x, int y) {
        return image[(static_cast<size_t>(y) * HINT_ARROW_SIZE + x) * 4 + 3] == 255;
    };
    auto yellow = [](const std::vector<uint8_t>& image, int x, int y) {
        const uint8_t* p = &image[(static_cast<size_t>(y) * HINT_ARROW_SIZE + x) * 4];
        return p[0] == 255 && p[1] > 200 && p[3] == 255;
    };
    size_t firstOpaque = 0;
    for (const auto& c : cases) {
        const std::vector<uint8_t> image = hintArrowImage(c.key);
        ASSERT_EQ(image.size(), static_cast<size_t>(HINT_ARROW_SIZE * HINT_ARROW_SIZE * 4)) << c.key;
        EXPECT_TRUE(yellow(image, c.tipX, c.tipY)) << c.key;
        EXPECT_TRUE(yellow(image, c.tailX, c.tailY)) << c.key;
        // Beside the tip along the edge: only the dark rim or nothing; beside the tail, the head's width.
        const int acrossX = c.tipX == mid ? 1 : 0, acrossY = c.tipY == mid ? 1 : 0;
        EXPECT_FALSE(yellow(image, c.tipX + acrossX * 2, c.tipY + acrossY * 2)) << c.key;
        size_t count = 0;
        for (int y = 0; y < HINT_ARROW_SIZE; ++y)
            for (int x = 0; x < HINT_ARROW_SIZE; ++x) count += opaque(image, x, y);
        if (!firstOpaque) firstOpaque = count;
        EXPECT_EQ(count, firstOpaque) << c.key << ": each arrow is the first turned";
    }
    for (char k : {'h', 'j', 'k', 'l', '?'}) EXPECT_TRUE(hintArrowImage(k).empty()) << k;
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
