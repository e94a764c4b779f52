// hintbench — asks for hints at states random play reaches on every campaign level, the way
// the game asks (a forked helper thinks while the game goes on drawing), and prints how long
// each answer took.
//
//   hintbench [--states N] [--seed S] [--levels A..B] [--greed G] [--seconds S] [--each]
//             [--audit S] [--root DIR]
//
// On each level N states (default 12) are reached as the monkey reaches them: part of the
// level's walkthrough typed at its tempo, or random keys at random moments (turns and steps
// mostly, the powers now and then), starting again after a capture. At each a hint is asked
// through the game's keyboard handler, as `?` in play, and its answer awaited; the wall-clock
// time from the key to the answer is its latency. The key itself (the fork of the helper) is
// all the frame loop spends on it; the longest it took is printed too.
//
// --seconds sets how long the search may think (the game's limit by default); --each prints a
// line per state asked (its answer, the states its search met and the time).
// --audit S checks every "hint: none" against a finer grid of waits than the hint's (every
// wait from 120 ms to 4 s a person might leave, on the 4 ms tick, the first as soon as a hint's
// key is pressed, HINT_PRESS_MS after asking), for up to S seconds each:
// it searches with each key held to a tick early and late, which finds a win wherever a
// humane line has one, and a win it finds that is humane as a whole line refutes the answer.
// Each such state is printed with the win (as walkthrough lines); one more line before the last
// counts them:
//   none audit: N answers: P proved on the finer grid, R refuted, O won only at one pace, U undecided
// ("only at one pace": the win found there fails at 90 % or 110 %, and so did the humane search
// proper on that grid, which is no proof).
// One line per level (states, the answers by kind, its slowest), then, last:
//   hint latency: p50 X ms, p95 Y ms, max Z ms over N states on L levels
// Exit status 0; 2 for bad arguments.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "board.h"
#include "hint.h"
#include "hintThinker.h"
#include "keyboard.h"
#include "linePlay.h"
#include "rewind.h"
#include "screenFlow.h"
#include "solver.h"
#include "walkthrough.h"

namespace {

[[noreturn]] void usage() {
    std::fputs("usage: hintbench [--states N] [--seed S] [--levels A..B] [--greed G] [--seconds S] [--each]\n"
               "                 [--audit S] [--root DIR]\n", stderr);
    std::exit(2);
}

double percentile(std::vector<double> ms, double p) {
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    const size_t i = std::min(ms.size() - 1, static_cast<size_t>(p * static_cast<double>(ms.size() - 1) + 0.5));
    return ms[i];
}

double msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

const char* const RANDOM_KEYS = "wasdwasdwasdhjkl";

class Bench {
public:
    explicit Bench(uint64_t seed) : rng(seed) {}

    // Reaches `states` states on `level` and asks a hint at each; the latencies in ms.
    std::vector<double> level(int n, int states) {
        std::vector<double> ms;
        int counts[4] = {};
        int guard = 0;
        while (static_cast<int>(ms.size()) < states && guard++ < states * 20) {
            if (!reachState(n)) continue;
            const unsigned before = hintsAnswered();
            auto started = std::chrono::steady_clock::now();
            {
                StdoutSilenced quiet;  // the stock and hint lines
                keyboard('?', 0, 0);
                longestKeyMs = std::max(longestKeyMs, msSince(started));
                awaitHint();
                ms.push_back(msSince(started));
            }
            if (hintsAnswered() == before) {
                std::fprintf(stderr, "hintbench: level %d: the helper gave no answer\n", n);
                std::exit(1);
            }
            ++counts[lastHint().kind];
            if (each)
                std::printf("level %02d state %zu: %s, %zu states searched, %.0f ms\n", n, ms.size(),
                            hintText(lastHint()).c_str(), lastHint().states, ms.back());
            if (auditSeconds > 0 && lastHint().kind == Hint::NONE) audit(n, ms.size());
        }
        std::printf("level %02d: %zu states: %d key, %d wait, %d none, %d not found; slowest %.0f ms\n", n,
                    ms.size(), counts[Hint::KEY], counts[Hint::WAIT], counts[Hint::NONE], counts[Hint::UNKNOWN],
                    ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()));
        std::fflush(stdout);
        return ms;
    }

