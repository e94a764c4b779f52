// tileManager.cpp — the tile catalogue: which file shows each tile code, loaded once at start-up.
#include "tileManager.h"

#include <string>
#include <type_traits>

#include "Bitmap/Bitmap.h"
#include "check.h"
#include "pngLoader.h"

static_assert(std::is_same_v<png_uint_32, uint32_t>);
static_assert(std::is_same_v<png_bytep, unsigned char*>);

TilePair::TilePair(TILE_TYPE in_type, const char* in_filename)
    : type(in_type), filename(in_filename) {}

TilePair allTilePairs[NUM_TILE_PAIRS] = {
    TilePair(FLOOR, "assets/tiles/sand"),
    TilePair(WATER, "assets/tiles/water"),
    TilePair(IN_FLOOR, "assets/tiles/in_floor"),
    TilePair(WALL, "assets/tiles/wall"),
    TilePair(EXIT, "assets/tiles/stairs"),
    TilePair(ILL_N, "assets/tiles/hero_back"),
    TilePair(ILL_S, "assets/tiles/hero_front"),
    TilePair(ILL_E, "assets/tiles/hero_right"),
    TilePair(ILL_W, "assets/tiles/hero_left"),
    TilePair(DOG_N, "assets/tiles/dog_back"),
    TilePair(DOG_S, "assets/tiles/dog_front"),
    TilePair(DOG_E, "assets/tiles/dog_right"),
    TilePair(DOG_W, "assets/tiles/dog_left"),
    TilePair(GUARD_N, "assets/tiles/g1_back"),
    TilePair(GUARD_S, "assets/tiles/g1_front"),
    TilePair(GUARD_E, "assets/tiles/g1_right"),
    TilePair(GUARD_W, "assets/tiles/g1_left"),
    TilePair(SG_N, "assets/tiles/command_back"),
    TilePair(SG_S, "assets/tiles/command_front"),
    TilePair(SG_E, "assets/tiles/command_right"),
    TilePair(SG_W, "assets/tiles/command_left"),
    TilePair(FAKE_DOG_N, "assets/tiles/dogfake_back"),
    TilePair(FAKE_DOG_S, "assets/tiles/dogfake_front"),
    TilePair(FAKE_DOG_E, "assets/tiles/dogfake_right"),
    TilePair(FAKE_DOG_W, "assets/tiles/dogfake_left"),
    TilePair(FAKE_GUARD_N, "assets/tiles/g1fake_back"),
    TilePair(FAKE_GUARD_S, "assets/tiles/g1fake_front"),
    TilePair(FAKE_GUARD_E, "assets/tiles/g1fake_right"),
    TilePair(FAKE_GUARD_W, "assets/tiles/g1fake_left"),
    TilePair(FAKE_SG_N, "assets/tiles/commandfake_back"),
    TilePair(FAKE_SG_S, "assets/tiles/commandfake_front"),
    TilePair(FAKE_SG_E, "assets/tiles/commandfake_right"),
    TilePair(FAKE_SG_W, "assets/tiles/commandfake_left"),
    TilePair(FOOD, "assets/tiles/pizza"),
    TilePair(DEAD_BODY, "assets/tiles/bones"),
    TilePair(CLOAK_N, "assets/tiles/cloak_back"),
    TilePair(CLOAK_S, "assets/tiles/cloak_front"),
    TilePair(CLOAK_E, "assets/tiles/cloak_right"),
    TilePair(CLOAK_W, "assets/tiles/cloak_left"),
};

Tile allTiles[NUM_TILE_TYPES];

namespace {
const char* const titleScreenFilename = "assets/screens/title.bmp";
const char* const endingScreenFilename = "assets/screens/ending.bmp";
Bitmap* titleScreen = nullptr;
Bitmap* endingScreen = nullptr;

bool boundsCheck(TILE_TYPE curr, TILE_TYPE min, TILE_TYPE max) {
    return static_cast<int32_t>(min) <= static_cast<int32_t>(curr) &&
           static_cast<int32_t>(curr) <= static_cast<int32_t>(max);
}

void checkCatalogueCode(TILE_TYPE tile) {
    VW_ASSERT(boundsCheck(tile, FLOOR, EXIT) || boundsCheck(tile, ILL_N, FAKE_SG_W) || boundsCheck(tile, FOOD, CLOAK_W));
}

// The drawing code cannot show a BMP that failed to load, so start-up stops
// here, the way an unreadable PNG stops inside its loader.
Bitmap* loadBitmapOrExit(const char* path) {
    Bitmap* bmp = new Bitmap(path);
    if (!bmp->loaded) {
        // Freed first: leak checking at exit, and a fatal handler that throws, see no orphan.
        const std::string reason = bmp->error;
        delete bmp;
        fatalExitStderr(1, ("[initTiles] File " + std::string(path) + " could not be loaded: " + reason + "\n").c_str());
    }
    return bmp;
}
}  // namespace

Tile::Tile()
    : type(FLOOR), filename(nullptr), bmp(nullptr), png(nullptr), width(0), height(0) {}

Tile::Tile(TILE_TYPE in_type, const char* in_filename)
    : type(in_type), filename(in_filename), bmp(nullptr), png(nullptr), width(0), height(0) {
    if (boundsCheck(type, FLOOR, EXIT)) {
        bmp = loadBitmapOrExit((std::string(filename) + ".bmp").c_str());
    } else {
        png = read_png_file((std::string(filename) + ".png").c_str(), width, height);
    }
}

void initTiles() {
    for (const TilePair& pair : allTilePairs) allTiles[pair.type] = Tile(pair.type, pair.filename);
    titleScreen = loadBitmapOrExit(titleScreenFilename);
    endingScreen = loadBitmapOrExit(endingScreenFilename);
}

Bitmap* getTileBmp(TILE_TYPE tile) {
    checkCatalogueCode(tile);
    return allTiles[tile].getBitmap();
}

unsigned char* getTilePng(TILE_TYPE tile, int& w, int& h) {
    checkCatalogueCode(tile);
    w = allTiles[tile].getWidth();
    h = allTiles[tile].getHeight();
    return allTiles[tile].getPng();
}

Bitmap* getTitleScreen() { return titleScreen; }
Bitmap* getEndingScreen() { return endingScreen; }

int tileKind(int tile) {
    if ((tile >= ILL_N && tile <= ILL_W) || (tile >= CLOAK_N && tile <= CLOAK_W)) return 0;
    if ((tile >= GUARD_N && tile <= GUARD_W) || (tile >= FAKE_GUARD_N && tile <= FAKE_GUARD_W)) return 1;
    if ((tile >= DOG_N && tile <= DOG_W) || (tile >= FAKE_DOG_N && tile <= FAKE_DOG_W)) return 2;
    if ((tile >= SG_N && tile <= SG_W) || (tile >= FAKE_SG_N && tile <= FAKE_SG_W)) return 3;
    if (tile == FOOD) return 4;
    if (tile == DEAD_BODY) return 5;
    return -1;
}
