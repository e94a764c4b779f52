// tileManager.h — tile codes, and the catalogue of images behind them.
#pragma once

#include <cstdint>

enum TILE_TYPE : int32_t {
    FLOOR = 0,
    WATER = 1,
    IN_FLOOR = 2,
    WALL = 3,
    EXIT = 4,

    ILL_N = 10, ILL_S, ILL_E, ILL_W,
    DOG_N = 14, DOG_S, DOG_E, DOG_W,
    GUARD_N = 18, GUARD_S, GUARD_E, GUARD_W,
    SG_N = 22, SG_S, SG_E, SG_W,
    FAKE_DOG_N = 26, FAKE_DOG_S, FAKE_DOG_E, FAKE_DOG_W,
    FAKE_GUARD_N = 30, FAKE_GUARD_S, FAKE_GUARD_E, FAKE_GUARD_W,
    FAKE_SG_N = 34, FAKE_SG_S, FAKE_SG_E, FAKE_SG_W,

    FOOD = 200,
    DEAD_BODY = 201,
    CLOAK_N = 202, CLOAK_S, CLOAK_E, CLOAK_W,

    NUM_TILE_TYPES = 206
};
static_assert(sizeof(TILE_TYPE) == 4);
static_assert(FAKE_SG_W == 37 && CLOAK_W == 205);
