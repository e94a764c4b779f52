// boardState.cpp — a board's state as comparable bytes, and shifting its timers in time.
#include "boardState.h"

#include "board.h"

namespace {

// Where the walk below puts what it reads: the bytes themselves, or their hash.
struct Bytes {
    Bytes() { bytes.reserve(256); }
    void add(int64_t v) { bytes.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void add(int v) { bytes.append(reinterpret_cast<const char*>(&v), sizeof v); }
    std::string bytes;
};

// Each value is mixed in whole into two hashes made differently (a multiply-xorshift and a multiply-rotate), so that a pair of keys
// colliding in one is no likelier to collide in the other.
struct Hashed {
    void mix(uint64_t v) {
        h.a = (h.a ^ v) * 0x9e3779b97f4a7c15ull;
        h.a ^= h.a >> 29;
        h.b = (h.b + v) * 0xc2b2ae3d27d4eb4full;
        h.b = h.b << 31 | h.b >> 33;
    }
    // Two ints in a row are mixed in as one 64-bit word: half the work for the same stream
    // of values (the walk decides where each value stands, so the words stay apart).
    void add(int64_t v) {
        flush();
        mix(static_cast<uint64_t>(v) ^ 0x5555555555555555ull);
    }
    void add(int v) {
        if (pending) {
            mix(held | static_cast<uint64_t>(static_cast<uint32_t>(v)) << 32);
            pending = false;
        } else {
            held = static_cast<uint32_t>(v);
            pending = true;
        }
    }
    void flush() {
        if (pending) mix(held);
        pending = false;
    }
    BoardStateHash h{0x243f6a8885a308d3ull, 0x13198a2e03707344ull};
    uint64_t held = 0;
    bool pending = false;
};

template <typename Sink>
class StateKey {
public:
    explicit StateKey(int64_t now) : now(now) {}

    void add(int64_t v) { sink.add(v); }
    void add(int v) { sink.add(v); }

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

    Sink sink;

private:
    int64_t now;
};

template <typename Sink>
Sink walkState(Board& b, int64_t now) {
    StateKey<Sink> key(now);
    key.actor(b.getIll());
    key.add(static_cast<int>(b.getIll().isCloaked));
    b.forEachList([&](ObjectType, const auto& list) { key.list(list); });
    key.add(b.getFoodUse() | b.getDeadBodyUse() << 8 | b.getCloakUse() << 16 | b.getFakeUse() << 24);
    return std::move(key.sink);
}

}  // namespace

std::string boardStateKey(Board& b, int64_t now) { return walkState<Bytes>(b, now).bytes; }

BoardStateHash boardStateHash(Board& b, int64_t now) {
    Hashed hashed = walkState<Hashed>(b, now);
    hashed.flush();
    return hashed.h;
}

void delayBoardTimers(Board& b, int64_t ms) {
    if (b.getIll().callback) b.getIll().callback->delay(ms);
    b.forEachList([&](ObjectType, auto& list) {
        for (Actor& a : list)
            if (a.callback) a.callback->delay(ms);
    });
}
