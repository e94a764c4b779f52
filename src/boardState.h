// boardState.h — everything about a board that can change what happens next, as bytes.
#pragma once

#include <cstdint>
#include <string>

class Board;

// Every actor's square, home, facing and flags, its timer (which action, and when it was
// set measured from `nowMs`, so two boards whose clocks differ but whose timers have the
// same time left give the same bytes), the cloak and the stocks. Two boards with equal
// keys at their own moments play on alike.
std::string boardStateKey(Board& board, int64_t nowMs);

// Moves every timer of the board `ms` later: a saved board restored `ms` after it was saved
// keeps the time each timer had left.
void delayBoardTimers(Board& board, int64_t ms);
