// rewind.cpp — the saved states of the current try and the counts the records need.
#include "rewind.h"

#include <optional>
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
int notSaving = 0;  // stopSavingKeys() not yet resumed

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
    std::optional<Board> board;  // none while keys are not saved
    int64_t atMs;
    BoardStateHash state;        // of the board before the key, at atMs
};

KeyRecord::KeyRecord(Board& before) : saved(std::make_unique<Saved>()) {
    saved->atMs = currentTimeMs();
    saved->state = boardStateHash(before, saved->atMs);
    if (notSaving == 0) saved->board.emplace(before);
}

KeyRecord::~KeyRecord() = default;

void KeyRecord::keyDone(bool restarted) {
    Board* after = getCurrentBoard();
    if (!saved || !after) return;
    if (boardStateHash(*after, currentTimeMs()) == saved->state) return;
    Try& t = currentTry();
    if (saved->board) t.saved.push_back({std::move(*saved->board), saved->atMs, t.keys});
    t.keys = restarted ? 0 : t.keys + 1;
}

void stopSavingKeys() { ++notSaving; }
void resumeSavingKeys() { --notSaving; }

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
