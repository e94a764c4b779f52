// facing.cpp — reversal of the four facings.
#include "actor/facing.h"

#include "check.h"

Facing flip(Facing f) {
    VW_ASSERT(f >= FA_N && f <= FA_W);
    static constexpr Facing opposite[] = {FA_S, FA_N, FA_W, FA_E};
    return opposite[f];
}
