// glide_test.cpp — moves drawn as glides: the drawn position eases over GLIDE_MS, while
// the board, the rules and the frame loop's decisions stay exactly as without it.
#include "glide.h"

#include "levelScenario.h"

namespace {
// One actor of a kind, by its tile, at (x, y).
std::vector<int> at(std::initializer_list<std::initializer_list<int>> actors) {
    std::vector<int> out;
    for (auto a : actors) out.insert(out.end(), a);
    return out;
}
}  // namespace

// Pictures at given times and the glide of one actor after each: "dx,dy,msLeft".
TEST(Glides, EaseEachOneSquareMoveAndDrawEverythingElseInPlace) {
    struct Step {
        int64_t ms;
        std::vector<int> actors;  // tile, x, y ...
        unsigned board;
        size_t actor;
        const char* want;         // the actor's shift at `ms`, then at ms + 50 and ms + 100
    };
    struct Case {
        const char* why;
        std::vector<Step> steps;
    } cases[] = {
        {"a step east glides from the west square over 100 ms",
         {{0, at({{ILL_E, 1, 1}}), 1, 0, "0,0,0 0,0,0 0,0,0"},
          {1000, at({{ILL_E, 2, 1}}), 1, 0, "-1,0,100 -1,0,50 0,0,0"}}},
        {"the glide runs on the 10 ms grid: a move at 1004 starts where 1000 does",
         {{0, at({{ILL_E, 1, 1}}), 1, 0, "0,0,0 0,0,0 0,0,0"},
          {1004, at({{ILL_E, 2, 1}}), 1, 0, "-1,0,100 -1,0,54 -1,0,4"}}},
        {"a turn is no move: shown at once",
         {{0, at({{ILL_E, 1, 1}}), 1, 0, "0,0,0 0,0,0 0,0,0"},
          {1000, at({{ILL_S, 1, 1}}), 1, 0, "0,0,0 0,0,0 0,0,0"}}},
        {"a turn during a glide keeps it",
         {{0, at({{GUARD_S, 4, 4}}), 1, 0, "0,0,0 0,0,0 0,0,0"},
          {1000, at({{GUARD_S, 4, 5}}), 1, 0, "0,-1,100 0,-1,50 0,0,0"},
          {1030, at({{GUARD_N, 4, 5}}), 1, 0, "0,-1,70 0,-1,20 0,0,0"}}},
        {"two squares at once is a jump, not a glide",
         {{0, at({{DOG_W, 5, 5}}), 1, 0, "0,0,0 0,0,0 0,0,0"},
          {1000, at({{DOG_W, 3, 5}}), 1, 0, "0,0,0 0,0,0 0,0,0"}}},
        {"a new board (a restart) draws everyone in place",
         {{0, at({{ILL_N, 3, 7}}), 1, 0, "0,0,0 0,0,0 0,0,0"},
          {1000, at({{ILL_N, 3, 6}}), 2, 0, "0,0,0 0,0,0 0,0,0"}}},
        {"another screen than the game ends every glide",
         {{0, at({{ILL_N, 3, 7}}), 1, 0, "0,0,0 0,0,0 0,0,0"},
          {1000, at({{ILL_N, 3, 6}}), 1, 0, "0,1,100 0,1,50 0,0,0"},
          {1010, at({}), 0, 0, "0,0,0 0,0,0 0,0,0"}}},
        {"a fake is still its guard: it glides on",
         {{0, at({{GUARD_W, 6, 2}}), 1, 0, "0,0,0 0,0,0 0,0,0"},
          {1000, at({{FAKE_GUARD_W, 5, 2}}), 1, 0, "1,0,100 1,0,50 0,0,0"}}},
        {"the cloak is still the player",
         {{0, at({{ILL_W, 6, 2}}), 1, 0, "0,0,0 0,0,0 0,0,0"},
          {1000, at({{CLOAK_W, 5, 2}}), 1, 0, "1,0,100 1,0,50 0,0,0"}}},
        {"the first of two guards dies: the second keeps its own glide",
         {{0, at({{GUARD_E, 1, 1}, {GUARD_E, 1, 3}}), 1, 1, "0,0,0 0,0,0 0,0,0"},
          {1000, at({{GUARD_E, 1, 1}, {GUARD_E, 2, 3}}), 1, 1, "-1,0,100 -1,0,50 0,0,0"},
          {1020, at({{GUARD_E, 2, 3}}), 1, 0, "-1,0,80 -1,0,30 0,0,0"}}},
        {"food placed in front of a guard neither glides nor moves the guard",
         {{0, at({{GUARD_E, 1, 1}, {ILL_N, 4, 4}}), 1, 1, "0,0,0 0,0,0 0,0,0"},
          {1000, at({{FOOD, 4, 3}, {GUARD_E, 1, 1}, {ILL_N, 4, 4}}), 1, 0, "0,0,0 0,0,0 0,0,0"},
          {1000, at({{FOOD, 4, 3}, {GUARD_E, 1, 1}, {ILL_N, 4, 4}}), 1, 2, "0,0,0 0,0,0 0,0,0"}}},
    };
    for (const Case& c : cases) {
        Glides glides;
        std::string seen, wanted;
        for (const Step& s : c.steps) {
            glides.follow(s.actors, s.board, s.ms);
            std::string shifts;
            for (int64_t t : {s.ms, s.ms + 50, s.ms + 100}) {
                const GlideShift g = glides.shift(s.actor, t);
                shifts += (shifts.empty() ? "" : " ") + std::to_string(g.dx) + "," + std::to_string(g.dy) + "," +
                          std::to_string(g.msLeft);
                // Something glides exactly when the phase says so.
                bool any = false;
                for (size_t k = 0; k < s.actors.size() / 3; ++k) any = any || glides.shift(k, t).msLeft != 0;
                EXPECT_EQ(glides.phase(t) != 0, any) << c.why << " at " << t;
            }
            seen += shifts + "; ";
            wanted += std::string(s.want) + "; ";
        }
        EXPECT_EQ(seen, wanted) << c.why;
    }
}

