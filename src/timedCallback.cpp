// timedCallback.cpp — polling, firing and killing of actor timers.
#include "timedCallback.h"

#include "gameClock.h"

namespace {
// Timers compare in float seconds; every reading goes through this one conversion.
float toSeconds(int64_t ms) { return static_cast<float>(static_cast<double>(ms) / 1000.0); }
}  // namespace

TimedCallback::TimedCallback(TimerFunc func, float timeout, bool repeating)
    : func(func), timeout(timeout), start(currentTimeMs()), repeating(repeating),
      toBeRemoved(false) {}

void TimedCallback::poll(Actor* actor) {
    if (toBeRemoved) return;
    int64_t now = currentTimeMs();
    if (secondsSinceStart(now) < timeout) return;
    // The bookkeeping is done before the call, so that the call is the last use
    // of this object: an action may replace its actor's timer, which is held where this one is.
    if (repeating)
        start = now;
    else
        toBeRemoved = true;
    func(actor);
}

int64_t TimedCallback::dueMs() const {
    // The smallest whole number of milliseconds that poll's float comparison accepts.
    int64_t ms = static_cast<int64_t>(static_cast<double>(timeout) * 1000.0);
    while (ms > 0 && toSeconds(ms - 1) >= timeout) --ms;
    while (toSeconds(ms) < timeout) ++ms;
    return start + ms;
}

float TimedCallback::secondsSinceStart(int64_t now) const {
    return toSeconds(now - start);
}

bool TimedCallback::isDue() const {
    return !toBeRemoved && !(secondsSinceStart(currentTimeMs()) < timeout);
}

void TimedCallback::kill() { toBeRemoved = true; }
