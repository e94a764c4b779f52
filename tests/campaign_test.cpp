// campaign_test.cpp — the shipped levels: each loads, and each is won by its walkthrough,
// replayed key by key through the real keyboard handler, tick phases and flow step in
// simulated time. The solver wins each level too, and proves that no level can be won
// without any of the powers its walkthrough says it needs.
//
// A walkthrough assets/levels/levelNN.walk (read by walkthrough.h) holds lines
// "<wait-ms> <keys>": each key of <keys> is pressed <wait-ms> after the one before.
// "needs <keys>" names the powers the level teaches: without any one of them it must not be
// won.
// Set VW_WALK_TRACE=1 to print the board after every key while designing, under a heading
// per level; VW_WALK_LEVEL=n limits the trace to level n.
// Set VW_CAMPAIGN_LEVELS to a list such as "31,33-35" to check only those levels while
// designing them (the checks over the whole campaign, and the chart, are then skipped).
#include "board.h"
#include "frameStep.h"
#include "gameClock.h"
#include "idle.h"
#include "keyboard.h"
#include "redisplay.h"
#include "repositoryRoot.h"
#include "screenFlow.h"
#include "levelChart.h"
#include "linePlay.h"
#include "records.h"
#include "solver.h"
#include "walkthrough.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int64_t FASTEST_KEY_MS = 120;  // a walkthrough must be playable by hand
constexpr int64_t SETTLE_MS = 1000;      // after the last key, time for anything to go wrong

// The levels named by VW_CAMPAIGN_LEVELS ("31,33-35"); empty: every level.
std::vector<int> chosenLevels()
{
    std::vector<int> chosen;
    const char* list = std::getenv("VW_CAMPAIGN_LEVELS");
    for (const char* p = list; p && *p;) {
        char* end = nullptr;
        const long from = std::strtol(p, &end, 10);
        long to = from;
        if (end == p) break;
        if (*end == '-') {
            p = end + 1;
            to = std::strtol(p, &end, 10);
            if (end == p) break;
        }
        for (long n = from; n <= to; ++n)
            chosen.push_back(static_cast<int>(n));
        p = *end == ',' ? end + 1 : end;
    }
    return chosen;
}

struct Walk {
    std::vector<Press> presses;
    std::string needs;       // power keys without which the level cannot be won
    std::string error;       // a missing file or a malformed line
};

std::string levelPath(int n, const char* ext)
{
    char name[64];
    std::snprintf(name, sizeof name, "assets/levels/level%02d.%s", n, ext);
    return name;
}

Walk readWalk(const std::string& path)
{
    const Walkthrough w = readWalkthrough(path);
    return {w.presses, w.needs, !w.found ? "cannot open " + path : w.error.empty() ? "" : path + ": " + w.error};
}

std::string boardPicture(Board& b)
{
    std::string pic;
    const char* terrain = ".~,#E";
    const char* facing = "^v><";
    for (int y = 0; y < b.getHeight(); ++y) {
        for (int x = 0; x < b.getWidth(); ++x) {
            Actor* who = nullptr;
            ObjectType what = b.getObject(x, y, who);
            char c = terrain[b.getTile(x, y)];
            std::string cell = std::string(1, c) + " ";
            switch (what) {
            case OB_ILL: cell = std::string(b.getIll().isCloaked ? "c" : "@") + facing[who->o]; break;
            case OB_GUARD: cell = std::string(who->isFakeIll() ? "g" : "G") + facing[who->o]; break;
            case OB_DOG: cell = std::string(who->isFakeIll() ? "d" : "D") + facing[who->o]; break;
            case OB_SG: cell = std::string(who->isFakeIll() ? "s" : "S") + facing[who->o]; break;
            case OB_FOOD: cell = "f "; break;
            case OB_DEADBODY: cell = "b "; break;
            default: break;
            }
            pic += cell;
        }
        pic += "\n";
    }
    return pic;
}

// The waits a proof tries between keys: those the proofs have always covered, and a grid with
// keys 100 ms apart, faster than any walkthrough may ask (FASTEST_KEY_MS), for a race against a
// timer such as the cloak's two seconds. Both stay on a 100 ms grid, so their states merge.
const std::vector<int64_t> PROOF_WAITS{200, 500, 1000, 2000, 3000};
const std::vector<int64_t> FAST_PROOF_WAITS{100, 200, 500, 1000, 2000, 3000};

