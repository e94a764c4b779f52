// frameStep_test.cpp — the frame loop in simulated time: every decided level is acted on,
// whatever pictures came before, and a frame is asked for whenever the screen is stale.
#include "levelScenario.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {
// A 12 × 12 hall: walls across rows 4 and 6 but for a gap at x = 3, the exit at (1, 1).
// The guard at (10, 5) looks west along row 5, so the gap's middle square is in its view.
std::string hallWithAGuardedGap() {
    std::vector<std::string> rows(12, std::string(12, '.'));
    rows[4] = rows[6] = std::string(12, '#');
    rows[4][3] = rows[6][3] = '.';
    rows[1][1] = 'E';
    std::vector<const char*> cs;
    for (const std::string& r : rows) cs.push_back(r.c_str());
    return levelText({cs[0], cs[1], cs[2], cs[3], cs[4], cs[5], cs[6], cs[7], cs[8], cs[9], cs[10], cs[11]},
                     {3, 7, FA_N}, {{10, 5, FA_W}});
}
}  // namespace

class FrameLoop : public LevelScenario {
protected:
    // A window that paints every frame asked for at once, as the game's does.
    void paintOnRequest() {
        setRedisplayHandler([this] {
            ++redraws;
            displayFrame([](const Picture&, const std::vector<GlideShift>&) {});
        });
    }
    int losses() { return static_cast<int>(countOf(GetCapturedStdout(), "sorry, you lose a life\n")); }
    static size_t countOf(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
};

// Caught at the same square again and again: each capture restarts the level at once,
// without another key, however many times the same pictures have been painted before.
TEST_F(FrameLoop, ACaptureRepeatedAtTheSameSquareRestartsTheLevelEveryTime) {
    play(hallWithAGuardedGap());
    paintOnRequest();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        CaptureStdout();
        press("ww");
        ASSERT_TRUE(board().getIll().isAt(3, 5));
        runFramesFor(40);
        EXPECT_EQ(losses(), 1);
        EXPECT_TRUE(board().getIll().isAt(3, 7)) << "the level did not start again";
        EXPECT_FALSE(board().hasLost());
    }
}

// A window that paints nothing (hidden): the game plays on all the same, each capture
// restarting the level in the frame that made it.
TEST_F(FrameLoop, AHiddenWindowStillRestartsAndAdvances) {
    writeLevel(1, hallWithAGuardedGap());
    play(levelText({"...E"}, {0, 0, FA_E}));
    press("ddd");  // the exit
    ASSERT_EQ(getCurrLevel(), 1);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        CaptureStdout();
        keyboard('w', 0, 0);
        keyboard('w', 0, 0);
        runFramesFor(20);
        EXPECT_EQ(losses(), 1) << "attempt " << attempt;
        EXPECT_TRUE(board().getIll().isAt(3, 7)) << "attempt " << attempt;
    }
    // A win left by a key that no redraw followed is taken by the next frame.
    play(levelText({"..E"}, {0, 0, FA_E}));
    writeLevel(1, levelText({"..E"}, {0, 0, FA_E}));
    keyboard('d', 0, 0);
    keyboard('d', 0, 0);
    ASSERT_TRUE(board().hasWon());
    FrameReport r = frameStep();
    EXPECT_TRUE(r.played);
    EXPECT_TRUE(r.flow.won);
    EXPECT_EQ(r.flow.levelBefore, 0);
    EXPECT_EQ(r.flow.levelAfter, 1);
    EXPECT_TRUE(r.redraw);
}

// The same level won twice (the campaign's two levels are alike): the second win shows
// pictures already painted once, and still moves on, to the ending.
TEST_F(FrameLoop, ARepeatedWinStillMovesOnAndTheEndingIsPainted) {
    const std::string level = levelText({"..E"}, {0, 0, FA_E});
    writeLevel(1, level);
    play(level);
    paintOnRequest();
    CaptureStdout();
    press("dd");
    EXPECT_EQ(getCurrLevel(), 1);
    press("dd");
    EXPECT_NE(GetCapturedStdout().find("setting the ending flag"), std::string::npos);
    EXPECT_TRUE(atEnding());
    redraws = 0;
    runFramesFor(100);
    EXPECT_EQ(redraws, 1);  // the ending, once
}

// The rule alone, on pictures told apart by their level: "a" asks for a frame showing
// A (the result follows: + asked, - not), "A" paints A.
TEST(RedrawRule, AsksWheneverTheScreenIsStaleAndNoRequestCoversIt) {
    struct Case {
        const char* steps;
        const char* why;
    } cases[] = {
        {"a+ a- A a- b+ B", "asked once, painted, then a new picture"},
        {"a+ B a+", "a paint answers the request before it, even showing another picture"},
        {"A b+ B a+ B a+", "a capture repeated: the restart's picture again"},
        {"A b+ c+ c- b+", "a hidden window: asked again only when the picture changed"},
        {"A b+ A a- b+", "an undo landing on the painted state needs no frame"},
        {"A a- A a-", "nothing changed"},
    };
    for (const Case& c : cases) {
        RedrawRule rule;
        rule.painted(Picture{});
        std::string seen;
        for (const char* s = c.steps; *s; ++s) {
            if (*s == ' ' || *s == '+' || *s == '-') continue;
            Picture p;
            p.screen = Picture::GAME;
            p.level = std::tolower(*s);
            if (std::isupper(*s)) {
                rule.painted(p);
                seen += std::string(seen.empty() ? "" : " ") + *s;
            } else {
                seen += std::string(seen.empty() ? "" : " ") + *s + (rule.ask(p) ? "+" : "-");
            }
        }
        EXPECT_EQ(seen, c.steps) << c.why;
    }
}
