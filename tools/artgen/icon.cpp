// icon.cpp — the desktop icon: the veilwalker's hooded head and shoulders on a rounded night-sky
// tile, crossed by the yellow beam of a guard's gaze, drawn anew at each size a desktop asks for.
#include "artgen.h"

#include <algorithm>

namespace {

constexpr int SUB = 4;   // sub-samples per pixel side for the anti-aliased rounded edge

// How much of pixel (x, y) lies inside the rounded square [inset, size - inset) with corner
// radius r, in sixteenths. Integer arithmetic, so the picture is the same on every machine.
int coverage(int x, int y, int size, int inset, int r)
{
    int inside = 0;
    const int lo = inset * SUB, hi = (size - inset) * SUB, rr = r * SUB;
    for (int sy = 0; sy < SUB; ++sy)
        for (int sx = 0; sx < SUB; ++sx) {
            // Sub-sample centres on a grid of 2 * SUB per pixel, to stay in integers.
            const int px = 2 * (x * SUB + sx) + 1, py = 2 * (y * SUB + sy) + 1;
            if (px < 2 * lo || px >= 2 * hi || py < 2 * lo || py >= 2 * hi)
                continue;
            const int cx = std::clamp(px, 2 * (lo + rr), 2 * (hi - rr));
            const int cy = std::clamp(py, 2 * (lo + rr), 2 * (hi - rr));
            const long dx = px - cx, dy = py - cy;
            if (dx * dx + dy * dy <= 4L * rr * rr)
                ++inside;
        }
    return inside;
}

// The rows of the front view that show the head and shoulders, down to the belt.
constexpr int BUST_ROWS = 13;

}

Image buildIcon(int size, const std::string& spriteDir)
{
    const int inset = std::max(1, size / 24);
    const int radius = size / 6;
    Image art(size, size);

    // Night sky: deep blue at the top, lighter towards the ground, so the violet hood stands out.
    const Rgba top = rgb(0x0a1028), bottom = rgb(0x24466a);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            art.at(x, y) = mix(top, bottom, float(y) / float(size - 1));
    const int starEvery = std::max(1, size / 48);
    for (int y = 0; y < size / 2; y += starEvery)
        for (int x = 0; x < size; x += starEvery)
            if (noise(x, y, 21) < 5 && noise(x, y, 22) < 110) {
                const Rgba star = rgb(0xfff8e8, uint8_t(140 + noise(x, y, 23) % 100));
                art.fillRect(x, y, starEvery, starEvery, star);
            }

    // The guard's gaze: a soft beam from the right edge, widening towards the figure.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float t = 1.0f - float(x) / float(size);          // 0 at the right edge
            const float centre = 0.36f * size, half = (0.05f + 0.2f * t) * size;
            const float d = (float(y) - centre) / half;
            if (d > -1.0f && d < 1.0f)
                art.blend(x, y, rgb(0xf0c848, uint8_t(120 * (1.0f - d * d) * (1.0f - 0.6f * t))));
        }

    // The figure, enlarged as far as the tile allows, standing on the tile's lower edge.
    const Palette pal = loadPalette(spriteDir + "/palette.txt");
    const Image hero = loadPixelArt(spriteDir + "/hero_front.txt", pal);
    const int scale = std::max(1, (size * 3 / 4) / BUST_ROWS);
    Image bust(hero.width() * scale, BUST_ROWS * scale);
    bust.draw(hero.scaled(scale), 0, 0);
    const int bx = (size - bust.width()) / 2, by = size - inset - bust.height();
    const int ring = std::max(1, scale / 3);
    for (int y = 0; y < bust.height(); ++y)
        for (int x = 0; x < bust.width(); ++x)
            if (bust.at(x, y).a == 0 && bust.nearCover(x, y, ring))
                art.blend(bx + x, by + y, rgb(0x0a0814, 220));
    art.draw(bust, bx, by);

    // Cut out the rounded tile, with a light rim so it stands out on a dark panel too.
    Image icon(size, size);
    const int rim = std::max(1, size / 64);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int outer = coverage(x, y, size, inset, radius);
            if (outer == 0)
                continue;
            Rgba c = art.at(x, y);
            const int inner = coverage(x, y, size, inset + rim, std::max(1, radius - rim));
            c = mix(rgb(0x9272d0), c, float(inner) / float(SUB * SUB));
            c.a = uint8_t(255 * outer / (SUB * SUB));
            icon.at(x, y) = c;
        }
    return icon;
}
