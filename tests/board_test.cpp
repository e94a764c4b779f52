// Tests of the board's queries, the occupant search and the start-square and stock checks.
#include <gtest/gtest.h>

#include <algorithm>

#include <functional>
#include <map>
#include <random>
#include <string>

#include "board.h"
#include "boundsCheck.h"
#include "gameClock.h"
#include "frameStep.h"
#include "levelFiles.h"
#include "levelScenario.h"
#include "rewind.h"
#include "screenFlow.h"

namespace {

// 5 x 3. Element 7 of the grid, square (2, 1), is the only EXIT; (1, 2), which a
// transposed index would read, is WALL; (4, 2) is IN_FLOOR. Player at (0, 0) facing
// east; guards at (1, 0) and (3, 0); dogs at (3, 0) and (4, 0); SGs at (4, 0) and (4, 2).
const char* const ROOM =
    "5,3,\n"
    "0,0,0,0,0,\n"
    "1,0,4,2,0,\n"
    "0,3,2,0,2,\n"
    "999,0,0,2,999,\n"
    "1,0,1,3,0,1,999,\n"
    "3,0,1,4,0,1,999,\n"
    "4,0,3,4,2,0,999,\n"
    "2,3,4,5";

class BoardTest : public LevelDirTest {
protected:
    void SetUp() override {
        LevelDirTest::SetUp();
        clock.install();
        writeLevel(0, ROOM);
        initBoards();
        board = getCurrentBoard();
        ASSERT_NE(board, nullptr);
    }

