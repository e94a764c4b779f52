// artgen.h — the parts of the art generator: actor tiles, terrain tiles, the two screens and the icon.
#pragma once

#include "image.h"
#include "pixelArt.h"

#include <map>
#include <string>

constexpr int TILE_W = 64;
constexpr int TILE_H = 48;
constexpr int SCREEN_W = 800;
constexpr int SCREEN_H = 600;

using TileSet = std::map<std::string, Image>;   // file stem -> picture

// The 34 tiles drawn over the terrain (RGBA): characters, fakes, cloak, food and body.
TileSet buildActorTiles(const std::string& spriteDir);
// The five opaque terrain tiles.
TileSet buildTerrainTiles();

Image buildTitleScreen(const Font& font, const TileSet& tiles);
Image buildEndingScreen(const Font& font, const TileSet& tiles);

// The desktop icon, `size` pixels square (RGBA).
Image buildIcon(int size, const std::string& spriteDir);
constexpr int ICON_SIZES[] = {48, 128, 256};

// A repeatable pseudo-random value in 0..255 for a position: the same on every machine.
uint32_t noise(uint32_t x, uint32_t y, uint32_t seed);
