// facing.h — the four directions an actor can face, and the grid step each one takes.
#pragma once

#include <cstdint>

// The order N, S, E, W is fixed: every four-tile family of TILE_TYPE lists its
// appearances in this order, so a tile is the family's first code plus the facing.
enum Facing : int32_t { FA_N = 0, FA_S = 1, FA_E = 2, FA_W = 3 };

// The step of one square along `f`; north is towards row 0.
void getDxAndDy(Facing f, int& dx, int& dy);

// The opposite direction.
Facing flip(Facing f);
