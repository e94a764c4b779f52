// dog.cpp — the dog: its appearance, and its reactions to what it sees.
#include "actor/dog.h"

#include "actor/enemySounds.h"
#include "actor/sight.h"
#include "board.h"
#include "gameConstants.h"
#include "soundManager.h"

Dog::Dog(int x, int y, Facing o) : Actor(x, y, o) {}

TILE_TYPE Dog::getTile() const {
    return static_cast<TILE_TYPE>((mirror ? FAKE_DOG_N : DOG_N) + static_cast<int>(o));
}

void Dog::look() {
    Board& board = *getCurrentBoard();
    lookThenWalkOn(*this, board, DOG_WALK_PACE, [&](ObjectType seen, Actor* occupant, int seenX, int seenY) {
        if (seen == OB_ILL) return catchPlayer(board, SFX_DOG_DISCOVERS_PLAYER);
        if (isEnemy(seen)) {
            // A dog only bites what is next to it; a fake further off is stalked.
            if (occupant->isFakeIll()) {
                if (getManhattanDist(seenX, seenY) == 1)
                    killFake(seen, *occupant, true);
                else
                    armApproach(*this, DOG_WALK_PACE);
            }
            return SightNext::Stop;
        }
        // Food is nothing to a dog.
        if (seen == OB_DEADBODY) return lured(armApproach, *this, DOG_WALK_PACE);
        return SightNext::GoOn;
    });
}
