// idle.h — the game's tick: the three turn phases over the current board.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// Every actor's timer is polled: cloaks end, placed objects expire, enemies step.
void runCallbackPhase();
// Every guard, then dog, then commander looks along its line of sight and reacts.
void runEnemyPhase();
// Dead enemies and expired objects are erased, the survivors keeping their order.
void runRemoveDeadPhase();

template <typename T>
void removeDead(std::vector<T>& actors) {
    for (auto it = actors.begin(); it != actors.end();) {
        if (it->isDead())
            it = actors.erase(it);
        else
            ++it;
    }
}

class Board;
// The first game-clock millisecond at which a poll fires one of the board's timers;
// INT64_MAX when it holds none.
int64_t nextTimerDueMs(Board& board);

// The longest the idle callback sleeps, so a key waits at most this long.
constexpr int MAX_IDLE_WAIT_MS = 4;
// Milliseconds until the next timer of the current board is due, between 0 and
// MAX_IDLE_WAIT_MS; MAX_IDLE_WAIT_MS when no game time passes.
int msUntilNextTimer();
// The game installs a real sleep here; without one (tests, tools) idle never waits.
void setIdleWait(std::function<void(int ms)> wait);

// The GLUT idle callback: one frame step (frameStep.h), then, unless it asked for a
// frame, a sleep until the next timer is due.
void idle();
