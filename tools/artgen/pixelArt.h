// pixelArt.h — reading the text sources of the art: palette, pixel-art grids and the bitmap font.
#pragma once

#include "image.h"

#include <map>
#include <string>

[[noreturn]] void artFail(const std::string& what);

// One character per colour: "<char> RRGGBB [alpha]" lines; '.' is always transparent.
using Palette = std::map<char, Rgba>;
Palette loadPalette(const std::string& path);

// A grid of palette characters, every line the same length; lines starting with '#' are comments.
Image loadPixelArt(const std::string& path, const Palette& palette);

// A proportional bitmap font: each glyph a 5-wide, 9-high grid (7 rows above the baseline,
// 2 below for descenders), trimmed of empty columns when drawn.
class Font {
public:
    explicit Font(const std::string& path);
    int textWidth(const std::string& text, int scale) const;
    static int lineHeight(int scale) { return 9 * scale; }
    // (x, y) is the top-left corner of the text's cell; returns the x after the text.
    int drawText(Image& img, int x, int y, const std::string& text, int scale, Rgba colour) const;

private:
    struct Glyph {
        int first = 0, width = 0;         // used columns
        std::string rows[9];
    };
    std::map<char, Glyph> glyphs;
    const Glyph& glyph(char c) const;
};
