// Tests of the level file loader: lexical rules, sections, and every way a file is refused.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <utility>

#include "board.h"
#include "gameClock.h"
#include "levelFiles.h"

namespace {

// 4 x 3: IN_FLOOR at (1, 0), WATER at (2, 0), WALL at (2, 1), EXIT at (1, 2).
const std::string GRID =
    "4,3,\n"
    "0,2,1,0,\n"
    "0,0,3,0,\n"
    "0,4,0,0,\n"
    "999,\n";

// The grid above, the player at (0, 0) facing south, and `rest` after the player's 999.
std::string withPlayer(const std::string& rest) { return GRID + "0,0,1,\n999,\n" + rest; }

class LevelLoader : public LevelDirTest {
protected:
    // Loads `text` as a board, as the level sequence would.
    Board* load(const std::string& text) {
        writeLevel(0, text);
        loadInitialBoard();
        return getCurrentBoard();
    }

    // The same in a death test's child, where the loader's messages on standard output
    // must reach standard error to be matched.
    void loadReporting(const std::string& text) {
        sendStdoutToStderr();
        load(text);
    }

    ManualClock clock;
    void SetUp() override {
        LevelDirTest::SetUp();
        clock.install();
    }
};

using LevelLoaderDeathTest = LevelLoader;

// The whole report of a load that stops: the line that locates the value, then `message`.
std::string located(const std::string& message) {
    return "^assets/levels/level00.txt:[0-9]+:[0-9]+: expected [^\n]+; found [^\n]+\n" + message + "\n$";
}

TEST_F(LevelLoader, ReadsTheExampleRoom) {
    Board* b = load(EXAMPLE_LEVEL);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->getWidth(), 5);
    EXPECT_EQ(b->getHeight(), 4);
    EXPECT_EQ(b->getTile(3, 1), EXIT);
    EXPECT_EQ(b->getTile(3, 2), WATER);
    EXPECT_EQ(b->getTile(2, 2), IN_FLOOR);
    EXPECT_EQ(b->getTile(0, 3), WALL);

    Ill& ill = b->getIll();
    EXPECT_EQ(ill.x, 1);
    EXPECT_EQ(ill.y, 1);
    EXPECT_EQ(ill.o, FA_E);
    EXPECT_TRUE(ill.atOrigLoc());
    EXPECT_FALSE(ill.isCloaked);
    EXPECT_FALSE(ill.isDead());
    EXPECT_EQ(ill.callback, nullptr);

    ASSERT_EQ(b->getGuards().size(), 1u);
    EXPECT_TRUE(b->getGuards()[0].isAt(2, 2));
    EXPECT_EQ(b->getGuards()[0].o, FA_N);
    EXPECT_TRUE(b->getDogs().empty());
    EXPECT_TRUE(b->getSgs().empty());
    EXPECT_TRUE(b->getFoods().empty());
    EXPECT_TRUE(b->getDeadBodies().empty());

    EXPECT_EQ(b->getFoodUse(), 1);
    EXPECT_EQ(b->getDeadBodyUse(), 1);
    EXPECT_EQ(b->getCloakUse(), 1);
    EXPECT_EQ(b->getFakeUse(), 0);
}

TEST_F(LevelLoader, SmallestAndLargestBoards) {
    Board* b = load("1,1,0,999,0,0,1,999,999,999,999,0,0,0,0");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->getWidth(), 1);
    EXPECT_EQ(b->getHeight(), 1);
    EXPECT_EQ(b->getIll().o, FA_S);

    std::string big = "12,12,\n";
    for (int j = 0; j < 12; j++) {
        for (int i = 0; i < 12; i++) big += (i == 11 && j == 11) ? "4," : "2,";
        big += "\n";
    }
    big += "999,11,0,3,999,0,11,0,999,999,999,0,0,0,0";
    b = load(big);
    EXPECT_EQ(b->getWidth(), 12);
    EXPECT_EQ(b->getHeight(), 12);
    EXPECT_EQ(b->getTile(11, 11), EXIT);
    EXPECT_EQ(b->getTile(10, 11), IN_FLOOR);
    EXPECT_TRUE(b->getIll().isAt(11, 0));
    ASSERT_EQ(b->getGuards().size(), 1u);
    EXPECT_TRUE(b->getGuards()[0].isAt(0, 11));
}

