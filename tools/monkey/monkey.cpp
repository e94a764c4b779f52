// monkey.cpp — plays the real campaign with random keys at random moments in simulated time,
// through the game's own keyboard handler and frame step, and checks the game's invariants
// after every key and every tick.
//
//   monkey [--seed N | --seeds A..B] [--presses M] [--guided PERCENT] [--root DIR]
//
// M key presses per seed (default 10000). Exit status 0 and one line of figures when every
// invariant held; otherwise 1 and a line naming the seed, the press and the broken
// invariant (2 when the game stopped itself, 3 when it ended the process). Running one
// seed alone replays its failure exactly.
//
// Random keys rarely win a level, so on a fresh level the monkey sometimes (PERCENT of the
// time, default 40) types the level's walkthrough (assets/levels/levelNN.walk) at a
// tempo within 5 % of the written one instead (some walkthroughs lose when typed 10 %
// faster on 40 ms frames: their enemies' steps come late by up to a frame each); that is
// how it reaches the later levels and the ending.
// Now and then a random key is `?` or `/`: the monkey awaits the hint and, where it says a win
// is left, does what each hint says until the level is won (a broken invariant otherwise).
// A level played at random for RANDOM_PRESSES_PER_LEVEL keys without being decided is
// restarted by the monkey itself, as the flow step restarts a lost one.
//
// The ending screen ends the program on any key, so the monkey never presses a key there:
// when a flow step has flagged the ending it counts a completed campaign and goes back to
// the title itself, with level 0 already loaded behind it, as the game left it.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "board.h"
#include "boardState.h"
#include "levelSelect.h"
#include "rewind.h"
#include "check.h"
#include "gameClock.h"
#include "hint.h"
#include "hintThinker.h"
#include "idle.h"
#include "invariants.h"
#include "keyboard.h"
#include "redisplay.h"
#include "screenFlow.h"
#include "walkthrough.h"

namespace {

// Every command key but the one that quits, and characters that map to nothing, in
// groups drawn with these weights (percent): moving most, so the player gets about.
struct KeyGroup {
    int weight;
    const char* keys;
};
const KeyGroup KEY_GROUPS[] = {
    {50, "wasd"},                // turn or step
    {20, "hjkl"},                // the four powers
    {15, "rvmcu\b"},             // restart, sight overlay, mute, continue on the title, rewind
    {15, "xzW1 .\t\r\x1b"},  // nothing
};
constexpr int64_t LONGEST_WAIT_MS = 3000;
constexpr int64_t LONGEST_TICK_MS = 40;   // a slow frame; the fastest is 1 ms
constexpr int RANDOM_PRESSES_PER_LEVEL = 150;
constexpr int RECENT_KEYS = 24;           // how much history a failure report shows
// One random key in this many asks for a hint. Each is thought of in real time (mostly
// milliseconds, up to about a second), so they stay rare.
constexpr int HINT_EVERY = 1500;

FILE* report = stderr;  // the monkey's own lines; the game's go to /dev/null
bool finished = false;

// Progress the game may save must neither touch the user's files nor carry over from
// one seed to the next: it goes to a scratch folder, removed however the run ends.
std::filesystem::path dataHome;
void removeDataHome() {
    std::error_code ec;
    if (!dataHome.empty()) std::filesystem::remove_all(dataHome, ec);
}

struct Level {
    LevelFacts facts;
    std::vector<Press> walk;  // empty when the level has no walkthrough
};

std::string levelPath(int n, const char* ext) {
    char name[64];
    std::snprintf(name, sizeof name, "assets/levels/level%02d.%s", n, ext);
    return name;
}

std::string readingLevel;  // the level file being read before play, for a failure report

[[noreturn]] void fail(int status, std::string what);

// A level without a walkthrough is played at random only; a walkthrough with a bad line
// stops the monkey before play.
std::vector<Press> readWalk(const std::string& path) {
    const Walkthrough walk = readWalkthrough(path);
    if (!walk.error.empty()) {
        readingLevel = path;
        fail(1, walk.error);
    }
    return walk.presses;
}

// The campaign is whatever level files are present, numbered from 00 without a gap.
std::vector<Level> readCampaign() {
    std::vector<Level> levels;
    for (int n = 0; std::filesystem::exists(levelPath(n, "txt")); ++n) {
        readingLevel = levelPath(n, "txt");
        levels.push_back({readLevelFacts(readingLevel.c_str()), readWalk(levelPath(n, "walk"))});
    }
    readingLevel.clear();
    return levels;
}

struct Figures {
    long long presses = 0, levelsWon = 0, deaths = 0, restarts = 0, campaigns = 0;
    long long statesChecked = 0, ticks = 0, gameMs = 0;
    long long hints = 0, hintWins = 0, hintNone = 0, hintNotFound = 0;
    int deepestLevel = 0;
};

// Where the run is, for a failure report and for the fatal handler.
struct Position {
    uint64_t seed = 0;
    long long press = 0;
    std::string recent;
} position;

std::string printable(char k) {
    if (k >= 33 && k < 127) return std::string(1, k);
    char code[8];
    std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(k));
    return code;
}

