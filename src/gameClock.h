// gameClock.h — the one millisecond clock behind every timer of the game.
#pragma once

#include <cstdint>
#include <functional>

// Milliseconds of real time since the program started (steady, never goes back).
int64_t currentTimeMs();

// Tests replace the clock so the game runs in simulated time; an empty function
// restores the real one.
void setClockSource(std::function<int64_t()> source);

// A clock a test controls: install() makes it the game's clock, advance() moves it.
class ManualClock {
public:
    explicit ManualClock(int64_t startMs = 0) : nowMs(startMs) {}
    void install() { setClockSource([this] { return nowMs; }); }
    void advance(int64_t ms) { nowMs += ms; }
    int64_t now() const { return nowMs; }
    ~ManualClock() { setClockSource({}); }
private:
    int64_t nowMs;
};
