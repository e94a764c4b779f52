// records.cpp — the records file: one line per won level, "<level> <keys> <hintless> <rewindless>".
#include "records.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "atomicFile.h"
#include "board.h"
#include "progress.h"
#include "rewind.h"

namespace {
std::string recordsPath;  // empty: records are not kept

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// A whole non-negative decimal of at most six digits, or -1.
int smallNumber(const std::string& word) {
    if (word.empty() || word.size() > 6 || word.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoi(word);
}

bool flag(const std::string& word, bool& out) {
    if (word != "0" && word != "1") return false;
    out = word == "1";
    return true;
}

// Strict: a line that is not exactly four fields of the right kind, a level twice or a win
// of no keys makes the whole file damaged.
bool parseRecords(const std::string& text, std::map<int, LevelRecord>& out) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string level, keys, hints, rewinds, extra;
        if (!(fields >> level >> keys >> hints >> rewinds) || (fields >> extra)) return false;
        LevelRecord r;
        const int n = smallNumber(level);
        r.fewestKeys = smallNumber(keys);
        if (n < 0 || r.fewestKeys <= 0 || !flag(hints, r.withoutHints) || !flag(rewinds, r.withoutRewinds))
            return false;
        if (!out.emplace(n, r).second) return false;
    }
    return true;
}

std::string recordsText(const std::map<int, LevelRecord>& records) {
    std::string text;
    for (const auto& [level, r] : records)
        text += std::to_string(level) + " " + std::to_string(r.fewestKeys) + " " +
                (r.withoutHints ? "1" : "0") + " " + (r.withoutRewinds ? "1" : "0") + "\n";
    return text;
}
}  // namespace

std::string defaultRecordsPath() {
    const std::string progress = defaultProgressPath();
    if (progress.empty()) return {};
    const size_t slash = progress.rfind('/');
    return progress.substr(0, slash + 1) + "records";
}

void keepRecordsIn(const std::string& path) { recordsPath = path; }

std::map<int, LevelRecord> loadRecords() {
    std::map<int, LevelRecord> records;
    if (recordsPath.empty()) return records;
    if (!parseRecords(fileText(recordsPath), records)) records.clear();
    return records;
}

LevelRecord recordOf(int level) {
    const std::map<int, LevelRecord> records = loadRecords();
    const auto it = records.find(level);
    return it == records.end() ? LevelRecord{} : it->second;
}

void recordWin(int level, int keys, bool usedHint, bool usedRewind) {
    if (recordsPath.empty() || keys <= 0) return;
    std::map<int, LevelRecord> records = loadRecords();
    LevelRecord& r = records[level];
    r.fewestKeys = r.fewestKeys == 0 ? keys : std::min(r.fewestKeys, keys);
    r.withoutHints = r.withoutHints || !usedHint;
    r.withoutRewinds = r.withoutRewinds || !usedRewind;
    if (!replaceFileAtomically(recordsPath, recordsText(records)))
        std::fprintf(stderr, "cannot write the records file %s\n", recordsPath.c_str());
}

int levelPar(int level) {
    char name[64];
    std::snprintf(name, sizeof name, "assets/levels/level%02d.par", level);
    std::string text = fileText(name);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const int par = smallNumber(text);
    return par > 0 ? par : 0;
}

void noteLevelWon() {
    const int level = getCurrLevel();
    // The winning key is on the line already: the keyboard handler kept it before the flow step.
    const int keys = keysOnLine();
    const int par = levelPar(level);
    if (par > 0)
        std::printf("won in %d keys, par %d\n", keys, par);
    else
        std::printf("won in %d keys\n", keys);
    std::fflush(stdout);
    recordWin(level, keys, hintUsedThisTry(), rewindUsedThisTry());
}