// A proof: no win at all, not only no humane one, on `waits`. It ends when no new state is left,
// however long the sequences that reach them; the state limit is what bounds it.
SolveOptions proofOptions(const std::vector<int64_t>& waits)
{
    SolveOptions options;
    options.maxStates = 1'000'000;
    options.humane = false;
    options.waits = waits;
    options.maxKeys = 400;
    return options;
}

// The level file's text with the stock of the power on `key` set to `count`: the four stocks
// follow the fifth 999 (after the terrain, the player and the three kinds of enemy). "" when
// the text has no stocks.
std::string withStock(const std::string& text, char key, int count)
{
    const size_t which = std::string("hjkl").find(key);
    int marks = 0;
    size_t stock = 0;
    for (size_t i = 0; i < text.size();) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
            ++end;
        if (marks == 5 && stock++ == which)
            return text.substr(0, i) + std::to_string(count) + text.substr(end);
        if (marks < 5 && text.compare(i, end - i, "999") == 0)
            ++marks;
        i = end;
    }
    return "";
}

// Plays the shipped levels from the repository's root, in simulated time.
class Campaign : public RepositoryRootTest {
protected:
    void SetUp() override
    {
        RepositoryRootTest::SetUp();
        clock.install();
        setRedisplayHandler({});
        trace = std::getenv("VW_WALK_TRACE") != nullptr;
        const char* only = std::getenv("VW_WALK_LEVEL");
        traceLevel = only ? std::atoi(only) : -1;
    }
    static int levelCount()
    {
        int n = 0;
        while (std::filesystem::exists(levelPath(n, "txt")))
            ++n;
        return n;
    }
    // The levels each check covers: every level, or those VW_CAMPAIGN_LEVELS names.
    static std::vector<int> checkedLevels()
    {
        std::vector<int> levels, chosen = chosenLevels();
        for (int n = 0; n < levelCount(); ++n)
            if (chosen.empty() || std::find(chosen.begin(), chosen.end(), n) != chosen.end())
                levels.push_back(n);
        return levels;
    }
    static bool everyLevelChecked() { return chosenLevels().empty(); }

    // One pass of the game loop: the game's own frame step.
    void tick()
    {
        clock.advance(tickMs);
        frameStep();
    }

    struct Outcome {
        bool won = false;
        bool lost = false;
        int64_t atMs = 0;
        std::string picture;     // the board when the level was decided
    };

    // Makes level n current on the game screen, as if the levels before it were won.
    void startLevel(int n)
    {
        loadInitialBoard();
        for (int i = 0; i < n; ++i)
            loadNextBoard();
        ASSERT_NE(getCurrentBoard(), nullptr);
        ASSERT_EQ(getCurrLevel(), n);
        gotoMainGame();
        if (tracing())
            std::printf("=== level %02d: %s\n%s", n, levelPath(n, "txt").c_str(),
                        boardPicture(*getCurrentBoard()).c_str());
    }

    // Starts each level in turn and hands it, with its walkthrough, to `check(n, walk)`; `how`
    // follows the walkthrough's file in a failure's trace.
    void forEachWalkthrough(const std::function<void(int, const Walk&)>& check, const std::string& how = "")
    {
        for (int n : checkedLevels()) {
            SCOPED_TRACE(levelPath(n, "walk") + how);
            const Walk walk = readWalk(levelPath(n, "walk"));
            ASSERT_EQ(walk.error, "");
            startLevel(n);
            check(n, walk);
        }
    }

    bool tracing() const { return trace && (traceLevel < 0 || traceLevel == getCurrLevel()); }

    // Plays the presses on the current level through the shared line player; stops when it
    // is won or lost, and after a win lets the flow step move the game on.
    Outcome play(const std::vector<Press>& presses, int tempoPercent = 100)
    {
        LinePlay how;
        how.tickMs = tickMs;
        how.tempoPercent = tempoPercent;
        how.settleMs = SETTLE_MS;
        if (tracing())
            how.afterKey = [](int64_t atMs, char key) {
                std::printf("%6lld ms  %c\n%s", static_cast<long long>(atMs), key,
                            boardPicture(*getCurrentBoard()).c_str());
            };
        LineOutcome line = playLine(clock, presses, how);
        Outcome out{line.won, line.lost, line.atMs, boardPicture(*getCurrentBoard())};
        if (out.won)
            runFlowStep();
        return out;
    }

    ManualClock clock{1000};
    int64_t tickMs = 4;      // the idle loop runs far faster than anyone types
    bool trace = false;
    int traceLevel = -1;     // -1: every level
};

}

