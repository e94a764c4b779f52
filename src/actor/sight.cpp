// sight.cpp — reactions shared by the enemy kinds, and the rule for a replaced timer.
#include "actor/sight.h"

#include <memory>

#include "actor/ill.h"

namespace {

// An enemy holds one timer, and each behaviour flag promises that its timer is
// still coming. So a timer that replaces another takes the promise of the old
// one with it: without this a guard that saw food and then a dead body in one
// scan, or that was distracted on its way home, would keep a flag whose timer
// never fires, and never go home again. With it, a guard that sees food and then
// a body in one line re-arms both on every look and so holds still until one of
// them expires (two seconds at most); then it reacts and walks home.
void replaceTimer(Actor& self, TimerFunc func, float pace, bool repeating) {
    if (self.callback) {
        TimerFunc replaced = self.callback->getFunc();
        if (replaced == approachCallback) self.approachFlag = false;
        if (replaced == fleeCallback) self.fleeFlag = false;
        if (replaced == returnOrigLocCallback) self.returnOrigLocFlag = false;
    }
    self.addCallback(TimedCallback(func, pace, repeating));
}

}  // namespace

std::vector<bool> squaresInEnemySight(Board& board) {
    std::vector<bool> mask(static_cast<size_t>(board.getWidth()) * board.getHeight(), false);
    board.forEachEnemyList([&](ObjectType, const auto& enemies) {
        for (const auto& enemy : enemies)
            forEachSquareInSight(enemy, board, [&](ObjectType, Actor*, int x, int y) {
                mask[static_cast<size_t>(y) * board.getWidth() + x] = true;
            });
    });
    return mask;
}

SightNext reactToPlayer(Board& board) {
    Ill& ill = board.getIll();
    if (!ill.isKillable()) return SightNext::GoOn;
    ill.kill();
    board.setLose();
    return SightNext::Stop;
}

void armApproach(Actor& self, float pace) {
    if (self.approachFlag) return;
    replaceTimer(self, approachCallback, pace, false);
    self.approachFlag = true;
}

void armFlight(Actor& self, float pace) {
    if (self.fleeFlag) return;
    replaceTimer(self, fleeCallback, pace, false);
    self.fleeFlag = true;
}

void startWalkHomeIfIdle(Actor& self, float pace) {
    if (self.atOrigLoc() || self.inManipulateMode() || self.returnOrigLocFlag) return;
    replaceTimer(self, returnOrigLocCallback, pace, true);
    self.returnOrigLocFlag = true;
}

void startPatrolIfIdle(Actor& self, float pace) {
    if (!self.patrols() || !self.atOrigLoc() || self.inManipulateMode() || self.returnOrigLocFlag)
        return;
    if (self.callback && !self.callback->isDead()) return;
    replaceTimer(self, patrolCallback, pace, true);
}
