// timedCallback.h — a polled one-shot or repeating timer that calls a function on its actor.
#pragma once

#include <cstdint>

class Actor;

using TimerFunc = void (*)(Actor*);

// Fires only when polled (once per idle tick), at the first poll on or after
// its deadline; nothing runs asynchronously. Times come from currentTimeMs().
class TimedCallback {
public:
    TimedCallback(TimerFunc func, float timeout, bool repeating);
    // A copy is an independent timer with the same deadline (saved game states).
    TimedCallback(const TimedCallback&) = default;
    TimedCallback& operator=(const TimedCallback&) = default;

    // Calls func(actor) if `timeout` seconds have passed since creation or the
    // last firing. A one-shot timer is dead afterwards; a repeating one restarts.
    void poll(Actor* actor);
    void kill();
    bool isDead() const;
    // Whether the next poll would fire it: alive and its time has come. Once every
    // timer of a board has been polled at one clock reading, none is due.
    bool isDue() const;

    // Which action this timer will run; lets the owner tell what a pending timer is for.
    TimerFunc getFunc() const { return func; }
    float getTimeout() const { return timeout; }  // seconds
    bool isRepeating() const { return repeating; }
    // The first game-clock millisecond at which a poll fires it.
    int64_t dueMs() const;
    // Game-clock milliseconds of creation or of the last firing.
    int64_t getStartMs() const { return start; }
    // Moves the deadline `ms` later (a saved state restored later keeps its time left).
    void delay(int64_t ms) { start += ms; }

private:
    float secondsSinceStart(int64_t now) const;

    TimerFunc func;
    float timeout;   // seconds
    int64_t start;   // milliseconds, game clock: creation or last firing
    bool repeating;
    bool toBeRemoved;
};
