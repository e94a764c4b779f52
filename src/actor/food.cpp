// food.cpp — placed food and its lifetime.
#include "actor/food.h"

#include "gameConstants.h"

Food::Food(int x, int y, Facing o) : Actor(x, y, o) {
    addCallback(TimedCallback(foodTimeout, FOOD_DURATION, false));
}

TILE_TYPE Food::getTile() const { return FOOD; }
