// facing.h — the four directions an actor can face, and the grid step each one takes.
#pragma once

#include <cstdint>

#include "check.h"

// The order N, S, E, W is fixed: every four-tile family of TILE_TYPE lists its
// appearances in this order, so a tile is the family's first code plus the facing.
enum Facing : int32_t { FA_N = 0, FA_S = 1, FA_E = 2, FA_W = 3 };

// The step of one square along `f`; north is towards row 0.
inline void getDxAndDy(Facing f, int& dx, int& dy) {
    VW_ASSERT(f >= FA_N && f <= FA_W);
    static constexpr int stepX[] = {0, 0, 1, -1};
    static constexpr int stepY[] = {-1, 1, 0, 0};
    dx = stepX[f];
    dy = stepY[f];
}

// The opposite direction.
Facing flip(Facing f);
