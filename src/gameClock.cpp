// gameClock.cpp — real time since start-up, replaceable for simulated-time tests.
#include "gameClock.h"

#include <chrono>

namespace {
const auto programStart = std::chrono::steady_clock::now();
std::function<int64_t()> clockSource;
}  // namespace

int64_t currentTimeMs() {
    if (clockSource) return clockSource();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now() - programStart)
        .count();
}

void setClockSource(std::function<int64_t()> source) { clockSource = std::move(source); }
