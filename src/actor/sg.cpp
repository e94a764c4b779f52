// sg.cpp — the commander: its appearance, and its reactions to what it sees.
#include "actor/sg.h"

#include "actor/enemySounds.h"
#include "actor/sight.h"
#include "board.h"
#include "gameConstants.h"
#include "soundManager.h"

SG::SG(int x, int y, Facing o) : Actor(x, y, o) {}

TILE_TYPE SG::getTile() const {
    return static_cast<TILE_TYPE>((mirror ? FAKE_SG_N : SG_N) + static_cast<int>(o));
}

void SG::look() {
    Board& board = *getCurrentBoard();
    // A commander reacts to nothing but the player; anything else standing in
    // its line, fakes included, only blocks its view.
    scanLineOfSight(*this, board, [&](ObjectType seen, Actor*, int, int) {
        if (seen == OB_ILL) return catchPlayer(board, SFX_COMMANDER_DISCOVERS_PLAYER);
        return sightAfter(seen, board);
    });
    // A patrolling commander walks at a guard's pace; nothing ever takes it off its route.
    startPatrolIfIdle(*this, GUARD_WALK_PACE);
}
