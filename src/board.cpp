// board.cpp — the current level: its grid, its occupants and the player's stocks,
// the level file loader, and the numbered sequence of levels.
#include "board.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include "check.h"

// Level file format. A file is a sequence of decimal ints, each read as `in >> int`
// reads it (leading white space skipped, optional sign, digits) and each followed
// by exactly one separator: the next non-white-space character, read and thrown
// away unseen. So "1,2" and "1 ,\n 2" are two numbers but "1 2" is one number
// whose separator is the '2'. The last number needs no separator.
//
//   width, height                        1..12 each
//   width * height terrain codes 0..4    north row first, west to east
//   999
//   player x, y, facing                  facing 0 N, 1 S, 2 E, 3 W
//   999
//   guard triples, then 999              a list ends when a triple would begin with 999
//   dog triples, then 999
//   SG triples, then 999
//   food, dead body, cloak, fake         0..99 each
//   optional: 999, then routes, then 999  each route: kind, index, n, x1, y1, ..., xn, yn
//
// A route makes enemy `index` (from 0) of kind 1 guard, 2 dog or 3 commander patrol:
// from its start square to each of the n turning points in turn and back to its start,
// in straight legs along rows and columns that touch no wall. Nothing after the
// section's closing 999 is read, nor anything after the fake count that is not 999.
//
// Values are checked in reading order; the first bad one stops the program.

int getNum(std::istream& in, const char* filename, const char* expected) {
    // Only white space left means the file ends early. A failed read that merely
    // ran into the end (an int overflow, a lone sign) is a bad value, not a short file.
    in >> std::ws;
    if (in.peek() == std::char_traits<char>::eof())
        fatalExitf(1, "%s: the file ends where %s was expected\n", filename, expected);
    int value;
    if (!(in >> value))
        fatalExitf(1, "%s: not a number where %s was expected\n", filename, expected);
    char separator;
    // At the end of the file there is no separator to read; the next getNum
    // (if any) reports the missing number.
    in >> separator;
    return value;
}

void chompDelim(std::istream& in, const char* filename) {
    int i = getNum(in, filename, "the section end 999");
    VW_ASSERT(i == DELIMITER);
}

void checkBounds(int x, int y, Facing o, Board* b) {
    TILE_TYPE tile = b->getTile(x, y);
    bool facingOk = o >= FA_N && o <= FA_W;
    if (!facingOk || tile == WALL || tile == WATER || tile == EXIT)
        fatalExitf(1, "character not standing on an OK tile: (%d, %d)\n", x, y);
}

void checkBoundsPower(int n) {
    if (n < 0 || n > MAX_NUM_POWER_USE) fatalExitf(1, "power usage out of bounds: %d\n", n);
}

namespace {
// Reads enemy triples until the list's closing 999 and appends each as it is read.
template <typename Kind>
void readEnemies(std::istream& in, const char* filename, const char* what, Board* board,
                 std::vector<Kind>& list) {
    for (;;) {
        int x = getNum(in, filename, what);
        if (x == DELIMITER) return;
        int y = getNum(in, filename, "an enemy's y");
        Facing o = static_cast<Facing>(getNum(in, filename, "an enemy's facing"));
        checkBounds(x, y, o, board);
        list.emplace_back(x, y, o);
    }
}
}  // namespace

Board::Board(const char* filename)
    : width(0), height(0), ill(0, 0, FA_N), numFood(0), numDeadBody(0), numCloak(0),
      numFake(0), winBit(false), loseBit(false) {
    std::ifstream in(filename);
    if (!in) fatalExitf(1, "%s: the level file cannot be opened\n", filename);

    width = getNum(in, filename, "the width");
    VW_ASSERT(width > 0 && width <= MAX_BOARD_WIDTH);
    height = getNum(in, filename, "the height");
    VW_ASSERT(height > 0 && height <= MAX_BOARD_HEIGHT);

    tiles.resize(static_cast<size_t>(width) * height);
    for (int j = 0; j < height; j++) {
        for (int i = 0; i < width; i++) {
            int input_i = getNum(in, filename, "a terrain code");
            VW_ASSERT(input_i >= FLOOR && input_i <= EXIT);
            tiles[j * width + i] = static_cast<TILE_TYPE>(input_i);
        }
    }
    chompDelim(in, filename);

    // The grid is complete here, so checkBounds can read the terrain under the player.
    int x = getNum(in, filename, "the player's x");
    int y = getNum(in, filename, "the player's y");
    Facing o = static_cast<Facing>(getNum(in, filename, "the player's facing"));
    checkBounds(x, y, o, this);
    ill = Ill(x, y, o);
    chompDelim(in, filename);

    readEnemies(in, filename, "a guard's x or 999", this, guards);
    readEnemies(in, filename, "a dog's x or 999", this, dogs);
    readEnemies(in, filename, "an SG's x or 999", this, sgs);

    numFood = getNum(in, filename, "the food count");
    checkBoundsPower(numFood);
    numDeadBody = getNum(in, filename, "the dead body count");
    checkBoundsPower(numDeadBody);
    numCloak = getNum(in, filename, "the cloak count");
    checkBoundsPower(numCloak);
    numFake = getNum(in, filename, "the fake count");
    checkBoundsPower(numFake);
    readRoutes(in, filename, *this);
}

