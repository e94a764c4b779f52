// dog.cpp — the dog: its appearance, and its reactions to what it sees.
#include "actor/dog.h"

Dog::Dog(int x, int y, Facing o) : Actor(x, y, o) {}

TILE_TYPE Dog::getTile() const {
    return static_cast<TILE_TYPE>((mirror ? FAKE_DOG_N : DOG_N) + static_cast<int>(o));
}
