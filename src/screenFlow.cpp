// screenFlow.cpp — the title/game/ending flags and the moves between levels.
#include "screenFlow.h"

#include <cstdio>

#include "board.h"
#include "levelBanner.h"
#include "levelSelect.h"
#include "progress.h"
#include "records.h"
#include "rewind.h"
#include "soundManager.h"

namespace {
bool showTitle = false;
bool showEnding = false;

void say(const char* line) {
    std::fputs(line, stdout);
    // Flushed at once so whoever watches the output sees it as it happens.
    std::fflush(stdout);
}
}  // namespace

void gotoTitle() {
    playBgm(BGM_TITLE);
    showTitle = true;
    showEnding = false;
    closeLevelSelect();  // the title itself; Escape opens the select over it
}

void gotoMainGame() {
    // Started from the title (or the level select), so it runs on unbroken through
    // restarts and the levels of a chapter.
    playBgm(chapterBgm(getCurrLevel()));
    showTitle = false;
    showEnding = false;
    startLevelBanner(getCurrLevel());
}

void gotoEnding() {
    say("setting the ending flag\n");
    showTitle = false;
    showEnding = true;
    playBgm(BGM_ENDING);
}

bool atTitle() { return showTitle; }
bool atEnding() { return showEnding; }

void runFlowStep() {
    Board* board = &requireCurrentBoard();
    // A loss is looked at first: the fresh board that replaces a lost one has
    // both bits clear, so a level lost and won in the same tick restarts.
    if (board->hasLost()) {
        say("sorry, you lose a life\n");
        loadCurrBoard();
        noteLevelRestarted();
        board = &requireCurrentBoard();
    }
    if (board->hasWon()) {
        noteLevelWon();
        playSfx(SFX_LEVEL_VICTORY);
        const SoundBgm theme = chapterBgm(getCurrLevel());
        loadNextBoard();
        if (getCurrentBoard()) {
            rememberLevelReached(getCurrLevel());
            startLevelBanner(getCurrLevel());
            if (chapterBgm(getCurrLevel()) != theme) playBgm(chapterBgm(getCurrLevel()));
        }
        if (!getCurrentBoard()) {
            loadInitialBoard();
            requireCurrentBoard();
            gotoEnding();
        }
    }
}
