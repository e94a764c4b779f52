// ill.cpp — the player's appearance and cloak.
#include "actor/ill.h"

#include "gameConstants.h"
#include "soundManager.h"

Ill::Ill(int x, int y, Facing o) : Actor(x, y, o), isCloaked(false) {}

TILE_TYPE Ill::getTile() const {
    return static_cast<TILE_TYPE>((isCloaked ? CLOAK_N : ILL_N) + static_cast<int>(o));
}

void Ill::activateCloak() {
    isCloaked = true;
    addCallback(TimedCallback(deactivateIllCloak, CLOAK_DURATION, false));
}

void Ill::deactivateCloak() { isCloaked = false; }

// The cloak timer is the only timer the player ever holds, so `a` is the player.
void deactivateIllCloak(Actor* a) {
    static_cast<Ill*>(a)->deactivateCloak();
    playSfx(SFX_CLOAK_OFF);
}

bool cloakRunsOutBetween(const Ill& ill, int64_t sinceMs, int64_t nowMs) {
    if (!ill.isCloaked || !ill.callback || ill.callback->isDead()) return false;
    const int64_t warnAt = ill.callback->dueMs() - CLOAK_WARNING_MS;
    return sinceMs < warnAt && warnAt <= nowMs;
}
