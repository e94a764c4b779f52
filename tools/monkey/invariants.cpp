// invariants.cpp — the monkey's checks of the game state, one function per thing protected.
#include "invariants.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "actor/actor.h"
#include "actor/ill.h"

namespace {

std::string at(const char* what, size_t index, const Actor& a) {
    return std::string(what) + " " + std::to_string(index) + " at (" + std::to_string(a.x) + ", " +
           std::to_string(a.y) + ") home (" + std::to_string(a.homeX) + ", " +
           std::to_string(a.homeY) + ")";
}

bool awayFromHome(const Actor& a) { return a.x != a.homeX || a.y != a.homeY; }

// The live enemies of every kind as one list, with their kind.
struct Enemy {
    ObjectType kind;
    size_t index;
    const Actor* actor;
};
// Filled afresh on every call; kept so the checks after every tick allocate nothing.
const std::vector<Enemy>& liveEnemies(Board& board) {
    static std::vector<Enemy> all;
    all.clear();
    board.forEachEnemyList([&](ObjectType kind, const auto& list) {
        for (size_t i = 0; i < list.size(); ++i)
            if (!list[i].isDead()) all.push_back({kind, i, &list[i]});
    });
    return all;
}

// Guards, dogs and patrolling commanders walk; other commanders never move.
bool walks(const Enemy& e) { return e.kind != OB_SG || e.actor->patrols(); }

// The first actor of any list, dead or alive, for which `broken` says what is wrong (an empty
// string where nothing is), named as the messages name it.
template <typename Broken>
std::string firstBrokenActor(Board& board, Broken broken) {
    std::string found;
    board.forEachList([&](auto kind, const auto& list) {
        for (size_t i = 0; i < list.size() && found.empty(); ++i) {
            std::string what = broken(kind, list[i]);
            if (!what.empty()) found = at(kindName(kind), i, list[i]) + what;
        }
        return !found.empty();
    });
    return found;
}

template <typename T>
void placesOf(const std::vector<T>& list, std::vector<EnemyPlace>& places) {
    places.clear();
    for (const T& a : list) places.push_back({a.homeX, a.homeY, a.homeO, a.x, a.y, a.route.get()});
}

// The survivors of a list keep their order and only the dead are erased, so each enemy
// now is matched to the next one before with the same home, or for a patrol, whose home
// walks along, the same route.
template <typename T>
std::string stepsWithin(const std::vector<EnemyPlace>& before, const std::vector<T>& now,
                        const char* what, int maxSquares) {
    size_t b = 0;
    for (size_t i = 0; i < now.size(); ++i) {
        const T& n = now[i];
        auto same = [&](const EnemyPlace& p) {
            if (p.route || n.route) return p.route == n.route.get();
            return p.homeX == n.homeX && p.homeY == n.homeY && p.homeO == n.homeO;
        };
        while (b < before.size() && !same(before[b])) ++b;
        if (b == before.size())
            return std::string(what) + " " + std::to_string(i) + " at (" + std::to_string(n.x) +
                   ", " + std::to_string(n.y) + ") was not on the board before";
        int moved = std::abs(n.x - before[b].x) + std::abs(n.y - before[b].y);
        if (moved > maxSquares)
            return std::string(what) + " " + std::to_string(i) + " went from (" +
                   std::to_string(before[b].x) + ", " + std::to_string(before[b].y) + ") to (" +
                   std::to_string(n.x) + ", " + std::to_string(n.y) + "), " +
                   std::to_string(moved) + " squares where at most " + std::to_string(maxSquares) +
                   " may be walked";
        ++b;
    }
    return "";
}

// A guard or dog: at most one behaviour flag, and it names the pending timer.
std::string moverTimerMatches(const Actor& a) {
    int flags = a.approachFlag + a.fleeFlag + a.returnOrigLocFlag;
    if (flags > 1) return " has " + std::to_string(flags) + " behaviour flags set";
    TimerFunc pending = a.callback && !a.callback->isDead() ? a.callback->getFunc() : nullptr;
    TimerFunc promised = a.approachFlag        ? approachCallback
                         : a.fleeFlag          ? fleeCallback
                         : a.returnOrigLocFlag ? returnOrigLocCallback
                                               : nullptr;
    // A patrol with nothing else to do holds its patrol timer (none before its first look).
    if (!promised && a.patrols() && pending == patrolCallback) promised = patrolCallback;
    if (pending != promised)
        return promised ? " has a behaviour flag whose timer is not pending"
                        : " holds a timer no behaviour flag accounts for";
    return "";
}

// A placed object: the expiry its own kind starts, judged against a fresh one of the kind, so
// that a food holding a body's timer is told apart whenever their expiries differ in action,
// length or repeating.
template <typename T>
std::string holdsItsKindsExpiry(const T& o) {
    if (o.isDead()) return "";
    const T fresh(o.x, o.y, o.o);
    if (!fresh.callback) return o.callback ? " holds a timer its kind never starts" : "";
    const TimedCallback& expiry = *fresh.callback;
    if (!o.callback || o.callback->isDead() || o.callback->getFunc() != expiry.getFunc() ||
        o.callback->isRepeating() != expiry.isRepeating() ||
        o.callback->getTimeout() != expiry.getTimeout())
        return " does not hold its expiry timer";
    if (o.callback->dueMs() > expiry.dueMs())
        return " expires " + std::to_string(o.callback->dueMs() - expiry.dueMs()) +
               " ms after a fresh one would";
    return "";
}

}  // namespace