TEST_F(Campaign, TwelveOrMoreLevelsEachTwelveByTwelveWithAWalkthrough)
{
    EXPECT_GE(levelCount(), 12);
    for (int n : checkedLevels()) {
        SCOPED_TRACE(levelPath(n, "txt"));
        startLevel(n);
        Board* b = getCurrentBoard();
        EXPECT_EQ(b->getWidth(), 12);
        EXPECT_EQ(b->getHeight(), 12);
        int exits = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x)
                exits += b->getTile(x, y) == EXIT;
        EXPECT_GE(exits, 1);
        Walk walk = readWalk(levelPath(n, "walk"));
        EXPECT_EQ(walk.error, "");
        EXPECT_FALSE(walk.presses.empty());
        for (size_t i = 1; i < walk.presses.size(); ++i)
            EXPECT_GE(walk.presses[i].waitMs, FASTEST_KEY_MS)
                << "key " << i + 1 << " comes too fast to be played by hand";
    }
}

TEST_F(Campaign, EachWalkthroughWinsItsLevelWithoutBeingSeen)
{
    forEachWalkthrough([&](int n, const Walk& walk) {
        Outcome out = play(walk.presses);
        EXPECT_TRUE(out.won) << (out.lost ? "lost" : "not won") << " at " << out.atMs << " ms\n" << out.picture;
        EXPECT_FALSE(out.lost);
        EXPECT_EQ(getCurrLevel(), n + 1 < levelCount() ? n + 1 : 0) << "the win did not move the game on";
    });
}

// The same walkthroughs on a slow and a fast machine: no level depends on a lucky frame.
TEST_F(Campaign, WalkthroughsStillWinAtOtherFrameRates)
{
    for (int64_t tick : {1, 17, 33}) {
        tickMs = tick;
        forEachWalkthrough([&](int, const Walk& walk) {
            Outcome out = play(walk.presses);
            EXPECT_TRUE(out.won) << (out.lost ? "lost" : "not won") << " at " << out.atMs << " ms\n" << out.picture;
        }, " ticking every " + std::to_string(tick) + " ms");
    }
}

// Played as a person plays: each key a tick early or late, and the whole line a little slower
// or faster than written. No walkthrough depends on exact timing; and none is shorter than
// the level's par, the fewest keys of such a win.
TEST_F(Campaign, WalkthroughsAreHumaneAndNoneBeatsPar)
{
    forEachWalkthrough([&](int n, const Walk& walk) {
        EXPECT_EQ(humaneFailure(clock, walk.presses, tickMs), "");
        const int par = levelPar(n);
        EXPECT_GT(par, 0) << "no par file " << levelPath(n, "par") << " (solver --write-par makes it)";
        EXPECT_GE(static_cast<int>(walk.presses.size()), par) << "the walkthrough beats par: par is wrong";
    });
}

// The solver searches every key sequence (on its grid of waits) from each level's start. Its
// shortest humane win, or the walkthrough where that is shorter, has the level's par in keys and
// wins when replayed like a walkthrough;
// and with one needed power taken away, the search (allowed wins at an exact tick too) must
// run out of states without a win: a proof, not one failed replay.
// The limits bound the test's time; a level whose search needs more is too open to prove.
TEST_F(Campaign, TheSolverWinsEachLevelAndCannotWithoutAPowerItNeeds)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the search takes minutes under the sanitizers; solver_test runs its code there";
#endif
    std::string taught;
    std::vector<LevelSummary> chart;
    for (int n : checkedLevels()) {
        Walk walk = readWalk(levelPath(n, "walk"));
        ASSERT_EQ(walk.error, "");
        chart.push_back({0, walk.needs});
        SolveOptions options;
        options.maxStates = 1'000'000;
        {
            SCOPED_TRACE(levelPath(n, "txt") + " solved");
            startLevel(n);
            ParResult r = findPar(clock, walk.presses, options);
            ASSERT_GT(r.par, 0) << "no humane win: limit " << r.search.limit;
            chart.back().keys = r.par;
            EXPECT_EQ(r.par, levelPar(n)) << "par is the fewest keys of a humane win; from the repository's root run "
                                             "build/test/tools/solver/solver " << levelPath(n, "txt") << " --write-par";
            EXPECT_EQ(humaneFailure(clock, r.presses, tickMs), "") << walkthroughText(r.presses);
            Outcome out = play(r.presses);
            EXPECT_TRUE(out.won) << walkthroughText(r.presses) << out.picture;
        }
        for (char power : walk.needs) {
            SCOPED_TRACE(levelPath(n, "txt") + " without " + power);
            taught += power;
            startLevel(n);
            SolveOptions proof = proofOptions(PROOF_WAITS);
            proof.forbidden = std::string(1, power);
            SolveResult r = solveCurrentLevel(clock, proof);
            EXPECT_FALSE(r.solved) << "won without it:\n" << walkthroughText(r.presses);
            EXPECT_EQ(r.limit, "") << "the search stopped at a limit before it could prove anything";
        }
    }
    if (!everyLevelChecked()) return;
    for (char power : std::string("hjkl"))
        EXPECT_NE(taught.find(power), std::string::npos) << "no level needs the power on key " << power;

    // The README's difficulty curve is drawn from these very figures.
    const std::filesystem::path fresh = std::filesystem::temp_directory_path() / "vw-difficulty.png";
    ASSERT_TRUE(writeLevelChart(chart, fresh.string()));
    auto bytes = [](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    EXPECT_TRUE(bytes(fresh) == bytes("docs/difficulty.png"))
        << "docs/difficulty.png is out of date; from the repository's root run "
           "build/test/tools/levelchart/levelchart docs/difficulty.png";
    std::filesystem::remove(fresh);
}

