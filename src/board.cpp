// board.cpp — the current level: its grid, its occupants and the player's stocks,
// the level file loader, and the numbered sequence of levels.
#include "board.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

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
// Values are checked in reading order; the first bad one stops the program. The stop
// names the file, the line and column of the offending value and what was expected
// there, before the condition's own text.

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
// The level file's text and where in it the value being read starts, so that whatever
// stops the load can say where it stopped and what was expected there.
class LevelReader {
public:
    LevelReader(const char* filename, std::string content)
        : filename(filename), text(std::move(content)), in(text) {}

    std::istream& stream() { return in; }

    // Notes where the next value starts and what it must be; `accepted` says which values
    // the loader takes ("" when `expected` says it all).
    void expect(const std::string& expected, const std::string& accepted) {
        in >> std::ws;  // as getNum does: the value starts after the white space
        at = offset();
        what = accepted.empty() ? expected : expected + ", " + accepted;
    }

    int number(const char* expected, const std::string& accepted) {
        expect(expected, accepted);
        return getNum(in, filename, expected);
    }

    size_t valueStart() const { return at; }

    // "FILE:LINE:COLUMN: expected WHAT; found FOUND" for the value starting at `start`.
    std::string where(size_t start, const std::string& expected, const std::string& found) const {
        int line = 1;
        size_t lineStart = 0;
        for (size_t i = 0; i < start && i < text.size(); ++i)
            if (text[i] == '\n') ++line, lineStart = i + 1;
        return std::string(filename) + ":" + std::to_string(line) + ":" + std::to_string(start - lineStart + 1) +
               ": expected " + expected + "; found " + found;
    }

    // The same for the value noted last, showing what stands there in the file.
    std::string whereLastValue() const { return where(at, what, textAt(at)); }

private:
    size_t offset() {
        // Asked of the buffer, which answers even when the stream has met the end.
        const auto pos = in.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in);
        return pos < 0 ? text.size() : static_cast<size_t>(pos);
    }

    // The word at `start`: up to white space or a separator after it, at most 20 characters.
    std::string textAt(size_t start) const {
        if (start >= text.size()) return "the end of the file";
        size_t end = start + 1;
        while (end < text.size() && end - start < 20 && !std::isspace(static_cast<unsigned char>(text[end])) &&
               text[end] != ',' && text[end] != ';')
            ++end;
        return "\"" + text.substr(start, end - start) + "\"";
    }

    const char* filename;
    std::string text;
    std::istringstream in;
    size_t at = 0;
    std::string what = "a number";
};

std::string range(int lo, int hi) { return std::to_string(lo) + " to " + std::to_string(hi); }

const std::string FACINGS = "0 to 3 (N, S, E, W)";

// The terrain at (x, y) as a designer names it, in brackets; "" outside the grid.
std::string terrainAt(Board* board, int x, int y) {
    static const char* const names[] = {"sand", "water", "inner floor", "wall", "stairs"};
    return board->inBounds(x, y) ? std::string(" (") + names[board->getTile(x, y)] + ")" : " (outside the grid)";
}

// Reads a character's x, y and facing (the x already read when `x` is given) and checks its
// start; a bad start is reported at the triple's first number.
struct Start {
    int x, y;
    Facing o;
};
Start readCharacter(LevelReader& r, Board* board, const char* who, const char* yName, const char* oName,
                    int x, size_t xAt) {
    const int y = r.number(yName, range(0, board->getHeight() - 1));
    const Facing o = static_cast<Facing>(r.number(oName, FACINGS));
    StopContext here([&] {
        return r.where(xAt,
                       std::string(who) + " on sand or inner floor inside the " + std::to_string(board->getWidth()) +
                           " x " + std::to_string(board->getHeight()) + " grid, facing " + FACINGS,
                       "x " + std::to_string(x) + ", y " + std::to_string(y) + terrainAt(board, x, y) +
                           ", facing " + std::to_string(o));
    });
    checkBounds(x, y, o, board);
    return {x, y, o};
}

// Reads enemy triples until the list's closing 999 and appends each as it is read.
template <typename Kind>
void readEnemies(LevelReader& r, const char* who, const char* what, Board* board, std::vector<Kind>& list) {
    for (;;) {
        int x = r.number(what, range(0, board->getWidth() - 1) + ", or 999 to end the list");
        if (x == DELIMITER) return;
        Start s = readCharacter(r, board, who, "an enemy's y", "an enemy's facing", x, r.valueStart());
        list.emplace_back(s.x, s.y, s.o);
    }
}

std::string readWhole(std::ifstream& in) {
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
}  // namespace

