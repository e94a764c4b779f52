// tileManager.h — tile codes, and the catalogue of images behind them.
#pragma once

#include <cstdint>

enum TILE_TYPE : int32_t {
    FLOOR = 0,
    WATER = 1,
    IN_FLOOR = 2,
    WALL = 3,
    EXIT = 4,

    ILL_N = 10, ILL_S, ILL_E, ILL_W,
    DOG_N = 14, DOG_S, DOG_E, DOG_W,
    GUARD_N = 18, GUARD_S, GUARD_E, GUARD_W,
    SG_N = 22, SG_S, SG_E, SG_W,
    FAKE_DOG_N = 26, FAKE_DOG_S, FAKE_DOG_E, FAKE_DOG_W,
    FAKE_GUARD_N = 30, FAKE_GUARD_S, FAKE_GUARD_E, FAKE_GUARD_W,
    FAKE_SG_N = 34, FAKE_SG_S, FAKE_SG_E, FAKE_SG_W,

    FOOD = 200,
    DEAD_BODY = 201,
    CLOAK_N = 202, CLOAK_S, CLOAK_E, CLOAK_W,

    NUM_TILE_TYPES = 206
};
static_assert(sizeof(TILE_TYPE) == 4);
static_assert(FAKE_SG_W == 37 && CLOAK_W == 205);

// The catalogue: every tile code that appears on screen, tied to one image file.
// Terrain codes (FLOOR to EXIT) are opaque BMPs; all others are RGBA PNGs.

class Bitmap;

// One row of the catalogue table: a tile code and its file path without extension.
class TilePair {
public:
    TILE_TYPE type;
    const char* filename;   // a string constant, never copied or freed

    TilePair(TILE_TYPE in_type, const char* in_filename);
};

constexpr int NUM_TILE_PAIRS = 39;
extern TilePair allTilePairs[NUM_TILE_PAIRS];

// One loaded tile. Copies share the image; nothing is ever released.
class Tile {
public:
    Tile();
    // Loads stem + ".bmp" for terrain codes, stem + ".png" otherwise; a file
    // that cannot be loaded ends the process with status 1.
    Tile(TILE_TYPE in_type, const char* in_filename);

    Bitmap* getBitmap() const { return bmp; }
    unsigned char* getPng() const { return png; }   // libpng's png_bytep
    int getWidth() const { return static_cast<int>(width); }
    int getHeight() const { return static_cast<int>(height); }

private:
    TILE_TYPE type;
    const char* filename;
    Bitmap* bmp;            // terrain tiles only
    unsigned char* png;     // other tiles: RGBA, bottom-up, stride width × 4
    uint32_t width;         // PNG size; 0 for terrain (its Bitmap knows its size)
    uint32_t height;
};

extern Tile allTiles[NUM_TILE_TYPES];   // indexed by code; 39 slots filled

// Which kind of occupant a tile shows, whatever its facing, cloak or fake look, numbered as
// the board numbers its kinds (ObjectType): 0 the player, 1 guard, 2 dog, 3 commander, 4 food,
// 5 dead body; -1 for terrain.
int tileKind(int tile);

// Loads the 39 tiles in table order, then "assets/screens/title.bmp" and
// "assets/screens/ending.bmp". Any image that fails stops the process with one
// line on standard error and status 1. Call once, before drawing.
void initTiles();

// Both getters accept every catalogue code (0-4, 10-37, 200-205) and stop with an
// assertion on any other. getTileBmp is null for non-terrain codes; getTilePng is
// null, with w = h = 0, for terrain codes.
Bitmap* getTileBmp(TILE_TYPE tile);
unsigned char* getTilePng(TILE_TYPE tile, int& w, int& h);

// Full-window pictures, 24- or 32-bit; null before initTiles.
Bitmap* getTitleScreen();
Bitmap* getEndingScreen();
