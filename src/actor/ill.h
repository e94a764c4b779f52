// ill.h — the player: a facing, a cloak, and the cloak's timer.
#pragma once

#include "actor/actor.h"
#include "tileManager.h"

class Ill : public Actor {
public:
    Ill(int x, int y, Facing o);

    TILE_TYPE getTile() const;
    // Cloaked for CLOAK_DURATION from now; a cloak already running is renewed.
    void activateCloak();
    void deactivateCloak();
    bool isKillable() const;

    bool isCloaked;
};

void deactivateIllCloak(Actor* a);
