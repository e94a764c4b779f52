// hint.h — the hint: the next key of a humane win from this very moment, found by the solver
// on the game's own rules, and the lines already known that make most answers quick.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board.h"
#include "gameClock.h"
#include "walkthrough.h"

// '?' and '/' (the same key without Shift on most keyboards).
bool isHintKey(unsigned char key);

// "hint: d" promises that `d` pressed this long after asking begins a humane win (a person
// reads the hint first; the solver's shortest wait is as long).
constexpr int64_t HINT_PRESS_MS = 200;

struct Hint {
    enum Kind {
        KEY,      // press `key` HINT_PRESS_MS after asking
        WAIT,     // a humane win is left, but its next key is not due yet: ask again
        NONE,     // no humane win is left from here (every reachable state was searched)
        UNKNOWN,  // the search ran out of time or room before it knew
    } kind = UNKNOWN;
    char key = 0;              // for KEY
    std::vector<Press> line;   // the win from the asking moment, for KEY and WAIT
    size_t states = 0;         // states the search met; 0 when a known line answered
};

// "hint: d", "hint: wait", "hint: none"; "hint: not found" when the search gave up.
std::string hintText(const Hint& hint);

// A hint as the one line a helper process writes back to the one that asked: its kind, key,
// states searched and each press of its line, ending in a newline. readHintLine is false
// for a line cut short or not of that form.
std::string hintLine(const Hint& hint);
bool readHintLine(const std::string& text, Hint& hint);
// Writes all of `text` to `fd`, as far as the other end takes it.
void writeWhole(int fd, const std::string& text);

// A line of keys known to be played from `origin` at `originMs`: a level's walkthrough from
// its start, or the line of the last hint.
struct KnownLine {
    Board origin;
    int64_t originMs = 0;
    std::vector<Press> line;
};

struct HintLimits {
    double maxSeconds = 0.9;     // the search gives up after this long (then UNKNOWN)
    size_t maxStates = 400'000;
    int greed = 3;               // any win will do, so the keys still needed weigh more
};

// The hint for the current board at the installed clock `clock`'s moment (the game screen
// must be showing). First each known line is followed from its origin: where it passes the
// board exactly as it is now, its rest answers when it is humane from here. Otherwise the
// humane solver searches. The board, the clock and the current try (what a rewind can take
// back) are left as they were; the game's stock lines are dropped meanwhile.
Hint thinkOfHint(ManualClock& clock, const std::vector<KnownLine>& known, const HintLimits& limits = {});

// The known lines a game keeps: its level's walkthrough from where the level (re)started, and
// the line of the last hint. Tests, tools and the game fill it through the same calls.
class HintBook {
public:
    // The current board has just been loaded (a new level, a restart, a capture); `walkthrough`
    // is read from beside the level file (levelNN.walk), when there is one.
    void levelStarted(const Board& board, int64_t nowMs);
    // A hint was answered from `board` at `nowMs`: its line is known from there.
    void answered(const Board& board, int64_t nowMs, const Hint& hint);
    const std::vector<KnownLine>& lines() const { return known; }

private:
    std::vector<KnownLine> known;  // the walkthrough first, then the last hint's line
    bool fromWalkthrough = false;
};

// A player doing what each hint says, for tests and tools: "hint: K" presses K HINT_PRESS_MS
// later and asks again at once; "hint: wait" asks again HINT_ASK_AGAIN_MS later. `ask`
// answers for the board as it is now, `pass` lets game time go by (false when the level was
// lost meanwhile), `press` presses a key; `won` and `lost` tell how the level stands.
constexpr int64_t HINT_ASK_AGAIN_MS = 100;
struct HintFollower {
    std::function<Hint()> ask;
    std::function<bool(int64_t ms)> pass;
    std::function<void(char key)> press;
    std::function<bool()> won, lost;
    int mostAsks = 150;
};
// "" when following the hints wins the level; otherwise what went wrong. Every answer's line
// ("hint: d") is appended to `said` when it is given.
std::string followHints(const HintFollower& follower, std::string* said = nullptr);

// The walkthrough file beside the current level's file ("assets/levels/levelNN.walk").
std::vector<Press> currentLevelWalkthrough();
