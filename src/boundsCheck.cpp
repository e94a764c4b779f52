// boundsCheck.cpp — square tests against the current board.
#include "boundsCheck.h"

#include "board.h"

namespace BoundsCheck {
bool inBounds(int x, int y) { return getCurrentBoard()->inBounds(x, y); }
}
