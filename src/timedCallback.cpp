// timedCallback.cpp — polling, firing and killing of actor timers.
#include "timedCallback.h"

#include "gameClock.h"

TimedCallback::TimedCallback(TimerFunc func, float timeout, bool repeating)
    : func(func), timeout(timeout), start(currentTimeMs()), repeating(repeating),
      toBeRemoved(false) {}

void TimedCallback::poll(Actor* actor) {
    if (toBeRemoved) return;
    int64_t now = currentTimeMs();
    if (secondsSinceStart(now) < timeout) return;
    // The bookkeeping is done before the call, so that the call is the last use
    // of this object: an action may replace its actor's timer, which frees this one.
    if (repeating)
        start = now;
    else
        toBeRemoved = true;
    func(actor);
}

float TimedCallback::secondsSinceStart(int64_t now) const {
    return static_cast<float>(static_cast<double>(now - start) / 1000.0);
}

bool TimedCallback::isDue() const {
    return !toBeRemoved && !(secondsSinceStart(currentTimeMs()) < timeout);
}

void TimedCallback::kill() { toBeRemoved = true; }

bool TimedCallback::isDead() const { return toBeRemoved; }
