// hud.h — what the heads-up display and the sight overlay show, kept free of OpenGL.
#pragma once

#include <string>

#include "board.h"

// Everything the border around the board shows for one board state.
struct HudState {
    int level = 0;        // counted from 1, as a player counts
    int levelCount = 0;   // the level files present
    int food = 0, deadBody = 0, cloak = 0, fake = 0;  // stocks left
    int cloakTenthsLeft = 0;  // 0 while the cloak is off; rounded up, so 1 in the last tenth

    bool operator==(const HudState&) const = default;
};

// Reads the current level number, the level count and the game clock.
HudState hudState(Board& board);

// "Level 4 / 14".
std::string hudLevelText(const HudState& hud);
// "cloak 1.4 s" while the cloak is on, else empty.
std::string hudCloakText(const HudState& hud);

// The sight overlay: off when the game starts; `v` shows and hides it.
bool sightOverlayShown();
void toggleSightOverlay();
