// solverRooms.h — two small rooms the solver and the hint tests both search.
#pragma once

#include <initializer_list>

#include "levelScenario.h"

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

}  // namespace solverRooms
