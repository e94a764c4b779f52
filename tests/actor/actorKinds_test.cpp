// Tests of the six actor kinds: their tiles, the cloak, and the lifetimes of placed objects.
#include <gtest/gtest.h>

#include <vector>

#include "actor/deadBody.h"
#include "actor/dog.h"
#include "actor/food.h"
#include "actor/guard.h"
#include "actor/ill.h"
#include "actor/sg.h"
#include "gameClock.h"

namespace {

class ActorKinds : public ::testing::Test {
protected:
    void SetUp() override { clock.install(); }

    // Moves the clock to `ms` (since the test began) and polls `a` there.
    template <typename Kind>
    void pollAt(Kind& a, int64_t ms) {
        clock.advance(ms - clock.now());
        a.invokeCallback();
    }

    ManualClock clock;
};

TEST_F(ActorKinds, EnemyTilesFollowFacingAndTheFake) {
    Guard g(0, 0, FA_E);
    Dog d(0, 0, FA_N);
    SG s(0, 0, FA_W);
    EXPECT_EQ(g.getTile(), GUARD_E);
    EXPECT_EQ(d.getTile(), DOG_N);
    EXPECT_EQ(s.getTile(), SG_W);
    g.makeFakeIll();
    d.makeFakeIll();
    s.makeFakeIll();
    EXPECT_EQ(g.getTile(), FAKE_GUARD_E);
    EXPECT_EQ(d.getTile(), FAKE_DOG_N);
    EXPECT_EQ(s.getTile(), FAKE_SG_W);
}

TEST_F(ActorKinds, PlacedObjectsLookTheSameWhateverTheirFacing) {
    EXPECT_EQ(Food(0, 0, FA_N).getTile(), FOOD);
    EXPECT_EQ(Food(0, 0, FA_W).getTile(), FOOD);
    EXPECT_EQ(DeadBody(0, 0, FA_E).getTile(), DEAD_BODY);
    EXPECT_EQ(DeadBody(0, 0, FA_S).timer, 8);
}

TEST_F(ActorKinds, CloakChangesThePlayersTileUntilItEnds) {
    Ill ill(0, 0, FA_W);
    EXPECT_EQ(ill.getTile(), ILL_W);
    EXPECT_TRUE(ill.isKillable());
    ill.activateCloak();
    EXPECT_EQ(ill.getTile(), CLOAK_W);
    EXPECT_EQ(ill.getTile(), 205);
    EXPECT_FALSE(ill.isKillable());
    ill.o = FA_N;
    EXPECT_EQ(ill.getTile(), CLOAK_N);
    pollAt(ill, 1999);
    EXPECT_TRUE(ill.isCloaked);
    pollAt(ill, 2000);
    EXPECT_FALSE(ill.isCloaked);
    EXPECT_EQ(ill.getTile(), ILL_N);
    EXPECT_EQ(ill.callback, nullptr);
}

TEST_F(ActorKinds, RenewedCloakLastsFromTheLatestUse) {
    Ill ill(0, 0, FA_S);
    ill.activateCloak();
    pollAt(ill, 1000);
    ill.activateCloak();
    pollAt(ill, 2000);
    pollAt(ill, 2999);
    EXPECT_TRUE(ill.isCloaked);
    pollAt(ill, 3000);
    EXPECT_FALSE(ill.isCloaked);
}

TEST_F(ActorKinds, PlacedObjectsDieTwoSecondsAfterPlacing) {
    clock.advance(250);
    std::vector<Food> foods;
    std::vector<DeadBody> bodies;
    foods.emplace_back(1, 1, FA_S);
    bodies.emplace_back(2, 2, FA_S);
    // More placements make the lists reallocate; the first timers must survive it.
    for (int i = 0; i < 8; i++) {
        foods.emplace_back(i, 0, FA_S);
        bodies.emplace_back(i, 0, FA_S);
    }
    for (int64_t t : {1000, 2249}) {
        clock.advance(t - clock.now());
        for (Food& f : foods) f.invokeCallback();
        for (DeadBody& b : bodies) b.invokeCallback();
        EXPECT_FALSE(foods[0].isDead());
        EXPECT_FALSE(bodies[0].isDead());
    }
    clock.advance(1);
    for (Food& f : foods) f.invokeCallback();
    for (DeadBody& b : bodies) b.invokeCallback();
    for (const Food& f : foods) EXPECT_TRUE(f.isDead());
    for (const DeadBody& b : bodies) EXPECT_TRUE(b.isDead());
    EXPECT_EQ(foods[0].callback, nullptr);
    EXPECT_EQ(bodies[0].callback, nullptr);
}

}  // namespace