    void reseed(uint64_t seed) { rng.seed(seed); }
    ManualClock clock{1000};
    HintLimits limits;
    double longestKeyMs = 0;
    bool each = false;
    double auditSeconds = 0;
    // What the audit made of a "none" answer, and how many of each.
    enum Verdict { PROVED, REFUTED, ONE_PACE, UNDECIDED };
    int audited[4] = {};

private:
    // The board is still the one the hint was asked about: searched again on the finer grid.
    void audit(int n, size_t state) {
        SolveOptions fine;
        fine.waits = {120, 160, 200, 240, 300, 400, 500, 600, 752, 1000, 1252, 1500, 2000, 2500, 3000, 4000};
        // The first key no sooner than a player who asked can press it.
        for (int64_t w : fine.waits)
            if (w >= HINT_PRESS_MS) fine.firstWaits.push_back(w);
        fine.humane = true;
        fine.humaneLine = false;  // a proof by it is a proof for every humane line
        fine.reopen = false;
        fine.maxSeconds = auditSeconds;
        fine.maxStates = 20'000'000;
        StdoutSilenced quiet;
        const SolveResult r = solveCurrentLevel(clock, fine);
        SolveResult won = r;
        if (r.solved && !isHumane(clock, r.presses)) {
            // That win fails at another pace; the humane search proper may still find one.
            SolveOptions whole = fine;
            whole.humaneLine = true;
            whole.prunePace = true;
            won = solveCurrentLevel(clock, whole);
        }
        const Verdict verdict = r.solved ? (won.solved ? REFUTED : ONE_PACE) : r.limit.empty() ? PROVED : UNDECIDED;
        ++audited[verdict];
        if (verdict == REFUTED || (each && verdict != PROVED)) {
            static const char* const said[] = {"proved", "refuted", "won only at one pace", "undecided"};
            std::fprintf(stderr, "level %02d state %zu: hint: none %s on the finer grid (%zu states, %s)\n%s", n,
                         state, said[verdict], r.states, r.limit.empty() ? "all explored" : r.limit.c_str(),
                         walkthroughText((won.solved ? won : r).presses).c_str());
        }
    }

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    // From the level's start: a piece of its walkthrough at its tempo, then a few random keys.
    // False when the state reached is decided (lost or won): nothing to ask there.
    bool reachState(int n) {
        loadBoardAt(n);
        gotoMainGame();
        beginTry();
        StdoutSilenced quiet;
        playTick(clock, 4);  // the frame step notes the level's start
        std::vector<Press> line;
        const std::vector<Press> walk = currentLevelWalkthrough();
        if (!walk.empty() && pick(0, 1)) line.assign(walk.begin(), walk.begin() + pick(0, static_cast<int>(walk.size()) - 1));
        for (int k = pick(0, 8); k > 0; --k)
            line.push_back({pick(0, 375) * 4, RANDOM_KEYS[pick(0, 15)]});
        LinePlay how;
        how.skipQuietTicks = true;
        LineOutcome out = playLine(clock, line, how);
        return !out.won && !out.lost;
    }

    std::mt19937_64 rng;
};

}  // namespace

int main(int argc, char** argv) {
    int states = 12;
    uint64_t seed = 1;
    Bench bench(seed);
    int first = 0, last = -1;
    std::string root = VW_SOURCE_ROOT;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--each") {
            bench.each = true;
            continue;
        }
        if (i + 1 >= argc) usage();
        const std::string value = argv[++i];
        if (arg == "--states") {
            states = std::atoi(value.c_str());
            if (states <= 0) usage();
        } else if (arg == "--seed") {
            seed = std::strtoull(value.c_str(), nullptr, 10);
        } else if (arg == "--levels") {
            if (std::sscanf(value.c_str(), "%d..%d", &first, &last) != 2 || first < 0 || last < first) usage();
        } else if (arg == "--greed") {
            bench.limits.greed = std::atoi(value.c_str());
        } else if (arg == "--seconds") {
            bench.limits.maxSeconds = std::atof(value.c_str());
            if (bench.limits.maxSeconds <= 0) usage();
        } else if (arg == "--audit") {
            bench.auditSeconds = std::atof(value.c_str());
            if (bench.auditSeconds <= 0) usage();
        } else if (arg == "--root") {
            root = value;
        } else {
            usage();
        }
    }
    if (!std::filesystem::exists("assets/levels/level00.txt")) std::filesystem::current_path(root);
    initBoards();
    const int count = getLevelCount();
    if (last < 0 || last >= count) last = count - 1;

    bench.reseed(seed);
    setHintLimits(bench.limits);
    bench.clock.install();
    std::vector<double> all;
    for (int n = first; n <= last; ++n) {
        std::vector<double> ms = bench.level(n, states);
        all.insert(all.end(), ms.begin(), ms.end());
    }
    if (bench.auditSeconds > 0) {
        const int* a = bench.audited;
        std::printf("none audit: %d answers: %d proved on the finer grid, %d refuted, %d won only at one pace, "
                    "%d undecided\n", a[Bench::PROVED] + a[Bench::REFUTED] + a[Bench::ONE_PACE] + a[Bench::UNDECIDED],
                    a[Bench::PROVED], a[Bench::REFUTED], a[Bench::ONE_PACE], a[Bench::UNDECIDED]);
    }
    std::printf("longest key press asking for a hint (the frame loop's share): %.1f ms\n", bench.longestKeyMs);
    std::printf("hint latency: p50 %.0f ms, p95 %.0f ms, max %.0f ms over %zu states on %d levels\n",
                percentile(all, 0.5), percentile(all, 0.95),
                all.empty() ? 0.0 : *std::max_element(all.begin(), all.end()), all.size(), last - first + 1);
    return 0;
}
