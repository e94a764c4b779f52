// playerMoves.cpp — the player's turns and steps, the four powers and the win/lose bits.
#include <algorithm>

#include "board.h"
#include "soundManager.h"

void decClamped(int& v) { v = std::max(v - 1, 0); }

TILE_TYPE getIllFacingTile(Board* board, int& x, int& y) {
    const Ill& ill = board->getIll();
    int dx = 0, dy = 0;
    getDxAndDy(ill.o, dx, dy);
    x = ill.x + dx;
    y = ill.y + dy;
    // The edge of the board counts as a wall.
    if (!board->inBounds(x, y)) return WALL;
    return board->getTile(x, y);
}

namespace {
bool isFloor(TILE_TYPE tile) { return tile == FLOOR || tile == IN_FLOOR; }

// Food and dead bodies go only onto an empty floor square in front of the player.
bool facedSquareTakesObject(Board* board, int& x, int& y) {
    TILE_TYPE tile = getIllFacingTile(board, x, y);
    if (!isFloor(tile)) return false;
    Actor* occupant = nullptr;
    return board->getObject(x, y, occupant) == OB_EMPTY;
}

// Food or a dead body from the player's stock onto the faced square, when there is stock
// and the square takes it; otherwise nothing happens and the stock is kept.
template <typename Placed>
void placeFromStock(Board* board, int& stock, std::vector<Placed>& list, SoundSfx placed) {
    int x = 0, y = 0;
    if (stock <= 0 || !facedSquareTakesObject(board, x, y)) return;
    list.emplace_back(x, y, FA_S);
    decClamped(stock);
    playSfx(placed);
}
}  // namespace

// Direction keys turn first and step second.
void Board::moveUp() {
    if (ill.o != FA_N)
        ill.o = FA_N;
    else
        move(0, -1);
}

void Board::moveDown() {
    if (ill.o != FA_S)
        ill.o = FA_S;
    else
        move(0, 1);
}

void Board::moveLeft() {
    if (ill.o != FA_W)
        ill.o = FA_W;
    else
        move(-1, 0);
}

void Board::moveRight() {
    if (ill.o != FA_E)
        ill.o = FA_E;
    else
        move(1, 0);
}

void Board::move(int dx, int dy) {
    if (dx > 0)
        ill.o = FA_E;
    else if (dx < 0)
        ill.o = FA_W;
    else if (dy > 0)
        ill.o = FA_S;
    else if (dy < 0)
        ill.o = FA_N;

    int tx = ill.x + dx, ty = ill.y + dy;
    if (!inBounds(tx, ty)) return;
    TILE_TYPE tile = getTile(tx, ty);
    if (tile == WALL || tile == WATER) {
        playSfx(SFX_BUMP);
        return;
    }
    // Walking into an enemy is caught, fake or not, cloak or not.
    Actor* occupant = nullptr;
    if (isEnemy(getObject(tx, ty, occupant))) setLose();
    ill.x = tx;
    ill.y = ty;
    playSfx(SFX_WALKING);
}

void Board::useFood() { placeFromStock(this, numFood, foods, SFX_FOOD_PLACED); }

void Board::useDeadBody() { placeFromStock(this, numDeadBody, deadBodies, SFX_BODY_PLACED); }

void Board::useCloak() {
    if (numCloak <= 0) return;
    ill.activateCloak();
    decClamped(numCloak);
    playSfx(SFX_CLOAK_ON);
}

void Board::useFake() {
    if (numFake <= 0) return;
    int x = 0, y = 0;
    // Like food and dead bodies, a fake aimed at anything but floor (a wall, water,
    // the exit, the edge of the board) does nothing and keeps the stock.
    if (!isFloor(getIllFacingTile(this, x, y))) return;
    Actor* occupant = nullptr;
    if (isEnemy(getObject(x, y, occupant))) {
        occupant->makeFakeIll();
        playSfx(SFX_ILLUSION_SOUND);
    }
    // Spent even on an empty square.
    decClamped(numFake);
}

void Board::checkForWin() {
    if (getTile(ill.x, ill.y) == EXIT) winBit = true;
}

bool Board::hasWon() const { return winBit && !loseBit; }
bool Board::hasLost() const { return loseBit; }
void Board::setLose() {
    // Two enemies may catch the player in one tick; the player hears it once.
    if (!loseBit) playSfx(SFX_GAME_OVER);
    loseBit = true;
}

void Board::resetWinLoss() {
    winBit = false;
    loseBit = false;
}
