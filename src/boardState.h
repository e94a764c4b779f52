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

// The same bytes hashed as they are made, two independent 64-bit hashes: a fixed size and
// no allocation, for searches that compare millions of states. Equal keys give equal
// hashes; two different keys would have to collide in both halves.
struct BoardStateHash {
    uint64_t a = 0, b = 0;
    bool operator==(const BoardStateHash&) const = default;
};
BoardStateHash boardStateHash(Board& board, int64_t nowMs);

// For unordered containers of hashes.
struct BoardStateHashHasher {
    size_t operator()(const BoardStateHash& h) const { return h.a ^ (h.b * 0x9e3779b97f4a7c15ull); }
};

// Moves every timer of the board `ms` later: a saved board restored `ms` after it was saved
// keeps the time each timer had left.
void delayBoardTimers(Board& board, int64_t ms);
