// board.h — one loaded level: its terrain, its occupants, the player's stocks, won and lost;
// the level file loader; and the numbered sequence of levels with the one current board.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <type_traits>
#include <vector>

#include "actor/deadBody.h"
#include "actor/dog.h"
#include "actor/facing.h"
#include "actor/food.h"
#include "actor/guard.h"
#include "actor/ill.h"
#include "actor/sg.h"
#include "check.h"
#include "gameConstants.h"
#include "tileManager.h"

// What occupies a square; OB_EMPTY also answers for squares off the board.
enum ObjectType : int32_t {
    OB_ILL = 0,
    OB_GUARD = 1,
    OB_DOG = 2,
    OB_SG = 3,
    OB_FOOD = 4,
    OB_DEADBODY = 5,
    OB_EMPTY = 6
};

// The kinds that look, in the order of the board's enemy lists (forEachEnemyList): guards,
// dogs, commanders. A new kind of enemy is named here and given its list below.
inline constexpr ObjectType ENEMY_KINDS[] = {OB_GUARD, OB_DOG, OB_SG};
// The enemy kinds as bits, one test where a look asks it of every square.
inline constexpr uint32_t ENEMY_KIND_BITS = [] {
    uint32_t bits = 0;
    for (ObjectType enemy : ENEMY_KINDS) bits |= 1u << enemy;
    return bits;
}();
constexpr bool isEnemy(ObjectType kind) {
    return static_cast<uint32_t>(kind) < 32 && (ENEMY_KIND_BITS >> kind & 1u) != 0;
}

// How messages name a kind: "player", "guard", "dog", "commander", "food", "dead body",
// "nothing".
const char* kindName(ObjectType kind);

// What getObject reports on one square: the kind and the actor (null for OB_EMPTY).
// Uninitialised until set: a look's line is made on every tick and filled as far as it goes.
struct Occupant {
    ObjectType kind;
    Actor* actor;
};
// The squares of a line across the board, ahead of where it starts: element k - 1 for the k-th.
constexpr int MAX_LINE = MAX_BOARD_WIDTH > MAX_BOARD_HEIGHT ? MAX_BOARD_WIDTH : MAX_BOARD_HEIGHT;
using LineOccupants = std::array<Occupant, MAX_LINE>;

// The number that closes a section of a level file.
constexpr int DELIMITER = 999;

// Squares are (x, y): x the column from 0 at the west edge, y the row from 0 at
// the north edge. Actors are held by value; a pointer to one stays valid only
// until its list is next appended to or erased from.
class Board {
public:
    // Reads a level file (format described in board.cpp). Stops the program at
    // the first value it cannot accept.
    explicit Board(const char* filename);
    // A copy is a complete saved state: every actor with its own copy of its timer.
    Board(const Board&) = default;
    Board& operator=(const Board&) = default;

    int getWidth() const { return width; }
    int getHeight() const { return height; }
    TILE_TYPE getTile(int i, int j) const {
        VW_ASSERT(i >= 0 && i < width && j >= 0 && j < height);
        return ground->tiles[j * width + i];
    }
    TILE_TYPE getTile(const Actor& a) const { return getTile(a.x, a.y); }
    // How many squares ahead of (x, y) along `o` lie before the board's edge or the first wall:
    // how far a look from there can reach. Found once, when the level is loaded.
    int squaresBeforeWall(int x, int y, Facing o) const {
        VW_ASSERT(x >= 0 && x < width && y >= 0 && y < height && o >= FA_N && o <= FA_W);
        return ground->clear[static_cast<size_t>((y * width + x) * 4 + o)];
    }
    bool inBounds(int x, int y) const { return x >= 0 && x < width && y >= 0 && y < height; }
    // The occupant of (x, y), searched player, guards, dogs, SGs, foods, dead
    // bodies, each list in order; the dead are found until they are erased.
    ObjectType getObject(int x, int y, Actor*& obj);
    // What getObject reports on each of the first `length` squares ahead of (x, y) along `o`
    // (not on (x, y) itself), found in one pass over the occupants; squares off the board are
    // OB_EMPTY. The elements after those are left as they were.
    void occupantsAlong(int x, int y, Facing o, int length, LineOccupants& line);

    Ill& getIll() { return ill; }
    std::vector<Guard>& getGuards() { return guards; }
    std::vector<Dog>& getDogs() { return dogs; }
    std::vector<SG>& getSgs() { return sgs; }
    std::vector<Food>& getFoods() { return foods; }
    std::vector<DeadBody>& getDeadBodies() { return deadBodies; }

    // The one walk over the lists of occupants (the player, who is no list, aside). Each
    // list is visited as `visit(kind, list)`: the list's ObjectType (as a compile-time
    // constant, below) and the board's own std::vector of that kind, so a generic lambda
    // sees each kind's own type. A visit
    // that returns bool ends the walk by returning true; the walk returns whether one did.
    //   forEachEnemyList         guards, dogs, SGs: the kinds that look
    //   forEachPlacedList        foods, dead bodies: what the player places
    //   forEachList              enemies, then placed: the order getObject examines them
    //   forEachListInPaintOrder  placed, then enemies: a later one is painted over
    // A new kind of occupant is a list here, and so is in every walk.
    template <typename Visit> bool forEachEnemyList(Visit&& visit) { return enemyLists(visit); }
    template <typename Visit> bool forEachPlacedList(Visit&& visit) { return placedLists(visit); }
    template <typename Visit> bool forEachList(Visit&& visit) {
        return enemyLists(visit) || placedLists(visit);
    }
    template <typename Visit> bool forEachListInPaintOrder(Visit&& visit) {
        return placedLists(visit) || enemyLists(visit);
    }