int Board::getWidth() const { return width; }

int Board::getHeight() const { return height; }

TILE_TYPE Board::getTile(int i, int j) const {
    VW_ASSERT(i >= 0 && i < width && j >= 0 && j < height);
    return tiles[j * width + i];
}

TILE_TYPE Board::getTile(const Actor& a) const { return getTile(a.x, a.y); }

bool Board::inBounds(int x, int y) const { return x >= 0 && x < width && y >= 0 && y < height; }

namespace {
template <typename Kind>
Actor* findIn(std::vector<Kind>& list, int x, int y) {
    for (Kind& a : list)
        if (a.isAt(x, y)) return &a;
    return nullptr;
}
}  // namespace

// Where several actors share a square, the earlier kind hides the later ones.
ObjectType Board::getObject(int x, int y, Actor*& obj) {
    obj = nullptr;
    if (!inBounds(x, y)) return OB_EMPTY;
    if (ill.isAt(x, y)) {
        obj = &ill;
        return OB_ILL;
    }
    if ((obj = findIn(guards, x, y))) return OB_GUARD;
    if ((obj = findIn(dogs, x, y))) return OB_DOG;
    if ((obj = findIn(sgs, x, y))) return OB_SG;
    if ((obj = findIn(foods, x, y))) return OB_FOOD;
    if ((obj = findIn(deadBodies, x, y))) return OB_DEADBODY;
    return OB_EMPTY;
}

Ill& Board::getIll() { return ill; }
std::vector<Guard>& Board::getGuards() { return guards; }
std::vector<Dog>& Board::getDogs() { return dogs; }
std::vector<SG>& Board::getSgs() { return sgs; }
std::vector<Food>& Board::getFoods() { return foods; }
std::vector<DeadBody>& Board::getDeadBodies() { return deadBodies; }

int Board::getFoodUse() const { return numFood; }
int Board::getDeadBodyUse() const { return numDeadBody; }
int Board::getCloakUse() const { return numCloak; }
int Board::getFakeUse() const { return numFake; }

namespace {
const char* const levelPre = "assets/levels/level";
const char* const levelPost = ".txt";
constexpr int BUF_LEN = 512;

std::unique_ptr<Board> globalBoard;  // null before the first load and after a missing file
int globalCurrLevel = 0;
int globalLevelCount = 0;

bool levelFileExists(int level) {
    char name[BUF_LEN];
    std::snprintf(name, sizeof name, "%s%02d%s", levelPre, level, levelPost);
    std::FILE* probe = std::fopen(name, "r");
    if (!probe) return false;
    std::fclose(probe);
    return true;
}

// Counted again at every load, which is rare (a key, a loss), so a level added
// or removed while the game runs is seen at the next one.
int countLevels() {
    int n = 0;
    while (levelFileExists(n)) ++n;
    return n;
}
}  // namespace

char* getLevelFilename() {
    static char buffer[BUF_LEN];
    VW_ASSERT(globalCurrLevel >= 0);
    std::snprintf(buffer, sizeof buffer, "%s%02d%s", levelPre, globalCurrLevel, levelPost);
    return buffer;
}

bool setCurrBoard() {
    globalBoard.reset();
    globalLevelCount = countLevels();
    const char* filename = getLevelFilename();
    // The probe is the only place a missing level is noticed; it is how the
    // sequence learns that it has run out.
    std::FILE* probe = std::fopen(filename, "r");
    if (!probe) return false;
    std::fclose(probe);
    globalBoard = std::make_unique<Board>(filename);
    return true;
}

void initBoards() {
    bool rv = setCurrBoard();
    VW_ASSERT(rv);
}

Board* getCurrentBoard() { return globalBoard.get(); }

Board& requireCurrentBoard() {
    if (!globalBoard) fatalExitf(1, "missing level file: %s\n", getLevelFilename());
    return *globalBoard;
}

int getCurrLevel() { return globalCurrLevel; }

void loadCurrBoard() { setCurrBoard(); }

void loadNextBoard() {
    globalCurrLevel += 1;
    setCurrBoard();
}

void loadInitialBoard() {
    globalCurrLevel = 0;
    setCurrBoard();
}

void loadBoardAt(int level) {
    const int count = countLevels();
    globalCurrLevel = level < 0 || count == 0 ? 0 : (level >= count ? count - 1 : level);
    setCurrBoard();
}

int getLevelCount() { return globalLevelCount; }
