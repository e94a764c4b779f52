// pixelArt.cpp — parsers for the palette, the pixel-art grids and the font, and text drawing.
#include "pixelArt.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

void artFail(const std::string& what)
{
    std::fprintf(stderr, "artgen: %s\n", what.c_str());
    std::exit(1);
}

static std::vector<std::string> readLines(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        artFail("cannot open " + path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

Palette loadPalette(const std::string& path)
{
    Palette pal;
    int lineNo = 0;
    for (const std::string& line : readLines(path)) {
        ++lineNo;
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string key, hex;
        int alpha = 255;
        fields >> key >> hex;
        if (fields.fail() || key.size() != 1 || key[0] == '.' || hex.size() != 6)
            artFail(path + ":" + std::to_string(lineNo) + ": expected \"<char> RRGGBB [alpha]\"");
        if (!(fields >> alpha))
            alpha = 255;
        if (alpha < 0 || alpha > 255 || pal.count(key[0]))
            artFail(path + ":" + std::to_string(lineNo) + ": bad alpha or repeated colour");
        pal[key[0]] = rgb(uint32_t(std::stoul(hex, nullptr, 16)), uint8_t(alpha));
    }
    return pal;
}

Image loadPixelArt(const std::string& path, const Palette& palette)
{
    std::vector<std::string> grid;
    for (const std::string& line : readLines(path))
        if (!line.empty() && line[0] != '#')
            grid.push_back(line);
    if (grid.empty())
        artFail(path + ": no pixels");
    Image img(int(grid[0].size()), int(grid.size()));
    for (size_t y = 0; y < grid.size(); ++y) {
        if (grid[y].size() != grid[0].size())
            artFail(path + ": row " + std::to_string(y + 1) + " is " + std::to_string(grid[y].size()) +
                    " wide, the first is " + std::to_string(grid[0].size()));
        for (size_t x = 0; x < grid[y].size(); ++x) {
            char c = grid[y][x];
            if (c == '.')
                continue;
            auto it = palette.find(c);
            if (it == palette.end())
                artFail(path + ": colour '" + std::string(1, c) + "' is not in the palette");
            img.at(int(x), int(y)) = it->second;
        }
    }
    return img;
}

Font::Font(const std::string& path)
{
    std::vector<std::string> lines = readLines(path);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.size() != 3 || l[0] != '[' || l[2] != ']')
            continue;
        if (i + 9 >= lines.size())
            artFail(path + ": glyph '" + std::string(1, l[1]) + "' is cut short");
        Glyph g;
        int lo = 5, hi = -1;
        for (int r = 0; r < 9; ++r) {
            g.rows[r] = lines[i + 1 + r];
            if (g.rows[r].size() != 5)
                artFail(path + ": glyph '" + std::string(1, l[1]) + "' row " + std::to_string(r + 1) +
                        " is not 5 wide");
            for (int c = 0; c < 5; ++c)
                if (g.rows[r][c] == '#') {
                    lo = std::min(lo, c);
                    hi = std::max(hi, c);
                }
        }
        if (hi < 0) {          // the space: a fixed gap
            lo = 0;
            hi = 2;
        }
        g.first = lo;
        g.width = hi - lo + 1;
        glyphs[l[1]] = g;
        i += 9;
    }
}

const Font::Glyph& Font::glyph(char c) const
{
    auto it = glyphs.find(c);
    if (it == glyphs.end())
        artFail(std::string("the font has no glyph '") + c + "'");
    return it->second;
}

int Font::textWidth(const std::string& text, int scale) const
{
    int w = 0;
    for (char c : text)
        w += (glyph(c).width + 1) * scale;
    return text.empty() ? 0 : w - scale;
}

int Font::drawText(Image& img, int x, int y, const std::string& text, int scale, Rgba colour) const
{
    for (char c : text) {
        const Glyph& g = glyph(c);
        for (int r = 0; r < 9; ++r)
            for (int col = 0; col < g.width; ++col)
                if (g.rows[r][g.first + col] == '#')
                    img.fillRect(x + col * scale, y + r * scale, scale, scale, colour);
        x += (g.width + 1) * scale;
    }
    return x;
}
