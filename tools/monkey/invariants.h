// invariants.h — what must hold of the game after every key and every tick, one check each.
// Each check returns an empty string when it holds and otherwise says what broke.
#pragma once

#include <string>
#include <vector>

#include "board.h"
#include "frameStep.h"

// What a level file gives, read once from a fresh load: the yardstick for stocks.
struct LevelFacts {
    int width = 0, height = 0;
    int food = 0, deadBody = 0, cloak = 0, fake = 0;
    bool operator==(const LevelFacts&) const = default;
};
LevelFacts readLevelFacts(const char* filename);

// Where every enemy and the player stood, and the stocks, at the last check: to tell what
// changed since.
struct EnemyPlace {
    int homeX, homeY;
    Facing homeO;
    int x, y;
    const void* route;  // a patrol's own route (its home walks with it); null for the rest
};
struct Places {
    std::vector<EnemyPlace> enemies[OB_EMPTY];  // by kind
    int illX = 0, illY = 0;
    int stocks[4] = {};  // food, dead body, cloak, fake
};
Places placesNow(Board& board);
void recordPlaces(Board& board, Places& places);  // reuses the lists' room

// Stocks stay between zero and what the file gave.
std::string stocksWithinWhatTheLevelGave(Board& board, const LevelFacts& given);
// Within one board stocks only fall: nothing gives a power back.
std::string stocksOnlyFall(const Places& before, Board& board);
// Only the player's own keys move the player, one square at most (`maxSquares` 1 after a
// key, 0 after a tick).
std::string playerMovesOnlyByItsKeys(const Places& before, Board& board, int maxSquares);
// The player stands inside the board on a square the loader would accept as a start
// (floor of either kind), facing one of the four ways; the exit only in the step that
// won the level, before the flow moves on.
std::string playerOnAnAcceptableSquare(Board& board);
// Every actor still in a list, enemy or placed object, stands inside the board.
std::string everyLiveActorInsideTheBoard(Board& board);
// Commanders neither move nor turn, and never hold a timer; a patrolling commander only
// walks its route, holding nothing but its patrol timer.
std::string commandersNeverMove(Board& board);
// A patrol's home (where it rejoins its route after a lure) is always a square of its
// route's legs, so whatever lures it, it walks back onto the route.
std::string patrolsKeepToTheirRoutes(Board& board);
// Approach, flight and the walk home never look at occupants, so a guard or dog may end
// on any square, another enemy's included; a commander never moves. Two enemies may
// therefore share a square only when one of them is a guard or dog away from home, or
// the level file put both there.
std::string enemiesShareSquaresOnlyAsTheRulesAllow(Board& board);
// One timer per actor, polled once a tick: an enemy moves at most one square per tick, and a
// key moves none (`maxSquares` 0). Enemies never appear; the erased are dead.
std::string enemiesStepAtMost(const Places& before, Board& board, int maxSquares);
// Each actor's timer is the one its state promises: the cloak timer exactly while the
// player is cloaked; for a placed object the expiry its own kind starts (the same action,
// length and one-shot, with no more time left than that length); for a guard or dog at
// most one behaviour flag, matching its one pending timer; a patrol with no flag set holds at
// most its patrol timer; commanders hold none unless they patrol.
std::string timersMatchTheirOwners(Board& board);
// Every timer is held by an actor of the board and polled each tick, so after a tick
// none is left due (one that fired for an erased actor would have been orphaned here).
std::string noTimerLeftDue(Board& board);
// The remove phase erases every actor killed in the tick, so none survives it.
std::string noDeadActorOutlivesItsTick(Board& board);
// A guard or dog away from home has something pending that moves it: a reaction or the
// walk home. Without one it would stand there for ever.
std::string enemiesAwayFromHomeAreOnTheirWay(Board& board);
// There is a current board and its number is one of the campaign's levels.
std::string levelWithinTheCampaign(int levelCount);

// A loss is acted on before a win, and a lost level restarts even when it was also won.
using FlowStep = FlowReport;
std::string winAndLoseNeverBothActedOn(const FlowStep& step, int levelCount);
