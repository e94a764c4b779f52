// deadBody.cpp — a placed dead body and its lifetime.
#include "actor/deadBody.h"

#include "gameConstants.h"

DeadBody::DeadBody(int x, int y, Facing o) : Actor(x, y, o), timer(8) {
    addCallback(TimedCallback(deadBodyTimeout, DEAD_BODY_DURATION, false));
}

TILE_TYPE DeadBody::getTile() const { return DEAD_BODY; }
