// idle.cpp — the game's tick: timers fire, enemies look, the dead are cleared away.
#include "idle.h"

#include <algorithm>

#include "board.h"
#include "frameStep.h"
#include "gameClock.h"
#include "levelBanner.h"
#include "screenFlow.h"
#include "soundManager.h"

namespace {

std::function<void(int)> idleWait;
int64_t lastCallbackPhaseMs = 0;   // the game clock at the previous tick's timers

// By index, not by iterator: no timer action or look grows a list today, but an
// index stays valid if one ever does, where an iterator would dangle.
template <typename T, typename Act>
void eachByIndex(std::vector<T>& actors, Act act) {
    for (size_t i = 0; i < actors.size(); ++i) act(actors[i]);
}

}  // namespace

void runCallbackPhase() {
    Board* board = getCurrentBoard();
    // The span since the last tick; a clock set back (a test's fresh clock) starts it again.
    const int64_t now = currentTimeMs();
    if (cloakRunsOutBetween(board->getIll(), std::min(lastCallbackPhaseMs, now), now)) playSfx(SFX_CLOAK_ENDING);
    lastCallbackPhaseMs = now;
    board->getIll().invokeCallback();
    board->forEachList([](ObjectType, auto& list) {
        eachByIndex(list, [](Actor& a) { a.invokeCallback(); });
    });
}

void runEnemyPhase() {
    Board* board = getCurrentBoard();
    board->forEachEnemyList([](ObjectType, auto& list) {
        eachByIndex(list, [](auto& enemy) { enemy.look(); });
    });
}

void runRemoveDeadPhase() {
    Board* board = getCurrentBoard();
    board->forEachList([](ObjectType, auto& list) { removeDead(list); });
}

int64_t nextTimerDueMs(Board& board) {
    int64_t due = INT64_MAX;
    auto earliest = [&due](const Actor& a) {
        if (a.callback && !a.callback->isDead()) due = std::min(due, a.callback->dueMs());
    };
    earliest(board.getIll());
    board.forEachList([&](ObjectType, const auto& list) {
        for (const Actor& a : list) earliest(a);
    });
    return due;
}

int msUntilNextTimer() {
    Board* board = getCurrentBoard();
    if (atTitle() || atEnding() || !board) return MAX_IDLE_WAIT_MS;
    const int64_t now = currentTimeMs();
    // The level's banner going is a change of picture too.
    const int64_t due = std::min({now + MAX_IDLE_WAIT_MS, nextTimerDueMs(*board), levelBannerEndsMs()});
    return static_cast<int>(std::max<int64_t>(due - now, 0));
}

void setIdleWait(std::function<void(int ms)> wait) { idleWait = std::move(wait); }

void idle() {
    // A frame asked for is painted before the next pass; otherwise sleep until there is
    // something to do (with no board to play, the flow step has stopped the game).
    if (frameStep().redraw) return;
    const int wait = msUntilNextTimer();
    if (idleWait && wait > 0) idleWait(wait);
}
