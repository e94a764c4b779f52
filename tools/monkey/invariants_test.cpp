// invariants_test.cpp — each of the monkey's checks holds on a level as loaded and as
// played by the rules, and speaks up on a state that breaks what it protects.
#include "invariants.h"

#include <memory>

#include "levelScenario.h"

namespace {

// A 6 x 4 room: the player west, the exit east, a guard and a dog facing north on the
// south row, a commander facing west on the north row; stocks 2, 1, 1, 1.
const std::string ROOM = levelText({"#####E", "#.,..#", "#...~#", "######"}, {1, 1, FA_E},
                                   {{2, 2, FA_N}}, {{3, 2, FA_N}}, {{4, 1, FA_S}}, {2, 1, 1, 1});

// A check, a change to a board that breaks its rule, and what the check then says (a part of it).
struct BrokenRule {
    const char* name;
    std::function<void(Board&)> breakIt;
    std::function<std::string(Board&)> check;
    const char* says;
};

// A change that gives the first of a list's members (`list`, a Board getter) a timer that
// runs `action` a second on.
template <typename List>
std::function<void(Board&)> giveTimer(List& (Board::*list)(), TimerFunc action) {
    return [=](Board& b) { (b.*list)()[0].addCallback(TimedCallback(action, 1, false)); };
}

class MonkeyInvariants : public LevelScenario {
protected:
    // On each board `start()` gives, the rule's check holds, and once broken it says so.
    static void expectEachReported(const std::vector<BrokenRule>& rules, const std::function<Board&()>& start) {
        for (const BrokenRule& r : rules) {
            SCOPED_TRACE(r.name);
            Board& b = start();
            EXPECT_EQ(r.check(b), "") << "holds before it is broken";
            r.breakIt(b);
            EXPECT_NE(r.check(b).find(r.says), std::string::npos) << r.check(b);
        }
    }
    Board& room() {
        Board& b = play(ROOM);
        facts = readLevelFacts("assets/levels/level00.txt");
        return b;
    }
    // Every check that needs only the board.
    std::vector<std::string> allChecks(Board& b) {
        return {stocksWithinWhatTheLevelGave(b, facts), playerOnAnAcceptableSquare(b),
                everyLiveActorInsideTheBoard(b),        commandersNeverMove(b),
                enemiesShareSquaresOnlyAsTheRulesAllow(b), timersMatchTheirOwners(b),
                noTimerLeftDue(b),                      noDeadActorOutlivesItsTick(b),
                enemiesAwayFromHomeAreOnTheirWay(b),    levelWithinTheCampaign(levels)};
    }
    LevelFacts facts;
    int levels = 1;
};

TEST_F(MonkeyInvariants, FactsAreWhatTheFileGives) {
    room();
    const LevelFacts given{6, 4, 2, 1, 1, 1};  // width, height; food, dead body, cloak, fake
    EXPECT_EQ(facts, given);
}

// Played by the rules — food before the guard's eyes, a cloak, a fake dog, and time for the
// guard to walk up and home — every check holds after every tick.
TEST_F(MonkeyInvariants, HoldOnALevelPlayedByTheRules) {
    Board& b = room();
    for (const std::string& broken : allChecks(b)) EXPECT_EQ(broken, "");
    press("hk");   // food at (2, 1), before the guard's eyes, and the cloak
    Places before = placesNow(b);
    bool guardLeft = false;
    for (int t = 0; t < 400; ++t) {
        clock.advance(10);
        idle();
        for (const std::string& broken : allChecks(b)) ASSERT_EQ(broken, "") << "at " << t * 10 << " ms";
        ASSERT_EQ(enemiesStepAtMost(before, b, 1), "");
        ASSERT_EQ(playerMovesOnlyByItsKeys(before, b, 0), "");
        ASSERT_EQ(stocksOnlyFall(before, b), "");
        before = placesNow(b);
        guardLeft = guardLeft || !b.getGuards()[0].atOrigLoc();
    }
    EXPECT_TRUE(guardLeft);
    EXPECT_EQ(b.getFoodUse(), 1);
    EXPECT_TRUE(b.getGuards()[0].atOrigLoc()) << "the guard walked up to the food and home again";
}

TEST_F(MonkeyInvariants, EachSpeaksUpWhenItsRuleIsBroken) {
    const std::vector<BrokenRule> rules = {
        {"stock above what the level gave", [this](Board&) { facts.cloak = 0; },
         [this](Board& b) { return stocksWithinWhatTheLevelGave(b, facts); }, "cloak stock is 1"},
        {"player in the wall", [](Board& b) { b.getIll().x = 0; }, playerOnAnAcceptableSquare,
         "stands on tile 3"},
        {"player off the board", [](Board& b) { b.getIll().y = 4; }, playerOnAnAcceptableSquare,
         "off the board"},
        {"player on the exit with no win", [](Board& b) { b.getIll().x = 5, b.getIll().y = 0; },
         playerOnAnAcceptableSquare, "stands on tile 4"},
        {"dog off the board", [](Board& b) { b.getDogs()[0].y = -1; }, everyLiveActorInsideTheBoard,
         "dog 0 at (3, -1)"},
        {"commander turned", [](Board& b) { b.getSgs()[0].o = FA_N; }, commandersNeverMove,
         "commander 0"},
        // Only a commander that moved, which no rule does, can share the square of a
        // guard at home.
        {"commander on the square of a guard at home",
         [](Board& b) { b.getSgs()[0].x = 2, b.getSgs()[0].y = 2; },
         enemiesShareSquaresOnlyAsTheRulesAllow, "guard 0 at (2, 2) home (2, 2) and commander 0"},
        {"flag without its timer", [](Board& b) { b.getDogs()[0].approachFlag = true; },
         timersMatchTheirOwners, "dog 0"},
        {"two flags", [](Board& b) { b.getGuards()[0].fleeFlag = b.getGuards()[0].approachFlag = true; },
         timersMatchTheirOwners, "2 behaviour flags"},
        {"cloaked without a timer", [](Board& b) { b.getIll().isCloaked = true; },
         timersMatchTheirOwners, "cloaked with no timer"},
        {"commander holding a timer", giveTimer(&Board::getSgs, foodTimeout), timersMatchTheirOwners,
         "commander 0 at (4, 1) home (4, 1) holds a timer"},
        {"commander without a route holding a timer", giveTimer(&Board::getSgs, foodTimeout),
         commandersNeverMove, "commander 0 at (4, 1) home (4, 1) holds a timer"},
        {"timer left unpolled",
         [this](Board& b) {
             b.getIll().activateCloak();
             clock.advance(2000);
         },
         noTimerLeftDue, "the player holds a timer that is due"},
        {"dead guard left in its list", [](Board& b) { b.getGuards()[0].kill(); },
         noDeadActorOutlivesItsTick, "guard 0"},
        {"guard away with nothing pending", [](Board& b) { b.getGuards()[0].y = 1; },
         enemiesAwayFromHomeAreOnTheirWay, "guard 0 at (2, 1)"},
        {"level past the campaign", [this](Board&) { levels = 0; },
         [this](Board&) { return levelWithinTheCampaign(levels); }, "outside the campaign's 0 levels"},
    };
    expectEachReported(rules, [this]() -> Board& {
        levels = 1;
        return room();
    });
}

// The rules that hold of every list of actors and objects are checked on each of the five
// lists, each under its own name: breaking one member of any list is reported as that member.
TEST_F(MonkeyInvariants, EveryListRuleSpeaksUpForEachOfTheFiveLists) {
    struct Rule {
        const char* name;
        std::function<void(Actor&)> breakIt;
        std::function<std::string(Board&)> check;
        const char* says;
    };
    const Rule rules[] = {
        {"off the board", [](Actor& a) { a.x = -1; }, everyLiveActorInsideTheBoard, "is off the board"},
        {"dead and left in its list", [](Actor& a) { a.kill(); }, noDeadActorOutlivesItsTick,
         "is dead but still on the board"},
        {"holding a due timer",
         [this](Actor& a) {
             a.callback.reset();
             a.addCallback(TimedCallback(foodTimeout, 0.001f, false));
             clock.advance(10);
         },
         noTimerLeftDue, "holds a timer that is due"},
    };
    for (int kind = OB_ILL + 1; kind < OB_EMPTY; ++kind) {
        for (const Rule& rule : rules) {
            const std::string name = kindName(static_cast<ObjectType>(kind));
            SCOPED_TRACE(name + " " + rule.name);
            Board& b = room();
            press("hsj");   // food at (2, 1), a dead body at (1, 2)
            ASSERT_EQ(b.getFoods().size(), 1u);
            ASSERT_EQ(b.getDeadBodies().size(), 1u);
            EXPECT_EQ(rule.check(b), "") << "holds before it is broken";
            int lists = 0;
            b.forEachList([&](ObjectType k, auto& list) {
                if (k != kind) return;
                ++lists;
                ASSERT_FALSE(list.empty());
                rule.breakIt(list.front());
            });
            ASSERT_EQ(lists, 1) << "the board lists every kind once";
            const std::string said = rule.check(b);
            EXPECT_EQ(said.rfind(name + " 0 at", 0), 0u) << said;
            EXPECT_NE(said.find(rule.says), std::string::npos) << said;
        }
    }
}

// A placed object holds the expiry its own kind starts, in action, length, repeating and time
// left; one with any other timer is told apart, whichever kind it is.
TEST_F(MonkeyInvariants, APlacedObjectHoldsItsOwnKindsExpiry) {
    struct Wrong {
        const char* name;
        std::function<void(Actor&, const TimedCallback& own)> give;
        const char* says;
    };
    auto timer = [](TimerFunc f, float seconds, bool repeating) {
        return TimedCallback(f, seconds, repeating);
    };
    const Wrong wrongs[] = {
        {"a longer life",
         [&](Actor& a, const TimedCallback& own) {
             a.addCallback(timer(own.getFunc(), own.getTimeout() + 1, false));
         },
         "does not hold its expiry timer"},
        {"a repeating one",
         [&](Actor& a, const TimedCallback& own) {
             a.addCallback(timer(own.getFunc(), own.getTimeout(), true));
         },
         "does not hold its expiry timer"},
        {"another action",
         [&](Actor& a, const TimedCallback& own) {
             a.addCallback(timer(approachCallback, own.getTimeout(), false));
         },
         "does not hold its expiry timer"},
        {"set in the future",
         [&](Actor& a, const TimedCallback&) { a.callback->delay(250); },
         "expires 250 ms after a fresh one would"},
        {"none", [](Actor& a, const TimedCallback&) { a.callback.reset(); },
         "does not hold its expiry timer"},
    };
    for (const Wrong& wrong : wrongs) {
        Board& b = room();
        press("hsj");   // food at (2, 1), a dead body at (1, 2)
        b.forEachPlacedList([&](ObjectType kind, auto& list) {
            SCOPED_TRACE(std::string(kindName(kind)) + " with " + wrong.name);
            ASSERT_EQ(list.size(), 1u);
            EXPECT_EQ(timersMatchTheirOwners(b), "") << "holds before it is broken";
            auto saved = list.front();
            const auto fresh = saved;  // as placed: its own expiry
            wrong.give(list.front(), *fresh.callback);
            const std::string said = timersMatchTheirOwners(b);
            EXPECT_EQ(said.rfind(std::string(kindName(kind)) + " 0 at", 0), 0u) << said;
            EXPECT_NE(said.find(wrong.says), std::string::npos) << said;
            list.front() = saved;
        });
    }
}

TEST_F(MonkeyInvariants, SharingIsAllowedWhereTheRulesLeadEnemies) {
    Board& b = room();
    Dog& dog = b.getDogs()[0];
    dog.x = 2;   // walked onto the guard's square, as an approach may
    EXPECT_EQ(enemiesShareSquaresOnlyAsTheRulesAllow(b), "");
    dog.homeX = 2;   // or the level file put both there
    EXPECT_EQ(enemiesShareSquaresOnlyAsTheRulesAllow(b), "");
}

TEST_F(MonkeyInvariants, EnemiesWalkOneSquareATickAndAreMatchedPastTheErased) {
    Board& b = room();
    b.getGuards().emplace_back(1, 2, FA_N);
    Places before = placesNow(b);
    b.getGuards()[1].x = 2;
    EXPECT_EQ(enemiesStepAtMost(before, b, 1), "");
    EXPECT_NE(enemiesStepAtMost(before, b, 0).find("guard 1 went from (1, 2) to (2, 2)"), std::string::npos);
    // The first guard erased: the second is still matched to itself.
    b.getGuards().erase(b.getGuards().begin());
    EXPECT_EQ(enemiesStepAtMost(before, b, 1), "");
    b.getDogs()[0].y = 0;
    EXPECT_NE(enemiesStepAtMost(before, b, 1).find("dog 0 went from (3, 2) to (3, 0), 2 squares"),
              std::string::npos);
    b.getDogs().emplace_back(1, 1, FA_S);
    EXPECT_NE(enemiesStepAtMost(before, b, 3).find("dog 1 at (1, 1) was not on the board before"),
              std::string::npos);
}

TEST_F(MonkeyInvariants, ThePlayerMovesOneSquareByKeyAndStocksOnlyFall) {
    Board& b = room();
    Places before = placesNow(b);
    press("dh");   // one step east, and food spent
    EXPECT_EQ(playerMovesOnlyByItsKeys(before, b, 1), "");
    EXPECT_NE(playerMovesOnlyByItsKeys(before, b, 0).find("from (1, 1) to (2, 1)"), std::string::npos);
    EXPECT_EQ(stocksOnlyFall(before, b), "");
    b.getIll().x = 3, b.getIll().y = 2;
    EXPECT_NE(playerMovesOnlyByItsKeys(before, b, 1).find("to (3, 2) where 1 squares"), std::string::npos);
    Places spent = placesNow(b);
    Board& fresh = play(ROOM);   // a new board, whose stocks are full again
    EXPECT_NE(stocksOnlyFall(spent, fresh).find("food stock rose from 1 to 2"), std::string::npos);
}

// A guard walks row 2, a dog column 5 and a commander row 1, all out of the player's way;
// the player in the corner has one food to lure the guard off its route.
const std::string PATROLS = withRoutes(
    levelText({"#######", "#.#...#", "#.....#", "#######"}, {1, 1, FA_S}, {{2, 2, FA_E}}, {{5, 2, FA_N}},
              {{3, 1, FA_E}}, {1, 0, 0, 0}),
    "1,0,1,5,2, 2,0,1,5,1, 3,0,1,5,1,");

TEST_F(MonkeyInvariants, HoldWhilePatrolsWalkAndOneIsLuredAndResumes) {
    Board& b = play(PATROLS);
    facts = readLevelFacts("assets/levels/level00.txt");
    Places before = placesNow(b);
    bool lured = false, commanderWalked = false;
    for (int t = 0; t < 800; ++t) {
        if (t == 230) {
            press("h");  // food at (1, 2), at the west end of the guard's row
            before = placesNow(b);
        }
        clock.advance(10);
        idle();
        for (const std::string& broken : allChecks(b)) ASSERT_EQ(broken, "") << "at " << t * 10 << " ms";
        ASSERT_EQ(patrolsKeepToTheirRoutes(b), "") << "at " << t * 10 << " ms";
        ASSERT_EQ(enemiesStepAtMost(before, b, 1), "") << "at " << t * 10 << " ms";
        before = placesNow(b);
        lured = lured || b.getGuards()[0].isAt(1, 2);
        commanderWalked = commanderWalked || !b.getSgs()[0].isAt(3, 1);
    }
    EXPECT_TRUE(lured) << "the guard walked off its route to the food";
    EXPECT_TRUE(commanderWalked);
    EXPECT_FALSE(b.hasLost());
}

TEST_F(MonkeyInvariants, PatrolRulesSpeakUpWhenBroken) {
    const std::vector<BrokenRule> rules = {
        {"patrol home off its route", [](Board& b) { b.getGuards()[0].homeY = 1; }, patrolsKeepToTheirRoutes,
         "guard 0 at (2, 2) home (2, 1) has its home off its route"},
        {"patrol heading for a point it lacks", [](Board& b) { b.getDogs()[0].routeNext = 2; },
         patrolsKeepToTheirRoutes, "dog 0 at (5, 2) home (5, 2) walks towards turning point 2 of 2"},
        {"patrolling commander holding a lure's timer", giveTimer(&Board::getSgs, approachCallback),
         commandersNeverMove, "commander 0 at (3, 1) home (3, 1) holds a timer that is not its patrol's"},
        {"patrol holding a timer no flag accounts for", giveTimer(&Board::getGuards, fleeCallback),
         timersMatchTheirOwners, "guard 0 at (2, 2) home (2, 2) holds a timer no behaviour flag accounts for"},
    };
    expectEachReported(rules, [this]() -> Board& {
        Board& b = play(PATROLS);
        runFor(20);  // every patrol has taken up its walk
        return b;
    });
}

TEST(MonkeyFlowStep, ALossRestartsEvenWhenWonAndAWinMovesOn) {
    struct Case {
        FlowStep step;
        bool holds;
    } cases[] = {
        {{true, true, 3, 3, false}, true},    // lost and won: restarted
        {{true, true, 3, 4, false}, false},   // lost and won: advanced
        {{true, false, 3, 3, false}, true},
        {{false, true, 3, 4, false}, true},
        {{false, true, 3, 3, false}, false},  // won but stayed
        {{false, true, 9, 0, true}, true},    // the last level: back to 0 and the ending
        {{false, true, 9, 0, false}, false},
        {{false, true, 8, 0, true}, false},   // the ending before the last level
        {{false, false, 3, 3, false}, true},
        {{false, false, 3, 4, false}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.step.levelBefore) + (c.step.lost ? " lost" : "") +
                     (c.step.won ? " won" : "") + " -> " + std::to_string(c.step.levelAfter));
        EXPECT_EQ(winAndLoseNeverBothActedOn(c.step, 10).empty(), c.holds);
    }
}

}  // namespace
