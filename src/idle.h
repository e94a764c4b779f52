// idle.h — the game's tick: the three turn phases over the current board.
#pragma once

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

// The GLUT idle callback. On the title and ending screens no game time passes and
// only a redraw is requested; with no current board nothing happens at all.
void idle();
