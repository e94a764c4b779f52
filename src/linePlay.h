// linePlay.h — playing a line of key presses on the current board the way a person plays it,
// through the game's own frame step and keyboard handler in simulated time, and the rule that
// makes a line humane: it still wins when it is played a little off its written timing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "gameClock.h"
#include "walkthrough.h"

// The keyboard handler prints and flushes the stocks after every key; a search presses
// millions. Writing them even to /dev/null would cost a system call each, so while one of
// these lives standard output is swapped for a stream that drops what it is given.
class StdoutSilenced {
public:
    StdoutSilenced();
    ~StdoutSilenced();
    StdoutSilenced(const StdoutSilenced&) = delete;
    StdoutSilenced& operator=(const StdoutSilenced&) = delete;

private:
    FILE* sink = nullptr;
    FILE* saved = nullptr;
};

// While a search presses keys of its own: its output is dropped, and its keys are neither
// saved to be taken back nor counted on the line (a search presses millions; nor is a win it
// plays a record). Nothing of a search is shown either: its ticks take no picture and ask for no frame, and its
// keys print no stock line.
class SearchQuiet {
public:
    SearchQuiet();
    ~SearchQuiet();

private:
    StdoutSilenced quiet;  // not copied, and so neither is this
};
// Whether a SearchQuiet lives.
bool searchPlaying();

// One pass of the game loop, `tickMs` later: the game's own frame step. False when the level
// was lost in the tick; the flow step is then held back, so the lost board stays to be seen.
bool playTick(ManualClock& clock, int64_t tickMs);

// Plays ticks until the clock reaches `untilMs`; false if the level is lost on the way. With
// `skipQuiet`, a stretch of ticks that can change nothing (no timer due, and the tick before
// changed nothing) is passed over at once: the outcome is the same as ticking through it.
//
// `quiet`, when given, carries that knowledge from one call to the next on the same board:
// true on the way in when the board is just as a call left it quiet (its last tick changed
// nothing, and nothing has touched it since), so even the first tick need not be played; on
// the way out, whether it is left so.
bool playUntil(ManualClock& clock, int64_t untilMs, int64_t tickMs, bool skipQuiet = true, bool* quiet = nullptr);

struct LinePlay {
    int64_t tickMs = 4;        // simulated time per pass of the game loop
    int tempoPercent = 100;    // every key pressed at this share of its written time
    bool skipQuietTicks = false;
    // After the last key of a line that did not win, the time enemies get to catch a player
    // left standing in sight.
    int64_t settleMs = 0;
    // Called after each key with its time since the line started.
    std::function<void(int64_t atMs, char key)> afterKey;
};

struct LineOutcome {
    bool won = false;
    bool lost = false;
    int64_t atMs = 0;    // since the line started, when it was decided (or when play stopped)
    size_t keys = 0;     // keys pressed
};

// Plays `presses` from the board and clock as they are now: each key at the sum of the waits
// up to it, scaled by the tempo. Stops at a win (before the flow step moves on) or a loss
// (before the flow step restarts the level); the board is left as the line left it.
LineOutcome playLine(ManualClock& clock, const std::vector<Press>& presses, const LinePlay& how);

// A line played off its written timing, named for messages ("key 7 4 ms late").
struct LineVariant {
    std::string name;
    std::vector<Press> presses;
    int tempoPercent = 100;
};

// The ways a person plays a line off its timing: each key one tick early or late, on its own
// (the keys after it at their times) or with every key after it moved along; and the whole
// line at 90 % and 110 % of its pace. A line is humane when it wins as written and in each.
std::vector<LineVariant> humaneVariants(const std::vector<Press>& presses, int64_t tickMs);

// "" when `presses` wins from the current board as written and in every humane variant;
// otherwise the first that does not, e.g. "key 7 4 ms late: lost at 5320 ms". The board and
// the clock are put back as they were; the game's stock lines are dropped meanwhile.
std::string humaneFailure(ManualClock& clock, const std::vector<Press>& presses, int64_t tickMs = 4);
// Whether humaneFailure() would be "": the same ways of playing, the change of pace first,
// since a long line that drifts from the enemies' timing fails there most often.
bool isHumane(ManualClock& clock, const std::vector<Press>& presses, int64_t tickMs = 4);
