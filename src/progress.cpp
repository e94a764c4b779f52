// progress.cpp — reading and atomically replacing the progress file.
#include "progress.h"

#include "atomicFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
std::string progressPath;  // empty: progress is not kept

// Progress is a convenience: a file that cannot be written does not stop the game, but the
// player is told, in one line, that the level reached was not kept.
void cannotSave(int level, const std::string& why) {
    std::fprintf(stderr, "veilwalker: level %d reached but not saved: %s: %s\n", level, progressPath.c_str(),
                 why.c_str());
    std::fflush(stderr);
}
}  // namespace

std::string defaultProgressPath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::filesystem::path base;
    if (data && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') return {};
        base = std::filesystem::path(home) / ".local" / "share";
    }
    return (base / "veilwalker" / "progress").string();
}

void keepProgressIn(const std::string& path) { progressPath = path; }

int savedProgress() {
    if (progressPath.empty()) return 0;
    std::ifstream in(progressPath);
    if (!in) return 0;
    std::ostringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    // One decimal number of at most four digits (far beyond any campaign) and an
    // optional line break; nothing else.
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 4) return 0;
    const std::string rest = text.substr(digits);
    if (!rest.empty() && rest != "\n") return 0;
    return std::stoi(text.substr(0, digits));
}

void rememberLevelReached(int level) {
    if (progressPath.empty() || level <= savedProgress()) return;
    std::string why;
    if (!replaceFileAtomically(progressPath, std::to_string(level) + "\n", &why)) cannotSave(level, why);
}