// The levels whose proofs also hold for keys 100 ms apart, faster than any walkthrough may ask:
// those built on a race against a timer, such as the cloak's two seconds carried past two
// watches, or a body's flight used twice. (Renumbering a level renumbers it here.)
const std::vector<int> FAST_HANDS_LEVELS{14, 40, 41};

// Each unit of a needed power that the walkthrough spends is needed: with one fewer of it the
// level is lost (on the proofs' waits; on the levels proven for fast hands, also with keys 100 ms
// apart, where each needed power is proven again too).
TEST_F(Campaign, EveryUnitOfANeededPowerThatTheWalkthroughSpendsIsNeeded)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the search takes minutes under the sanitizers; solver_test runs its code there";
#endif
    auto stocks = [] {
        const Board& b = *getCurrentBoard();
        return std::array<int, 4>{b.getFoodUse(), b.getDeadBodyUse(), b.getCloakUse(), b.getFakeUse()};
    };
    for (int n : checkedLevels()) {
        Walk walk = readWalk(levelPath(n, "walk"));
        ASSERT_EQ(walk.error, "");
        const bool fast = std::find(FAST_HANDS_LEVELS.begin(), FAST_HANDS_LEVELS.end(), n) != FAST_HANDS_LEVELS.end();
        const std::string hands = fast ? ", keys 100 ms apart too" : "";
        startLevel(n);
        const std::array<int, 4> given = stocks();
        LinePlay how;
        how.tickMs = tickMs;
        how.settleMs = SETTLE_MS;
        ASSERT_TRUE(playLine(clock, walk.presses, how).won) << levelPath(n, "walk");
        const std::array<int, 4> left = stocks();
        // No win on any of the grids of waits, with the keys `forbidden` never pressed.
        auto proven = [&](const std::string& forbidden, const char* how, const std::vector<std::vector<int64_t>>& grids) {
            for (const std::vector<int64_t>& waits : grids) {
                SolveOptions proof = proofOptions(waits);
                proof.forbidden = forbidden;
                proof.reopen = false;  // any win disproves; none found, every state was explored
                SolveResult r = solveCurrentLevel(clock, proof);
                EXPECT_FALSE(r.solved) << how << ", keys " << waits[0] << " ms apart:\n" << walkthroughText(r.presses);
                EXPECT_EQ(r.limit, "") << "the search stopped at a limit before it could prove anything";
            }
        };
        for (char power : walk.needs) {
            const size_t p = std::string("hjkl").find(power);
            if (fast) {
                SCOPED_TRACE(levelPath(n, "txt") + " without " + power + hands);
                startLevel(n);
                // The solver's proof above covers the other grid.
                proven(std::string(1, power), "won without it", {FAST_PROOF_WAITS});
            }
            if (given[p] < 2 || left[p] > 0) continue;
            SCOPED_TRACE(levelPath(n, "txt") + " with " + std::to_string(given[p] - 1) + " of its " +
                         std::to_string(given[p]) + " " + power + hands);
            std::ifstream in(levelPath(n, "txt"), std::ios::binary);
            const std::string fewer = withStock(std::string(std::istreambuf_iterator<char>(in), {}), power, given[p] - 1);
            ASSERT_NE(fewer, "");
            const std::filesystem::path file = std::filesystem::temp_directory_path() / "vw-campaign-fewer.txt";
            std::ofstream(file, std::ios::binary) << fewer;
            std::string error;
            const bool loaded = loadLevelFile(file.string(), error);
            std::filesystem::remove(file);
            ASSERT_TRUE(loaded) << error;
            ASSERT_EQ(stocks()[p], given[p] - 1);
            proven("", "won with one fewer", fast ? std::vector{PROOF_WAITS, FAST_PROOF_WAITS} : std::vector<std::vector<int64_t>>{PROOF_WAITS});
        }
    }
}

