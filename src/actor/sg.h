// sg.h — the commander: never moves, kills the player on sight and ignores everything else.
#pragma once

#include "actor/actor.h"
#include "tileManager.h"

class SG : public Actor {
public:
    SG(int x, int y, Facing o);

    TILE_TYPE getTile() const;
    // Scans the line of sight on the current board and reacts to what it meets.
    void look();
};
