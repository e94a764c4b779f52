// enemySounds.h — what the player hears when an enemy catches them or kills a fake.
#pragma once

#include "actor/actor.h"
#include "actor/sight.h"
#include "board.h"
#include "soundManager.h"

// The player reaction, with the alarm of the enemy that caught the player. A caught
// player stays on the board until the next redraw, and enemies that look at it again
// in the meantime are not heard.
inline SightNext catchPlayer(Board& board, SoundSfx alarm) {
    const bool alreadyCaught = board.hasLost();
    const SightNext next = reactToPlayer(board);
    if (next == SightNext::Stop && !alreadyCaught) playSfx(alarm);
    return next;
}

// A fake dies by a bite (`bitten`, from a dog) or a shot: a bite is heard as a bite, a
// shot dog yelps, anything else shot falls. Two enemies may both see it in the tick it
// dies (the dead stay on the board until the remove phase): it is heard dying once.
inline void killFake(ObjectType seen, Actor& fake, bool bitten) {
    if (!fake.isDead()) playSfx(bitten ? SFX_DOG_BITES : seen == OB_DOG ? SFX_DOG_DIES : SFX_GUARD_KILLS_GUARD);
    fake.kill();
}
