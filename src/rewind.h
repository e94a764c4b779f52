// rewind.h — taking keys back, and what the current try at a level has used so far.
//
// A try begins when a level is entered (from the title, the level select, or by winning the
// one before) and lasts through restarts and captures until another level is entered.
// Every key that changes the board on the game screen saves the board as it was just before
// it, with the clock reading; a rewind puts the newest saved board back with every timer
// moved on by the time since, so each keeps the time it had left, and drops it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class Board;

// 'u' and Backspace.
bool isRewindKey(unsigned char key);

// Starts a new try at the current level: nothing to take back, no key, hint or rewind used.
// A try also starts by itself when the current level number changes.
void beginTry();

// Saved around one key by the keyboard handler: the board before the key, and after the
// key whether it changed anything. A key that changed nothing is not kept.
class KeyRecord {
public:
    explicit KeyRecord(Board& before);
    ~KeyRecord();
    KeyRecord(const KeyRecord&) = delete;
    KeyRecord& operator=(const KeyRecord&) = delete;
    // The key has acted; `restarted` when it started the level again (`r`).
    void keyDone(bool restarted);

private:
    struct Saved;
    std::unique_ptr<Saved> saved;
};

// Puts the board back as it was just before the newest key kept, counts the rewind and
// returns true; false, changing nothing, when no key is left to take back.
bool rewindLastKey();
// How many keys can still be taken back.
size_t keysToTakeBack();

// The keys of the line now played since the level last started (a restart or a capture
// starts it again; a rewind takes its key off the line).
int keysOnLine();
// A capture has restarted the level: the line begins again, the saved states stay (a rewind
// goes back to just before the fatal key).
void noteLevelRestarted();
// A hint was asked during this try.
void noteHintAsked();
bool hintUsedThisTry();
bool rewindUsedThisTry();

// Keeps the current try aside while a search plays keys of its own (which begin tries of
// their own), and puts it back when it goes. Not copied (it owns what it keeps): a copy
// would put the try back twice.
class TryKept {
public:
    TryKept();
    ~TryKept();

private:
    struct Kept;
    std::unique_ptr<Kept> kept;
};