TEST_F(LevelLoader, AnyNonDigitSeparatesAndWhiteSpaceMayStandAroundIt) {
    Board* bare = load(withPlayer("1,0,2,999,999,999,3,4,5,6"));
    ASSERT_EQ(bare->getGuards().size(), 1u);
    const Guard& g = bare->getGuards()[0];
    const int guardX = g.x, guardY = g.y, guardO = g.o, food = bare->getFoodUse();

    std::string spaced = "4 ,3, 0 , 2,\n1\t,\r\n0;0x0/3|0\n,\n0 ;4 ;0; 0;\n 999 \n,"
                         "0,0,1,999,1\n,\n0 ,2 , 999,999,999,\n3\n,4,5,6";
    Board* b = load(spaced);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->getTile(1, 0), IN_FLOOR);
    EXPECT_EQ(b->getTile(2, 1), WALL);
    EXPECT_EQ(b->getTile(1, 2), EXIT);
    ASSERT_EQ(b->getGuards().size(), 1u);
    EXPECT_TRUE(b->getGuards()[0].isAt(guardX, guardY));
    EXPECT_EQ(b->getGuards()[0].o, guardO);
    EXPECT_EQ(b->getFoodUse(), food);
    EXPECT_EQ(b->getDeadBodyUse(), 4);
    EXPECT_EQ(b->getCloakUse(), 5);
    EXPECT_EQ(b->getFakeUse(), 6);
}

// The first digit of the second number is taken as the first number's separator.
TEST_F(LevelLoader, WhiteSpaceAloneDoesNotSeparate) {
    Board* b = load(withPlayer("999,999,999,12 34,5,6,7"));
    EXPECT_EQ(b->getFoodUse(), 12);
    EXPECT_EQ(b->getDeadBodyUse(), 4);
    EXPECT_EQ(b->getCloakUse(), 5);
    EXPECT_EQ(b->getFakeUse(), 6);
}

TEST_F(LevelLoader, LastNumberNeedsNoSeparatorAndTheRestIsNeverRead) {
    EXPECT_EQ(load(withPlayer("999,999,999,0,0,0,7"))->getFakeUse(), 7);
    EXPECT_EQ(load(withPlayer("999,999,999,0,0,0,7, this is not a level"))->getFakeUse(), 7);
}

TEST_F(LevelLoader, EnemyListsEndAtTheFirst999AndKeepFileOrder) {
    Board* b = load(withPlayer("999,\n3,0,1,\n0,2,0,\n999,\n1,1,3,\n999,\n"
                               "99,0,0,0"));
    EXPECT_TRUE(b->getGuards().empty());
    ASSERT_EQ(b->getDogs().size(), 2u);
    EXPECT_TRUE(b->getDogs()[0].isAt(3, 0));
    EXPECT_EQ(b->getDogs()[0].o, FA_S);
    EXPECT_TRUE(b->getDogs()[1].isAt(0, 2));
    ASSERT_EQ(b->getSgs().size(), 1u);
    EXPECT_TRUE(b->getSgs()[0].isAt(1, 1));
    EXPECT_EQ(b->getSgs()[0].o, FA_W);
    EXPECT_EQ(b->getFoodUse(), 99);

    // An SG on the player's square is accepted, as is one on IN_FLOOR.
    b = load(withPlayer("999,999,0,0,3,1,0,0,999,0,0,0,0"));
    ASSERT_EQ(b->getSgs().size(), 2u);
    EXPECT_TRUE(b->getSgs()[0].isAt(0, 0));
    EXPECT_TRUE(b->getSgs()[1].isAt(1, 0));
}

