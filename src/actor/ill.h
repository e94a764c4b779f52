// ill.h — the player: a facing, a cloak, and the cloak's timer.
#pragma once

#include <cstdint>

#include "actor/actor.h"
#include "tileManager.h"

class Ill : public Actor {
public:
    Ill(int x, int y, Facing o);

    TILE_TYPE getTile() const;
    // Cloaked for CLOAK_DURATION from now; a cloak already running is renewed.
    void activateCloak();
    void deactivateCloak();
    bool isKillable() const { return !isCloaked; }

    bool isCloaked;
};

void deactivateIllCloak(Actor* a);

// The cloak's last CLOAK_WARNING_MS are heard: true when its timer reaches them after the
// game-clock millisecond `sinceMs` and by `nowMs`, the span one tick covers.
bool cloakRunsOutBetween(const Ill& ill, int64_t sinceMs, int64_t nowMs);
