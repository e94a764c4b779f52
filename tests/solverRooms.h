// solverRooms.h — two small rooms the solver and the hint tests both search.
#pragma once

#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "levelScenario.h"
#include "walkthrough.h"

namespace solverRooms {

// A hall the commander at its south watches through the gap at x = 3: only the cloak gets
// the player past it.
inline const std::initializer_list<const char*> HALL = {
    "#######",
    "#....E#",
    "###.###",
    "###.###",
    "#######",
};
inline const Placed HALL_START{1, 1, FA_E};

// A guard at the east end of the upper hall watches all of it; the player comes up at
// x = 1 and leaves down at x = 3, so must cross three of its squares. Food at the west end
// draws the guard along the hall, and once it turns to walk home the player follows behind.
inline const std::initializer_list<const char*> GALLERY = {
    "########",
    "#......#",
    "#.#.####",
    "#.#E####",
    "########",
};

// The two rooms as levels: the hall with its commander and one cloak, the gallery with its
// guard and one food.
inline std::string hallLevel() { return levelText(HALL, HALL_START, {}, {}, {{3, 3, FA_N}}, {.cloak = 1}); }
inline std::string galleryLevel() { return levelText(GALLERY, {1, 3, FA_N}, {{6, 1, FA_W}}, {}, {}, {.food = 1}); }

// None to five keys at random moments, turns and steps mostly and now and then a room's
// power: played from a room's start, a random state to ask from.
inline std::vector<Press> randomOpening(std::mt19937& rng) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<Press> keys;
    for (int k = pick(0, 5); k > 0; --k) keys.push_back({pick(0, 200) * 4, "wasdwasdhk"[pick(0, 9)]});
    return keys;
}

}  // namespace solverRooms