TEST_F(LevelLoaderDeathTest, SizesOutOfRangeStopAtTheFirstBadOne) {
    EXPECT_DEATH(load("13,0,0"), "width > 0 && width <= MAX_BOARD_WIDTH");
    EXPECT_DEATH(load("0,13,0"), "width > 0 && width <= MAX_BOARD_WIDTH");
    EXPECT_DEATH(load("-1,1,0"), "width > 0 && width <= MAX_BOARD_WIDTH");
    EXPECT_DEATH(load("12,13,0"), "height > 0 && height <= MAX_BOARD_HEIGHT");
    EXPECT_DEATH(load("1,0,0"), "height > 0 && height <= MAX_BOARD_HEIGHT");
}

TEST_F(LevelLoaderDeathTest, TerrainCodesOutsideTheFiveAreRefused) {
    const char* message = "input_i >= FLOOR && input_i <= EXIT";
    EXPECT_DEATH(load("2,1,0,5,999,0,0,0,999,999,999,999,0,0,0,0"), message);
    EXPECT_DEATH(load("2,1,-1,0,999,1,0,0,999,999,999,999,0,0,0,0"), message);
    // An appearance code is not terrain.
    EXPECT_DEATH(load("2,1,0,10,999,0,0,0,999,999,999,999,0,0,0,0"), message);
}

TEST_F(LevelLoaderDeathTest, MissingSectionEndsAreRefused) {
    // One terrain code too many where the 999 is due.
    EXPECT_DEATH(load("1,1,0,0,999,0,0,1,999,999,999,999,0,0,0,0"), "i == DELIMITER");
    // The player given four numbers.
    EXPECT_DEATH(load(GRID + "0,0,1,1,999,999,999,999,0,0,0,0"), "i == DELIMITER");
}

TEST_F(LevelLoaderDeathTest, CharacterOffTheGridFailsTheTileAssertion) {
    const char* message = "i >= 0 && i < width && j >= 0 && j < height";
    EXPECT_DEATH(load(GRID + "4,0,1,999,999,999,999,0,0,0,0"), message);
    EXPECT_DEATH(load(withPlayer("0,3,0,999,999,999,0,0,0,0")), message);
    EXPECT_DEATH(load(withPlayer("999,-1,0,0,999,999,0,0,0,0")), message);
}

TEST_F(LevelLoaderDeathTest, CharacterOnABadTileOrFacingExitsWithStatus1) {
    const auto status1 = testing::ExitedWithCode(1);
    EXPECT_EXIT(loadReporting(GRID + "2,0,1,999,999,999,999,0,0,0,0"), status1,
                located("character not standing on an OK tile: \\(2, 0\\)"));
    EXPECT_EXIT(loadReporting(GRID + "0,0,4,999,999,999,999,0,0,0,0"), status1,
                located("character not standing on an OK tile: \\(0, 0\\)"));
    EXPECT_EXIT(loadReporting(GRID + "3,2,-1,999,999,999,999,0,0,0,0"), status1,
                located("character not standing on an OK tile: \\(3, 2\\)"));
    EXPECT_EXIT(loadReporting(withPlayer("2,1,0,999,999,999,0,0,0,0")), status1,
                located("character not standing on an OK tile: \\(2, 1\\)"));
    EXPECT_EXIT(loadReporting(withPlayer("999,1,2,0,999,999,0,0,0,0")), status1,
                located("character not standing on an OK tile: \\(1, 2\\)"));
    EXPECT_EXIT(loadReporting(withPlayer("999,999,3,0,4,999,0,0,0,0")), status1,
                located("character not standing on an OK tile: \\(3, 0\\)"));
}

