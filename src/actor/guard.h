// guard.h — the guard: kills the player and fakes on sight, walks to food, backs off bodies.
#pragma once

#include "actor/actor.h"
#include "tileManager.h"

class Guard : public Actor {
public:
    Guard(int x, int y, Facing o);

    TILE_TYPE getTile() const;
    // Scans the line of sight on the current board and reacts to what it meets.
    void look();
};
