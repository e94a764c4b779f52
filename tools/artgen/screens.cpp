// screens.cpp — the title and ending pictures: sky, ground, characters and lettering.
#include "artgen.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

Rgba gradient(const Rgba* stops, int count, float t)
{
    t = std::clamp(t, 0.0f, 1.0f) * float(count - 1);
    int i = std::min(int(t), count - 2);
    return mix(stops[i], stops[i + 1], t - float(i));
}

void sky(Image& img, const Rgba* stops, int count, int starsDownTo)
{
    for (int y = 0; y < img.height(); ++y) {
        Rgba row = gradient(stops, count, float(y) / float(img.height() - 1));
        for (int x = 0; x < img.width(); ++x)
            img.at(x, y) = row;
    }
    for (int y = 0; y < starsDownTo; ++y)
        for (int x = 0; x < img.width(); ++x)
            if (noise(x, y, 11) == 0 && noise(x, y, 12) < 90) {
                uint8_t a = uint8_t(120 + noise(x, y, 13) % 136 * (starsDownTo - y) / starsDownTo);
                img.blend(x, y, rgb(0xfff8e8, a));
                if (noise(x, y, 14) < 30) {          // the brighter ones get a small cross
                    img.blend(x - 1, y, rgb(0xfff8e8, a / 3));
                    img.blend(x + 1, y, rgb(0xfff8e8, a / 3));
                    img.blend(x, y - 1, rgb(0xfff8e8, a / 3));
                    img.blend(x, y + 1, rgb(0xfff8e8, a / 3));
                }
            }
}

// Big lettering: a vertical colour ramp inside a dark ring, with a drop shadow.
void headline(Image& img, const Font& font, const std::string& text, int y, int scale, Rgba top, Rgba bottom)
{
    int w = font.textWidth(text, scale);
    int x = (img.width() - w) / 2;
    Image mask(img.width(), Font::lineHeight(scale) + 8);
    font.drawText(mask, x, 4, text, scale, rgb(0xffffff));
    int ring = std::max(2, scale / 2);
    for (int j = 0; j < mask.height(); ++j)
        for (int i = 0; i < mask.width(); ++i)
            if (mask.at(i, j).a == 0 && mask.nearCover(i, j, ring, 255))
                img.blend(i, y - 4 + j, rgb(0x120c20));
    for (int j = 0; j < mask.height(); ++j)
        for (int i = 0; i < mask.width(); ++i)
            if (mask.at(i, j).a == 255) {
                img.blend(i + scale / 2 + ring, y - 4 + j + scale / 2 + ring, rgb(0x000000, 110));
            }
    for (int j = 0; j < mask.height(); ++j) {
        Rgba c = mix(top, bottom, float(j - 4) / float(7 * scale));
        for (int i = 0; i < mask.width(); ++i)
            if (mask.at(i, j).a == 255)
                img.blend(i, y - 4 + j, c);
    }
}

void centredText(Image& img, const Font& font, const std::string& text, int y, int scale, Rgba colour)
{
    int x = (img.width() - font.textWidth(text, scale)) / 2;
    font.drawText(img, x + scale / 2 + 1, y + scale / 2 + 1, text, scale, rgb(0x000000, 140));
    font.drawText(img, x, y, text, scale, colour);
}

// A key cap with its letter, as on a keyboard.
void keyCap(Image& img, const Font& font, int x, int y, char key)
{
    const int size = 32;
    img.fillRect(x + 2, y + 3, size, size, rgb(0x000000, 120));
    img.fillRect(x, y, size, size, rgb(0x3a3050));
    img.fillRect(x + 2, y + 2, size - 4, size - 6, rgb(0xe8e2f2));
    img.fillRect(x + 2, y + size - 4, size - 4, 2, rgb(0xb0a8c4));
    std::string s(1, key);
    int tw = font.textWidth(s, 2);
    // Centre the letter's x-height band (rows 2 to 6 of the glyph) on the cap's face.
    font.drawText(img, x + (size - tw) / 2, y + (size - 4) / 2 - 9, s, 2, rgb(0x241c34));
}

// A controller's button as it is printed on the pad: a round face button in its colour, or a
// grey pill for the shoulders, Start and Back. Returns the x just after it.
int padButtonWidth(const Font& font, const std::string& label)
{
    return std::max(30, font.textWidth(label, 2) + 14);
}

