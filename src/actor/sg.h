// sg.h — the commander: kills the player on sight and ignores everything else; it never
// moves unless it walks a patrol route.
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
