// image.h — an RGBA picture held top row first, with compositing and the two file writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
};

Rgba rgb(uint32_t hex, uint8_t alpha = 255);
Rgba mix(Rgba from, Rgba to, float t);       // straight interpolation of all four channels
Rgba shade(Rgba c, int delta);                // brighten (delta > 0) or darken, alpha kept

class Image {
public:
    Image() = default;
    Image(int width, int height, Rgba fill = {});

    int width() const { return w; }
    int height() const { return h; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
    Rgba& at(int x, int y) { return px[size_t(y) * w + x]; }
    const Rgba& at(int x, int y) const { return px[size_t(y) * w + x]; }

    void set(int x, int y, Rgba c);               // clipped plain store
    void blend(int x, int y, Rgba c);              // clipped source-over compositing
    void fillRect(int x, int y, int rw, int rh, Rgba c);   // blended
    void fillEllipse(float cx, float cy, float rx, float ry, Rgba c);   // blended
    void draw(const Image& src, int x, int y);     // composite src with its top-left at (x, y)

    // Whether a pixel of alpha `minAlpha` or more lies within `ring` pixels of (x, y), in
    // both directions (a square around it, (x, y) itself included).
    bool nearCover(int x, int y, int ring, uint8_t minAlpha = 1) const;
    // A copy with `recolour(Rgba&)` applied to every pixel that is not wholly clear.
    template <typename Recolour>
    Image recoloured(Recolour&& recolour) const
    {
        Image out = *this;
        for (Rgba& c : out.px)
            if (c.a != 0)
                recolour(c);
        return out;
    }

    Image mirrored() const;                        // left and right exchanged
    Image scaled(int factor) const;                // nearest-neighbour enlargement

private:
    int w = 0, h = 0;
    std::vector<Rgba> px;
};

// Both writers report failure by returning false; neither prints anything.
bool writePng(const Image& img, const std::string& path);
// 24-bit uncompressed BMP, bottom row first; alpha is dropped.
bool writeBmp24(const Image& img, const std::string& path);
