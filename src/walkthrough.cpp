// walkthrough.cpp — the walkthrough file's one reader and one writer.
#include "walkthrough.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace {
constexpr const char* WALK_KEYS = "wasdhjkl";

bool isWait(const std::string& word, int64_t& wait) {
    const char* end = word.data() + word.size();
    auto [stop, ec] = std::from_chars(word.data(), end, wait);
    return ec == std::errc() && stop == end && word[0] != '-' && word[0] != '+';
}

bool areKeys(const std::string& word) { return !word.empty() && word.find_first_not_of(WALK_KEYS) == std::string::npos; }
}  // namespace

Walkthrough parseWalkthrough(const std::string& text) {
    Walkthrough walk;
    walk.found = true;
    std::istringstream in(text);
    std::string line;
    for (int lineNo = 1; std::getline(in, line); ++lineNo) {
        std::istringstream fields(line.substr(0, line.find('#')));
        std::string first, keys, extra;
        if (!(fields >> first)) continue;
        fields >> keys >> extra;
        int64_t wait = 0;
        if (extra.empty() && first == "needs" && areKeys(keys)) {
            walk.needs += keys;
        } else if (extra.empty() && isWait(first, wait) && areKeys(keys)) {
            for (char k : keys) walk.presses.push_back({wait, k});
        } else {
            walk.error = "line " + std::to_string(lineNo) + ": expected \"<wait-ms> <keys>\" or \"needs <keys>\"" +
                         " with keys from \"" + WALK_KEYS + "\"";
            break;
        }
    }
    return walk;
}

Walkthrough readWalkthrough(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return parseWalkthrough(text.str());
}

std::string walkthroughText(const std::vector<Press>& presses) {
    std::string text;
    for (size_t i = 0; i < presses.size();) {
        size_t end = i;
        std::string keys;
        while (end < presses.size() && presses[end].waitMs == presses[i].waitMs) keys += presses[end++].key;
        text += std::to_string(presses[i].waitMs) + " " + keys + "\n";
        i = end;
    }
    return text;
}