    ManualClock clock;
    Board* board = nullptr;
    Actor* obj = nullptr;
};

using BoardDeathTest = BoardTest;

TEST_F(BoardTest, SizeAndBounds) {
    EXPECT_EQ(board->getWidth(), 5);
    EXPECT_EQ(board->getHeight(), 3);
    EXPECT_TRUE(board->inBounds(0, 0));
    EXPECT_TRUE(board->inBounds(4, 2));
    EXPECT_FALSE(board->inBounds(5, 0));
    EXPECT_FALSE(board->inBounds(0, 3));
    EXPECT_FALSE(board->inBounds(-1, 0));
    EXPECT_FALSE(board->inBounds(0, -1));
    EXPECT_TRUE(BoundsCheck::inBounds(4, 2));
    EXPECT_FALSE(BoundsCheck::inBounds(5, 2));
}

TEST_F(BoardTest, TileIsReadRowMajor) {
    EXPECT_EQ(board->getTile(2, 1), EXIT);
    EXPECT_EQ(board->getTile(1, 2), WALL);
    EXPECT_EQ(board->getTile(0, 1), WATER);
    EXPECT_EQ(board->getTile(3, 1), IN_FLOOR);
    EXPECT_EQ(board->getTile(board->getIll()), FLOOR);
    EXPECT_EQ(board->getTile(board->getSgs()[1]), IN_FLOOR);
}

// How far a look reaches from each square and facing: up to the edge or the first wall, and
// water, exit and floors do not stop it; on a level of every terrain, against a walk of the tiles.
TEST_F(BoardTest, SquaresBeforeWallFollowTheTerrain) {
    writeLevel(1, "6,4,\n"
                  "0,3,0,0,1,0,\n"
                  "2,0,4,3,0,0,\n"
                  "0,0,3,0,2,3,\n"
                  "3,1,0,0,0,0,\n"
                  "999,0,0,2,999,999,999,999,0,0,0,0");
    loadBoardAt(1);
    Board& b = *getCurrentBoard();
    int walls = 0;
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            for (Facing o : {FA_N, FA_S, FA_E, FA_W}) {
                int dx, dy;
                getDxAndDy(o, dx, dy);
                int n = 0;
                while (b.inBounds(x + (n + 1) * dx, y + (n + 1) * dy) && b.getTile(x + (n + 1) * dx, y + (n + 1) * dy) != WALL)
                    ++n;
                walls += b.inBounds(x + (n + 1) * dx, y + (n + 1) * dy);
                EXPECT_EQ(b.squaresBeforeWall(x, y, o), n) << "from (" << x << ", " << y << ") facing " << "NSEW"[o];
            }
    EXPECT_GT(walls, 10);  // many lines end at a wall, not the edge
    EXPECT_EQ(b.squaresBeforeWall(0, 0, FA_E), 0);
    EXPECT_EQ(b.squaresBeforeWall(2, 0, FA_E), 3);  // over the water
    EXPECT_EQ(b.squaresBeforeWall(1, 1, FA_S), 2);  // floor, water, then the edge
    EXPECT_EQ(b.squaresBeforeWall(3, 0, FA_S), 0);
}

TEST_F(BoardDeathTest, TileOffTheGridStops) {
    const char* message = "i >= 0 && i < width && j >= 0 && j < height";
    EXPECT_DEATH(board->getTile(5, 0), message);
    EXPECT_DEATH(board->getTile(0, 3), message);
    EXPECT_DEATH(board->getTile(-1, 0), message);
    EXPECT_DEATH(board->getTile(0, -1), message);
    Food stray(7, 7, FA_S);
    EXPECT_DEATH(board->getTile(stray), message);
}

TEST_F(BoardTest, OffBoardAndEmptySquaresAnswerEmptyWithNoActor) {
    obj = &board->getIll();
    EXPECT_EQ(board->getObject(-1, 0, obj), OB_EMPTY);
    EXPECT_EQ(obj, nullptr);
    obj = &board->getIll();
    EXPECT_EQ(board->getObject(5, 2, obj), OB_EMPTY);
    EXPECT_EQ(obj, nullptr);
    obj = &board->getIll();
    EXPECT_EQ(board->getObject(2, 2, obj), OB_EMPTY);
    EXPECT_EQ(obj, nullptr);
}

TEST_F(BoardTest, EachKindIsFoundWhereItStandsAlone) {
    EXPECT_EQ(board->getObject(0, 0, obj), OB_ILL);
    EXPECT_EQ(obj, &board->getIll());
    EXPECT_EQ(board->getObject(1, 0, obj), OB_GUARD);
    EXPECT_EQ(obj, &board->getGuards()[0]);
    EXPECT_EQ(board->getObject(4, 2, obj), OB_SG);
    EXPECT_EQ(obj, &board->getSgs()[1]);

    board->getDeadBodies().emplace_back(0, 2, FA_S);
    EXPECT_EQ(board->getObject(0, 2, obj), OB_DEADBODY);
    EXPECT_EQ(obj, &board->getDeadBodies()[0]);
    board->getFoods().emplace_back(3, 2, FA_S);
    EXPECT_EQ(board->getObject(3, 2, obj), OB_FOOD);
    EXPECT_EQ(obj, &board->getFoods()[0]);
}

TEST_F(BoardTest, EarlierKindsHideLaterOnesOnASharedSquare) {
    // Guard over dog, dog over SG.
    EXPECT_EQ(board->getObject(3, 0, obj), OB_GUARD);
    EXPECT_EQ(obj, &board->getGuards()[1]);
    EXPECT_EQ(board->getObject(4, 0, obj), OB_DOG);
    EXPECT_EQ(obj, &board->getDogs()[1]);

    // Player over guard.
    board->getGuards()[0].x = 0;
    EXPECT_EQ(board->getObject(0, 0, obj), OB_ILL);
    EXPECT_EQ(obj, &board->getIll());

    // SG over food, food over dead body (whichever was placed first).
    board->getDeadBodies().emplace_back(2, 2, FA_S);
    board->getFoods().emplace_back(2, 2, FA_S);
    EXPECT_EQ(board->getObject(2, 2, obj), OB_FOOD);
    EXPECT_EQ(obj, &board->getFoods()[0]);
    board->getFoods().emplace_back(4, 2, FA_S);
    EXPECT_EQ(board->getObject(4, 2, obj), OB_SG);
}

TEST_F(BoardTest, EarliestInAListWinsAndTheDeadAreStillFound) {
    board->getGuards()[1].x = 1;  // both guards on (1, 0)
    EXPECT_EQ(board->getObject(1, 0, obj), OB_GUARD);
    EXPECT_EQ(obj, &board->getGuards()[0]);

    board->getGuards()[0].kill();
    EXPECT_EQ(board->getObject(1, 0, obj), OB_GUARD);
    EXPECT_EQ(obj, &board->getGuards()[0]);

    // A cloaked player and a fake enemy are occupants like any other.
    board->getIll().activateCloak();
    EXPECT_EQ(board->getObject(0, 0, obj), OB_ILL);
    board->getSgs()[1].makeFakeIll();
    EXPECT_EQ(board->getObject(4, 2, obj), OB_SG);
}

TEST_F(BoardDeathTest, StartSquareMustBeFloorWithARealFacing) {
    auto check = [this](int x, int y, int o) {
        sendStdoutToStderr();
        checkBounds(x, y, static_cast<Facing>(o), board);
    };
    const auto status1 = testing::ExitedWithCode(1);
    EXPECT_EXIT(check(1, 0, 4), status1, "^character not standing on an OK tile: \\(1, 0\\)\n$");
    EXPECT_EXIT(check(0, 1, 0), status1, "^character not standing on an OK tile: \\(0, 1\\)\n$");
    EXPECT_EXIT(check(1, 2, 1), status1, "^character not standing on an OK tile: \\(1, 2\\)\n$");
    EXPECT_EXIT(check(2, 1, 2), status1, "^character not standing on an OK tile: \\(2, 1\\)\n$");
    EXPECT_DEATH(check(5, 0, 0), "i >= 0 && i < width && j >= 0 && j < height");
}

// Returning normally is the behaviour under test: the child reaches its own exit.
TEST_F(BoardDeathTest, StartOnEitherFloorWithAnyFacingIsAccepted) {
    auto checkAll = [this] {
        for (int o = FA_N; o <= FA_W; o++) {
            checkBounds(3, 1, static_cast<Facing>(o), board);  // IN_FLOOR
            checkBounds(4, 1, static_cast<Facing>(o), board);  // FLOOR
        }
        checkBoundsPower(0);
        checkBoundsPower(99);
        std::fputs("all accepted\n", stderr);
        std::exit(7);
    };
    EXPECT_EXIT(checkAll(), testing::ExitedWithCode(7), "^all accepted\n$");
}

TEST_F(BoardDeathTest, PowerCountsOutsideTheStockRangeExitWithStatus1) {
    EXPECT_EXIT((sendStdoutToStderr(), checkBoundsPower(100)), testing::ExitedWithCode(1),
                "^power usage out of bounds: 100\n$");
    EXPECT_EXIT((sendStdoutToStderr(), checkBoundsPower(-1)), testing::ExitedWithCode(1),
                "^power usage out of bounds: -1\n$");
}

}  // namespace

