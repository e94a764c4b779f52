// ill.cpp — the player's appearance and cloak.
#include "actor/ill.h"

#include "gameConstants.h"

Ill::Ill(int x, int y, Facing o) : Actor(x, y, o), isCloaked(false) {}

TILE_TYPE Ill::getTile() const {
    return static_cast<TILE_TYPE>((isCloaked ? CLOAK_N : ILL_N) + static_cast<int>(o));
}

void Ill::activateCloak() {
    isCloaked = true;
    addCallback(std::make_unique<TimedCallback>(deactivateIllCloak, CLOAK_DURATION, false));
}

void Ill::deactivateCloak() { isCloaked = false; }

bool Ill::isKillable() const { return !isCloaked; }

// The cloak timer is the only timer the player ever holds, so `a` is the player.
void deactivateIllCloak(Actor* a) { static_cast<Ill*>(a)->deactivateCloak(); }