int padButton(Image& img, const Font& font, int x, int y, const std::string& label, Rgba face, Rgba ink)
{
    const int h = 30, w = padButtonWidth(font, label);
    const float r = h / 2.0f;
    for (int dy = 0; dy < 2; ++dy) {  // the shadow, then the button over it
        const Rgba c = dy == 0 ? rgb(0x000000, 120) : face;
        const int ox = dy == 0 ? 2 : 0, oy = dy == 0 ? 3 : 0;
        img.fillEllipse(x + ox + r, y + oy + r, r, r, c);
        img.fillEllipse(x + ox + w - r, y + oy + r, r, r, c);
        if (w > h) img.fillRect(x + ox + int(r), y + oy, w - h, h, c);
    }
    font.drawText(img, x + (w - font.textWidth(label, 2)) / 2, y + 6, label, 2, ink);
    return x + w;
}

void panel(Image& img, int x, int y, int w, int h)
{
    img.fillRect(x, y, w, h, rgb(0x0c0818, 170));
    img.fillRect(x, y, w, 2, rgb(0x9272d0, 200));
    img.fillRect(x, y + h - 2, w, 2, rgb(0x9272d0, 200));
    img.fillRect(x, y + 2, 2, h - 4, rgb(0x9272d0, 200));
    img.fillRect(x + w - 2, y + 2, 2, h - 4, rgb(0x9272d0, 200));
}

const Image& tile(const TileSet& tiles, const std::string& stem)
{
    auto it = tiles.find(stem);
    if (it == tiles.end())
        artFail("no tile " + stem + " for the screens");
    return it->second;
}

// A row of enlarged ground tiles along the bottom edge.
void ground(Image& img, const TileSet& tiles, const std::string* stems, int count)
{
    int y = img.height() - TILE_H * 2;
    for (int i = 0; i < count; ++i)
        img.draw(tile(tiles, stems[i]).scaled(2), -32 + i * TILE_W * 2, y);
}

// A character twice its size, feet on the ground row (`nearer` pixels further down, in front).
void figure(Image& img, const TileSet& tiles, const std::string& stem, int centreX, int nearer = 0)
{
    const Image big = tile(tiles, stem).scaled(2);
    img.draw(big, centreX - big.width() / 2, img.height() - 36 + nearer - big.height());
}

}