namespace {

// A copy is a saved state: it shares nothing with the board it was taken from, its timers
// keep their deadlines, and assigning it back puts the board where it was.
TEST_F(BoardTest, ACopyIsASavedStateWithTimersOfItsOwn) {
    board->useCloak();
    Board saved = *board;
    ASSERT_NE(saved.getIll().callback, nullptr);
    EXPECT_NE(saved.getIll().callback.get(), board->getIll().callback.get());
    EXPECT_EQ(saved.getIll().callback->getStartMs(), board->getIll().callback->getStartMs());

    saved.getGuards()[0].x = 2;
    EXPECT_EQ(board->getGuards()[0].x, 1);
    saved.getGuards()[0].x = 1;

    clock.advance(2500);
    board->getIll().invokeCallback();
    EXPECT_FALSE(board->getIll().isCloaked);
    EXPECT_EQ(board->getIll().callback, nullptr);
    EXPECT_TRUE(saved.getIll().isCloaked);

    *board = saved;
    EXPECT_TRUE(board->getIll().isCloaked);
    EXPECT_EQ(board->getCloakUse(), 3);
    board->getIll().invokeCallback();  // the saved deadline has passed
    EXPECT_FALSE(board->getIll().isCloaked);
    EXPECT_TRUE(saved.getIll().isCloaked);
}

// The walks in their orders: enemies then placed where getObject looks, placed then enemies
// where they are painted; each list the board's own.
TEST_F(BoardTest, EachWalkVisitsItsListsInItsOrder) {
    struct Walk {
        const char* name;
        std::function<void(std::function<void(ObjectType, const void*)>)> run;
        std::vector<ObjectType> order;
    };
    const Walk walks[] = {
        {"search", [this](auto see) { board->forEachList([&](ObjectType k, auto& l) { see(k, &l); }); },
         {OB_GUARD, OB_DOG, OB_SG, OB_FOOD, OB_DEADBODY}},
        {"paint",
         [this](auto see) { board->forEachListInPaintOrder([&](ObjectType k, auto& l) { see(k, &l); }); },
         {OB_FOOD, OB_DEADBODY, OB_GUARD, OB_DOG, OB_SG}},
        {"enemies", [this](auto see) { board->forEachEnemyList([&](ObjectType k, auto& l) { see(k, &l); }); },
         {OB_GUARD, OB_DOG, OB_SG}},
        {"placed", [this](auto see) { board->forEachPlacedList([&](ObjectType k, auto& l) { see(k, &l); }); },
         {OB_FOOD, OB_DEADBODY}},
    };
    const std::map<ObjectType, const void*> own = {
        {OB_GUARD, &board->getGuards()}, {OB_DOG, &board->getDogs()}, {OB_SG, &board->getSgs()},
        {OB_FOOD, &board->getFoods()},   {OB_DEADBODY, &board->getDeadBodies()}};
    for (const Walk& walk : walks) {
        SCOPED_TRACE(walk.name);
        std::vector<ObjectType> seen;
        walk.run([&](ObjectType kind, const void* list) {
            seen.push_back(kind);
            EXPECT_EQ(list, own.at(kind)) << kindName(kind);
        });
        EXPECT_EQ(seen, walk.order);
    }
}

// isEnemy answers yes for exactly the kinds the enemy walk visits.
TEST_F(BoardTest, TheEnemyKindsAreTheEnemyWalksKinds) {
    std::vector<ObjectType> walked;
    board->forEachEnemyList([&](ObjectType kind, const auto&) { walked.push_back(kind); });
    for (int k = OB_ILL; k <= OB_EMPTY; ++k) {
        const auto kind = static_cast<ObjectType>(k);
        EXPECT_EQ(isEnemy(kind), std::find(walked.begin(), walked.end(), kind) != walked.end()) << kindName(kind);
    }
}

// A visit that answers true ends the walk there; one that answers false lets it go on.
TEST_F(BoardTest, AVisitThatAnswersTrueEndsTheWalk) {
    std::vector<ObjectType> seen;
    EXPECT_TRUE(board->forEachList([&](ObjectType kind, const auto&) {
        seen.push_back(kind);
        return kind == OB_SG;
    }));
    EXPECT_EQ(seen, (std::vector<ObjectType>{OB_GUARD, OB_DOG, OB_SG}));
    seen.clear();
    EXPECT_FALSE(board->forEachListInPaintOrder([&](ObjectType kind, const auto&) {
        seen.push_back(kind);
        return false;
    }));
    EXPECT_EQ(seen.size(), 5u);
}

// An occupant put in a list through the walk is found by getObject as the walk's kind.
TEST_F(BoardTest, TheWalksKindIsTheKindGetObjectFinds) {
    board->forEachList([&](ObjectType kind, auto& list) {
        list.emplace_back(2, 2, FA_S);
        EXPECT_EQ(board->getObject(2, 2, obj), kind) << kindName(kind);
        EXPECT_EQ(obj, &list.back());
        list.pop_back();
    });
}

// The picture the frame loop compares lists the actors as the window paints them: placed
// objects, then enemies, the player last, so that nothing covers the player.
TEST_F(BoardTest, ThePictureListsActorsInPaintOrder) {
    board->getFoods().emplace_back(2, 2, FA_S);
    board->getDeadBodies().emplace_back(0, 2, FA_S);
    std::vector<int> expected;
    auto add = [&](const auto& list) {
        for (const auto& a : list) expected.insert(expected.end(), {a.getTile(), a.x, a.y});
    };
    add(board->getFoods());
    add(board->getDeadBodies());
    add(board->getGuards());
    add(board->getDogs());
    add(board->getSgs());
    add(std::vector<Ill>{board->getIll()});
    gotoMainGame();
    EXPECT_EQ(currentPicture().actors, expected);
}

}  // namespace

