// sight.h — the line-of-sight scan and the reactions the three enemy kinds share.
#pragma once

#include "actor/actor.h"
#include "board.h"
#include "check.h"

#include <vector>

enum class SightNext { GoOn, Stop };

// Whether sight ends on a square after seeing what `seen` reports there: another
// enemy (fake or not) and an uncloaked player end it; a cloaked player, placed
// objects and empty squares let it pass. The same for every kind of enemy.
inline SightNext sightAfter(ObjectType seen, Board& board) {
    if (isEnemy(seen)) return SightNext::Stop;
    if (seen == OB_ILL) return board.getIll().isKillable() ? SightNext::Stop : SightNext::GoOn;
    return SightNext::GoOn;  // placed objects and empty squares
}

// The squares `self` sees right now: from the first one ahead (its own square is
// never examined) to the board's edge, the first wall, or the first square whose
// occupant ends sight (that square is seen). Each goes to `visit` with the
// occupant the board reports there. Reading only: this is what the sight overlay
// shows, and the enemies' looks scan through it, so the two never differ.
// A reaction catches, kills or arms a timer, but nobody moves, comes or goes while a look
// scans (the dead stay until the remove phase): so the occupants of the line are found in one
// pass before it, and each square still shows what getObject would report there.
template <typename Visit>
void forEachSquareInSight(const Actor& self, Board& board, Visit visit) {
    int dx = 0, dy = 0;
    getDxAndDy(self.o, dx, dy);
    // The squares up to the board's edge or the first wall.
    const int length = board.squaresBeforeWall(self.x, self.y, self.o);
    LineOccupants line;
    board.occupantsAlong(self.x, self.y, self.o, length, line);
    for (int k = 1; k <= length; ++k) {
        const Occupant& seen = line[static_cast<size_t>(k - 1)];
        // Decided before anyone reacts: a reaction may kill what ends sight here.
        const SightNext next = sightAfter(seen.kind, board);
        visit(seen.kind, seen.actor, self.x + k * dx, self.y + k * dy);
        if (next == SightNext::Stop) return;
    }
}

// A look: every square in sight goes to `react` with its occupant, in order.
// `react` tells whether it expects sight to go on; it must agree with sightAfter,
// which alone decides, so that what a player is shown is what the enemy sees.
template <typename React>
void scanLineOfSight(const Actor& self, Board& board, React react) {
    forEachSquareInSight(self, board, [&](ObjectType seen, Actor* occupant, int x, int y) {
        const SightNext expected = sightAfter(seen, board);
        const SightNext reacted = react(seen, occupant, x, y);
        VW_ASSERT(reacted == expected);
    });
}

// Every square some guard, dog or commander of `board` sees right now, as a
// width × height mask, element y * width + x.
std::vector<bool> squaresInEnemySight(Board& board);

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
// After a look: a patrolling enemy on its route with nothing pending walks on, one
// square per `pace` seconds. An enemy without a route is never touched.
void startPatrolIfIdle(Actor& self, float pace);

// A placed object in sight that lures: `arm` (armApproach or armFlight) readies the step it
// causes, and sight goes on past it.
inline SightNext lured(void (*arm)(Actor&, float), Actor& self, float pace) {
    arm(self, pace);
    return SightNext::GoOn;
}

// The look of an enemy that can be lured (a guard, a dog): each square in sight goes to
// `react` as in scanLineOfSight; then, with nothing pending, it walks home or on along its
// route, one move per `pace` seconds.
template <typename React>
void lookThenWalkOn(Actor& self, Board& board, float pace, React react) {
    scanLineOfSight(self, board, react);
    startWalkHomeIfIdle(self, pace);
    startPatrolIfIdle(self, pace);
}
