// dog.h — the dog: kills the player on sight and fakes next to it, walks to bodies and fakes.
#pragma once

#include "actor/actor.h"
#include "tileManager.h"

class Dog : public Actor {
public:
    Dog(int x, int y, Facing o);

    TILE_TYPE getTile() const;
    // Scans the line of sight on the current board and reacts to what it meets.
    void look();
};
