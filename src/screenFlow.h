// screenFlow.h — which screen shows (title, game, ending) and the moves between levels.
#pragma once

void gotoTitle();
void gotoMainGame();
void gotoEnding();   // prints "setting the ending flag"
bool atTitle();
bool atEnding();

// The flow step, run at the start of every game-screen redraw before anything is
// painted: a lost level restarts, a won level advances, and after the last level
// level 0 is loaded behind the scenes and the ending is flagged. Afterwards
// getCurrentBoard() is the board to paint. A level file that has vanished since it
// was first loaded stops the program with one line naming it (exit status 1).
void runFlowStep();
