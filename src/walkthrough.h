// walkthrough.h — a level's walkthrough file: the keys that win it, at a tempo a person can
// play, and the powers the level is meant to teach.
//
// A walkthrough (assets/levels/levelNN.walk) holds lines "<wait-ms> <keys>": each key of
// <keys>, one of "wasdhjkl", is pressed <wait-ms> after the one before (the first after the
// level started). A line "needs <keys>" names powers the level cannot be won without. '#'
// starts a comment; blank lines are skipped; any other line is an error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Press {
    int64_t waitMs;  // since the key before (or the level's start)
    char key;
};

struct Walkthrough {
    bool found = false;          // the file could be opened
    std::vector<Press> presses;  // the keys of every line, in order
    std::string needs;           // the keys of the "needs" lines, joined
    // The first line that is neither form, as "line N: expected ..."; "" when there is none.
    // Reading stops there, so `presses` and `needs` hold what came before it.
    std::string error;
};

// Reads the file at `path`; a file that cannot be opened gives found == false and nothing else.
Walkthrough readWalkthrough(const std::string& path);

// The same from text (the file's whole content).
Walkthrough parseWalkthrough(const std::string& text);

// The walkthrough text of `presses`: "<wait-ms> <keys>" lines, equal waits in a row sharing
// a line. Read back, it gives the same presses.
std::string walkthroughText(const std::vector<Press>& presses);
