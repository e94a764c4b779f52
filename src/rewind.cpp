// rewind.cpp — the saved states of the current try and the counts the records need.
#include "rewind.h"

#include <vector>

#include "board.h"
#include "boardState.h"
#include "gameClock.h"

namespace {

struct SavedState {
    Board board;
    int64_t atMs;      // the clock when it was saved
    int keysBefore;    // keysOnLine() just before the key
};

struct Try {
    int level = -1;
    std::vector<SavedState> saved;
    int keys = 0;
    bool hinted = false;
    bool rewound = false;
};
Try current;

// A try belongs to one level; reaching another begins a new one.
Try& currentTry() {
    if (current.level != getCurrLevel()) {
        current = Try{};
        current.level = getCurrLevel();
    }
    return current;
}

}  // namespace

bool isRewindKey(unsigned char key) { return key == 'u' || key == '\b'; }

void beginTry() {
    current = Try{};
    current.level = getCurrLevel();
}

struct KeyRecord::Saved {
    Board board;
    int64_t atMs;
    BoardStateHash state;  // of the board before the key, at atMs
};

KeyRecord::KeyRecord(Board& before) : saved(std::make_unique<Saved>(Saved{before, currentTimeMs(), {}})) {
    saved->state = boardStateHash(before, saved->atMs);
}

KeyRecord::~KeyRecord() = default;

void KeyRecord::keyDone(bool restarted) {
    Board* after = getCurrentBoard();
    if (!saved || !after) return;
    if (boardStateHash(*after, currentTimeMs()) == saved->state) return;
    Try& t = currentTry();
    t.saved.push_back({std::move(saved->board), saved->atMs, t.keys});
    t.keys = restarted ? 0 : t.keys + 1;
}

bool rewindLastKey() {
    Try& t = currentTry();
    Board* board = getCurrentBoard();
    if (t.saved.empty() || !board) return false;
    SavedState& s = t.saved.back();
    *board = s.board;
    delayBoardTimers(*board, currentTimeMs() - s.atMs);
    t.keys = s.keysBefore;
    t.saved.pop_back();
    t.rewound = true;
    return true;
}

size_t keysToTakeBack() { return currentTry().saved.size(); }
int keysOnLine() { return currentTry().keys; }
void noteLevelRestarted() { currentTry().keys = 0; }
void noteHintAsked() { currentTry().hinted = true; }
bool hintUsedThisTry() { return currentTry().hinted; }
bool rewindUsedThisTry() { return currentTry().rewound; }

struct TryKept::Kept {
    Try t;
};

TryKept::TryKept() : kept(std::make_unique<Kept>(Kept{current})) {}
TryKept::~TryKept() { current = std::move(kept->t); }