Image buildTitleScreen(const Font& font, const TileSet& tiles)
{
    Image img(SCREEN_W, SCREEN_H);
    const Rgba night[] = {rgb(0x070818), rgb(0x141238), rgb(0x2c1c50)};
    sky(img, night, 3, 420);
    img.fillEllipse(700, 70, 30, 30, rgb(0xf4ecc8));
    img.fillEllipse(688, 62, 28, 28, rgb(0x0c0c26));        // the moon's dark side

    const std::string groundRow[] = {"sand", "sand", "sand", "water", "sand", "sand", "sand"};
    ground(img, tiles, groundRow, 7);
    // At the front of the ground, heads below the line under the panel.
    figure(img, tiles, "cloak_right", 120, 34);
    figure(img, tiles, "g1_left", 645, 34);
    figure(img, tiles, "dog_left", 735, 34);

    headline(img, font, "Veilwalker", 18, 9, rgb(0xb8fff0), rgb(0x9060e0));
    centredText(img, font, "Slip past every watchful eye and reach the stairs.", 100, 2, rgb(0xd8d0f0));

    panel(img, 40, 120, 720, 362);
    // Each power's key and controller button, its tile on a patch of ground as in play, and
    // what it does; then the commander, who has no key but must be met.
    struct Row {
        const char* keys;
        const char* button;
        uint32_t buttonColour;
        const char* icon;
        const char* text;
        const char* more;  // a second, dimmer line
    };
    const Row rows[] = {
        {"wasd", nullptr, 0, "hero_right", "turn to face a way; again to step", "also arrows, d-pad or left stick"},
        {"h", "A", 0x3cb043, "pizza", "food: guards walk over to eat it", nullptr},
        {"j", "B", 0xd03a30, "bones", "dead body: guards back off, dogs come", nullptr},
        {"k", "X", 0x3070e0, "cloak_front", "cloak: nobody sees you for 2 seconds", nullptr},
        {"l", "Y", 0xe0b020, "g1fake_front", "fake: the enemy you face looks like you", nullptr},
        {"", nullptr, 0, "command_front", "commander: nothing lures him away:", "food and bodies never fool him"},
    };
    // 46 apart: the ground patches overlap a little and read as one strip.
    int y = 126;
    for (const Row& r : rows) {
        int x = 60;
        for (const char* k = r.keys; *k; ++k, x += 34)
            keyCap(img, font, x, y + 8, *k);
        if (r.button)
            padButton(img, font, x + 6, y + 9, r.button, rgb(r.buttonColour),
                      rgb(r.buttonColour == 0xe0b020 ? 0x241c34 : 0xffffff));
        img.fillRect(209, y - 1, TILE_W + 2, TILE_H + 2, rgb(0x9272d0, 200));
        img.draw(tile(tiles, "sand"), 210, y);
        img.draw(tile(tiles, r.icon), 210, y);
        if (r.more) {
            font.drawText(img, 290, y + 3, r.text, 2, rgb(0xf0ecf8));
            font.drawText(img, 290, y + 25, r.more, 2, rgb(0xb8b0d0));
        } else {
            font.drawText(img, 290, y + 12, r.text, 2, rgb(0xf0ecf8));
        }
        y += 46;
    }
    y += 2;
    // The keys without a power, with their controller buttons: two rows of four columns, each
    // column as wide as its widest entry and the room left spread evenly between them.
    struct Other {
        const char* keys;
        const char* button;
        const char* text;
    };
    const Other others[2][4] = {
        {{"v", "LB", "sight"}, {"r", "RB", "restart"}, {"m", "Back", "sound on/off"}, {"q", nullptr, "quit"}},
        {{"-=", nullptr, "music"}, {"[]", nullptr, "effects"}, {"u", nullptr, "take back"}, {"?", nullptr, "hint"}},
    };
    auto entryWidth = [&](const Other& o) {
        int w = 34 * int(std::strlen(o.keys));
        if (o.button) w += 4 + padButtonWidth(font, o.button);
        return w + 6 + font.textWidth(o.text, 2);
    };
    int widths[4], used = 0;
    for (int c = 0; c < 4; ++c) {
        widths[c] = std::max(entryWidth(others[0][c]), entryWidth(others[1][c]));
        used += widths[c];
    }
    const int left = 56, gap = (744 - left - used) / 3;
    if (gap < 12) artFail("the title's keys do not fit in their panel");
    for (int r = 0; r < 2; ++r) {
        const int row = y + 4 + r * 33;
        for (int c = 0, colX = left; c < 4; colX += widths[c] + gap, ++c) {
            const Other& o = others[r][c];
            int x = colX;
            for (const char* k = o.keys; *k; ++k, x += 34) keyCap(img, font, x, row, *k);
            if (o.button)
                x = padButton(img, font, x + 4, row + 1, o.button, rgb(0x3a3648), rgb(0xf0ecf8));
            font.drawText(img, x + 6, row + 6, o.text, 2, rgb(0xf0ecf8));
        }
    }

    centredText(img, font, "c or Start: continue; Esc: levels; other keys: level 1", 485, 2, rgb(0xf4d45c));
    return img;
}

Image buildEndingScreen(const Font& font, const TileSet& tiles)
{
    Image img(SCREEN_W, SCREEN_H);
    const Rgba dawn[] = {rgb(0x0e1238), rgb(0x3a2a66), rgb(0xb0587a), rgb(0xf0a866)};
    sky(img, dawn, 4, 260);
    img.fillEllipse(400, 520, 120, 120, rgb(0xffe0a0, 90));   // the sun about to rise
    img.fillEllipse(400, 520, 80, 80, rgb(0xfff0c0, 120));

    const std::string groundRow[] = {"wall", "sand", "sand", "stairs", "sand", "sand", "wall"};
    ground(img, tiles, groundRow, 7);
    figure(img, tiles, "hero_front", 400);
    // The watch looks the other way.
    figure(img, tiles, "g1_left", 130);
    figure(img, tiles, "dog_left", 240);
    figure(img, tiles, "command_right", 670);

    headline(img, font, "Congratulations!", 40, 7, rgb(0xfff2b0), rgb(0xe89030));
    centredText(img, font, "You walked unseen through every level.", 150, 3, rgb(0xf4f0ff));
    centredText(img, font, "The watch never knew you were there.", 195, 3, rgb(0xf4f0ff));
    centredText(img, font, "press any key to end the game", 290, 3, rgb(0xfff0a0));
    return img;
}