bool anyPatrols(Board& b)
{
    for (const Guard& a : b.getGuards())
        if (a.patrols()) return true;
    for (const Dog& a : b.getDogs())
        if (a.patrols()) return true;
    for (const SG& a : b.getSgs())
        if (a.patrols()) return true;
    return false;
}

template <typename Kind>
void standStill(std::vector<Kind>& enemies)
{
    for (Kind& a : enemies) a.route.reset();
}

// A level's patrols are part of its puzzle: with every patrolling enemy standing still
// where it starts (facing its first leg), the solver finds no win without powers.
TEST_F(Campaign, EveryPatrolLevelIsLostWithItsPatrolsStandingStill)
{
    int patrolLevels = 0;
    for (int n : checkedLevels()) {
        startLevel(n);
        Board& b = *getCurrentBoard();
        if (!anyPatrols(b)) continue;
        SCOPED_TRACE(levelPath(n, "txt"));
        ++patrolLevels;
        standStill(b.getGuards());
        standStill(b.getDogs());
        standStill(b.getSgs());
        SolveOptions options;
        options.maxStates = 1'000'000;
        options.maxKeys = 400;
        options.forbidden = "hjkl";
        SolveResult r = solveCurrentLevel(clock, options);
        EXPECT_FALSE(r.solved) << "won with the patrols standing still:\n" << walkthroughText(r.presses);
        EXPECT_EQ(r.limit, "");
    }
    if (everyLevelChecked()) {
        EXPECT_GE(patrolLevels, 1);
    }
}

// Without powers nothing but a patrol ever moves, so whether a level without patrols can be
// crossed without powers is a search over the squares where its enemies would not see the
// player. The solver's proofs above cover the levels that patrol.
TEST_F(Campaign, OnlyTheLevelsThatTeachNoPowerCanBeWalkedWithoutOne)
{
    for (int n : checkedLevels()) {
        SCOPED_TRACE(levelPath(n, "txt"));
        Walk walk = readWalk(levelPath(n, "walk"));
        ASSERT_EQ(walk.error, "");
        startLevel(n);
        if (anyPatrols(*getCurrentBoard())) continue;
        auto safe = [](int x, int y) {
            loadCurrBoard();
            Board* b = getCurrentBoard();
            TILE_TYPE t = b->getTile(x, y);
            Actor* who = nullptr;
            if (t == WALL || t == WATER || b->getObject(x, y, who) != OB_EMPTY)
                return false;
            b->getIll().x = x;
            b->getIll().y = y;
            runEnemyPhase();
            return !b->hasLost();
        };
        Board* b = getCurrentBoard();
        std::vector<std::pair<int, int>> open{{b->getIll().x, b->getIll().y}};
        std::vector<bool> visited(144, false);
        visited[open[0].second * 12 + open[0].first] = true;
        bool reached = false;
        while (!open.empty() && !reached) {
            auto [x, y] = open.back();
            open.pop_back();
            for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= 12 || ny >= 12 || visited[ny * 12 + nx] || !safe(nx, ny))
                    continue;
                visited[ny * 12 + nx] = true;
                reached = reached || getCurrentBoard()->getTile(nx, ny) == EXIT;
                open.push_back({nx, ny});
            }
        }
        EXPECT_EQ(reached, walk.needs.empty()) << (reached ? "the stairs can be reached without any power"
                                                           : "a level that needs no power cannot be crossed");
    }
}

TEST_F(Campaign, TheWholeGameFromTitleToEnding)
{
    int count = levelCount();
    loadInitialBoard();        // the state main leaves: level 0 loaded, the title showing
    gotoTitle();
    tick();
    keyboard(' ', 0, 0);          // any key leaves the title; a space does nothing else
    ASSERT_FALSE(atTitle());
    for (int n = 0; n < count; ++n) {
        SCOPED_TRACE(levelPath(n, "walk"));
        ASSERT_EQ(getCurrLevel(), n);
        Outcome out = play(readWalk(levelPath(n, "walk")).presses);
        ASSERT_TRUE(out.won) << "lost at " << out.atMs << " ms\n" << out.picture;
    }
    EXPECT_TRUE(atEnding());
    EXPECT_EQ(getCurrLevel(), 0);
}
