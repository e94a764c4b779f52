// levelBanner.cpp — the level's notes file and the banner that shows them as the level starts.
#include "levelBanner.h"

#include <cstdio>
#include <fstream>

#include "gameClock.h"

namespace {
int bannerLevel = 0;
LevelNotes bannerNotes;
bool bannerOn = false;
int64_t bannerEndsMs = 0;

std::string cleanLine(std::string_view line, size_t maxLength) {
    std::string out;
    for (char c : line)
        if (c >= ' ' && c <= '~') out += c;
    const size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    out = out.substr(first, out.find_last_not_of(' ') - first + 1);
    if (out.size() > maxLength) {
        out.resize(maxLength);
        out.erase(out.find_last_not_of(' ') + 1);
    }
    return out;
}
}  // namespace

LevelNotes parseLevelNotes(std::string_view text) {
    const size_t end = text.find('\n');
    const std::string_view first = text.substr(0, end);
    const std::string_view rest = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    return {cleanLine(first, LEVEL_NAME_MAX), cleanLine(rest.substr(0, rest.find('\n')), LEVEL_TIP_MAX)};
}

std::string levelNotesPath(int level) {
    char name[64];
    std::snprintf(name, sizeof name, "assets/levels/level%02d.name", level);
    return name;
}

LevelNotes readLevelNotes(int level) {
    std::ifstream in(levelNotesPath(level), std::ios::binary);
    if (!in) return {};
    // Two short lines; a huge or binary file costs no more than this.
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return parseLevelNotes(text);
}

std::string levelBannerHeading(int level, const LevelNotes& notes) {
    std::string heading = "Level " + std::to_string(level + 1);
    if (!notes.name.empty()) heading += ": " + notes.name;
    return heading;
}

void startLevelBanner(int level) {
    bannerLevel = level;
    bannerNotes = readLevelNotes(level);
    bannerOn = !bannerNotes.empty();
    bannerEndsMs = currentTimeMs() + LEVEL_BANNER_MS;
}

void endLevelBanner() { bannerOn = false; }

bool levelBannerShown() {
    if (bannerOn && currentTimeMs() >= bannerEndsMs) bannerOn = false;
    return bannerOn;
}

int levelBannerLevel() { return bannerLevel; }
const LevelNotes& levelBannerNotes() { return bannerNotes; }

int64_t levelBannerEndsMs() { return levelBannerShown() ? bannerEndsMs : INT64_MAX; }
