// guard.cpp — the guard: its appearance, and its reactions to what it sees.
#include "actor/guard.h"

#include "actor/enemySounds.h"
#include "actor/sight.h"
#include "board.h"
#include "gameConstants.h"
#include "soundManager.h"

Guard::Guard(int x, int y, Facing o) : Actor(x, y, o) {}

TILE_TYPE Guard::getTile() const {
    return static_cast<TILE_TYPE>((mirror ? FAKE_GUARD_N : GUARD_N) + static_cast<int>(o));
}

void Guard::look() {
    Board& board = *getCurrentBoard();
    lookThenWalkOn(*this, board, GUARD_WALK_PACE, [&](ObjectType seen, Actor* occupant, int, int) {
        if (seen == OB_ILL) return catchPlayer(board, SFX_GUARD_DISCOVERS_PLAYER);
        if (isEnemy(seen)) {
            // A guard shoots a fake at any range; a real enemy just blocks the view.
            if (occupant->isFakeIll()) killFake(seen, *occupant, false);
            return SightNext::Stop;
        }
        if (seen == OB_FOOD) return lured(armApproach, *this, GUARD_WALK_PACE);
        if (seen == OB_DEADBODY) return lured(armFlight, *this, GUARD_WALK_PACE);
        return SightNext::GoOn;
    });
}
