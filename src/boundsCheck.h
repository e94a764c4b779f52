// boundsCheck.h — "is this square on the current board?", for code that must not see Board.
#pragma once

namespace BoundsCheck {
// Precondition: a current board exists.
bool inBounds(int x, int y);
}
