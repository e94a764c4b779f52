// hud.cpp — the heads-up display's contents and the sight overlay's switch.
#include "hud.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>

#include "gameClock.h"
#include "hintThinker.h"

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
    hud.hint = shownHint();
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

std::string hudKeyReminder() {
    return "? hint   u back   Esc levels   v sight   r restart   m sound   -= music   [] effects   q quit";
}

std::string hudCloakText(const HudState& hud) {
    const std::string seconds = hudCloakSeconds(hud);
    return seconds.empty() ? seconds : "cloak " + seconds + " s";
}

std::string hudCloakSeconds(const HudState& hud) {
    if (hud.cloakTenthsLeft <= 0) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d", hud.cloakTenthsLeft / 10, hud.cloakTenthsLeft % 10);
    return text;
}

std::array<uint8_t, 3> sightTint(uint8_t r, uint8_t g, uint8_t b) {
    const int luma = (r * 77 + g * 150 + b * 29) >> 8;
    // Sand (bright), floor, wall and water (dark) end up close in brightness; the
    // texture keeps two fifths of its contrast.
    const int level = 96 + luma * 2 / 5;
    return {static_cast<uint8_t>(std::min(255, level + 72)), static_cast<uint8_t>(level * 9 / 20),
            static_cast<uint8_t>(level * 2 / 5)};
}

std::vector<uint8_t> sightTintedImage(const uint8_t* pixels, int width, int height, int bytesPerPixel) {
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4);
    const size_t stride = (static_cast<size_t>(width) * bytesPerPixel + 3) / 4 * 4;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* in = pixels + y * stride + static_cast<size_t>(x) * bytesPerPixel;
            const std::array<uint8_t, 3> c = sightTint(in[0], in[1], in[2]);
            uint8_t* o = &out[(static_cast<size_t>(y) * width + x) * 4];
            o[0] = c[0];
            o[1] = c[1];
            o[2] = c[2];
            o[3] = 255;
        }
    return out;
}

std::vector<uint8_t> hintArrowImage(char key) {
    int ax = 0, ay = 0;  // the way it points, up positive as the rows are stored
    switch (key) {
    case 'w': ay = 1; break;
    case 's': ay = -1; break;
    case 'a': ax = -1; break;
    case 'd': ax = 1; break;
    default: return {};
    }
    const int half = HINT_ARROW_SIZE / 2;
    // Along the arrow (u) and across it (v): a shaft behind the middle, a head in front.
    auto inside = [&](int u, int v, int grow) {
        if (u < -half - grow || u > half + grow) return false;
        if (u < 0) return std::abs(v) <= 2 + grow;
        return std::abs(v) <= half - u + grow;
    };
    std::vector<uint8_t> image(static_cast<size_t>(HINT_ARROW_SIZE) * HINT_ARROW_SIZE * 4, 0);
    for (int y = 0; y < HINT_ARROW_SIZE; ++y)
        for (int x = 0; x < HINT_ARROW_SIZE; ++x) {
            const int u = (x - half) * ax + (y - half) * ay, v = (y - half) * ax - (x - half) * ay;
            uint8_t* p = &image[(static_cast<size_t>(y) * HINT_ARROW_SIZE + x) * 4];
            if (inside(u, v, 0)) {
                p[0] = 255, p[1] = 220, p[2] = 60, p[3] = 255;
            } else if (inside(u, v, 1)) {
                p[0] = 20, p[1] = 16, p[2] = 30, p[3] = 255;
            }
        }
    return image;
}

bool sightOverlayShown() { return overlayShown; }
void toggleSightOverlay() { overlayShown = !overlayShown; }