TEST_F(LevelLoaderDeathTest, PowerCountOutOfRangeExitsWithStatus1WhereverItIs) {
    const char* counts[] = {"100,0,0,0", "0,100,0,0", "0,0,100,0", "0,0,0,100"};
    for (const char* c : counts) {
        std::string text = withPlayer(std::string("999,999,999,") + c);
        EXPECT_EXIT(loadReporting(text), testing::ExitedWithCode(1),
                    located("power usage out of bounds: 100"))
            << c;
    }
    EXPECT_EXIT(loadReporting(withPlayer("999,999,999,0,-1,0,0")),
                testing::ExitedWithCode(1), located("power usage out of bounds: -1"));
}

TEST_F(LevelLoaderDeathTest, FirstOffendingValueInReadingOrderDecides) {
    // A bad player square and a bad power count: the player is read first.
    EXPECT_EXIT(loadReporting(GRID + "2,1,0,999,999,999,999,100,0,0,0"),
                testing::ExitedWithCode(1), "character not standing");
    // A bad count before a bad one later in the same section.
    EXPECT_EXIT(loadReporting(withPlayer("999,999,999,0,0,200,100")),
                testing::ExitedWithCode(1), located("power usage out of bounds: 200"));
}

// The file ending early, or something that is not a number where one is due: the file and
// the value expected are named.
TEST_F(LevelLoaderDeathTest, AnEarlyEndOrSomethingNotANumberNamesTheFileAndTheValue) {
    const std::pair<std::string, std::string> cases[] = {
        {"", located("assets/levels/level00.txt: the file ends where the width was expected")},
        {"4,3,0,2,1,0,0", "level00.txt: the file ends where a terrain code was expected"},
        {withPlayer("1,2"), "level00.txt: the file ends where an enemy's facing was expected"},
        {withPlayer("999,999"), "level00.txt: the file ends where an SG's x or 999 was expected"},
        {withPlayer("999,999,999,0,0,0,"), "level00.txt: the file ends where the fake count was expected"},
        {"five,4", located("assets/levels/level00.txt: not a number where the width was expected")},
        // Two separators in a row: the second stands where the number is due.
        {"1,,1", "level00.txt: not a number where the height was expected"},
        {withPlayer("999,999,999,0,0,x,0"), "level00.txt: not a number where the cloak count was expected"},
        // Too large for an int.
        {"99999999999,1", "level00.txt: not a number where the width was expected"},
        // The same, or a sign with no digits, as the very last thing in the file: the
        // file did not end early, the value is bad.
        {withPlayer("999,999,999,0,0,0,99999999999"), "level00.txt: not a number where the fake count was expected"},
        {withPlayer("999,999,999,0,0,0,-"), "level00.txt: not a number where the fake count was expected"},
    };
    for (const auto& [text, message] : cases)
        EXPECT_EXIT(loadReporting(text), testing::ExitedWithCode(1), message) << text;
}

// The value as a regular expression that matches only itself.
std::string literally(const std::string& text) {
    std::string re;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) re += '\\';
        re += c;
    }
    return re;
}

