// facing.cpp — grid steps and reversal of the four facings.
#include "actor/facing.h"

#include "check.h"

void getDxAndDy(Facing f, int& dx, int& dy) {
    VW_ASSERT(f >= FA_N && f <= FA_W);
    static constexpr int stepX[] = {0, 0, 1, -1};
    static constexpr int stepY[] = {-1, 1, 0, 0};
    dx = stepX[f];
    dy = stepY[f];
}

Facing flip(Facing f) {
    VW_ASSERT(f >= FA_N && f <= FA_W);
    static constexpr Facing opposite[] = {FA_S, FA_N, FA_W, FA_E};
    return opposite[f];
}
