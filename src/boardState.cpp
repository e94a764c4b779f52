// boardState.cpp — a board's state as comparable bytes, and shifting its timers in time.
#include "boardState.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

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

// The square, the home and the two facings are six ints in a row, each below 16 (a board is at
// most 12 squares a side), and the flags five bools in a row: read as three and one and a half
// words and laid side by side, they fill bits 0-4, 8-9, 12, 16-20, 28, 32-36, 40-43 and 48-49 of
// one word (on a little-endian machine; on any, each value has bits of its own), without a
// shift per field.
static_assert(std::is_standard_layout_v<Actor>);
static_assert(offsetof(Actor, y) == offsetof(Actor, x) + 4 && offsetof(Actor, o) == offsetof(Actor, x) + 8 &&
              offsetof(Actor, homeX) == offsetof(Actor, x) + 12 && offsetof(Actor, homeY) == offsetof(Actor, x) + 16 &&
              offsetof(Actor, homeO) == offsetof(Actor, x) + 20 && sizeof(Facing) == 4 && sizeof(int) == 4);
static_assert(offsetof(Actor, mirror) == offsetof(Actor, alive) + 1 &&
              offsetof(Actor, approachFlag) == offsetof(Actor, alive) + 2 &&
              offsetof(Actor, fleeFlag) == offsetof(Actor, alive) + 3 &&
              offsetof(Actor, returnOrigLocFlag) == offsetof(Actor, alive) + 4 && sizeof(bool) == 1);
static_assert(MAX_BOARD_WIDTH <= 16 && MAX_BOARD_HEIGHT <= 16);
inline uint64_t placeAndFlags(const Actor& a) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&a);
    uint64_t place[3];  // x | y << 32, o | homeX << 32, homeY | homeO << 32
    std::memcpy(place, bytes + offsetof(Actor, x), sizeof place);
    uint32_t flags;  // alive, mirror, approachFlag, fleeFlag: one byte each, 0 or 1
    std::memcpy(&flags, bytes + offsetof(Actor, alive), sizeof flags);
    return place[0] | place[1] << 8 | place[2] << 16 | static_cast<uint64_t>(flags) << 4 |
           static_cast<uint64_t>(a.returnOrigLocFlag) << 36;
}

// The state as 64-bit words, three per actor and a few for the board, in a fixed layout:
// which word says what follows from the list sizes alone, so two boards give equal words
// exactly when they are in the same state.
template <typename Sink>
class StateKey {
public:
    StateKey(Sink& sink, int64_t now) : sink(sink), now(now) {}

    // Square, home, facings and flags, where on its route a patrol is (the route itself never
    // changes), and the timer: its action and its start measured from now, or none. Always
    // inlined, so that the hash's lanes stay in registers through the walk.
    [[gnu::always_inline]] void actor(const Actor& a, bool cloaked = false) {
        const bool patrols = a.patrols();
        const uint64_t route = patrols ? static_cast<uint64_t>(static_cast<uint32_t>(a.routeNext)) << 32 : 0;
        const uint64_t where = placeAndFlags(a) | static_cast<uint64_t>(patrols) << 52 |
                               static_cast<uint64_t>(cloaked) << 53;
        if (const TimedCallback* t = a.callback.get())
            sink.add3(where, reinterpret_cast<uint64_t>(t->getFunc()),
                      static_cast<uint32_t>(static_cast<int>(t->getStartMs() - now) * 2 + t->isDead()) | route);
        else
            sink.add3(where, 0, route);  // no action is at address 0
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
[[gnu::always_inline]] inline void walkState(Board& b, int64_t now, Sink& sink) {
    StateKey<Sink> key(sink, now);
    key.actor(b.getIll(), b.getIll().isCloaked);
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
