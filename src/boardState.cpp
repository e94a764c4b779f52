// boardState.cpp — a board's state as comparable bytes, and shifting its timers in time.
#include "boardState.h"

#include "board.h"

namespace {

// Where the walk below puts the words it makes: the bytes themselves, or their hash. An
// actor's three words come together (add3), so the hash can mix them side by side.
struct Bytes {
    Bytes() { bytes.reserve(256); }
    void add(uint64_t v) { bytes.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void add3(uint64_t v0, uint64_t v1, uint64_t v2) {
        add(v0);
        add(v1);
        add(v2);
    }
    std::string bytes;
};

// Each word is mixed in whole into two hashes made differently (a multiply-xorshift and a
// multiply-rotate), so that a pair of keys colliding in one is no likelier to collide in the
// other.
struct Lane {
    void mixA(uint64_t v) {
        h.a = (h.a ^ v) * 0x9e3779b97f4a7c15ull;
        h.a ^= h.a >> 29;
    }
    void mixB(uint64_t v) {
        h.b = (h.b + v) * 0xc2b2ae3d27d4eb4full;
        h.b = h.b << 31 | h.b >> 33;
    }
    void mix(uint64_t v) {
        mixA(v);
        mixB(v);
    }
    BoardStateHash h;
};

// The words go to three lanes, an actor's first, second and third word each to its own, and
// the board's words to the first: each lane's multiplies wait only on that lane's, so three run
// at once. The lanes are mixed together at the end. Which word stands where follows from the
// list sizes (in the first lane), so the lanes together still say everything the words say.
struct Hashed {
    void add(uint64_t v) { first.mix(v); }
    void add3(uint64_t v0, uint64_t v1, uint64_t v2) {
        first.mix(v0);
        second.mix(v1);
        third.mix(v2);
    }
    BoardStateHash done() const {
        Lane all = first;
        all.mixA(second.h.a);
        all.mixB(second.h.b);
        all.mixA(third.h.a);
        all.mixB(third.h.b);
        return all.h;
    }
    Lane first{{0x243f6a8885a308d3ull, 0x13198a2e03707344ull}};
    Lane second{{0xa4093822299f31d0ull, 0x082efa98ec4e6c89ull}};
    Lane third{{0x452821e638d01377ull, 0xbe5466cf34e90c6cull}};
};

// The state as 64-bit words, three per actor and a few for the board, in a fixed layout:
// which word says what follows from the list sizes alone, so two boards give equal words
// exactly when they are in the same state.
template <typename Sink>
class StateKey {
public:
    StateKey(Sink& sink, int64_t now) : sink(sink), now(now) {}

    // Square, home, facing and flags (4 bits apiece for the coordinates: a board is at most 12 squares a side),
    // where on its route a patrol is (the route itself never changes), and the timer: its
    // action and its start measured from now, or none.
    void actor(const Actor& a, uint64_t extra = 0) {
        const uint32_t packed = static_cast<uint32_t>(
            a.x | a.y << 4 | a.o << 8 | a.homeX << 10 | a.homeY << 14 | a.homeO << 18 | a.alive << 20 |
            a.mirror << 21 | a.approachFlag << 22 | a.fleeFlag << 23 | a.returnOrigLocFlag << 24);
        const bool patrols = a.patrols();
        const uint64_t where = packed | extra | static_cast<uint64_t>(patrols) << 25 |
                               (patrols ? static_cast<uint64_t>(static_cast<uint32_t>(a.routeNext)) << 32 : 0);
        if (const TimedCallback* t = a.callback.get())
            sink.add3(where, reinterpret_cast<uint64_t>(t->getFunc()),
                      static_cast<uint32_t>(static_cast<int>(t->getStartMs() - now) * 2 + t->isDead()));
        else
            sink.add3(where, 0, 0);  // no action is at address 0
    }

    Sink& sink;

private:
    int64_t now;
};

// A list's size as a 16-bit field of the sizes' word.
uint64_t sizeField(size_t size, int field) {
    VW_ASSERT(size <= 0xffff);
    return static_cast<uint64_t>(size) << (16 * field);
}

template <typename Sink>
void walkState(Board& b, int64_t now, Sink& sink) {
    StateKey<Sink> key(sink, now);
    key.actor(b.getIll(), static_cast<uint64_t>(b.getIll().isCloaked) << 26);
    // The sizes of the lists, four to a word, then the stocks.
    uint64_t sizes = 0;
    int field = 0;
    b.forEachList([&](ObjectType, const auto& list) {
        sizes |= sizeField(list.size(), field);
        if (++field == 4) {
            key.sink.add(sizes);
            sizes = 0;
            field = 0;
        }
    });
    if (field > 0) key.sink.add(sizes);
    key.sink.add(static_cast<uint64_t>(b.getFoodUse() | b.getDeadBodyUse() << 8 | b.getCloakUse() << 16 |
                                       b.getFakeUse() << 24));
    b.forEachList([&](ObjectType, const auto& list) {
        for (const Actor& a : list) key.actor(a);
    });
}

}  // namespace

std::string boardStateKey(Board& b, int64_t now) {
    Bytes bytes;
    walkState(b, now, bytes);
    return std::move(bytes.bytes);
}

BoardStateHash boardStateHash(Board& b, int64_t now) {
    Hashed hashed;
    walkState(b, now, hashed);
    return hashed.done();
}

void delayBoardTimers(Board& b, int64_t ms) {
    if (b.getIll().callback) b.getIll().callback->delay(ms);
    b.forEachList([&](ObjectType, auto& list) {
        for (Actor& a : list)
            if (a.callback) a.callback->delay(ms);
    });
}
