// sight.h — the line-of-sight scan and the reactions the three enemy kinds share.
#pragma once

#include "actor/actor.h"
#include "board.h"

enum class SightNext { GoOn, Stop };

// Walks the squares straight ahead of `self`, from the first one ahead (its own
// square is never examined) until the board's edge or the first wall, and hands
// each to `react` with the occupant the board reports there. `react` returns
// whether the scan goes on.
template <typename React>
void scanLineOfSight(const Actor& self, Board& board, React react) {
    int dx = 0, dy = 0;
    getDxAndDy(self.o, dx, dy);
    for (int x = self.x + dx, y = self.y + dy; board.inBounds(x, y); x += dx, y += dy) {
        if (board.getTile(x, y) == WALL) return;
        Actor* occupant = nullptr;
        ObjectType seen = board.getObject(x, y, occupant);
        if (react(seen, occupant, x, y) == SightNext::Stop) return;
    }
}

// An uncloaked player in sight is caught and the level lost; a cloaked one is
// neither seen nor in the way.
SightNext reactToPlayer(Board& board);

// One step towards what is ahead after `pace` seconds, unless one is pending.
void armApproach(Actor& self, float pace);
// One step back and a turn about after `pace` seconds, unless one is pending.
void armFlight(Actor& self, float pace);
// After a look: an enemy away from home with nothing pending starts walking home,
// one move per `pace` seconds.
void startWalkHomeIfIdle(Actor& self, float pace);
