// deadBody.h — a placed dead body: repels guards, draws dogs, disappears after DEAD_BODY_DURATION.
#pragma once

#include "actor/actor.h"
#include "tileManager.h"

class DeadBody : public Actor {
public:
    // Starts the lifetime timer at once.
    DeadBody(int x, int y, Facing o);

    TILE_TYPE getTile() const;

    int timer;  // kept for the record format; the lifetime is the timed callback's
};

// The dead body's lifetime timer action.
inline constexpr TimerFunc deadBodyTimeout = lifetimeOver;
