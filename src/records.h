// records.h — each level's best win, kept between runs beside the progress file, and par.
#pragma once

#include <map>
#include <string>

struct LevelRecord {
    int fewestKeys = 0;           // the fewest keys of a win; 0 while never won
    bool withoutHints = false;    // won at least once without asking for a hint
    bool withoutRewinds = false;  // won at least once without taking a key back
    bool operator==(const LevelRecord&) const = default;
};

// $XDG_DATA_HOME/veilwalker/records (the progress file's folder); empty when that is unknown.
std::string defaultRecordsPath();

// Records are off until the game's entry point names their file, as progress is; an empty
// path switches them off again.
void keepRecordsIn(const std::string& path);

// Every level's record by level number (counted from 0). Empty when records are off or the
// file is missing, unreadable or damaged in any way.
std::map<int, LevelRecord> loadRecords();
LevelRecord recordOf(int level);

// Adds a win to the level's record and writes the file again in one step. A file that cannot
// be written is named in one line on standard error, and play goes on.
void recordWin(int level, int keys, bool usedHint, bool usedRewind);

// The level's par: the keys of its shortest win a person can play, kept as one number in
// assets/levels/levelNN.par beside the level file. 0 when that file is missing or damaged.
int levelPar(int level);

// What the flow step does when the current level is won, before it moves on: prints
// "won in N keys, par P" (N the keys of the winning line) and adds the win to the records.
void noteLevelWon();
