// keyboard.cpp — one key press: the player's action, the screen change, the stock line.
#include "keyboard.h"

#include <cstdio>
#include <cstdlib>

#include "board.h"
#include "hud.h"
#include "progress.h"
#include "redisplay.h"
#include "screenFlow.h"
#include "soundManager.h"

namespace {
// Lower-case letters only: capitals and every other character do nothing.
void applyKey(Board& board, unsigned char key) {
    switch (key) {
    case 'w': board.moveUp(); break;
    case 's': board.moveDown(); break;
    case 'a': board.moveLeft(); break;
    case 'd': board.moveRight(); break;
    case 'h': board.useFood(); break;
    case 'j': board.useDeadBody(); break;
    case 'k': board.useCloak(); break;
    case 'l': board.useFake(); break;
    // `r` and `c` replace the board: nothing may touch `board` after them.
    case 'r': loadCurrBoard(); break;
    case 'c':
        if (atTitle()) loadBoardAt(savedProgress());
        break;
    case 'v': toggleSightOverlay(); break;
    case 'm': toggleMute(); break;
    default: break;
    }
}
}  // namespace

void keyboard(unsigned char key, int, int) {
    // Quitting needs no board and prints nothing, on any screen.
    if (key == 'q') std::exit(0);
    // The flow step stops the game before a vanished level could leave no board;
    // this only keeps a key from ever acting on nothing.
    applyKey(requireCurrentBoard(), key);
    Board* board = &requireCurrentBoard();
    if (atTitle()) gotoMainGame();
    if (atEnding()) {
        std::fputs("you win!", stdout);
        std::exit(0);
    }
    std::printf("fo: %d, db: %d, cl: %d, fk: %d\n", board->getFoodUse(), board->getDeadBodyUse(),
                board->getCloakUse(), board->getFakeUse());
    std::fflush(stdout);
    board->checkForWin();
    requestRedisplay();
}