LevelFacts readLevelFacts(const char* filename) {
    Board fresh(filename);
    LevelFacts f;
    f.width = fresh.getWidth();
    f.height = fresh.getHeight();
    f.food = fresh.getFoodUse();
    f.deadBody = fresh.getDeadBodyUse();
    f.cloak = fresh.getCloakUse();
    f.fake = fresh.getFakeUse();
    return f;
}

void recordPlaces(Board& board, Places& places) {
    board.forEachEnemyList(
        [&](ObjectType kind, const auto& list) { placesOf(list, places.enemies[kind]); });
    places.illX = board.getIll().x;
    places.illY = board.getIll().y;
    int stocks[4] = {board.getFoodUse(), board.getDeadBodyUse(), board.getCloakUse(), board.getFakeUse()};
    std::copy(stocks, stocks + 4, places.stocks);
}

Places placesNow(Board& board) {
    Places places;
    recordPlaces(board, places);
    return places;
}

std::string stocksWithinWhatTheLevelGave(Board& board, const LevelFacts& given) {
    struct Stock {
        const char* name;
        int left, gave;
    } stocks[] = {{"food", board.getFoodUse(), given.food},
                  {"dead body", board.getDeadBodyUse(), given.deadBody},
                  {"cloak", board.getCloakUse(), given.cloak},
                  {"fake", board.getFakeUse(), given.fake}};
    for (const Stock& s : stocks)
        if (s.left < 0 || s.left > s.gave)
            return std::string(s.name) + " stock is " + std::to_string(s.left) +
                   " where the level gave " + std::to_string(s.gave);
    return "";
}

std::string stocksOnlyFall(const Places& before, Board& board) {
    const char* names[4] = {"food", "dead body", "cloak", "fake"};
    int now[4] = {board.getFoodUse(), board.getDeadBodyUse(), board.getCloakUse(), board.getFakeUse()};
    for (int i = 0; i < 4; ++i)
        if (now[i] > before.stocks[i])
            return std::string(names[i]) + " stock rose from " + std::to_string(before.stocks[i]) +
                   " to " + std::to_string(now[i]);
    return "";
}

std::string playerMovesOnlyByItsKeys(const Places& before, Board& board, int maxSquares) {
    const Ill& ill = board.getIll();
    int moved = std::abs(ill.x - before.illX) + std::abs(ill.y - before.illY);
    if (moved <= maxSquares) return "";
    return "the player went from (" + std::to_string(before.illX) + ", " + std::to_string(before.illY) +
           ") to (" + std::to_string(ill.x) + ", " + std::to_string(ill.y) + ") where " +
           std::to_string(maxSquares) + " squares at most may be walked";
}

std::string playerOnAnAcceptableSquare(Board& board) {
    const Ill& ill = board.getIll();
    std::string where = "the player at (" + std::to_string(ill.x) + ", " + std::to_string(ill.y) + ")";
    if (!board.inBounds(ill.x, ill.y)) return where + " is off the board";
    if (ill.o < FA_N || ill.o > FA_W) return where + " faces " + std::to_string(ill.o);
    TILE_TYPE tile = board.getTile(ill.x, ill.y);
    if (tile == FLOOR || tile == IN_FLOOR) return "";
    if (tile == EXIT && (board.hasWon() || board.hasLost())) return "";
    return where + " stands on tile " + std::to_string(tile);
}

std::string everyLiveActorInsideTheBoard(Board& board) {
    return firstBrokenActor(board, [&](ObjectType, const Actor& a) {
        return a.isDead() || board.inBounds(a.x, a.y) ? "" : " is off the board";
    });
}

std::string commandersNeverMove(Board& board) {
    for (size_t i = 0; i < board.getSgs().size(); ++i) {
        const SG& sg = board.getSgs()[i];
        if (!sg.atOrigLoc()) return at("commander", i, sg) + " has left its home square or facing";
        if (!sg.callback) continue;
        if (!sg.patrols()) return at("commander", i, sg) + " holds a timer";
        if (!sg.callback->isDead() && sg.callback->getFunc() != patrolCallback)
            return at("commander", i, sg) + " holds a timer that is not its patrol's";
    }
    return "";
}

namespace {
bool onLeg(RoutePoint a, RoutePoint b, int x, int y) {
    return (a.x == b.x && x == a.x && std::min(a.y, b.y) <= y && y <= std::max(a.y, b.y)) ||
           (a.y == b.y && y == a.y && std::min(a.x, b.x) <= x && x <= std::max(a.x, b.x));
}
}  // namespace

