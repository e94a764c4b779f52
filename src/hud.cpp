// hud.cpp — the heads-up display's contents and the sight overlay's switch.
#include "hud.h"

#include <cstdio>

#include "gameClock.h"

namespace {
bool overlayShown = false;
}  // namespace

HudState hudState(Board& board) {
    HudState hud;
    hud.level = getCurrLevel() + 1;
    hud.levelCount = getLevelCount();
    hud.food = board.getFoodUse();
    hud.deadBody = board.getDeadBodyUse();
    hud.cloak = board.getCloakUse();
    hud.fake = board.getFakeUse();
    const Ill& ill = board.getIll();
    // The cloak's timer is the only one the player ever holds.
    if (ill.isCloaked && ill.callback && !ill.callback->isDead()) {
        const int64_t left = ill.callback->dueMs() - currentTimeMs();
        hud.cloakTenthsLeft = left > 0 ? static_cast<int>((left + 99) / 100) : 0;
    }
    return hud;
}

std::string hudLevelText(const HudState& hud) {
    char text[48];
    std::snprintf(text, sizeof text, "Level %d / %d", hud.level, hud.levelCount);
    return text;
}

std::string hudCloakText(const HudState& hud) {
    if (hud.cloakTenthsLeft <= 0) return {};
    char text[32];
    std::snprintf(text, sizeof text, "cloak %d.%d s", hud.cloakTenthsLeft / 10, hud.cloakTenthsLeft % 10);
    return text;
}

bool sightOverlayShown() { return overlayShown; }
void toggleSightOverlay() { overlayShown = !overlayShown; }
