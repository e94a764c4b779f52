// actor.h — what every occupant of a square shares: position, home, flags and one timer.
#pragma once

#include <memory>
#include <vector>

#include "actor/facing.h"
#include "timedCallback.h"

// A square an enemy's patrol turns at.
struct RoutePoint {
    int x, y;
    bool operator==(const RoutePoint&) const = default;
};
// The turning points of a patrol, its start first. The enemy walks them in a cycle,
// start, first point, ..., last point, start again, every leg straight along a row or
// a column. Never changed once loaded, so copies of a board share it.
using Route = std::shared_ptr<const std::vector<RoutePoint>>;

// A plain record, no virtual operations: the board stores each kind by value and
// always calls the concrete kind. Each actor owns its timer exclusively, so a copy
// (a saved game state) gets a timer of its own with the same deadline.
class Actor {
public:
    Actor(int x, int y, Facing o);
    Actor(Actor&&) = default;
    Actor& operator=(Actor&&) = default;
    Actor(const Actor&) = default;
    Actor& operator=(const Actor&) = default;

    bool isDead() const { return !alive; }
    void kill();
    bool isFakeIll() const { return mirror; }
    void makeFakeIll();

    // One square forward along the facing, if that square is on the current board.
    void approach();
    // One square backwards and then turn about, if that square is on the current board.
    void flee();
    // One move of the walk home: column first, then row, then the turn to the home
    // facing. On arrival the held (walk-home) timer is killed and the flag cleared.
    void returnOrigLoc();

    // Puts the actor on `route` (its start must be the actor's square): it faces the
    // first leg, and that is its home facing.
    void setRoute(Route route);
    bool patrols() const { return route != nullptr; }
    // One square along the route; home follows, so that the patrol's walk home after a
    // lure ends where it left the route, facing the way it was walking. On reaching a
    // turning point it faces the next leg at once.
    void patrolStep();

    bool isAt(int x, int y) const { return this->x == x && this->y == y; }
    int getManhattanDist(int x, int y) const;
    bool atOrigLoc() const { return x == homeX && y == homeY && o == homeO; }
    bool inManipulateMode() const { return approachFlag || fleeFlag; }  // an approach or a flight is pending
    bool inReturnOrigLocMode() const { return returnOrigLocFlag; }  // a walk home is under way

    // Holds the timer; one the actor already held is discarded without firing.
    // Flags are not touched.
    void addCallback(const TimedCallback& cb);
    // Polls the held timer, then drops it if it is dead.
    void invokeCallback();
    void removeCallbackIfDead();

    int x, y;
    Facing o;
    int homeX, homeY;
    Facing homeO;
    bool alive;
    bool mirror;  // turned into a false image of the player by the fake power
    bool approachFlag;
    bool fleeFlag;
    bool returnOrigLocFlag;
    TimerSlot callback;
    Route route;        // null for an enemy that stands still
    int routeNext = 0;  // the index in *route of the turning point it walks towards

private:
    static int absi(int v);
};

// Timer actions for enemy movement.
void approachCallback(Actor* a);
void fleeCallback(Actor* a);
void returnOrigLocCallback(Actor* a);
void patrolCallback(Actor* a);

// The end of a placed object's lifetime (food, a dead body): it goes.
void lifetimeOver(Actor* a);