std::string patrolsKeepToTheirRoutes(Board& board) {
    for (const Enemy& e : liveEnemies(board)) {
        const Actor& a = *e.actor;
        if (!a.patrols()) continue;
        const std::vector<RoutePoint>& r = *a.route;
        bool on = false;
        for (size_t p = 0; p < r.size() && !on; ++p) on = onLeg(r[p], r[(p + 1) % r.size()], a.homeX, a.homeY);
        if (!on) return at(kindName(e.kind), e.index, a) + " has its home off its route";
        if (a.routeNext < 0 || a.routeNext >= static_cast<int>(r.size()))
            return at(kindName(e.kind), e.index, a) + " walks towards turning point " + std::to_string(a.routeNext) +
                   " of " + std::to_string(r.size());
    }
    return "";
}

std::string enemiesShareSquaresOnlyAsTheRulesAllow(Board& board) {
    const std::vector<Enemy>& all = liveEnemies(board);
    for (size_t i = 0; i < all.size(); ++i)
        for (size_t j = i + 1; j < all.size(); ++j) {
            const Actor& a = *all[i].actor;
            const Actor& b = *all[j].actor;
            if (a.x != b.x || a.y != b.y) continue;
            bool walkedThere = (walks(all[i]) && (awayFromHome(a) || a.patrols())) ||
                               (walks(all[j]) && (awayFromHome(b) || b.patrols()));
            bool placedThere = a.homeX == b.homeX && a.homeY == b.homeY;
            if (!walkedThere && !placedThere)
                return at(kindName(all[i].kind), all[i].index, a) + " and " +
                       at(kindName(all[j].kind), all[j].index, b) + " share a square";
        }
    return "";
}

std::string enemiesStepAtMost(const Places& before, Board& board, int maxSquares) {
    std::string broken;
    board.forEachEnemyList([&](ObjectType kind, const auto& list) {
        broken = stepsWithin(before.enemies[kind], list, kindName(kind), maxSquares);
        return !broken.empty();
    });
    return broken;
}

std::string timersMatchTheirOwners(Board& board) {
    const Ill& ill = board.getIll();
    bool cloakPending = ill.callback && !ill.callback->isDead() &&
                        ill.callback->getFunc() == deactivateIllCloak;
    if (ill.callback && !ill.callback->isDead() && !cloakPending)
        return "the player holds a timer that is not the cloak's";
    if (ill.isCloaked != cloakPending)
        return ill.isCloaked ? "the player is cloaked with no timer to end it"
                             : "the player holds a cloak timer but is not cloaked";
    std::string broken = firstBrokenActor(board, [](auto kind, const auto& a) -> std::string {
        if constexpr (kind == OB_GUARD || kind == OB_DOG) return moverTimerMatches(a);
        else if constexpr (kind == OB_SG) return "";  // commandersNeverMove, below
        else return holdsItsKindsExpiry(a);           // what the player places
    });
    if (broken.empty()) broken = commandersNeverMove(board);
    return broken;
}

std::string noTimerLeftDue(Board& board) {
    if (board.getIll().callback && board.getIll().callback->isDue())
        return "the player holds a timer that is due but was not fired";
    return firstBrokenActor(board, [](ObjectType, const Actor& a) {
        return a.callback && a.callback->isDue() ? " holds a timer that is due but was not fired" : "";
    });
}

std::string noDeadActorOutlivesItsTick(Board& board) {
    return firstBrokenActor(board, [](ObjectType, const Actor& a) {
        return a.isDead() ? " is dead but still on the board" : "";
    });
}

std::string enemiesAwayFromHomeAreOnTheirWay(Board& board) {
    for (const Enemy& e : liveEnemies(board)) {
        const Actor& a = *e.actor;
        if (!walks(e) || a.atOrigLoc()) continue;
        if (!a.approachFlag && !a.fleeFlag && !a.returnOrigLocFlag)
            return at(kindName(e.kind), e.index, a) + " is away from home with nothing pending";
    }
    return "";
}

std::string levelWithinTheCampaign(int levelCount) {
    if (!getCurrentBoard()) return "there is no current board at level " + std::to_string(getCurrLevel());
    if (getCurrLevel() < 0 || getCurrLevel() >= levelCount)
        return "level " + std::to_string(getCurrLevel()) + " is outside the campaign's " +
               std::to_string(levelCount) + " levels";
    return "";
}

std::string winAndLoseNeverBothActedOn(const FlowStep& s, int levelCount) {
    std::string seen = std::string(s.lost ? "lost" : "not lost") + (s.won ? " and won" : "") +
                       " on level " + std::to_string(s.levelBefore) + ", then level " +
                       std::to_string(s.levelAfter) + (s.endingAfter ? " and the ending" : "");
    bool stayed = s.levelAfter == s.levelBefore && !s.endingAfter;
    if (s.lost || !s.won) return stayed ? "" : seen + ": the level should have restarted or stayed";
    bool last = s.levelBefore == levelCount - 1;
    bool advanced = last ? s.levelAfter == 0 && s.endingAfter
                         : s.levelAfter == s.levelBefore + 1 && !s.endingAfter;
    return advanced ? "" : seen + ": the win did not lead to the next level or the ending";
}
