// hud.h — what the heads-up display and the sight overlay show, kept free of OpenGL.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "board.h"

// Everything the border around the board shows for one board state.
struct HudState {
    int level = 0;        // counted from 1, as a player counts
    int levelCount = 0;   // the level files present
    int food = 0, deadBody = 0, cloak = 0, fake = 0;  // stocks left
    int cloakTenthsLeft = 0;  // 0 while the cloak is off; rounded up, so 1 in the last tenth
    std::string hint;         // the hint shown beside the player: "d", "wait", "none" or empty

    bool operator==(const HudState&) const = default;
};

// Reads the current level number, the level count and the game clock.
HudState hudState(Board& board);

// "Level 4 / 14".
std::string hudLevelText(const HudState& hud);
// The reminder of the keys that are not powers, at the right below the board:
// "? hint   u back   Esc levels   v sight   …   q quit".
std::string hudKeyReminder();
// "cloak 1.4 s" while the cloak is on, else empty.
std::string hudCloakText(const HudState& hud);
// "1.4", shown above the cloaked player; empty while the cloak is off.
std::string hudCloakSeconds(const HudState& hud);

// A square in sight shows its terrain in the overlay's red, alike on every terrain: each
// pixel keeps its brightness, squeezed into a narrow band, so the texture still shows,
// and takes one red hue. R, G, B in and out.
std::array<uint8_t, 3> sightTint(uint8_t r, uint8_t g, uint8_t b);
// A terrain image as the loader keeps it (bottom row first, `bytesPerPixel` 3 or 4, each row
// starting at a multiple of 4 bytes), tinted pixel by pixel: opaque R, G, B, A rows of
// width × 4 bytes.
std::vector<uint8_t> sightTintedImage(const uint8_t* pixels, int width, int height, int bytesPerPixel);

// The arrow shown beside the player for a hinted turn or step ('w' up, 'a' left, 's' down,
// 'd' right): HINT_ARROW_SIZE × HINT_ARROW_SIZE RGBA pixels, bottom row first, a yellow
// arrow edged in dark so that it reads on every terrain; empty for any other key.
constexpr int HINT_ARROW_SIZE = 15;
std::vector<uint8_t> hintArrowImage(char key);

// The sight overlay: off when the game starts; `v` shows and hides it.
bool sightOverlayShown();
void toggleSightOverlay();
