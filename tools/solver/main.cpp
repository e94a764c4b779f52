// solver — prints the shortest key sequence that wins a level, as a walkthrough.
//
//   solver LEVEL.txt [--max-keys N] [--max-states N] [--without KEYS] [--verbose]
//
// Standard output: the walkthrough ("<wait-ms> <keys>" lines), exit status 0; or "no
// solution" and the limit reached, exit status 1. Standard error: states explored and time.
// Bad arguments: a usage line on standard error, exit status 2.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "solver.h"

namespace {
int usage() {
    std::fputs("usage: solver LEVEL.txt [--max-keys N] [--max-states N] [--without KEYS] [--verbose]\n", stderr);
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
    if (level.empty()) return usage();

    std::string error;
    if (!loadLevelFile(level, error)) {
        std::fprintf(stderr, "solver: %s\n", error.c_str());
        return 2;
    }
    ManualClock clock(1000);
    clock.install();
    SolveResult result = solveCurrentLevel(clock, options);
    std::fprintf(stderr, "%zu states explored, sequences up to %d keys, %.2f s\n", result.states,
                 result.keysSearched, result.seconds);
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
