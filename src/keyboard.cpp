// keyboard.cpp — one key press: the player's action, the screen change, the stock line.
#include "keyboard.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "board.h"
#include "hint.h"
#include "hintThinker.h"
#include "hud.h"
#include "levelBanner.h"
#include "levelSelect.h"
#include "linePlay.h"
#include "progress.h"
#include "rewind.h"
#include "redisplay.h"
#include "screenFlow.h"
#include "soundManager.h"

namespace {
// Lower-case letters and the four volume keys only: capitals and every other character do nothing.
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
    case 'r':
        playSfx(SFX_RESTART);
        loadCurrBoard();
        break;
    case 'c':
        if (atTitle()) {
            loadBoardAt(savedProgress());
            beginTry();
        }
        break;
    case 'v': toggleSightOverlay(); break;
    case 'm': toggleMute(); break;
    case '-': musicQuieter(); break;
    case '=': musicLouder(); break;
    case '[': effectsQuieter(); break;
    case ']': effectsLouder(); break;
    default: break;
    }
}

// The keys a rewind can take back: the ones that change the board.
bool canBeTakenBack(unsigned char key) {
    for (const char* k = "wasdhjklr"; *k; ++k)
        if (key == static_cast<unsigned char>(*k)) return true;
    return false;
}

// Keys that leave the board as it is: a hint being thought of goes on meanwhile.
bool leavesBoardAlone(unsigned char key) {
    for (const char* k = "vm-=[]"; *k; ++k)
        if (key == static_cast<unsigned char>(*k)) return true;
    return isHintKey(key);
}

void printStocks(const Board& board) {
    std::printf("fo: %d, db: %d, cl: %d, fk: %d\n", board.getFoodUse(), board.getDeadBodyUse(),
                board.getCloakUse(), board.getFakeUse());
    std::fflush(stdout);
}
}  // namespace

void keyboard(unsigned char key, int, int) {
    // Quitting needs no board and prints nothing, on any screen.
    if (key == 'q') std::exit(0);
    if (hintThinking() && !leavesBoardAlone(key)) dropHintQuestion();
    endLevelBanner();  // the level's name and tip stay only until the first key
    // The flow step stops the game before a vanished level could leave no board;
    // this only keeps a key from ever acting on nothing.
    if (atLevelSelect()) {
        levelSelectKey(key);
        requestRedisplay();
        return;
    }
    // Escape opens the level select, from the title or from a level.
    if (key == 27 && !atEnding()) {
        openLevelSelect();
        requestRedisplay();
        return;
    }
    Board& before = requireCurrentBoard();
    if (atTitle()) beginTry();
    if (isHintKey(key)) {
        if (!atTitle() && !atEnding() && !hintThinking()) {
            noteHintAsked();
            askForHint();
        }
        return;
    }
    if (isRewindKey(key) && !atTitle() && !atEnding()) {
        rewindLastKey();
        printStocks(requireCurrentBoard());
        requestRedisplay();
        return;
    }
    std::optional<KeyRecord> record;
    // A search's keys are neither taken back nor counted (see SearchQuiet).
    if (!atEnding() && !searchPlaying() && canBeTakenBack(key)) record.emplace(before);
    applyKey(before, key);
    Board* board = &requireCurrentBoard();
    if (atTitle()) gotoMainGame();
    if (atEnding()) {
        std::fputs("you win!", stdout);
        std::exit(0);
    }
    if (!searchPlaying()) printStocks(*board);  // a search's output is dropped anyway
    board->checkForWin();
    if (record) record->keyDone(key == 'r');
    requestRedisplay();
}
