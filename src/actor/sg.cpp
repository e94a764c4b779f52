// sg.cpp — the commander: its appearance, and its reactions to what it sees.
#include "actor/sg.h"

SG::SG(int x, int y, Facing o) : Actor(x, y, o) {}

TILE_TYPE SG::getTile() const {
    return static_cast<TILE_TYPE>((mirror ? FAKE_SG_N : SG_N) + static_cast<int>(o));
}
