// solver.h — searches the key presses that win a level, played through the game's own
// keyboard handler, turn phases and flow step in simulated time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "boardState.h"
#include "gameClock.h"
#include "walkthrough.h"

// A state a known winning line passes: the presses of `line` from `next` on win from there,
// the first of them due `waitMs` after that moment.
struct KnownRest {
    const std::vector<Press>* line;
    size_t next;
    int64_t waitMs;
};
using KnownRests = std::unordered_map<BoardStateHash, KnownRest, BoardStateHashHasher>;

struct SolveOptions {
    int maxKeys = 60;                 // the longest sequence tried
    size_t maxStates = 3'000'000;     // distinct states kept before giving up
    std::string forbidden;            // keys never pressed, e.g. "k" for no cloak
    // Milliseconds between one key and the next (the first: since the level started).
    // Each is a multiple of tickMs and at least 120, so a person can play the result. Waits on
    // a 100 ms grid keep every timer's offset on that grid against the 500 ms walking pace,
    // which merges far more states than a 120 ms grid would (20 ms offsets). The half seconds
    // matter to humane wins: a key a tick after an enemy's step is often one a second after
    // an earlier key, and half a second later it is safe.
    std::vector<int64_t> waits{200, 500, 1000, 1500, 2000, 2500, 3000};
    int64_t tickMs = 4;               // simulated time per idle tick
    // Ticks that can change nothing (no timer due, and the tick before changed nothing) are
    // skipped; off, every tick is played, which must find exactly the same.
    bool skipQuietTicks = true;
    // Only humane wins (linePlay.h): each key must still work a tick early or late, and the
    // win found must still win in every humane variant of its line. Off, the exact timing of
    // a single tick may be what wins.
    bool humane = true;
    // Humane, off: only each key is held to the tick early and late, not the whole line to
    // its other paces. Whether a state can still be won so does not depend on how it was
    // reached, so where this search finds no win from a state, no humane line wins from there.
    bool humaneLine = true;
    // The waits before the first key, when they differ from `waits` (a hint asks from a moment
    // that is not just after a key).
    std::vector<int64_t> firstWaits;
    // A state met again in fewer keys is searched again from there, so that the first win found
    // has the fewest keys. Off, a state is searched once: any win will do, and where none is
    // found and no key limit cut a line short, every reachable state was still explored.
    bool reopen = true;
    // Humane: a key lost when the keys so far are played at 90 % or 110 % of their pace loses
    // every line that begins so, and is not tried further. A state first met on such a line is
    // then still open to the others, so the search may find wins it would otherwise miss (and
    // par, the fewest keys of what the search without it finds, is not searched so).
    bool prunePace = false;
    // States known to lead to a win (a hint knows the level's walkthrough): a key reaching one
    // ends the search when the keys so far and the known rest make a humane line (without the
    // humane rule, any such line). The win then need not have the fewest keys.
    KnownRests knownRests;
    // How much more the keys still needed weigh than the keys pressed: 1 finds the fewest
    // keys; more finds some win sooner.
    int greed = 1;
    // States still to be expanded kept whole at most at once (each with its board and, with
    // prunePace, the boards of its paces, a few kilobytes); the others are rebuilt by
    // replaying their keys from the start, which finds exactly the same.
    size_t keptStates = 30'000;
    // Seconds of searching before giving up (0: no limit); reported as the limit "N s".
    double maxSeconds = 0;
    // Asked before each state is expanded: true ends the search, reported as the limit
    // "stopped" (a hint's other search may have answered meanwhile).
    std::function<bool()> stop;
    // Called after each round of the search with the keys searched so far, the states met
    // and the states whose next key is still to be tried.
    std::function<void(int keys, size_t states, size_t open)> progress;
};

struct SolveResult {
    bool solved = false;
    std::vector<Press> presses;   // the winning sequence, when solved
    size_t states = 0;            // distinct states met
    int keysSearched = 0;         // every sequence up to this many keys was tried
    // Why the search stopped without a solution: "" when every reachable state was
    // explored (a proof, for the waits tried), otherwise the limit that was reached.
    std::string limit;
    double seconds = 0;
    // Keys and wins passed over because they only work at their exact tick (humane search).
    size_t unplayable = 0;
};

// The keys the solver may press: turns and steps, then the four powers.
inline constexpr const char* SOLVER_KEYS = "wasdhjkl";

// Searches from the current board as it stands (the game screen must be showing), best first
// on keys pressed plus a lower bound on the keys still needed, so the first win found has the
// fewest keys (when humane: of the lines whose every key still works a tick off). `clock` must be the
// installed game clock; the board and the clock are put back as they were before returning.
// The game's stock lines go to /dev/null meanwhile.
SolveResult solveCurrentLevel(ManualClock& clock, const SolveOptions& options);

// A level's par: the fewest keys of a humane win. The search's grid of waits cannot play every
// humane line (a walkthrough may wait 250 ms, or 150), so the level's walkthrough counts too:
// par is the keys of the shortest humane win the search finds with no more keys than the
// walkthrough, or the walkthrough's when that is humane and the search finds none as short.
// Neither search is a proof that no humane win is shorter (whether a line is humane depends
// on how it reached a state, and states are merged): the search as above and then the one
// that drops lines lost at another pace (prunePace) each find wins the other misses, and the
// shorter counts.
struct ParResult {
    int par = 0;                   // 0: neither the search nor the walkthrough gives a humane win
    std::vector<Press> presses;    // the win of par keys
    bool fromWalkthrough = false;
    SolveResult search;            // what the search that found par found (limited to the
                                   // walkthrough's keys), or the first search's
    std::string walkthroughFailure;  // humaneFailure() of the walkthrough; "" when humane
};

// From the current board, as solveCurrentLevel (humane, whatever `options` says); the board and
// the clock are put back.
ParResult findPar(ManualClock& clock, const std::vector<Press>& walkthrough, SolveOptions options);

// Makes the level file at `path` the current board and shows the game screen. The level
// sequence reads numbered files relative to the working directory, so the file is copied as
// level 0 into a temporary directory for the load. False (with a reason) if it cannot be read.
bool loadLevelFile(const std::string& path, std::string& error);
