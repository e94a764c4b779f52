// guard.cpp — the guard: its appearance, and its reactions to what it sees.
#include "actor/guard.h"

Guard::Guard(int x, int y, Facing o) : Actor(x, y, o) {}

TILE_TYPE Guard::getTile() const {
    return static_cast<TILE_TYPE>((mirror ? FAKE_GUARD_N : GUARD_N) + static_cast<int>(o));
}
