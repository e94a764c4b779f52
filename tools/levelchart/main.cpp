// levelchart — solves every level of the campaign (humane wins only) and draws its par and
// needed powers as the difficulty curve.
//   levelchart OUT.png      (run from the repository's root, where assets/levels is)
// Prints one line per level (number, keys, the par file's number, needed powers, solve time)
// on standard error.
#include <cstdio>
#include <filesystem>
#include <vector>

#include "board.h"
#include "levelChart.h"
#include "records.h"
#include "screenFlow.h"
#include "solver.h"
#include "walkthrough.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: levelchart OUT.png   (from the directory holding assets/levels)\n", stderr);
        return 2;
    }
    ManualClock clock(1000);
    clock.install();
    std::vector<LevelSummary> levels;
    for (int n = 0;; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "assets/levels/level%02d", n);
        if (!std::filesystem::exists(std::string(name) + ".txt")) break;
        loadInitialBoard();
        for (int i = 0; i < n; ++i) loadNextBoard();
        gotoMainGame();
        const Walkthrough walk = readWalkthrough(std::string(name) + ".walk");
        ParResult par = findPar(clock, walk.presses, SolveOptions{});
        const SolveResult& r = par.search;
        if (par.par == 0) {
            std::fprintf(stderr, "levelchart: %s.txt: no humane win (limit %s)\n", name, r.limit.c_str());
            return 1;
        }
        LevelSummary l{par.par, walk.needs};
        std::fprintf(stderr, "level %02d: %d keys%s (par file: %d), needs \"%s\", %zu states, %.2f s\n", n, l.keys,
                     par.fromWalkthrough ? " (the walkthrough's)" : "", levelPar(n), l.needs.c_str(), r.states,
                     r.seconds);
        levels.push_back(l);
    }
    if (levels.empty()) {
        std::fputs("levelchart: no assets/levels/level00.txt here\n", stderr);
        return 2;
    }
    if (!writeLevelChart(levels, argv[1])) {
        std::fprintf(stderr, "levelchart: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