Board::Board(const char* filename)
    : width(0), height(0), ill(0, 0, FA_N), numFood(0), numDeadBody(0), numCloak(0),
      numFake(0), winBit(false), loseBit(false) {
    std::ifstream file(filename);
    if (!file) fatalExitf(1, "%s: the level file cannot be opened\n", filename);
    LevelReader r(filename, readWhole(file));
    StopContext where([&r] { return r.whereLastValue(); });

    const std::string size = range(1, MAX_BOARD_WIDTH);
    width = r.number("the width", size);
    VW_ASSERT(width > 0 && width <= MAX_BOARD_WIDTH);
    height = r.number("the height", range(1, MAX_BOARD_HEIGHT));
    VW_ASSERT(height > 0 && height <= MAX_BOARD_HEIGHT);

    std::vector<TILE_TYPE> grid(static_cast<size_t>(width) * height);
    const std::string terrain = range(FLOOR, EXIT) + " (sand, water, inner floor, wall, stairs)";
    for (int j = 0; j < height; j++) {
        for (int i = 0; i < width; i++) {
            int input_i = r.number("a terrain code", terrain);
            VW_ASSERT(input_i >= FLOOR && input_i <= EXIT);
            grid[j * width + i] = static_cast<TILE_TYPE>(input_i);
        }
    }
    auto land = std::make_shared<Terrain>();
    land->tiles = std::move(grid);
    land->clear.resize(land->tiles.size() * 4);
    for (int j = 0; j < height; j++)
        for (int i = 0; i < width; i++)
            for (Facing o : {FA_N, FA_S, FA_E, FA_W}) {
                int dx, dy;
                getDxAndDy(o, dx, dy);
                int n = 0;
                for (int x = i + dx, y = j + dy; inBounds(x, y) && land->tiles[y * width + x] != WALL; x += dx, y += dy)
                    ++n;
                land->clear[static_cast<size_t>((j * width + i) * 4 + o)] = static_cast<uint8_t>(n);
            }
    ground = std::move(land);
    r.expect("the section end 999 after " + std::to_string(width * height) + " terrain codes", "");
    chompDelim(r.stream(), filename);

    // The grid is complete here, so checkBounds can read the terrain under the player.
    int x = r.number("the player's x", range(0, width - 1));
    Start player = readCharacter(r, this, "the player", "the player's y", "the player's facing", x, r.valueStart());
    ill = Ill(player.x, player.y, player.o);
    r.expect("the section end 999 after the player's x, y and facing", "");
    chompDelim(r.stream(), filename);

    readEnemies(r, "a guard", "a guard's x or 999", this, guards);
    readEnemies(r, "a dog", "a dog's x or 999", this, dogs);
    readEnemies(r, "an SG", "an SG's x or 999", this, sgs);

    const std::string count = range(0, MAX_NUM_POWER_USE);
    numFood = r.number("the food count", count);
    checkBoundsPower(numFood);
    numDeadBody = r.number("the dead body count", count);
    checkBoundsPower(numDeadBody);
    numCloak = r.number("the cloak count", count);
    checkBoundsPower(numCloak);
    numFake = r.number("the fake count", count);
    checkBoundsPower(numFake);
    // Only a 999 opens the patrol section: whatever else follows the fake count was never
    // read, and is still not read.
    int opening = 0;
    if (r.stream() >> opening && opening == DELIMITER) {
        char separator;
        r.stream() >> separator;
        readRoutes(filename, *this, [&r](const char* what) { return r.number(what, ""); });
    }
}

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
    ObjectType found = OB_EMPTY;
    forEachList([&](ObjectType kind, auto& list) {
        obj = findIn(list, x, y);
        if (obj) found = kind;
        return obj != nullptr;
    });
    return found;
}

void Board::occupantsAlong(int x, int y, Facing o, int length, LineOccupants& line) {
    VW_ASSERT(length >= 0 && length <= MAX_LINE);
    if (length == 0) return;
    std::fill_n(line.begin(), length, Occupant{OB_EMPTY, nullptr});
    int dx, dy;
    getDxAndDy(o, dx, dy);
    // In getObject's order, so the first one met on a square is the one it reports there. An
    // actor is k squares ahead when it is k along the facing and none across it; the first
    // `length` squares are on the board, so one there is too.
    auto note = [&](ObjectType kind, Actor& a) {
        const int rx = a.x - x, ry = a.y - y;
        const int k = rx * dx + ry * dy;
        const bool ahead = (rx * dy - ry * dx) == 0 && static_cast<unsigned>(k - 1) < static_cast<unsigned>(length);
        if (!ahead) return;
        Occupant& seat = line[static_cast<size_t>(k - 1)];
        if (seat.kind == OB_EMPTY) seat = {kind, &a};
    };
    note(OB_ILL, ill);
    forEachList([&](ObjectType kind, auto& list) {
        for (Actor& a : list) note(kind, a);
    });
}

const char* kindName(ObjectType kind) {
    switch (kind) {
    case OB_ILL: return "player";
    case OB_GUARD: return "guard";
    case OB_DOG: return "dog";
    case OB_SG: return "commander";
    case OB_FOOD: return "food";
    case OB_DEADBODY: return "dead body";
    case OB_EMPTY: break;
    }
    return "nothing";
}

namespace {
const char* const levelPre = "assets/levels/level";
const char* const levelPost = ".txt";
constexpr int BUF_LEN = 512;

std::unique_ptr<Board> globalBoard;  // null before the first load and after a missing file
int globalCurrLevel = 0;
int globalLevelCount = 0;
unsigned globalBoardLoads = 0;

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
    ++globalBoardLoads;
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

unsigned getBoardLoadCount() { return globalBoardLoads; }
