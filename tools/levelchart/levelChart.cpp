// levelChart.cpp — bars of solution length, one per level, with the needed powers beneath.
#include "levelChart.h"

#include <algorithm>

#include "image.h"
#include "pixelArt.h"

namespace {
struct Power {
    char key;
    const char* name;
    uint32_t colour;
};
constexpr Power POWERS[] = {
    {'h', "food", 0xe0a030},
    {'j', "body", 0xb04040},
    {'k', "cloak", 0x6060e0},
    {'l', "fake", 0x40b060},
};

constexpr int BAR = 22, GAP = 6, LEFT = 48, TOP = 44, PLOT = 200, SQUARE = 8;
}  // namespace

bool writeLevelChart(const std::vector<LevelSummary>& levels, const std::string& path) {
    const Font font(LEVELCHART_FONT);
    const int count = static_cast<int>(levels.size());
    const int width = std::max(LEFT + count * (BAR + GAP) + GAP, 420);
    const int height = TOP + PLOT + 16 + 4 * (SQUARE + 2) + 28;
    Image img(width, height, rgb(0x16161c));
    const Rgba text = rgb(0xe8e8e8), grid = rgb(0x34343c), dim = rgb(0x9090a0);

    font.drawText(img, 8, 6, "Par per level: keys of the shortest humane win", 1, text);
    int x = 8;
    for (const Power& p : POWERS) {
        img.fillRect(x, 24, SQUARE, SQUARE, rgb(p.colour));
        x = font.drawText(img, x + SQUARE + 3, 22, std::string(1, p.key) + " " + p.name, 1, dim) + 10;
    }

    int most = 10;
    for (const LevelSummary& l : levels) most = std::max(most, l.keys);
    const int scaleTop = (most + 9) / 10 * 10;
    for (int v = 0; v <= scaleTop; v += 10) {
        int y = TOP + PLOT - v * PLOT / scaleTop;
        img.fillRect(LEFT - 4, y, width - LEFT, 1, grid);
        std::string label = std::to_string(v);
        font.drawText(img, LEFT - 8 - font.textWidth(label, 1), y - 4, label, 1, dim);
    }

    for (int i = 0; i < count; ++i) {
        const LevelSummary& l = levels[i];
        const int bx = LEFT + GAP + i * (BAR + GAP);
        const int bh = l.keys * PLOT / scaleTop;
        // Darker bars for levels that need more powers at once.
        const int needed = static_cast<int>(l.needs.size());
        img.fillRect(bx, TOP + PLOT - bh, BAR, bh, mix(rgb(0x8fb8d8), rgb(0x2f5f9f), std::min(needed, 3) / 3.0f));
        std::string keys = std::to_string(l.keys);
        font.drawText(img, bx + (BAR - font.textWidth(keys, 1)) / 2, TOP + PLOT - bh - 11, keys, 1, text);
        std::string number = std::to_string(i);
        font.drawText(img, bx + (BAR - font.textWidth(number, 1)) / 2, TOP + PLOT + 4, number, 1, dim);
        for (int p = 0; p < 4; ++p)
            if (l.needs.find(POWERS[p].key) != std::string::npos)
                img.fillRect(bx + (BAR - SQUARE) / 2, TOP + PLOT + 16 + p * (SQUARE + 2), SQUARE, SQUARE,
                             rgb(POWERS[p].colour));
    }
    font.drawText(img, 8, height - 14, "level number; squares: the powers it needs", 1, dim);
    return writePng(img, path);
}