namespace {

// Where occupantsAlong and getObject disagree on `b`, over every square and facing ("" if
// nowhere): the first square, facing and step ahead, and what each reports there.
std::string lineDisagreement(Board& b) {
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            for (Facing o : {FA_N, FA_S, FA_E, FA_W}) {
                LineOccupants line;
                b.occupantsAlong(x, y, o, MAX_LINE, line);
                int dx, dy;
                getDxAndDy(o, dx, dy);
                for (int k = 1; k <= MAX_LINE; ++k) {
                    Actor* actor = nullptr;
                    const ObjectType kind = b.getObject(x + k * dx, y + k * dy, actor);
                    const Occupant& seen = line[static_cast<size_t>(k - 1)];
                    if (seen.kind != kind || seen.actor != actor)
                        return "from (" + std::to_string(x) + ", " + std::to_string(y) + ") facing " + "NSEW"[o] +
                               ", " + std::to_string(k) + " ahead: " + kindName(seen.kind) + " for " + kindName(kind);
                }
            }
    return "";
}

using OccupantsAlong = LevelScenario;

// The line a look scans is read in one pass; it must report on every square what getObject
// reports, whatever happened on the board: placing food, a body and a fake, the fake shot,
// food and bodies running out, enemies walking, luring and going home, the player caught and
// the level started again, and keys taken back.
TEST_F(OccupantsAlong, EveryLineAgreesWithGetObjectThroughRandomPlay) {
    // The guard beside the player, once a fake, is shot by the one at the east end of the row,
    // who then sees the player.
    const std::string hall = levelText({"..........", ".#..~.....", "..........", "....#...E.", ".........."},
                                       {0, 4, FA_E}, {{1, 4, FA_N}, {9, 4, FA_W}, {2, 0, FA_S}}, {{6, 2, FA_N}},
                                       {{5, 0, FA_W}}, {5, 5, 3, 5});
    std::mt19937 rng(7);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char* const keys = "wasdwasdwasdhjklhjluu";
    int placed = 0, shot = 0, rewound = 0, sharedSquares = 0;
    for (int run = 0; run < 3; ++run) {
        Board* b = &play(hall);
        beginTry();
        for (int press = 0; press < 40; ++press) {
            const char key = press == 0 ? 'l' : keys[pick(0, 20)];
            const size_t onBoard = b->getFoods().size() + b->getDeadBodies().size();
            const size_t kept = keysToTakeBack();
            keyboard(static_cast<unsigned char>(key), 0, 0);
            b = &board();
            placed += b->getFoods().size() + b->getDeadBodies().size() > onBoard;
            rewound += key == 'u' && keysToTakeBack() < kept;
            ASSERT_EQ(lineDisagreement(*b), "") << "after key " << press << " '" << key << "' of run " << run;
            for (int ms = pick(1, 30) * 20; ms > 0; ms -= 20) {
                size_t enemies = b->getGuards().size() + b->getDogs().size() + b->getSgs().size();
                clock.advance(20);
                frameStep();
                b = &board();
                shot += b->getGuards().size() + b->getDogs().size() + b->getSgs().size() < enemies;
                ASSERT_EQ(lineDisagreement(*b), "") << "after key " << press << " of run " << run;
                Actor* actor = nullptr;
                b->forEachList([&](ObjectType, auto& list) {
                    for (auto& a : list)
                        if (b->getObject(a.x, a.y, actor) != OB_EMPTY && actor != &a) ++sharedSquares;
                });
            }
        }
    }
    // The play went through what the line must follow.
    EXPECT_GT(placed, 3);
    EXPECT_GT(shot, 0);
    EXPECT_GT(rewound, 3);
    EXPECT_GT(sharedSquares, 0);
}

}  // namespace
