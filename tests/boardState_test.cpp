// boardState_test.cpp — the board's state key tells apart any two boards that differ in one
// occupant of any kind, and moving the timers keeps their time left; both over every kind
// the board's walk knows.
#include "boardState.h"

#include <set>

#include "levelScenario.h"

namespace {

// 6 x 4, open floor: the player at (0, 3); one guard, one dog and one commander on row 0.
const std::string HALL = levelText({"......", "......", "......", ".....E"}, {0, 3, FA_N},
                                   {{1, 0, FA_S}}, {{2, 0, FA_S}}, {{3, 0, FA_S}});

// Every kind of occupant a list holds: all ObjectType values but the player and "empty".
std::vector<ObjectType> listedKinds() {
    std::vector<ObjectType> kinds;
    for (int k = OB_ILL + 1; k < OB_EMPTY; ++k) kinds.push_back(static_cast<ObjectType>(k));
    return kinds;
}

// Applies `change` to the first actor of `kind`'s list, after appending one at (x, y) when
// the list is empty.
template <typename Change>
void changeOne(Board& b, ObjectType kind, Change change, int x = 4, int y = 1) {
    b.forEachList([&](ObjectType k, auto& list) {
        if (k != kind) return;
        if (list.empty()) list.emplace_back(x, y, FA_S);
        change(list.front());
    });
}

class BoardStateKey : public LevelScenario {
protected:
    // The key, and a check that its hash follows it: equal keys, equal hashes; every key
    // seen in a test with a hash of its own.
    std::string key(Board& b) {
        const std::string k = boardStateKey(b, clock.now());
        const BoardStateHash h = boardStateHash(b, clock.now());
        for (const auto& [otherKey, otherHash] : hashes)
            EXPECT_EQ(otherKey == k, otherHash == h) << "the hash does not follow the key";
        hashes.emplace_back(k, h);
        return k;
    }
    std::vector<std::pair<std::string, BoardStateHash>> hashes;
};

// The walk is what the key is made of, so it must hand over every kind once: a kind added to
// the enum but not to the walk fails here.
TEST_F(BoardStateKey, TheWalkHandsOverEveryKindOnce) {
    Board& b = play(HALL);
    std::multiset<int> seen;
    b.forEachList([&](ObjectType kind, const auto&) { seen.insert(kind); });
    for (ObjectType kind : listedKinds()) EXPECT_EQ(seen.count(kind), 1u) << kindName(kind);
    EXPECT_EQ(seen.size(), listedKinds().size());
}

// Two boards alike but for one occupant of one kind give different keys, whatever the
// kind and whatever about the occupant differs.
TEST_F(BoardStateKey, OneOccupantOfAnyKindChangesTheKey) {
    struct Difference {
        const char* name;
        std::function<void(Actor&)> apply;
    };
    const Difference differences[] = {
        {"one square east", [](Actor& a) { ++a.x; }},
        {"turned", [](Actor& a) { a.o = a.o == FA_N ? FA_E : FA_N; }},
        {"home elsewhere", [](Actor& a) { ++a.homeY; }},
        {"dead", [](Actor& a) { a.kill(); }},
        {"a fake", [](Actor& a) { a.makeFakeIll(); }},
        {"approaching", [](Actor& a) { a.approachFlag = !a.approachFlag; }},
        {"a timer of another action",
         [](Actor& a) { a.addCallback(TimedCallback(approachCallback, 1, false)); }},
        {"no timer", [](Actor& a) { a.callback.reset(); }},
        {"a timer set later", [this](Actor& a) {
             clock.advance(100);
             a.addCallback(TimedCallback(fleeCallback, 1, false));
             clock.advance(-100);
         }},
    };
    for (ObjectType kind : listedKinds()) {
        for (const Difference& d : differences) {
            SCOPED_TRACE(std::string(kindName(kind)) + ": " + d.name);
            Board& b = play(HALL);
            // Both boards hold one of the kind with a timer; `d` changes it on one of them.
            changeOne(b, kind, [](Actor& a) {
                a.addCallback(TimedCallback(fleeCallback, 1, false));
            });
            Board other = b;
            EXPECT_EQ(key(b), key(other)) << "a copy has the same key";
            changeOne(b, kind, d.apply);
            EXPECT_NE(key(b), key(other));
        }
    }
}

// One more occupant of any kind is another board, and so is the same occupant in another
// kind's list.
TEST_F(BoardStateKey, OneMoreOfAKindAndItsKindArePartOfTheKey) {
    std::set<std::string> keys = {key(play(HALL))};
    for (ObjectType kind : listedKinds()) {
        Board& b = play(HALL);
        b.forEachList([&](ObjectType k, auto& list) {
            if (k == kind) list.emplace_back(5, 1, FA_S);
        });
        EXPECT_TRUE(keys.insert(key(b)).second) << kindName(kind);
    }
}

// Timers of every kind keep their time left when moved later with the clock; a timer
// left behind would show in the key.
TEST_F(BoardStateKey, DelayedTimersOfEveryKindKeepTheirTimeLeft) {
    for (ObjectType kind : listedKinds()) {
        SCOPED_TRACE(kindName(kind));
        Board& b = play(HALL);
        changeOne(b, kind, [](Actor& a) {
            a.addCallback(TimedCallback(approachCallback, 1, false));
        });
        const std::string before = key(b);
        clock.advance(300);
        EXPECT_NE(key(b), before) << "time has run down on the timer";
        delayBoardTimers(b, 300);
        EXPECT_EQ(key(b), before);
    }
}

}  // namespace

// What tells two boards apart may sit in different actors: two guards that trade their timers,
// their squares or their flags are another board, and so are two timers that trade actions with
// their starts; each time the hash follows the key.
TEST_F(BoardStateKey, ActorsTradingWhatTheyHoldChangeTheKey) {
    struct Trade {
        const char* name;
        std::function<void(Guard&, Guard&)> give;  // sets up the first and the second guard
    };
    const Trade trades[] = {
        {"a timer", [](Guard& a, Guard&) { a.addCallback(TimedCallback(approachCallback, 1, false)); }},
        {"a square", [](Guard& a, Guard&) { a.x = a.homeX = 4; }},
        {"a flag", [](Guard& a, Guard&) { a.approachFlag = true; }},
        {"an action",
         [](Guard& a, Guard& b) {
             a.addCallback(TimedCallback(approachCallback, 1, false));
             b.addCallback(TimedCallback(fleeCallback, 1, false));
         }},
        {"a start",
         [this](Guard& a, Guard& b) {
             a.addCallback(TimedCallback(approachCallback, 1, false));
             clock.advance(100);
             b.addCallback(TimedCallback(approachCallback, 1, false));
             clock.advance(-100);
         }},
    };
    for (const Trade& t : trades) {
        SCOPED_TRACE(t.name);
        Board& b = play(HALL);
        b.getGuards().emplace_back(5, 0, FA_S);
        Board traded = b;
        t.give(b.getGuards()[0], b.getGuards()[1]);
        t.give(traded.getGuards()[1], traded.getGuards()[0]);
        EXPECT_NE(key(b), key(traded));
    }
}
