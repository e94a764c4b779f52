// levelSelect.h — the screen of every level, opened from the title with Escape.
#pragma once

#include <string>

// Levels per row on the screen: w/s and Up/Down move the cursor by this many.
constexpr int LEVEL_SELECT_COLUMNS = 6;

// The screen shows over the title (no game time passes while it is open). Opening it puts
// the cursor on the furthest level reached.
void openLevelSelect();
// Back to the plain title (every move to the title does this).
void closeLevelSelect();
bool atLevelSelect();
int levelSelectCursor();

// A key on the screen: a/d one level back or on, w/s a row, Return or space plays the level
// under the cursor if it has been reached, Escape goes back to the title.
void levelSelectKey(unsigned char key);

// What the screen writes for level `n` (from 0): "12  best 14 / par 12", "12  par 12" or
// "12  locked".
std::string levelSelectLabel(int n);
