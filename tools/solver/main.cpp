// solver — prints the shortest key sequence that wins a level, as a walkthrough.
//
//   solver LEVEL.txt [--max-keys N] [--max-states N] [--without KEYS] [--waits MS,MS,...] [--exact-timing] [--pace-cut] [--write-par] [--verbose]
//   solver LEVEL.txt --check WALK   (is the walkthrough WALK humane on LEVEL?)
//
// Standard output: the walkthrough ("<wait-ms> <keys>" lines), exit status 0; or "no
// solution" and the limit reached, exit status 1. Standard error: states explored and time.
// Bad arguments: a usage line on standard error, exit status 2.
// --write-par finds the level's par (findPar: the search, with the walkthrough LEVEL.walk beside
// the level when it is humane), prints its win and writes the key count as LEVEL.par; it is
// refused with --exact-timing, since par is a humane win's.
// --pace-cut drops a key as soon as the keys so far lose at 90 % or 110 % of their pace (the
// hint's search): a state first met on such a line stays open to the others.
// --check plays the walkthrough file as written and in every humane variant (linePlay.h):
// "humane: N keys" and status 0, or the first way of playing it that does not win and 1.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "atomicFile.h"

#include "linePlay.h"
#include "solver.h"

namespace {
int usage() {
    std::fputs("usage: solver LEVEL.txt [--max-keys N] [--max-states N] [--without KEYS] [--waits MS,MS,...] [--exact-timing] [--pace-cut] [--write-par] [--verbose]\n", stderr);
    return 2;
}

bool parseCount(const char* text, long long& value) {
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && value > 0;
}
}  // namespace

int main(int argc, char** argv) {
    SolveOptions options;
    std::string level;
    bool writePar = false;
    std::string check;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        long long n = 0;
        if (arg == "--max-keys" && i + 1 < argc && parseCount(argv[i + 1], n)) {
            options.maxKeys = static_cast<int>(n);
            ++i;
        } else if (arg == "--max-states" && i + 1 < argc && parseCount(argv[i + 1], n)) {
            options.maxStates = static_cast<size_t>(n);
            ++i;
        } else if (arg == "--without" && i + 1 < argc) {
            options.forbidden = argv[++i];
        } else if (arg == "--waits" && i + 1 < argc) {
            options.waits.clear();
            for (const char* p = argv[++i]; *p;) {
                char* end = nullptr;
                long long ms = std::strtoll(p, &end, 10);
                if (end == p || ms < 120 || ms % options.tickMs != 0) return usage();
                if (!options.waits.empty() && ms <= options.waits.back()) return usage();
                options.waits.push_back(ms);
                p = *end == ',' ? end + 1 : end;
                if (*end && *end != ',') return usage();
            }
            if (options.waits.empty()) return usage();
        } else if (arg == "--pace-cut") {
            options.prunePace = true;
        } else if (arg == "--exact-timing") {
            options.humane = false;
        } else if (arg == "--check" && i + 1 < argc) {
            check = argv[++i];
        } else if (arg == "--write-par") {
            writePar = true;
        } else if (arg == "--verbose") {
            options.progress = [](int keys, size_t states, size_t open) {
                std::fprintf(stderr, "%d keys: %zu states, %zu to expand\n", keys, states, open);
            };
        } else if (level.empty() && !arg.starts_with("--")) {
            level = arg;
        } else {
            return usage();
        }
    }
    if (level.empty() || (writePar && !options.humane)) return usage();

    std::string error;
    if (!loadLevelFile(level, error)) {
        std::fprintf(stderr, "solver: %s\n", error.c_str());
        return 2;
    }
    ManualClock clock(1000);
    clock.install();
    if (!check.empty()) {
        Walkthrough walk = readWalkthrough(check);
        if (!walk.found || !walk.error.empty()) {
            std::fprintf(stderr, "solver: %s: %s\n", check.c_str(), walk.found ? walk.error.c_str() : "cannot read it");
            return 2;
        }
        std::string failure = humaneFailure(clock, walk.presses, options.tickMs);
        if (failure.empty())
            std::printf("humane: %zu keys\n", walk.presses.size());
        else
            std::printf("not humane: %s\n", failure.c_str());
        return failure.empty() ? 0 : 1;
    }
    if (writePar) {
        // Par counts the level's walkthrough (LEVEL.walk) too, when it is humane.
        const std::filesystem::path file(level);
        const Walkthrough walk = readWalkthrough(std::filesystem::path(file).replace_extension(".walk").string());
        ParResult found = findPar(clock, walk.error.empty() ? walk.presses : std::vector<Press>{}, options);
        const SolveResult& r = found.search;
        std::fprintf(stderr, "%zu states explored, sequences up to %d keys, %.2f s\n", r.states, r.keysSearched,
                     r.seconds);
        if (walk.found && !found.walkthroughFailure.empty())
            std::fprintf(stderr, "the walkthrough is not humane: %s\n", found.walkthroughFailure.c_str());
        if (found.par == 0) {
            std::printf("no solution: %s\n", r.limit.empty() ? "every reachable state explored, no limit reached"
                                                            : ("limit reached: " + r.limit).c_str());
            return 1;
        }
        std::fputs(walkthroughText(found.presses).c_str(), stdout);
        const std::string par = std::filesystem::path(file).replace_extension(".par").string();
        if (!replaceFileAtomically(par, std::to_string(found.par) + "\n")) {
            std::fprintf(stderr, "solver: cannot write %s\n", par.c_str());
            return 2;
        }
        std::fprintf(stderr, "par %d (%s) written to %s\n", found.par,
                     found.fromWalkthrough ? "the walkthrough's; the search found no humane win as short"
                                           : "the search's",
                     par.c_str());
        return 0;
    }
    SolveResult result = solveCurrentLevel(clock, options);
    std::fprintf(stderr, "%zu states explored, sequences up to %d keys, %.2f s\n", result.states,
                 result.keysSearched, result.seconds);
    if (options.humane)
        std::fprintf(stderr, "%zu keys or wins passed over: they work only at their exact tick\n", result.unplayable);
    if (result.solved) {
        std::fputs(walkthroughText(result.presses).c_str(), stdout);
        std::fprintf(stderr, "solution: %zu keys\n", result.presses.size());
        return 0;
    }
    if (result.limit.empty())
        std::printf("no solution: every reachable state explored, no limit reached\n");
    else
        std::printf("no solution: limit reached: %s\n", result.limit.c_str());
    return 1;
}
