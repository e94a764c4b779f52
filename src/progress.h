// progress.h — the furthest level reached, kept between runs in one small file.
#pragma once

#include <string>

// Where the game keeps progress: $XDG_DATA_HOME/veilwalker/progress, or
// ~/.local/share/veilwalker/progress when XDG_DATA_HOME is unset, empty or not an
// absolute path; empty when neither can be found (progress is then not kept).
std::string defaultProgressPath();

// Progress is off until the game's entry point names a file, so the tests and
// tools that drive the game's logic never touch a player's files. An empty path
// switches it off again.
void keepProgressIn(const std::string& path);

// The level stored, or 0 when progress is off or the file is missing, unreadable
// or holds anything but one level number. Not clamped to the levels present.
int savedProgress();

// Stores `level` if it is further than the level stored. Written to a temporary
// file that then replaces the old one, so a crash never leaves half a file.
// A file that cannot be written is left as it is (progress is a convenience) and one line
// on standard error says so: "veilwalker: level N reached but not saved: PATH: REASON".
void rememberLevelReached(int level);
