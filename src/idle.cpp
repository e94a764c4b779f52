// idle.cpp — the game's tick: timers fire, enemies look, the dead are cleared away.
#include "idle.h"

#include "board.h"
#include "redisplay.h"
#include "screenFlow.h"

namespace {

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

void idle() {
    if (atTitle() || atEnding()) {
        requestRedisplay();
        return;
    }
    if (!getCurrentBoard()) return;
    runCallbackPhase();
    runEnemyPhase();
    runRemoveDeadPhase();
    requestRedisplay();
}
