// levelSelect.cpp — the level select's cursor, its keys and its labels.
#include "levelSelect.h"

#include <algorithm>
#include <vector>

#include "board.h"
#include "progress.h"
#include "records.h"
#include "rewind.h"
#include "screenFlow.h"

namespace {
bool open = false;
int cursor = 0;
// The labels as the select opened: progress, records and pars change only in play, so the
// files are read once per opening, not for every label of every frame.
std::vector<std::string> labels;

int levelsPresent() { return std::max(getLevelCount(), 1); }
int furthestReached() { return std::min(savedProgress(), levelsPresent() - 1); }
}  // namespace

void openLevelSelect() {
    gotoTitle();
    labels.clear();
    for (int n = 0; n < levelsPresent(); ++n) labels.push_back(levelSelectLabel(n));
    open = true;
    cursor = furthestReached();
}

void closeLevelSelect() { open = false; }

bool atLevelSelect() { return open && atTitle(); }
int levelSelectCursor() { return cursor; }

void levelSelectKey(unsigned char key) {
    int moved = cursor;
    switch (key) {
    case 'a': moved -= 1; break;
    case 'd': moved += 1; break;
    case 'w': moved -= LEVEL_SELECT_COLUMNS; break;
    case 's': moved += LEVEL_SELECT_COLUMNS; break;
    case 27: open = false; return;
    case '\r':
    case '\n':
    case ' ':
        if (cursor > furthestReached()) return;
        open = false;
        loadBoardAt(cursor);
        beginTry();
        gotoMainGame();
        return;
    default: return;
    }
    if (moved >= 0 && moved < levelsPresent()) cursor = moved;
}

std::string levelSelectLabel(int n) {
    if (atLevelSelect() && n >= 0 && n < int(labels.size())) return labels[n];
    std::string label = std::to_string(n + 1) + "  ";
    if (n > furthestReached()) return label + "locked";
    const LevelRecord r = recordOf(n);
    const int par = levelPar(n);
    if (r.fewestKeys > 0) label += "best " + std::to_string(r.fewestKeys) + (par > 0 ? " / " : "");
    if (par > 0) label += "par " + std::to_string(par);
    return label;
}
