// boardState.cpp — a board's state as comparable bytes, and shifting its timers in time.
#include "boardState.h"

#include "board.h"

namespace {

class StateKey {
public:
    explicit StateKey(int64_t now) : now(now) { bytes.reserve(256); }

    void add(int64_t v) { bytes.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void add(int v) { bytes.append(reinterpret_cast<const char*>(&v), sizeof v); }

    void actor(const Actor& a) {
        int packed = a.x | a.y << 4 | a.o << 8 | a.homeX << 10 | a.homeY << 14 | a.homeO << 18 |
                     a.alive << 20 | a.mirror << 21 | a.approachFlag << 22 | a.fleeFlag << 23 |
                     a.returnOrigLocFlag << 24;
        add(packed);
        // Where on its route a patrol is; the route itself never changes.
        if (a.patrols()) add(a.routeNext);
        if (!a.callback) {
            add(-1);
            return;
        }
        const TimedCallback& t = *a.callback;
        add(reinterpret_cast<int64_t>(t.getFunc()));
        add(static_cast<int>(t.getStartMs() - now) * 2 + t.isDead());
    }

    template <typename Kind>
    void list(const std::vector<Kind>& actors) {
        add(static_cast<int>(actors.size()));
        for (const Kind& a : actors) actor(a);
    }

    std::string bytes;

private:
    int64_t now;
};

}  // namespace

std::string boardStateKey(Board& b, int64_t now) {
    StateKey key(now);
    key.actor(b.getIll());
    key.add(static_cast<int>(b.getIll().isCloaked));
    b.forEachList([&](ObjectType, const auto& list) { key.list(list); });
    key.add(b.getFoodUse() | b.getDeadBodyUse() << 8 | b.getCloakUse() << 16 | b.getFakeUse() << 24);
    return std::move(key.bytes);
}

void delayBoardTimers(Board& b, int64_t ms) {
    if (b.getIll().callback) b.getIll().callback->delay(ms);
    b.forEachList([&](ObjectType, auto& list) {
        for (Actor& a : list)
            if (a.callback) a.callback->delay(ms);
    });
}
