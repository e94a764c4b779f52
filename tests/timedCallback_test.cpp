// Tests of the polled timers in simulated time: one-shot, repeating, killed and replaced.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "actor/actor.h"
#include "gameClock.h"
#include "timedCallback.h"

namespace {

// Each firing moves the actor one column east, so the column counts the firings.
void stepEast(Actor* a) { a->x += 1; }
void stepSouth(Actor* a) { a->y += 1; }
void stepEastAndStop(Actor* a) {
    a->x += 1;
    a->callback->kill();
}

class Timers : public ::testing::Test {
protected:
    void SetUp() override { clock.install(); }

    // Moves the clock to `ms` and polls the actor's timer there.
    void pollAt(Actor& a, int64_t ms) {
        clock.advance(ms - clock.now());
        a.invokeCallback();
    }
    // Gives the actor a new half-second timer.
    void start(TimerFunc action, bool repeating) {
        actor.addCallback(TimedCallback(action, 0.5f, repeating));
    }
    // Polls at each `ms` in turn, checking after each the firings so far (the column) and
    // whether the actor still holds a timer.
    struct Poll {
        int64_t ms;
        int firings;
        bool holdsTimer;
    };
    void expectPolls(std::initializer_list<Poll> polls) {
        for (const Poll& p : polls) {
            pollAt(actor, p.ms);
            EXPECT_EQ(actor.x, p.firings) << "polled at " << p.ms;
            EXPECT_EQ(actor.callback != nullptr, p.holdsTimer) << "polled at " << p.ms;
        }
    }

    ManualClock clock{10000};  // timers must not depend on starting at zero
    Actor actor{0, 0, FA_N};
};

TEST_F(Timers, OneShotFiresOnceAtTheFirstPollOnOrAfterItsDeadline) {
    start(stepEast, false);
    expectPolls({{10000, 0, true}, {10499, 0, true}, {10500, 1, false}, {12000, 1, false}});
}

// Fired late at 11200, the next interval runs from there: lateness is not made up. A poll
// long after the deadline fires once, not once per missed interval.
TEST_F(Timers, RepeatingTimerMeasuresEachIntervalFromItsLastFiring) {
    start(stepEast, true);
    expectPolls({{10500, 1, true}, {11200, 2, true}, {11500, 2, true}, {11699, 2, true},
                 {11700, 3, true}, {20000, 4, true}});
}

// Due exactly when the next poll would fire it: a repeating timer is due again one
// interval after each firing, a one-shot never after its firing, a killed one never.
TEST_F(Timers, DueExactlyWhenThePollWouldFire) {
    start(stepEast, true);
    clock.advance(499);
    EXPECT_FALSE(actor.callback->isDue());
    clock.advance(1);
    EXPECT_TRUE(actor.callback->isDue());
    actor.invokeCallback();
    EXPECT_EQ(actor.x, 1);
    EXPECT_FALSE(actor.callback->isDue());
    clock.advance(700);
    EXPECT_TRUE(actor.callback->isDue());
    actor.callback->kill();
    EXPECT_FALSE(actor.callback->isDue());

    Actor once{0, 0, FA_N};
    once.addCallback(TimedCallback(stepEast, 0.5f, false));
    TimedCallback* timer = once.callback.get();
    clock.advance(500);
    EXPECT_TRUE(timer->isDue());
    timer->poll(&once);
    EXPECT_EQ(once.x, 1);
    EXPECT_FALSE(timer->isDue());
}

TEST_F(Timers, KilledTimerNeverFiresAndIsDroppedAtTheNextPoll) {
    start(stepEast, true);
    actor.callback->kill();
    EXPECT_TRUE(actor.callback->isDead());
    ASSERT_NE(actor.callback, nullptr);
    expectPolls({{11000, 0, false}});
}

TEST_F(Timers, RepeatingTimerKilledByItsOwnActionIsDroppedAtOnce) {
    start(stepEastAndStop, true);
    expectPolls({{10500, 1, false}});
}

TEST_F(Timers, ReplacedTimerNeverFires) {
    start(stepEast, false);
    clock.advance(400);
    start(stepSouth, false);
    // The first timer's deadline passes: nothing. The second's runs from its own creation.
    pollAt(actor, 10600);
    EXPECT_EQ(actor.x, 0);
    EXPECT_EQ(actor.y, 0);
    pollAt(actor, 10900);
    EXPECT_EQ(actor.x, 0);
    EXPECT_EQ(actor.y, 1);
}

// Timers belong to exactly one actor: moving actors around (as a list does when it
// grows or erases) must neither lose a timer nor leave two actors polling one.
TEST_F(Timers, TimerTravelsWithItsActorThroughAGrowingList) {
    std::vector<Actor> actors;
    for (int i = 0; i < 20; i++) {
        Actor a(0, i, FA_N);
        a.addCallback(TimedCallback(stepEast, 0.5f, false));
        actors.push_back(std::move(a));
        EXPECT_EQ(a.callback, nullptr);
    }
    actors.erase(actors.begin() + 3);
    pollAt(actors[0], 10500);
    for (Actor& a : actors) a.invokeCallback();
    for (const Actor& a : actors) {
        EXPECT_EQ(a.x, 1) << "actor from row " << a.y;
        EXPECT_EQ(a.callback, nullptr);
    }
}

}  // namespace
