// timedCallback.h — a polled one-shot or repeating timer that calls a function on its actor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

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
    bool isDead() const { return toBeRemoved; }
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

// The one timer an actor may hold, kept inside the actor: a copy of a board (a saved state;
// a search copies millions) copies its timers with the rest and allocates nothing. Read like
// a pointer to the timer, null when none is held.
class TimerSlot {
public:
    TimerSlot() = default;
    TimerSlot(const TimerSlot&) = default;
    TimerSlot& operator=(const TimerSlot&) = default;
    // A timer moved goes with its actor: the slot moved from holds none.
    TimerSlot(TimerSlot&& other) noexcept : timer(other.timer) { other.timer.reset(); }
    TimerSlot& operator=(TimerSlot&& other) noexcept {
        timer = other.timer;
        if (&other != this) other.timer.reset();
        return *this;
    }
    explicit operator bool() const { return timer.has_value(); }
    bool operator==(std::nullptr_t) const { return !timer; }
    TimedCallback* get() { return timer ? &*timer : nullptr; }
    const TimedCallback* get() const { return timer ? &*timer : nullptr; }
    TimedCallback* operator->() { return &*timer; }
    const TimedCallback* operator->() const { return &*timer; }
    TimedCallback& operator*() { return *timer; }
    const TimedCallback& operator*() const { return *timer; }
    // Holds `t` instead of any timer held; no longer holds one.
    void hold(const TimedCallback& t) { timer = t; }
    void reset() { timer.reset(); }

private:
    std::optional<TimedCallback> timer;
};
