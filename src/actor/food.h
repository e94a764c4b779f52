// food.h — placed food: bait for guards that disappears FOOD_DURATION after it is placed.
#pragma once

#include "actor/actor.h"
#include "tileManager.h"

class Food : public Actor {
public:
    // Starts the lifetime timer at once.
    Food(int x, int y, Facing o);

    TILE_TYPE getTile() const;
};

// The food's lifetime timer action.
inline constexpr TimerFunc foodTimeout = lifetimeOver;
