// linePlay.cpp — a line of presses played through the game loop, and its humane variants.
#include "linePlay.h"

#include <algorithm>

#include "board.h"
#include "boardState.h"
#include "frameStep.h"
#include "idle.h"
#include "keyboard.h"
#include "rewind.h"
#include "screenFlow.h"

StdoutSilenced::StdoutSilenced() {
    std::fflush(stdout);
    cookie_io_functions_t drop{};
    drop.write = [](void*, const char*, size_t size) -> ssize_t { return static_cast<ssize_t>(size); };
    sink = fopencookie(nullptr, "w", drop);
    if (sink) {
        saved = stdout;
        stdout = sink;
    }
}

StdoutSilenced::~StdoutSilenced() {
    if (!sink) return;
    stdout = saved;
    std::fclose(sink);
}

namespace {
int searches = 0;  // SearchQuiet objects alive
}

SearchQuiet::SearchQuiet() { ++searches; }
SearchQuiet::~SearchQuiet() { --searches; }
bool searchPlaying() { return searches > 0; }

bool playTick(ManualClock& clock, int64_t tickMs) {
    clock.advance(tickMs);
    bool lost = false;
    frameStep([&lost] { return !(lost = getCurrentBoard()->hasLost()); });
    return !lost;
}

// A tick that changes nothing is followed by ticks that change nothing until a timer comes
// due (the looks see the same squares and the flags they set keep them from arming again).
bool playUntil(ManualClock& clock, int64_t untilMs, int64_t tickMs, bool skipQuiet, bool* quiet) {
    // The key measured from 0 does not move with the clock: a skipped stretch leaves it as
    // it was, so the key after one tick is the key before the next.
    BoardStateHash before, after;
    bool known = false;
    bool still = skipQuiet && quiet && *quiet;  // the last tick played changed nothing
    if (quiet) *quiet = false;
    while (clock.now() < untilMs) {
        if (!skipQuiet) {
            if (!playTick(clock, tickMs)) return false;
            continue;
        }
        if (still) {
            const int64_t due = nextTimerDueMs(*getCurrentBoard());
            // Whole ticks only, and none at or past the due time.
            const int64_t left = untilMs - clock.now();
            const int64_t quietTicks = std::min(left, due == INT64_MAX ? left : due - clock.now() - tickMs) / tickMs;
            if (quietTicks > 0) {
                clock.advance(quietTicks * tickMs);
                continue;
            }
        }
        if (!known) before = boardStateHash(*getCurrentBoard(), 0);
        if (!playTick(clock, tickMs)) return false;
        after = boardStateHash(*getCurrentBoard(), 0);
        known = true;
        still = after == before;
        before = after;
    }
    if (quiet) *quiet = still;
    return true;
}

LineOutcome playLine(ManualClock& clock, const std::vector<Press>& presses, const LinePlay& how) {
    LineOutcome out;
    const int64_t start = clock.now();
    int64_t written = 0;
    for (const Press& p : presses) {
        written += p.waitMs;
        const int64_t at = written * how.tempoPercent / 100;
        if (!playUntil(clock, start + at, how.tickMs, how.skipQuietTicks)) {
            out.lost = true;
            out.atMs = clock.now() - start;
            return out;
        }
        keyboard(static_cast<unsigned char>(p.key), 0, 0);
        ++out.keys;
        out.atMs = at;
        if (how.afterKey) how.afterKey(at, p.key);
        Board& b = *getCurrentBoard();
        if (b.hasLost()) {
            out.lost = true;
            return out;
        }
        if (b.hasWon()) {
            out.won = true;
            return out;
        }
    }
    if (how.settleMs > 0 && !playUntil(clock, clock.now() + how.settleMs, how.tickMs, how.skipQuietTicks)) {
        out.lost = true;
        out.atMs = clock.now() - start;
    }
    return out;
}

std::vector<LineVariant> humaneVariants(const std::vector<Press>& presses, int64_t tickMs) {
    std::vector<LineVariant> variants;
    const std::string tick = std::to_string(tickMs) + " ms ";
    for (size_t i = 0; i < presses.size(); ++i) {
        const std::string key = "key " + std::to_string(i + 1) + " ";
        for (int64_t off : {-tickMs, tickMs}) {
            const std::string way = off < 0 ? "early" : "late";
            LineVariant alone{key + tick + way, presses};
            alone.presses[i].waitMs += off;
            if (i + 1 < presses.size()) alone.presses[i + 1].waitMs -= off;
            LineVariant along{key + tick + way + " with the keys after it", presses};
            along.presses[i].waitMs += off;
            // The last key alone and with the keys after it are the same line.
            if (i + 1 < presses.size()) variants.push_back(std::move(alone));
            variants.push_back(std::move(along));
        }
    }
    for (int tempo : {90, 110}) variants.push_back({"at " + std::to_string(tempo) + " % of the pace", presses, tempo});
    return variants;
}

namespace {

// The first of `variants` that does not win from the current board, named with how it
// ended; "" when each wins. The board and the clock are put back after each.
std::string firstFailure(ManualClock& clock, const std::vector<LineVariant>& variants, int64_t tickMs) {
    StdoutSilenced quiet;
    const Board start = *getCurrentBoard();
    const int64_t startMs = clock.now();
    for (const LineVariant& v : variants) {
        beginTry();  // keys played here are not a player's to take back
        LinePlay how;
        how.tickMs = tickMs;
        how.tempoPercent = v.tempoPercent;
        how.skipQuietTicks = true;
        LineOutcome out = playLine(clock, v.presses, how);
        *getCurrentBoard() = start;
        clock.advance(startMs - clock.now());
        if (!out.won) return v.name + ": " + (out.lost ? "lost" : "not won") + " at " + std::to_string(out.atMs) + " ms";
    }
    return "";
}

}  // namespace

std::string humaneFailure(ManualClock& clock, const std::vector<Press>& presses, int64_t tickMs) {
    std::vector<LineVariant> variants{{"as written", presses}};
    for (LineVariant& v : humaneVariants(presses, tickMs)) variants.push_back(std::move(v));
    return firstFailure(clock, variants, tickMs);
}

bool isHumane(ManualClock& clock, const std::vector<Press>& presses, int64_t tickMs) {
    std::vector<LineVariant> variants{{"as written", presses}}, others;
    for (LineVariant& v : humaneVariants(presses, tickMs))
        (v.tempoPercent != 100 ? variants : others).push_back(std::move(v));
    for (LineVariant& v : others) variants.push_back(std::move(v));
    return firstFailure(clock, variants, tickMs).empty();
}
