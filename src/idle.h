// idle.h — the game's tick: the three turn phases over the current board.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "hud.h"

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

// What one frame shows. Two equal pictures paint the same pixels, so a frame is
// only worth painting when the picture differs from the one painted last.
struct Picture {
    enum Screen { NOTHING, TITLE, GAME, ENDING } screen = NOTHING;
    int level = 0;
    std::vector<int> actors;  // tile, x and y of every actor, in drawing order
    bool lost = false;        // the flow step of the next frame has work to do
    bool won = false;
    HudState hud;
    std::vector<bool> sight;  // the overlay's squares; empty while it is hidden

    bool operator==(const Picture&) const = default;
};
Picture currentPicture();
// The display callback reports each frame it paints.
void notePicturePainted();

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

// The GLUT idle callback. On the game screen it runs the three phases (with no
// current board it does nothing); on the title and ending no game time passes.
// Then it asks for a redraw if the picture has changed since the last frame (and
// has not been asked for already), or else sleeps until the next timer is due.
void idle();