std::string recentKeys() {
    std::string shown;
    for (char k : position.recent) shown += printable(k);
    return shown;
}

[[noreturn]] void fail(int status, std::string what) {
    while (!what.empty() && what.back() == '\n') what.pop_back();
    if (!readingLevel.empty())
        std::fprintf(report, "monkey: reading %s: %s\n", readingLevel.c_str(), what.c_str());
    else
        std::fprintf(report, "monkey: seed %llu, press %lld, level %d: %s\n  last keys: %s\n",
                     static_cast<unsigned long long>(position.seed), position.press, getCurrLevel(),
                     what.c_str(), recentKeys().c_str());
    std::fflush(report);
    finished = true;
    removeDataHome();
    std::_Exit(status);
}

void require(const char* invariant, const std::string& broken) {
    if (!broken.empty()) fail(1, std::string("broken invariant ") + invariant + ": " + broken);
}
#define HOLDS(check, ...) require(#check, check(__VA_ARGS__))

// A board that looks as its file built it: everyone home, nothing placed, full stocks.
bool atItsStart(Board& b, const LevelFacts& f) {
    auto home = [](const Actor& a) { return a.atOrigLoc() && !a.callback && !a.isFakeIll(); };
    const bool enemyAway = b.forEachEnemyList([&](ObjectType, const auto& list) {
        return !std::all_of(list.begin(), list.end(), home);
    });
    const bool placed = b.forEachPlacedList([](ObjectType, const auto& list) { return !list.empty(); });
    return !enemyAway && !placed && home(b.getIll()) && b.getFoodUse() == f.food &&
           b.getDeadBodyUse() == f.deadBody && b.getCloakUse() == f.cloak && b.getFakeUse() == f.fake;
}

class Monkey {
public:
    Monkey(uint64_t seed, const std::vector<Level>& levels, int guidedPercent, Figures& figures)
        : rng(seed), levels(levels), guidedPercent(guidedPercent), figures(figures) {}

