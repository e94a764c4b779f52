// actor.cpp — the common actor: moving one square, the walk home, and the one timer.
#include "actor/actor.h"

#include "boundsCheck.h"
#include "check.h"
#include "soundManager.h"

Actor::Actor(int x, int y, Facing o)
    : x(x), y(y), o(o), homeX(x), homeY(y), homeO(o), alive(true), mirror(false),
      approachFlag(false), fleeFlag(false), returnOrigLocFlag(false) {}

void Actor::kill() { alive = false; }

void Actor::makeFakeIll() { mirror = true; }

// Neither approach nor flee looks at tiles or occupants: walls stay out of an
// enemy's path only because its sight stops at them.
void Actor::approach() {
    int dx, dy;
    getDxAndDy(o, dx, dy);
    if (BoundsCheck::inBounds(x + dx, y + dy)) {
        x += dx;
        y += dy;
    }
}

void Actor::flee() {
    int dx, dy;
    getDxAndDy(o, dx, dy);
    if (BoundsCheck::inBounds(x - dx, y - dy)) {
        x -= dx;
        y -= dy;
        o = flip(o);
    }
}

void Actor::returnOrigLoc() {
    if (atOrigLoc()) return;
    if (x < homeX) {
        x += 1;
        o = FA_E;
    } else if (x > homeX) {
        x -= 1;
        o = FA_W;
    } else if (y < homeY) {
        y += 1;
        o = FA_S;
    } else if (y > homeY) {
        y -= 1;
        o = FA_N;
    } else {
        o = homeO;
    }
    if (atOrigLoc()) {
        if (callback) callback->kill();
        returnOrigLocFlag = false;
    }
}

namespace {
int sign(int v) { return (v > 0) - (v < 0); }

// The facing of a step of (dx, dy), one of them zero.
Facing facingOfStep(int dx, int dy) {
    if (dx > 0) return FA_E;
    if (dx < 0) return FA_W;
    return dy > 0 ? FA_S : FA_N;
}

Facing facingTowards(const Actor& a, const RoutePoint& p) {
    return facingOfStep(sign(p.x - a.x), sign(p.y - a.y));
}
}  // namespace

void Actor::setRoute(Route r) {
    VW_ASSERT(r && r->size() >= 2 && (*r)[0].x == x && (*r)[0].y == y);
    route = std::move(r);
    routeNext = 1;
    o = homeO = facingTowards(*this, (*route)[routeNext]);
    homeX = x;
    homeY = y;
}

void Actor::patrolStep() {
    VW_ASSERT(patrols());
    const std::vector<RoutePoint>& points = *route;
    const RoutePoint& target = points[routeNext];
    const int dx = sign(target.x - x), dy = sign(target.y - y);
    x += dx;
    y += dy;
    o = facingOfStep(dx, dy);
    if (x == target.x && y == target.y) {
        routeNext = (routeNext + 1) % static_cast<int>(points.size());
        o = facingTowards(*this, points[routeNext]);
    }
    homeX = x;
    homeY = y;
    homeO = o;
}

int Actor::getManhattanDist(int x, int y) const { return absi(x - this->x) + absi(y - this->y); }

void Actor::addCallback(const TimedCallback& cb) { callback.hold(cb); }

void Actor::invokeCallback() {
    if (!callback) return;
    callback->poll(this);
    // The action may have replaced or emptied the timer slot.
    if (callback) removeCallbackIfDead();
}

void Actor::removeCallbackIfDead() {
    VW_ASSERT(callback != nullptr);
    if (callback->isDead()) callback.reset();
}

int Actor::absi(int v) { return v < 0 ? -v : v; }

void approachCallback(Actor* a) {
    a->approach();
    a->approachFlag = false;
}

void fleeCallback(Actor* a) {
    // Only guards flee, and only from a dead body; the step back is when they are heard.
    playSfx(SFX_GUARD_SEES_BODY);
    a->flee();
    a->fleeFlag = false;
}

void returnOrigLocCallback(Actor* a) { a->returnOrigLoc(); }

void patrolCallback(Actor* a) { a->patrolStep(); }
void lifetimeOver(Actor* a) { a->kill(); }
