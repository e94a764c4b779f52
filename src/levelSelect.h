// levelSelect.h — the screen of every level, opened from the title with Escape.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// How the screen lays the levels out, in pixels of the 800 × 600 picture counted from its
// bottom-left corner: a card per level, LEVEL_SELECT_COLUMNS to a row, and as many rows as
// fit between the heading and the line of keys; with more levels the rows scroll so that
// the cursor's row always shows. Fewer rows than fit are centred in the space.
constexpr int LEVEL_CARD_W = 124, LEVEL_CARD_H = 40;
constexpr int LEVEL_CARD_STEP_X = 128, LEVEL_CARD_STEP_Y = 44;
constexpr int LEVEL_CARDS_LEFT = 18, LEVEL_CARDS_TOP = 472;
constexpr int LEVEL_SELECT_ROWS_SHOWN = 8;

enum class LevelStanding { LOCKED, OPEN, WON };

// One level's card as the screen draws it.
struct LevelCard {
    int level = 0;     // from 0
    int x = 0, y = 0;  // the card's lower-left corner
    LevelStanding standing = LevelStanding::LOCKED;
    bool atCursor = false;
    // Of a won level's record: its best in par keys or fewer, a win without a hint, one
    // without a take-back.
    bool atPar = false, withoutHints = false, withoutRewinds = false;
    std::string number;  // "12", counted from 1
    std::string name;    // the level's name from its notes; may be empty
    std::string record;  // "14 / par 12", "best 14", "par 12", "locked" or empty
};

// The cards of the rows showing, in level order.
std::vector<LevelCard> levelSelectCards();
// Rows scrolled out above the first one showing, and the rows there are.
int levelSelectFirstRow();
int levelSelectRows();
// The levels won so far, as the screen opened.
int levelSelectWon();

// The marks on the cards, 11 × 11 RGBA pixels, bottom row first, edged in dark so that
// they read on every card: a star, gold when `lit`, else grey; a padlock.
constexpr int LEVEL_MARK_SIZE = 11;
const std::vector<uint8_t>& levelStarImage(bool lit);
const std::vector<uint8_t>& levelLockImage();