// A designer's view: each stop first names the file, the line and the column where the bad
// value starts, what was expected there and what stands there; then the condition as ever.
TEST_F(LevelLoaderDeathTest, ABadValueOnLine5IsNamedByFileLineAndColumn) {
    const std::string grid4 = "4,4,\n0,2,1,0,\n0,0,3,0,\n0,4,0,0,\n";
    const std::string rest = "999,\n0,0,1,\n999,\n999,\n999,\n999,\n0,0,0,0\n";
    struct Case {
        std::string text;
        const char* where;      // the first line of the report, after "assets/levels/level00.txt:"
        const char* condition;  // the second
        bool assertion;         // stopped by an assertion (abort) rather than with status 1
    };
    const Case cases[] = {
        {grid4 + "0,0,7,0,\n" + rest,
         "5:5: expected a terrain code, 0 to 4 (sand, water, inner floor, wall, stairs); found \"7\"",
         "Assertion `input_i >= FLOOR && input_i <= EXIT' failed.", true},
        {grid4 + "0,0,x3,0,\n" + rest,
         "5:5: expected a terrain code, 0 to 4 (sand, water, inner floor, wall, stairs); found \"x3\"",
         "assets/levels/level00.txt: not a number where a terrain code was expected", false},
        {GRID.substr(0, GRID.size() - 5) + "998,\n0,0,1,\n999,\n999,\n999,\n999,\n0,0,0,0",
         "5:1: expected the section end 999 after 12 terrain codes; found \"998\"", "Assertion `i == DELIMITER' failed.",
         true},
        {GRID.substr(0, GRID.size() - 1) + "  2,0,1,\n999,\n999,\n999,\n999,\n0,0,0,0",
         "5:7: expected the player on sand or inner floor inside the 4 x 3 grid, facing 0 to 3 (N, S, E, W); "
         "found x 2, y 0 (water), facing 1",
         "character not standing on an OK tile: (2, 0)", false},
        {withPlayer("999,\n\t0,1,4,\n999,999,0,0,0,0"),
         "9:2: expected a dog on sand or inner floor inside the 4 x 3 grid, facing 0 to 3 (N, S, E, W); "
         "found x 0, y 1 (sand), facing 4",
         "character not standing on an OK tile: (0, 1)", false},
        {"4,3,0,2,1,0,0,0,3,0,0,4,0,0,999,0,0,1,999,\n999,\n999,\n999,\n0,\t100,0,0",
         "5:4: expected the dead body count, 0 to 99; found \"100\"", "power usage out of bounds: 100", false},
        {GRID.substr(0, GRID.size() - 1),
         "5:5: expected the player's x, 0 to 3; found the end of the file",
         "assets/levels/level00.txt: the file ends where the player's x was expected", false},
        {"\n\n\n\n  13,3,", "5:3: expected the width, 1 to 12; found \"13\"",
         "Assertion `width > 0 && width <= MAX_BOARD_WIDTH' failed.", true},
        {"4,3,0,2,1,0,0,0,3,0,0,4,0,0,999,0,0,1,999,\n\n\n\n9,0,0,999,999,999,0,0,0,0",
         "5:1: expected a guard on sand or inner floor inside the 4 x 3 grid, facing 0 to 3 (N, S, E, W); "
         "found x 9, y 0 (outside the grid), facing 0",
         "Assertion `i >= 0 && i < width && j >= 0 && j < height' failed.", true},
    };
    for (const Case& c : cases) {
        const std::string report = "^" + literally(std::string("assets/levels/level00.txt:") + c.where) + "\n" +
                                   (c.assertion ? "[^\n]*board\\.(cpp|h):[0-9]+: " : "") + literally(c.condition) + "\n$";
        if (c.assertion)
            EXPECT_EXIT(loadReporting(c.text), testing::KilledBySignal(SIGABRT), report) << c.where;
        else
            EXPECT_EXIT(loadReporting(c.text), testing::ExitedWithCode(1), report) << c.where;
    }
}

TEST_F(LevelLoaderDeathTest, UnreadableFileIsReportedNotReadAsGarbage) {
    EXPECT_EXIT((sendStdoutToStderr(), Board("assets/levels/nothing.txt")),
                testing::ExitedWithCode(1),
                "^assets/levels/nothing.txt: the level file cannot be opened\n$");
}

}  // namespace

namespace {

// The grid, the player, guards at (0, 1) and (3, 0), a dog at (3, 2), no commander, no
// powers, and then `section` (a patrol section, or anything else) after the fake count.
std::string withPatrols(const std::string& section) {
    return withPlayer("0,1,0,3,0,1,999,3,2,3,999,999,0,0,0,0," + section);
}

}  // namespace

