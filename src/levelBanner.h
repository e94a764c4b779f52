// levelBanner.h — the level's name and tip, shown over the board for a moment as it starts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What a level's notes file says: assets/levels/levelNN.name beside the level, its name on
// the first line and, on the second, an optional one-line tip. Both empty when the file is
// missing or says nothing.
struct LevelNotes {
    std::string name;
    std::string tip;

    bool empty() const { return name.empty() && tip.empty(); }
    bool operator==(const LevelNotes&) const = default;
};

// The longest name and tip shown; longer lines are cut (a level's file keeps within them).
constexpr size_t LEVEL_NAME_MAX = 40;
constexpr size_t LEVEL_TIP_MAX = 100;
// How long the banner stays when no key is pressed.
constexpr int LEVEL_BANNER_MS = 2500;

// The first two lines of `text`, each trimmed of surrounding spaces, with every byte that is
// not printable ASCII dropped (the banner's fonts have nothing else), cut to the limits above.
LevelNotes parseLevelNotes(std::string_view text);
// "assets/levels/level07.name".
std::string levelNotesPath(int level);
// The notes of a level, read from its file now.
LevelNotes readLevelNotes(int level);

// "Level 8: Commanders", or "Level 8" for a level without a name.
std::string levelBannerHeading(int level, const LevelNotes& notes);

// The banner of the level just started: its notes are read now, and it shows from now for
// LEVEL_BANNER_MS, by the game clock, or until endLevelBanner(). A level without notes shows none.
void startLevelBanner(int level);
// The first key after the start takes the banner away.
void endLevelBanner();
bool levelBannerShown();
// The level and notes of the banner showing (or last shown).
int levelBannerLevel();
const LevelNotes& levelBannerNotes();
// When the showing banner goes, by the game clock; INT64_MAX while none shows.
int64_t levelBannerEndsMs();