    int getFoodUse() const { return numFood; }
    int getDeadBodyUse() const { return numDeadBody; }
    int getCloakUse() const { return numCloak; }
    int getFakeUse() const { return numFake; }

    // The player's actions (defined in playerMoves.cpp).
    void moveUp();
    void moveDown();
    void moveLeft();
    void moveRight();
    void useFood();
    void useDeadBody();
    void useCloak();
    void useFake();
    void checkForWin();
    void setLose();
    void resetWinLoss();
    bool hasWon() const;
    bool hasLost() const;
    // The win bit itself, which hasWon() hides under a loss.
    bool winBitSet() const { return winBit; }

private:
    void move(int dx, int dy);

    // The kind is handed over as a std::integral_constant: it converts to ObjectType where a
    // visit takes one, and a visit taking `auto kind` can test it with `if constexpr`.
    template <ObjectType Kind, typename Visit, typename List>
    static bool visitList(Visit& visit, List& list) {
        std::integral_constant<ObjectType, Kind> kind;
        if constexpr (std::is_same_v<decltype(visit(kind, list)), bool>) {
            return visit(kind, list);
        } else {
            visit(kind, list);
            return false;
        }
    }
    template <typename Visit> bool enemyLists(Visit& visit) {
        return visitList<OB_GUARD>(visit, guards) || visitList<OB_DOG>(visit, dogs) ||
               visitList<OB_SG>(visit, sgs);
    }
    template <typename Visit> bool placedLists(Visit& visit) {
        return visitList<OB_FOOD>(visit, foods) || visitList<OB_DEADBODY>(visit, deadBodies);
    }

    int width;
    int height;
    // Never changed once loaded, so copies of a board (a search makes millions) share it.
    struct Terrain {
        std::vector<TILE_TYPE> tiles;  // row-major: (i, j) is element j * width + i
        std::vector<uint8_t> clear;    // squaresBeforeWall, element (j * width + i) * 4 + facing
    };
    std::shared_ptr<const Terrain> ground;
    Ill ill;
    std::vector<Guard> guards;
    std::vector<Dog> dogs;
    std::vector<SG> sgs;
    std::vector<Food> foods;
    std::vector<DeadBody> deadBodies;
    int numFood;
    int numDeadBody;
    int numCloak;
    int numFake;
    bool winBit;
    bool loseBit;
};

// Validation used by the loader: a character must stand on FLOOR or IN_FLOOR with
// a facing 0..3, and a power count must lie in 0..MAX_NUM_POWER_USE. Otherwise
// the program reports the value and stops with status 1.
void checkBounds(int x, int y, Facing o, Board* b);
void checkBoundsPower(int n);

// Level file reading: one int and the one separator character after it. `filename`
// and `expected` name the file and the value for the report when the file ends early
// or holds something that is not a number.
int getNum(std::istream& in, const char* filename, const char* expected);
// Reads one number and asserts that it is DELIMITER.
void chompDelim(std::istream& in, const char* filename);

// The patrol section after its opening 999 (format in board.cpp), each value read by
// `next` (given what is expected there): puts each route's enemy on its route. Stops the
// program at the first bad route, naming the file, the route (from 1) and what is wrong.
void readRoutes(const char* filename, Board& board, const std::function<int(const char*)>& next);

// Helpers of the player's actions (defined in playerMoves.cpp).
void decClamped(int& v);
// The square in front of the player, written to (x, y) even when off the board,
// and its tile; the board's edge counts as WALL.
TILE_TYPE getIllFacingTile(Board* board, int& x, int& y);

// The level sequence: files assets/levels/level00.txt, level01.txt, ... relative to
// the working directory, played in order until the first missing number. The
// current board is owned here; any of the load operations destroys it, so callers
// fetch getCurrentBoard() again afterwards.
char* getLevelFilename();  // static buffer, overwritten by each call
bool setCurrBoard();       // false (and no current board) when the file is missing
void initBoards();         // level 0 must exist
Board* getCurrentBoard();  // null when the last load found no file
// The current board, for code that cannot go on without one. Every level file existed
// when it was first loaded; one that has gone since leaves nothing to play, so this
// stops the program with "missing level file: NAME" (exit status 1).
Board& requireCurrentBoard();
int getCurrLevel();
void loadCurrBoard();
void loadNextBoard();
void loadInitialBoard();
// Makes `level` current (clamped to the levels present); level 0 when none is.
void loadBoardAt(int level);
// How many levels are present: level00.txt, level01.txt, ... up to the first
// missing number, as counted at the last load.
int getLevelCount();
// How many boards have been loaded so far (a restart loads one too); 0 before the first.
unsigned getBoardLoadCount();
