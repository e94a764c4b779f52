// terrain.cpp — the five ground tiles, drawn by code so that they repeat without seams.
#include "artgen.h"

#include <cmath>

uint32_t noise(uint32_t x, uint32_t y, uint32_t seed)
{
    uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h & 0xff;
}

namespace {

// Wrapping store, so shapes that cross an edge continue on the opposite side of the tile.
void wrapSet(Image& img, int x, int y, Rgba c)
{
    img.at((x % TILE_W + TILE_W) % TILE_W, (y % TILE_H + TILE_H) % TILE_H) = c;
}

Image sand()
{
    const Rgba base = rgb(0xd8c28c);
    Image t(TILE_W, TILE_H);
    for (int y = 0; y < TILE_H; ++y)
        for (int x = 0; x < TILE_W; ++x) {
            uint32_t n = noise(x, y, 1);
            Rgba c = shade(base, int(n % 13) - 6);
            if (n < 9)
                c = rgb(0xb49a64);
            else if (n > 248)
                c = rgb(0xf2e4b8);
            t.at(x, y) = c;
        }
    // Ripples the wind leaves, and a few pebbles.
    const int ripples[][3] = {{6, 10, 14}, {34, 22, 12}, {14, 36, 16}, {46, 40, 10}};
    for (const auto& r : ripples)
        for (int i = 0; i < r[2]; ++i) {
            int lift = (i > 2 && i < r[2] - 3) ? 1 : 0;
            wrapSet(t, r[0] + i, r[1] - lift, rgb(0xc4aa74));
            wrapSet(t, r[0] + i, r[1] - lift - 1, rgb(0xeadaa8));
        }
    const int pebbles[][2] = {{52, 8}, {24, 28}, {58, 30}, {4, 44}};
    for (const auto& p : pebbles) {
        wrapSet(t, p[0], p[1], rgb(0x9a8a70));
        wrapSet(t, p[0] + 1, p[1], rgb(0x8a7a62));
        wrapSet(t, p[0], p[1] - 1, rgb(0xb8aa8e));
        wrapSet(t, p[0] + 1, p[1] - 1, rgb(0xa09076));
    }
    return t;
}

Image water()
{
    Image t(TILE_W, TILE_H);
    const double pi = 3.14159265358979;
    for (int y = 0; y < TILE_H; ++y)
        for (int x = 0; x < TILE_W; ++x) {
            // Slow swell, periodic over the tile in both directions.
            double s = std::sin(2 * pi * (x / 64.0 + y / 48.0)) + std::sin(2 * pi * (2 * x / 64.0 - y / 24.0));
            int d = int(std::lround(s * 6)) + int(noise(x, y, 2) % 5) - 2;
            t.at(x, y) = shade(rgb(0x2a62a8), d);
        }
    // Wave crests: small arcs, light on top and shaded below.
    const int arc[] = {0, 1, 1, 2, 2, 2, 2, 1, 1, 0};
    const int crests[][2] = {{4, 8}, {36, 6}, {20, 20}, {52, 22}, {6, 32}, {38, 34}, {22, 44}, {54, 46}};
    for (const auto& c : crests)
        for (int i = 0; i < 10; ++i) {
            wrapSet(t, c[0] + i, c[1] - arc[i], rgb(0xa8d4f4));
            wrapSet(t, c[0] + i, c[1] - arc[i] + 1, rgb(0x1e4c8a));
        }
    return t;
}

// Indoor floor: wooden boards with staggered joints and grain.
Image inFloor()
{
    Image t(TILE_W, TILE_H);
    const int boardH = 12;
    const int joints[4] = {10, 42, 26, 58};
    for (int y = 0; y < TILE_H; ++y) {
        int board = y / boardH, inBoard = y % boardH;
        for (int x = 0; x < TILE_W; ++x) {
            int segment = (x - joints[board] + TILE_W) % TILE_W < 32 ? 0 : 1;
            Rgba c = shade(rgb(0x8c5c36), int(noise(board, segment, 3) % 17) - 8);
            int grain = int(noise(x / 7, y, 4 + segment) % 9) - 4;
            c = shade(c, grain);
            if (inBoard == 0)
                c = shade(c, 22);
            if (inBoard == boardH - 1)
                c = rgb(0x4a2e18);
            int j = (x - joints[board] + TILE_W) % 32;
            if (j == 0 && inBoard != boardH - 1)
                c = rgb(0x4a2e18);
            if (j == 1 && inBoard != boardH - 1)
                c = shade(c, 16);
            t.at(x, y) = c;
        }
    }
    // Nail heads at the board ends.
    for (int b = 0; b < 4; ++b)
        for (int k = 0; k < 2; ++k) {
            int x = joints[b] + (k == 0 ? 3 : -3) + TILE_W;
            wrapSet(t, x, b * boardH + 3, rgb(0x3a2414));
            wrapSet(t, x, b * boardH + 8, rgb(0x3a2414));
        }
    return t;
}

// Stone blocks in courses, each block lit from the top left.
Image wall()
{
    Image t(TILE_W, TILE_H);
    const int courseH = 12, blockW = 32;
    for (int y = 0; y < TILE_H; ++y) {
        int course = y / courseH, inCourse = y % courseH;
        int offset = (course % 2) * (blockW / 2);
        for (int x = 0; x < TILE_W; ++x) {
            int bx = (x + offset) % TILE_W;
            int block = bx / blockW, inBlock = bx % blockW;
            Rgba c = shade(rgb(0x6e6a7e), int(noise(course, block, 5) % 21) - 10);
            c = shade(c, int(noise(x, y, 6) % 9) - 4);
            if (inCourse == 0 || inBlock == 0)
                c = rgb(0x2c2a36);                      // mortar
            else if (inCourse == 1 || inBlock == 1)
                c = shade(c, 28);                       // lit edge
            else if (inCourse == courseH - 1 || inBlock == blockW - 1)
                c = shade(c, -26);                      // shaded edge
            t.at(x, y) = c;
        }
    }
    return t;
}

// The way out: stone steps going down into the dark, framed by a lit threshold.
Image stairs()
{
    Image t(TILE_W, TILE_H, rgb(0x000000));
    const int frame = 4, steps = 6;
    const int innerH = TILE_H - 2 * frame;
    for (int y = 0; y < TILE_H; ++y)
        for (int x = 0; x < TILE_W; ++x) {
            Rgba c;
            if (x < frame || x >= TILE_W - frame || y < frame || y >= TILE_H - frame) {
                c = shade(rgb(0xd8b860), int(noise(x, y, 8) % 11) - 5);   // golden threshold
                if (x == 0 || y == 0 || x == TILE_W - 1 || y == TILE_H - 1)
                    c = rgb(0x8a6a28);
            } else {
                int iy = y - frame;
                int step = iy * steps / innerH;
                int inStep = iy - step * innerH / steps;
                int depth = 255 - step * 38;                       // deeper steps are darker
                Rgba tread = rgb(0xb0a48a);
                c = {uint8_t(tread.r * depth / 255), uint8_t(tread.g * depth / 255),
                     uint8_t(tread.b * depth / 255), 255};
                if (inStep == 0)
                    c = shade(c, 30);                               // the lit nose of each step
                else if (inStep >= innerH / steps - 2)
                    c = shade(c, -50);                              // riser in shadow
                // The side walls of the stairwell narrow with depth.
                int side = frame + 2 + step * 2;
                if (x < side || x >= TILE_W - side)
                    c = shade(c, -70);
                c = shade(c, int(noise(x, y, 9) % 7) - 3);
            }
            t.at(x, y) = c;
        }
    return t;
}

}

TileSet buildTerrainTiles()
{
    return {{"sand", sand()}, {"water", water()}, {"in_floor", inFloor()}, {"wall", wall()}, {"stairs", stairs()}};
}