    void play(long long presses) {
        clock.install();
        loadInitialBoard();
        gotoTitle();
        recordPlaces(*getCurrentBoard(), places);
        freshLevel();
        for (long long n = 0; n < presses; ++n) {
            position.press = n + 1;
            Press p = nextPress();
            passTime(p.waitMs);
            press(p.key);
            if (isHintKey(static_cast<unsigned char>(p.key))) followHints();
        }
        setClockSource({});
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    // On a fresh level: type its walkthrough or play at random.
    void freshLevel() {
        randomPresses = 0;
        guide.clear();
        const Level& level = levels[getCurrLevel()];
        if (!level.walk.empty() && pick(1, 100) <= guidedPercent) {
            int tempo = pick(95, 105);
            for (auto it = level.walk.rbegin(); it != level.walk.rend(); ++it)
                guide.push_back({it->waitMs * tempo / 100, it->key});
        }
    }

    Press nextPress() {
        if (!guide.empty()) {
            Press p = guide.back();
            guide.pop_back();
            return p;
        }
        if (++randomPresses > RANDOM_PRESSES_PER_LEVEL && !atTitle()) {
            loadCurrBoard();
            ++figures.restarts;
            recordPlaces(*getCurrentBoard(), places);
            freshLevel();
            randomPresses = 1;
        }
        int roll = pick(1, 100);
        const KeyGroup* group = KEY_GROUPS;
        while (roll > group->weight) roll -= (group++)->weight;
        const std::string keys = group->keys;
        char key = keys[pick(0, static_cast<int>(keys.size()) - 1)];
        if (pick(1, HINT_EVERY) == 1) key = "?/"[pick(0, 1)];
        return {pick(0, LONGEST_WAIT_MS), key};
    }

    // Random frame lengths, or all `tickMs` long.
    void passTime(int64_t ms, int64_t tickMs = 0) {
        for (int64_t left = ms; left > 0;) {
            int64_t step = std::min<int64_t>(tickMs > 0 ? tickMs : pick(1, LONGEST_TICK_MS), left);
            clock.advance(step);
            left -= step;
            figures.gameMs += step;
            tick();
        }
    }

    // The game's own frame step; the tick's board is checked before the flow step acts.
    void tick() {
        ++figures.ticks;
        FrameReport r = frameStep([this] {
            checkState(true);
            if (!atTitle()) {
                HOLDS(noTimerLeftDue, *getCurrentBoard());
                HOLDS(noDeadActorOutlivesItsTick, *getCurrentBoard());
            }
            return true;
        });
        if (!r.played) checkState(true);  // the title: nothing ran, nothing may have changed
        settle(r.flow);
    }

    void press(char key) {
        ++figures.presses;
        position.recent += key;
        if (position.recent.size() > RECENT_KEYS) position.recent.erase(0, 1);
        if (atEnding()) fail(1, "a key was about to be pressed on the ending screen");

        int levelBefore = getCurrLevel();
        bool wasAtStart = atItsStart(*getCurrentBoard(), levels[levelBefore].facts);
        bool wasTitle = atTitle();
        const bool wasSelect = atLevelSelect();
        const size_t keptBefore = keysToTakeBack();
        // More states than keys to take back: a try began since (a win moved on).
        if (rewindStates.size() > keptBefore) rewindStates.clear();
        const std::string stateBefore = boardStateKey(*getCurrentBoard(), clock.now());
        keyboard(static_cast<unsigned char>(key), 0, 0);
        const bool rewound = isRewindKey(key) && keysToTakeBack() + 1 == keptBefore;
        // The newest states sit at the top; a new try (the title, the level select, a win)
        // changes the count some other way and empties the list.
        const bool newTry = wasTitle || wasSelect || getCurrLevel() != levelBefore;
        if (newTry) rewindStates.clear();
        if (keysToTakeBack() == (newTry ? 0 : keptBefore) + 1)
            rewindStates.push_back(stateBefore);
        else if (!rewound && keysToTakeBack() != keptBefore)
            rewindStates.clear();
        if (rewound && !rewindStates.empty()) {
            // A rewind puts back exactly the state just before the key it takes back.
            if (boardStateKey(*getCurrentBoard(), clock.now()) != rewindStates.back())
                fail(1, "broken invariant: a rewind did not restore the state before its key");
            rewindStates.pop_back();
        }
        // Restarting ('r'), continuing from the title ('c'), a rewind or the level select
        // may put another board in place.
        bool newBoard = key == 'r' || key == 'c' || rewound || wasSelect || getCurrLevel() != levelBefore;
        if (newBoard) recordPlaces(*getCurrentBoard(), places);
        checkState(false);
        if (getCurrLevel() != levelBefore) freshLevel();
        bool decided = settle(flowStep());  // the redraw the key asks for
        // A restart shows as a played board back at its start, whether the key itself or
        // the next frame replaced it.
        if (key == 'r' && !wasTitle && !wasAtStart && !decided && getCurrLevel() == levelBefore &&
            atItsStart(*getCurrentBoard(), levels[levelBefore].facts)) {
            ++figures.restarts;
            freshLevel();
        }
    }

    // A hint was asked: its answer is awaited (no game time passes meanwhile), and where it
    // says a win is left the monkey does what each hint says, every key and tick checked as
    // ever, on the 4 ms frames the hints are worked out for: the level must be won.
    void followHints() {
        const unsigned asked = hintsAnswered();
        awaitHint();
        if (hintsAnswered() == asked) return;  // nothing to ask about here (the title)
        ++figures.hints;
        const Hint first = lastHint();
        if (first.kind == Hint::NONE) ++figures.hintNone;
        if (first.kind == Hint::UNKNOWN) ++figures.hintNotFound;
        if (first.kind != Hint::KEY && first.kind != Hint::WAIT) return;
        const long long won = figures.levelsWon, deaths = figures.deaths;
        bool answered = true;
        HintFollower f;
        f.ask = [&] {
            if (!answered) {
                const unsigned before = hintsAnswered();
                press('?');
                awaitHint();
                if (hintsAnswered() == before) fail(1, "a hint asked in play got no answer");
            }
            answered = false;
            return lastHint();
        };
        f.pass = [&](int64_t ms) {
            passTime(ms, 4);
            return figures.deaths == deaths;
        };
        f.press = [&](char key) { press(key); };
        f.won = [&] { return figures.levelsWon > won; };
        f.lost = [&] { return figures.deaths > deaths; };
        std::string said;
        const std::string failure = ::followHints(f, &said);
        if (!failure.empty()) {
            std::string lines;
            for (char c : said) lines += c == '\n' ? std::string(", ") : std::string(1, c);
            fail(1, "broken invariant: following the hints wins where they say a win is left: " + failure +
                        " (" + lines + ")");
        }
        ++figures.hintWins;
    }

    // After every key and every tick: in a tick enemies may take a step, with a key the
    // player may.
    void checkState(bool afterTick) {
        ++figures.statesChecked;
        HOLDS(levelWithinTheCampaign, static_cast<int>(levels.size()));
        Board& board = *getCurrentBoard();
        HOLDS(stocksWithinWhatTheLevelGave, board, levels[getCurrLevel()].facts);
        HOLDS(playerOnAnAcceptableSquare, board);
        HOLDS(everyLiveActorInsideTheBoard, board);
        HOLDS(commandersNeverMove, board);
        HOLDS(patrolsKeepToTheirRoutes, board);
        HOLDS(enemiesShareSquaresOnlyAsTheRulesAllow, board);
        HOLDS(enemiesStepAtMost, places, board, afterTick ? 1 : 0);
        HOLDS(playerMovesOnlyByItsKeys, places, board, afterTick ? 0 : 1);
        HOLDS(stocksOnlyFall, places, board);
        HOLDS(timersMatchTheirOwners, board);
        HOLDS(enemiesAwayFromHomeAreOnTheirWay, board);
        recordPlaces(board, places);
    }

    // After a flow step (a frame's, or the redraw's after a key): whether it acted on a
    // loss or a win.
    bool settle(const FlowReport& step) {
        HOLDS(winAndLoseNeverBothActedOn, step, static_cast<int>(levels.size()));
        // Enemies walk only in ticks; whatever board the step leaves is where the next
        // tick's walking is measured from.
        recordPlaces(*getCurrentBoard(), places);
        if (step.acted()) {
            if (step.lost)
                ++figures.deaths;
            else
                ++figures.levelsWon;
            figures.deepestLevel = std::max(figures.deepestLevel, getCurrLevel());
            freshLevel();
        }
        if (atEnding()) {
            ++figures.campaigns;
            gotoTitle();
        }
        return step.acted();
    }

    std::mt19937_64 rng;
    const std::vector<Level>& levels;
    int guidedPercent;
    Figures& figures;
    ManualClock clock{1000};
    Places places;
    std::vector<std::string> rewindStates;  // the state before each key a rewind can take back
    std::vector<Press> guide;  // the walkthrough's keys still to type, last first
    int randomPresses = 0;
};

bool parseSeeds(const std::string& text, uint64_t& first, uint64_t& last) {
    size_t dots = text.find("..");
    try {
        first = std::stoull(text.substr(0, dots));
        last = dots == std::string::npos ? first : std::stoull(text.substr(dots + 2));
    } catch (const std::exception&) {
        return false;
    }
    return first <= last;
}

[[noreturn]] void usage() {
    std::fputs("usage: monkey [--seed N | --seeds A..B] [--presses M] [--guided PERCENT] [--root DIR]\n",
               stderr);
    std::exit(64);
}

void freshDataHome() {
    removeDataHome();
    std::filesystem::create_directories(dataHome);
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t firstSeed = 1, lastSeed = 1;
    long long presses = 10000;
    int guidedPercent = 40;
    std::string root;
#ifdef VW_SOURCE_ROOT
    root = VW_SOURCE_ROOT;
#endif
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) usage();
        std::string value = argv[++i];
        try {
            if (arg == "--seed" || arg == "--seeds") {
                if (!parseSeeds(value, firstSeed, lastSeed)) usage();
            } else if (arg == "--presses") {
                presses = std::stoll(value);
            } else if (arg == "--guided") {
                guidedPercent = std::stoi(value);
            } else if (arg == "--root") {
                root = value;
            } else {
                usage();
            }
        } catch (const std::exception&) {
            usage();
        }
    }
    if (!std::filesystem::exists("assets/levels/level00.txt") && !root.empty())
        std::filesystem::current_path(root);
    if (!std::filesystem::exists("assets/levels/level00.txt")) {
        std::fputs("monkey: no assets/levels/level00.txt here; give the repository with --root\n", stderr);
        return 64;
    }

    // The game prints a stock line on every key: it goes to /dev/null, the monkey's own
    // lines to where standard output went.
    std::fflush(stdout);
    report = fdopen(dup(STDOUT_FILENO), "w");
    if (!report || !std::freopen("/dev/null", "w", stdout)) {
        std::perror("monkey");
        return 70;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "monkey-dataXXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("monkey");
        return 70;
    }
    dataHome = pattern;
    setenv("XDG_DATA_HOME", pattern.c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::atexit([] {
        if (finished) return;
        std::fprintf(report, "monkey: seed %llu, press %lld: the game ended the process\n  last keys: %s\n",
                     static_cast<unsigned long long>(position.seed), position.press,
                     recentKeys().c_str());
        std::fflush(report);
        removeDataHome();
        std::_Exit(3);
    });
    setFatalHandler([](int status, const char* message) {
        fail(2, "the game stopped with status " + std::to_string(status) + ": " + message);
    });
    setRedisplayHandler({});

    std::vector<Level> levels = readCampaign();
    Figures figures;
    auto started = std::chrono::steady_clock::now();
    initBoards();
    for (uint64_t seed = firstSeed; seed <= lastSeed; ++seed) {
        position = Position{seed, 0, ""};
        freshDataHome();
        Monkey(seed, levels, guidedPercent, figures).play(presses);
        if (seed == lastSeed) break;  // the last seed may be the largest value there is
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    loadInitialBoard();
    removeDataHome();

    std::fprintf(report,
                 "monkey: seeds %llu..%llu over %zu levels: %lld presses, %lld levels won, %lld deaths, "
                 "%lld restarts, %lld campaigns completed, deepest level %d, %lld states checked, "
                 "%lld ticks, %.0f s of game time, %lld hints (%lld followed to a win, %lld none, %lld not found), "
                 "in %.1f s\n",
                 static_cast<unsigned long long>(firstSeed), static_cast<unsigned long long>(lastSeed),
                 levels.size(), figures.presses, figures.levelsWon, figures.deaths, figures.restarts,
                 figures.campaigns, figures.deepestLevel, figures.statesChecked, figures.ticks,
                 figures.gameMs / 1000.0, figures.hints, figures.hintWins, figures.hintNone, figures.hintNotFound,
                 seconds);
    std::fflush(report);
    finished = true;
    return 0;
}