TEST(Glides, ThePhaseChangesOnlyOnTheFrameGridAndEndsWithTheGlide) {
    Glides glides;
    glides.follow(at({{ILL_E, 1, 1}}), 1, 0);
    glides.follow(at({{ILL_E, 2, 1}}), 1, 1000);
    int changes = 0;
    int64_t last = glides.phase(1000);
    for (int64_t t = 1001; t <= 1200; ++t) {
        const int64_t p = glides.phase(t);
        if (p != last) ++changes;
        if (t % GLIDE_FRAME_MS != 0) {
            EXPECT_EQ(p, last) << t;
        }
        last = p;
    }
    EXPECT_EQ(changes, GLIDE_MS / GLIDE_FRAME_MS);  // nine steps of the glide, then 0
    EXPECT_EQ(last, 0);
}

// The frame loop with a window that paints every frame it is asked for.
class GlidingFrames : public LevelScenario {
protected:
    void paintOnRequest(std::vector<GlideShift>* lastShifts = nullptr) {
        setRedisplayHandler([this, lastShifts] {
            ++redraws;
            displayFrame([lastShifts](const Picture&, const std::vector<GlideShift>& shifts) {
                if (lastShifts) *lastShifts = shifts;
            });
        });
    }
};

// A step asks for frames while the player glides and for none once it stands: about ten
// over the glide, every one showing the player between the squares, then quiet.
TEST_F(GlidingFrames, AStepPaintsTheGlideThenTheLoopGoesQuiet) {
    play(levelText({"......", "......", "....E."}, {0, 1, FA_E}));
    std::vector<GlideShift> drawn;
    paintOnRequest(&drawn);
    runFramesFor(200, 2);
    redraws = 0;
    keyboard('d', 0, 0);
    EXPECT_EQ(board().getIll().x, 1) << "the step counts at once";
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back(), (GlideShift{-1, 0, GLIDE_MS})) << "the first frame shows the square left";
    std::vector<int> msLeft;
    for (int t = 0; t < 400; t += 2) {
        clock.advance(2);
        idle();
        if (msLeft.empty() || drawn.back().msLeft != msLeft.back()) {
            msLeft.push_back(drawn.back().msLeft);
        }
    }
    EXPECT_GE(redraws, 9);
    EXPECT_LE(redraws, 12);
    ASSERT_FALSE(msLeft.empty());
    EXPECT_EQ(msLeft.back(), 0);
    for (size_t k = 1; k < msLeft.size(); ++k) EXPECT_LT(msLeft[k], msLeft[k - 1]) << "the glide only goes on";
    redraws = 0;
    runFramesFor(1000, 2);
    EXPECT_EQ(redraws, 0) << "nothing moves: no frame";
}

// The same walk played with every frame painted (the glides followed at each one) and
// with a window that paints nothing: the guard's every move, the capture and the
// restart happen at the very same milliseconds.
TEST_F(GlidingFrames, GlidingChangesNothingATickDecides) {
    // The guard walks down to the food, then home; the player steps into its sight later.
    const std::string level =
        levelText({"........", "........", "........", "........", "........", "........"}, {3, 3, FA_W},
                  {{2, 0, FA_S}}, {}, {}, {3, 0, 0, 0});
    auto playIt = [&](bool paint) {
        play(level);
        if (paint)
            paintOnRequest();
        else
            setRedisplayHandler([this] { ++redraws; });
        std::vector<std::string> log;
        auto note = [&](int t) {
            const Board& b = *getCurrentBoard();
            const Ill& ill = const_cast<Board&>(b).getIll();
            const Guard& g = const_cast<Board&>(b).getGuards().front();
            log.push_back(std::to_string(t) + ": " + std::to_string(g.x) + "," + std::to_string(g.y) + "," +
                          std::to_string(g.o) + " ill " + std::to_string(ill.x) + "," + std::to_string(ill.y));
        };
        std::string last;
        for (int t = 0; t < 6000; t += 3) {
            if (t == 30) keyboard('h', 0, 0);     // food at (2, 3): the guard comes down
            if (t == 4203) keyboard('a', 0, 0);   // onto (2, 3), in its sight
            clock.advance(3);
            idle();
            note(t);
            if (log.back() == last)
                log.pop_back();
            else
                last = log.back();
        }
        return log;
    };
    testing::internal::CaptureStdout();
    const std::vector<std::string> hidden = playIt(false);
    const std::string hiddenOut = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    const std::vector<std::string> painted = playIt(true);
    const std::string paintedOut = testing::internal::GetCapturedStdout();
    EXPECT_GT(hidden.size(), 6u) << "the guard walked";
    EXPECT_NE(hiddenOut.find("sorry, you lose a life"), std::string::npos) << "the guard caught the player";
    EXPECT_EQ(painted, hidden);
    EXPECT_EQ(paintedOut, hiddenOut);
}