TEST_F(LevelLoader, RoutesPutTheirEnemiesOnPatrolAndTheOthersStandStill) {
    Board* b = load(withPatrols("999,\n1,1,1,3,2,\n2,0,1, 2,2,\n999"));
    EXPECT_FALSE(b->getGuards()[0].patrols());
    ASSERT_TRUE(b->getGuards()[1].patrols());
    EXPECT_EQ(*b->getGuards()[1].route, (std::vector<RoutePoint>{{3, 0}, {3, 2}}));
    EXPECT_EQ(b->getGuards()[1].o, FA_S);  // it faces its first leg
    ASSERT_TRUE(b->getDogs()[0].patrols());
    EXPECT_EQ(*b->getDogs()[0].route, (std::vector<RoutePoint>{{3, 2}, {2, 2}}));
    EXPECT_EQ(b->getDogs()[0].o, FA_W);
    // No section, or anything but 999 after the fake count: nothing is read, nothing patrols.
    for (const char* rest : {"", "\n", "5,1,0,1,3,2,999", "this is not a level"}) {
        b = load(withPatrols(rest));
        EXPECT_FALSE(b->getGuards()[1].patrols()) << rest;
        EXPECT_FALSE(b->getDogs()[0].patrols()) << rest;
    }
    // After the closing 999 nothing is read either.
    EXPECT_TRUE(load(withPatrols("999,1,1,1,3,2,999, and then some"))->getGuards()[1].patrols());
}

TEST_F(LevelLoaderDeathTest, BadRoutesNameTheFileTheRouteAndWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"999,1,1,1,2,2,999", "level00.txt: route 1: the leg from \\(3, 0\\) to \\(2, 2\\) is not along a row or a column"},
        // The closing leg back to the start must be straight too.
        {"999,1,1,2,3,2,2,2,999", "level00.txt: route 1: the leg from \\(2, 2\\) to \\(3, 0\\) is not along a row or a column"},
        {"999,1,1,1,3,0,999", "level00.txt: route 1: the leg from \\(3, 0\\) to \\(3, 0\\) goes nowhere"},
        {"999,1,1,1,3,3,999", "level00.txt: route 1: turning point 1, \\(3, 3\\), is off the board"},
        {"999,1,1,2,3,2,-1,2,999", "level00.txt: route 1: turning point 2, \\(-1, 2\\), is off the board"},
        // Guard 0 at (0, 1) east along row 1 meets the wall at (2, 1).
        {"999,2,0,1,3,1,1,0,1,3,1,999", "level00.txt: route 2: the leg from \\(0, 1\\) to \\(3, 1\\) runs into the wall at \\(2, 1\\)"},
        {"999,1,2,1,3,2,999", "level00.txt: route 1: there is no guard 2 \\(the level has 2\\)"},
        {"999,2,1,1,3,1,999", "level00.txt: route 1: there is no dog 1 \\(the level has 1\\)"},
        {"999,3,0,1,0,0,999", "level00.txt: route 1: there is no commander 0 \\(the level has 0\\)"},
        {"999,2,-1,1,3,1,999", "level00.txt: route 1: there is no dog -1"},
        {"999,4,0,1,3,1,999", "level00.txt: route 1: the enemy kind is 4, not 1 \\(guard\\), 2 \\(dog\\) or 3 \\(commander\\)"},
        {"999,0,0,1,3,1,999", "level00.txt: route 1: the enemy kind is 0"},
        {"999,1,1,1,3,2,1,1,1,3,1,999", "level00.txt: route 2: guard 1 has a route already"},
        {"999,1,1,0,999", "level00.txt: route 1: 0 turning points; a route has 1 to 144"},
        {"999,1,1,1,3,2,", "level00.txt: the file ends where a route's enemy kind or the closing 999 was expected"},
        {"999,1,1,2,3,2,3", "level00.txt: the file ends where a turning point's y was expected"},
        {"999,1,1,x", "level00.txt: not a number where a route's number of turning points was expected"},
    };
    for (const auto& [section, message] : cases)
        EXPECT_EXIT(loadReporting(withPatrols(section)), testing::ExitedWithCode(1), message) << section;
}
