// solver_test.cpp — the solver on small levels: what it finds wins when played, what it
// refuses cannot be won, and its command line speaks the walkthrough format.
#include "solver.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>

#include "levelScenario.h"
#include "linePlay.h"
#include "solverRooms.h"

namespace {

using solverRooms::galleryLevel;
using solverRooms::HALL;
using solverRooms::HALL_START;
using solverRooms::hallLevel;
using solverRooms::randomOpening;

class Solver : public LevelScenario {
protected:
    SolveResult solve(const std::string& level, const std::string& without = "") {
        play(level);
        SolveOptions options;
        options.forbidden = without;
        options.maxKeys = 40;
        return solveCurrentLevel(clock, options);
    }

    // Plays the presses on a fresh copy of the level through the game loop, as the campaign
    // replays walkthroughs: the game's frame step, every key at its moment.
    bool replayWins(const std::vector<Press>& presses, int64_t tickMs = 4) {
        loadInitialBoard();
        int64_t due = clock.now();
        for (const Press& p : presses) {
            due += p.waitMs;
            while (clock.now() < due) {
                clock.advance(tickMs);
                bool lost = false;
                frameStep([&] { return !(lost = board().hasLost()); });
                if (lost) return false;
            }
            keyboard(static_cast<unsigned char>(p.key), 0, 0);
            if (board().hasLost()) return false;
            if (board().hasWon()) return true;
        }
        return false;
    }
};

TEST_F(Solver, WalksALevelWithoutEnemiesInTheFewestKeys) {
    SolveResult r = solve(levelText(HALL, HALL_START));
    ASSERT_TRUE(r.solved);
    EXPECT_EQ(walkthroughText(r.presses), "200 dddd\n");
    EXPECT_TRUE(replayWins(r.presses));
}

TEST_F(Solver, CrossesAWatchedHallUnderTheCloakAndCannotWithoutIt) {
    const std::string level = hallLevel();
    SolveResult r = solve(level);
    ASSERT_TRUE(r.solved);
    EXPECT_NE(walkthroughText(r.presses).find('k'), std::string::npos);
    EXPECT_EQ(r.presses.size(), 5u);  // the cloak and four steps, no turn needed
    EXPECT_TRUE(replayWins(r.presses));

    SolveResult without = solve(level, "k");
    EXPECT_FALSE(without.solved);
    EXPECT_EQ(without.limit, "") << "the search must have run out of states, not hit a limit";
    EXPECT_GT(without.states, 0u);
}

TEST_F(Solver, LuresAWalkingGuardAwayAndFollowsItHome) {
    const std::string level = galleryLevel();
    SolveResult r = solve(level);
    ASSERT_TRUE(r.solved);
    const std::string walk = walkthroughText(r.presses);
    EXPECT_NE(walk.find('h'), std::string::npos) << walk;
    EXPECT_TRUE(replayWins(r.presses)) << walk;
    // The food goes down at the west end; the guard needs seconds to walk out and back.
    int64_t total = 0;
    for (const Press& p : r.presses) total += p.waitMs;
    EXPECT_GE(total, 2500) << walk;

    // Rushing the same keys does not win: the timing is what solves it.
    std::vector<Press> rushed = r.presses;
    for (Press& p : rushed) p.waitMs = 200;
    EXPECT_FALSE(replayWins(rushed)) << walk;

    SolveResult without = solve(level, "h");
    EXPECT_FALSE(without.solved);
    EXPECT_EQ(without.limit, "");
}

// A hall the player must cross at x = 3 to reach the stairs north of it, watched by a guard
// at its west end that faces east along it.
const std::initializer_list<const char*> PATROLLED = {
    "#######",
    "###E###",
    "#.....#",
    "###.###",
    "###.###",
    "#######",
};

TEST_F(Solver, CrossesAPatrolledHallBehindTheGuardsBackAndNotPastAGuardStandingStill) {
    const std::string still = levelText(PATROLLED, {3, 4, FA_N}, {{1, 2, FA_E}});
    const std::string patrolled = withRoutes(still, "1,0,1,5,2,");
    // The guard's back is turned for too short a time for the line to hold at 90 % and 110 %
    // of its pace, so the search is allowed wins on their exact timing here.
    play(patrolled);
    SolveOptions exact;
    exact.maxKeys = 40;
    exact.humane = false;
    SolveResult r = solveCurrentLevel(clock, exact);
    ASSERT_TRUE(r.solved);
    const std::string walk = walkthroughText(r.presses);
    EXPECT_TRUE(replayWins(r.presses)) << walk;
    EXPECT_EQ(r.presses.size(), 3u) << walk;  // three steps north, no power to use
    // The window is the guard's back: the same keys at the first moment lose.
    std::vector<Press> rushed = r.presses;
    for (Press& p : rushed) p.waitMs = 200;
    EXPECT_FALSE(replayWins(rushed)) << walk;

    SolveResult stands = solve(still);
    EXPECT_FALSE(stands.solved);
    EXPECT_EQ(stands.limit, "") << "the search must have run out of states, not hit a limit";
}

// Skipping the ticks in which nothing can happen is only a short cut: playing every tick finds
// the same states and the same win, on a level where a guard walks and food expires.
TEST_F(Solver, SkippingQuietTicksChangesNothingFound) {
    for (std::string without : {"", "h"}) {
        SCOPED_TRACE("without '" + without + "'");
        play(galleryLevel());
        SolveOptions options;
        options.forbidden = without;
        SolveResult skipping = solveCurrentLevel(clock, options);
        options.skipQuietTicks = false;
        SolveResult every = solveCurrentLevel(clock, options);
        EXPECT_EQ(skipping.states, every.states);
        EXPECT_EQ(skipping.solved, every.solved);
        EXPECT_EQ(walkthroughText(skipping.presses), walkthroughText(every.presses));
    }
}

// A state kept whole is expanded from its board as kept; one rebuilt by replaying its keys
// from the start comes out the same: the same states met, keys refused and win found.
TEST_F(Solver, KeepingStatesWholeFindsWhatReplayingThemFinds) {
    const std::string gallery = galleryLevel();
    const std::string hall = hallLevel();
    for (const std::string& level : {gallery, hall})
        for (const char* without : {"", "h", "k"})
            for (int way = 0; way < 4; ++way) {
                SCOPED_TRACE(std::string(level == hall ? "hall" : "gallery") + " without '" + without +
                             "', way " + std::to_string(way));
                SolveOptions options;
                options.forbidden = without;
                options.maxKeys = 40;
                options.humane = way != 0;
                options.prunePace = way >= 2;
                options.reopen = way != 3;
                SolveResult found[3];
                for (size_t kept : {0, 1, 1'000'000}) {
                    play(level);
                    options.keptStates = kept;
                    found[kept == 0 ? 0 : kept == 1 ? 1 : 2] = solveCurrentLevel(clock, options);
                }
                for (const SolveResult& r : {found[1], found[2]}) {
                    EXPECT_EQ(r.solved, found[0].solved);
                    EXPECT_EQ(r.states, found[0].states);
                    EXPECT_EQ(r.unplayable, found[0].unplayable);
                    EXPECT_EQ(walkthroughText(r.presses), walkthroughText(found[0].presses));
                }
            }
}

// The hint's shortcuts (a state searched once, lines lost at another pace cut, joining a
// known line) find the same rooms won or lost, every win humane and winning when replayed.
TEST_F(Solver, TheHintsShortcutsFindHumaneWinsAndProveTheSame) {
    const std::string gallery = galleryLevel();
    const std::string hall = hallLevel();
    const struct {
        const char* name;
        std::string level;
        std::string without;
    } rooms[] = {{"gallery", gallery, ""}, {"gallery without food", gallery, "h"}, {"hall", hall, ""},
                 {"hall without the cloak", hall, "k"}};
    for (const auto& room : rooms) {
        SolveResult plain = solve(room.level, room.without);
        for (int way = 1; way < 4; ++way) {
            SCOPED_TRACE(std::string(room.name) + ", shortcuts " + std::to_string(way));
            play(room.level);
            SolveOptions options;
            options.forbidden = room.without;
            options.maxKeys = 40;
            options.greed = 3;
            options.reopen = (way & 1) == 0;
            options.prunePace = (way & 2) != 0;
            SolveResult r = solveCurrentLevel(clock, options);
            EXPECT_EQ(r.solved, plain.solved);
            EXPECT_EQ(r.limit, "");
            if (!r.solved) continue;
            EXPECT_EQ(humaneFailure(clock, r.presses), "") << walkthroughText(r.presses);
            EXPECT_TRUE(replayWins(r.presses)) << walkthroughText(r.presses);
        }
        if (!plain.solved) continue;
        // A state the win passes after its first key is known to lead on: the search joins
        // it there, sooner than it found the win itself.
        SCOPED_TRACE(std::string(room.name) + ", joining");
        play(room.level);
        SolveOptions options;
        options.forbidden = room.without;
        ASSERT_TRUE(playUntil(clock, clock.now() + plain.presses[0].waitMs, 4));
        keyboard(static_cast<unsigned char>(plain.presses[0].key), 0, 0);
        ASSERT_TRUE(playUntil(clock, clock.now() + 100, 4));
        options.knownRests[boardStateHash(board(), clock.now())] = {&plain.presses, 1, plain.presses[1].waitMs - 100};
        play(room.level);
        SolveResult joined = solveCurrentLevel(clock, options);
        ASSERT_TRUE(joined.solved);
        EXPECT_LT(joined.states, plain.states);
        EXPECT_EQ(humaneFailure(clock, joined.presses), "") << walkthroughText(joined.presses);
        EXPECT_TRUE(replayWins(joined.presses)) << walkthroughText(joined.presses);
    }
}

// A hint proves that no humane win is left by the looser rules, whose states merge exactly:
// any timing, then each key a tick off. A win by a stricter rule is a win by each looser one,
// so where a looser search ends without a win, every stricter one does too.
TEST_F(Solver, EachLooserRuleWinsWhereAStricterOneDoes) {
    const std::string levels[] = {hallLevel(), galleryLevel()};
    std::mt19937 rng(11);
    int wins = 0, proofs = 0;
    for (int round = 0; round < 16; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        play(levels[round % 2]);
        const std::vector<Press> keys = randomOpening(rng);
        StdoutSilenced quiet;
        const LineOutcome out = playLine(clock, keys, LinePlay{});
        if (out.won || out.lost) continue;
        bool looserWon = true;
        for (int rule = 0; rule < 3; ++rule) {
            SolveOptions options;
            options.reopen = false;
            options.greed = 3;
            options.humane = rule > 0;
            options.humaneLine = rule > 1;
            options.prunePace = rule > 1;
            const SolveResult r = solveCurrentLevel(clock, options);
            ASSERT_EQ(r.limit, "") << "rule " << rule;
            if (!looserWon) {
                EXPECT_FALSE(r.solved) << "rule " << rule << " wins where a looser one did not";
            }
            looserWon = r.solved;
            if (rule == 2) (r.solved ? wins : proofs) += 1;
        }
    }
    EXPECT_GE(wins, 3);
    EXPECT_GE(proofs, 1);
}

TEST_F(Solver, AnEnclosedPlayerHasNoSolutionAndTheSearchEnds) {
    SolveResult r = solve(levelText({"#####", "#.#E#", "#####"}, {1, 1, FA_N}, {}, {}, {}, {1, 1, 1, 1}));
    EXPECT_FALSE(r.solved);
    EXPECT_TRUE(r.presses.empty());
    EXPECT_EQ(r.limit, "");
}

TEST_F(Solver, ReportsTheLimitItReached) {
    // Nine keys at the least; a search allowed eight stops on the key limit.
    play(levelText({"###########", "#........E#", "###########"}, {1, 1, FA_E}));
    SolveOptions options;
    options.maxKeys = 7;
    SolveResult r = solveCurrentLevel(clock, options);
    EXPECT_FALSE(r.solved);
    EXPECT_EQ(r.limit, "7 keys");

    // A state limit stops a search that could otherwise go on: here the guard walks.
    play(galleryLevel());
    options.maxKeys = 40;
    options.maxStates = 50;
    r = solveCurrentLevel(clock, options);
    EXPECT_FALSE(r.solved);
    EXPECT_EQ(r.limit, "50 states");

    // Asked to stop, it stops at once.
    options.maxStates = 3'000'000;
    int asked = 0;
    options.stop = [&asked] { return ++asked > 10; };
    r = solveCurrentLevel(clock, options);
    EXPECT_FALSE(r.solved);
    EXPECT_EQ(r.limit, "stopped");
    EXPECT_EQ(asked, 11);
}

TEST_F(Solver, LeavesTheBoardAndTheClockAsTheyWere) {
    play(hallLevel());
    const int64_t before = clock.now();
    ASSERT_TRUE(solveCurrentLevel(clock, SolveOptions{}).solved);
    EXPECT_EQ(clock.now(), before);
    EXPECT_EQ(board().getIll().x, 1);
    EXPECT_EQ(board().getIll().o, FA_E);
    EXPECT_EQ(board().getCloakUse(), 1);
    EXPECT_FALSE(board().getIll().isCloaked);
    EXPECT_FALSE(board().hasWon());
}

// The program: walkthrough on standard output and status 0, or "no solution" and status 1.
class SolverProgram : public LevelDirTest {
protected:
    int run(const std::string& args, std::string& out) {
        std::string command = std::string(SOLVER_PROGRAM) + " " + args + " 2>/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return -1;
        char buf[256];
        out.clear();
        while (size_t n = fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
        int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Five keys: the cloak, put on before the gap the commander watches, and four steps east.
    static std::set<std::string> cloakedWins(const std::string& wait) {
        return {wait + " kdddd\n", wait + " dkddd\n", wait + " ddkdd\n"};
    }
};

TEST_F(SolverProgram, PrintsTheWalkthroughOrNoSolution) {
    const std::string cloaked = writeLevel(3, hallLevel());
    std::string out;
    EXPECT_EQ(run(cloaked, out), 0);
    // Four steps east with the cloak on before the watched gap; no stock lines: the game's
    // own output is kept out.
    EXPECT_TRUE(cloakedWins("200").count(out)) << out;
    EXPECT_EQ(run(cloaked + " --without k", out), 1);
    EXPECT_EQ(out, "no solution: every reachable state explored, no limit reached\n");
    EXPECT_EQ(run(cloaked + " --max-keys 3", out), 1);
    EXPECT_EQ(out, "no solution: limit reached: 3 keys\n");
    EXPECT_EQ(run(cloaked + " --waits 500,1000", out), 0);
    EXPECT_TRUE(cloakedWins("500").count(out)) << out;

    // Par beside the level: the humane win's keys, one number.
    const std::string par = std::filesystem::path(cloaked).replace_extension(".par").string();
    EXPECT_EQ(run(cloaked + " --write-par", out), 0);
    EXPECT_TRUE(cloakedWins("200").count(out)) << out;
    std::ifstream in(par);
    std::string parText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(parText, "5\n");
    EXPECT_EQ(run(cloaked + " --without k --write-par", out), 1);  // no win, par kept
    EXPECT_EQ(run(cloaked + " --exact-timing --write-par", out), 2);  // par is a humane win's
    EXPECT_EQ(run(cloaked + " --exact-timing", out), 0);
    EXPECT_TRUE(cloakedWins("200").count(out)) << out;

    EXPECT_EQ(run("", out), 2);
    EXPECT_EQ(run(cloaked + " --max-keys x", out), 2);
    EXPECT_EQ(run(cloaked + " --waits 100", out), 2);  // faster than a person types
    EXPECT_EQ(run("no-such-level.txt", out), 2);
}

}  // namespace
