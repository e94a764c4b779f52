// timedCallback.cpp — polling, firing and killing of actor timers.
#include "timedCallback.h"

#include "gameClock.h"

namespace {
// A timer fires once the time since its start, read in float seconds through this one
// conversion, reaches its timeout.
float toSeconds(int64_t ms) { return static_cast<float>(static_cast<double>(ms) / 1000.0); }

// The smallest whole number of milliseconds after its start at which a timer of `timeout`
// seconds fires: toSeconds never decreases, so from there on every reading accepts it.
int64_t firstAcceptedMs(float timeout) {
    int64_t ms = static_cast<int64_t>(static_cast<double>(timeout) * 1000.0);
    while (toSeconds(ms - 1) >= timeout) --ms;
    while (toSeconds(ms) < timeout) ++ms;
    return ms;
}
}  // namespace

TimedCallback::TimedCallback(TimerFunc func, float timeout, bool repeating)
    : func(func), timeout(timeout), start(currentTimeMs()), waitMs(firstAcceptedMs(timeout)),
      repeating(repeating), toBeRemoved(false) {}

void TimedCallback::poll(Actor* actor) {
    if (toBeRemoved) return;
    int64_t now = currentTimeMs();
    if (now - start < waitMs) return;
    // The bookkeeping is done before the call, so that the call is the last use
    // of this object: an action may replace its actor's timer, which is held where this one is.
    if (repeating)
        start = now;
    else
        toBeRemoved = true;
    func(actor);
}

bool TimedCallback::isDue() const { return !toBeRemoved && currentTimeMs() - start >= waitMs; }

void TimedCallback::kill() { toBeRemoved = true; }
