// idle.cpp — the game's tick: timers fire, enemies look, the dead are cleared away.
#include "idle.h"

#include <algorithm>

#include "board.h"
#include "frameStep.h"
#include "gameClock.h"
#include "screenFlow.h"
#include "soundManager.h"

namespace {

std::function<void(int)> idleWait;
int64_t lastCallbackPhaseMs = 0;   // the game clock at the previous tick's timers

template <typename T>
void earliestDue(const std::vector<T>& actors, int64_t& due) {
    for (const T& a : actors)
        if (a.callback && !a.callback->isDead()) due = std::min(due, a.callback->dueMs());
}

// By index, not by iterator: no timer action or look grows a list today, but an
// index stays valid if one ever does, where an iterator would dangle.
template <typename T>
void pollAll(std::vector<T>& actors) {
    for (size_t i = 0; i < actors.size(); ++i) actors[i].invokeCallback();
}

template <typename T>
void lookAll(std::vector<T>& enemies) {
    for (size_t i = 0; i < enemies.size(); ++i) enemies[i].look();
}

}  // namespace

void runCallbackPhase() {
    Board* board = getCurrentBoard();
    // The span since the last tick; a clock set back (a test's fresh clock) starts it again.
    const int64_t now = currentTimeMs();
    if (cloakRunsOutBetween(board->getIll(), std::min(lastCallbackPhaseMs, now), now)) playSfx(SFX_CLOAK_ENDING);
    lastCallbackPhaseMs = now;
    board->getIll().invokeCallback();
    pollAll(board->getGuards());
    pollAll(board->getDogs());
    pollAll(board->getSgs());
    pollAll(board->getFoods());
    pollAll(board->getDeadBodies());
}

void runEnemyPhase() {
    Board* board = getCurrentBoard();
    lookAll(board->getGuards());
    lookAll(board->getDogs());
    lookAll(board->getSgs());
}

void runRemoveDeadPhase() {
    Board* board = getCurrentBoard();
    removeDead(board->getGuards());
    removeDead(board->getDogs());
    removeDead(board->getSgs());
    removeDead(board->getFoods());
    removeDead(board->getDeadBodies());
}

int64_t nextTimerDueMs(Board& board) {
    int64_t due = INT64_MAX;
    const Ill& ill = board.getIll();
    if (ill.callback && !ill.callback->isDead()) due = std::min(due, ill.callback->dueMs());
    earliestDue(board.getGuards(), due);
    earliestDue(board.getDogs(), due);
    earliestDue(board.getSgs(), due);
    earliestDue(board.getFoods(), due);
    earliestDue(board.getDeadBodies(), due);
    return due;
}

int msUntilNextTimer() {
    Board* board = getCurrentBoard();
    if (atTitle() || atEnding() || !board) return MAX_IDLE_WAIT_MS;
    const int64_t now = currentTimeMs();
    const int64_t due = std::min(now + MAX_IDLE_WAIT_MS, nextTimerDueMs(*board));
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
