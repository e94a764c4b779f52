// gameConstants.h — the fixed sizes and durations every module of the game shares.
#pragma once

#include <cstdint>

constexpr int WINDOW_WIDTH = 800;
constexpr int WINDOW_HEIGHT = 600;

constexpr int MAX_BOARD_WIDTH = 12;
constexpr int MAX_BOARD_HEIGHT = 12;
constexpr int MAX_NUM_POWER_USE = 99;

// Seconds.
constexpr float CLOAK_DURATION = 2.0f;
constexpr float FOOD_DURATION = 2.0f;
constexpr float DEAD_BODY_DURATION = 2.0f;
constexpr float GUARD_WALK_PACE = 0.5f;   // one guard step per pace
constexpr float DOG_WALK_PACE = 0.5f;     // one dog step per pace

// Milliseconds of the game clock: the cloak's last half second is heard before it runs out.
constexpr int64_t CLOAK_WARNING_MS = 500;
