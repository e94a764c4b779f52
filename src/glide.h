// glide.h — actors drawn gliding from square to square. Drawing only: the board has
// the actor on its new square from the instant it moves, and no rule or timer waits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A move is drawn over this long, from the square left to the square reached.
constexpr int GLIDE_MS = 100;
// The drawn position changes only on this grid of the clock (at most 100 frames a
// second while something glides).
constexpr int GLIDE_FRAME_MS = 10;

// Where one actor is drawn: `msLeft` of GLIDE_MS still to go, back towards the square it
// came from, (dx, dy) squares away from its square (x from the west, y from the north).
// All zero when it is drawn on its square.
struct GlideShift {
    int dx = 0, dy = 0;
    int msLeft = 0;
    bool operator==(const GlideShift&) const = default;
};

// The actors' glides, following the pictures the frame loop takes.
class Glides {
public:
    // Notes where the actors stand at `nowMs`: `actors` holds tile, x and y of each, as a
    // Picture lists them (kinds in a fixed order, each list in its own order). An actor
    // one square from where it stood at the last call glides from there, starting now;
    // one that stayed keeps its glide; anything else is drawn on its square. A new
    // `board` (a load or restart, counted by the caller) or no board (0) starts afresh.
    void follow(const std::vector<int>& actors, unsigned board, int64_t nowMs);
    // The glide of the k-th actor of the last `follow`, as drawn at `nowMs`.
    GlideShift shift(size_t k, int64_t nowMs) const;
    // 0 while nothing glides at `nowMs`; otherwise a number that changes exactly when
    // some drawn position may change, so that a frame is worth painting.
    int64_t phase(int64_t nowMs) const;

private:
    struct Track {
        int kind, x, y;
        int fromX, fromY;
        int64_t startMs;  // when the glide from (fromX, fromY) began
    };
    std::vector<Track> tracks;
    std::vector<Track> previous;  // kept between calls so that following allocates nothing
    unsigned board = 0;
};

