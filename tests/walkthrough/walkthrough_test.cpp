// walkthrough_test.cpp — the walkthrough files: what a line may hold, where a bad one is
// reported, and text written from presses reading back as the same presses.
#include "walkthrough.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

std::string keysOf(const Walkthrough& w) {
    std::string keys;
    for (const Press& p : w.presses) keys += p.key;
    return keys;
}

TEST(Walkthrough, PressesWaitsAndNeedsWithCommentsAndBlankLines) {
    const Walkthrough w = parseWalkthrough(
        "# needs x in a comment\n"
        "needs jh\n"
        "\n"
        "250 dd\n"
        "   \t\n"
        "1000 h   # food, then wait\n"
        "needs k  # and a comment\n"
        "120 wasdhjkl\n");
    EXPECT_TRUE(w.found);
    EXPECT_EQ(w.error, "");
    EXPECT_EQ(w.needs, "jhk");
    EXPECT_EQ(keysOf(w), "ddhwasdhjkl");
    ASSERT_EQ(w.presses.size(), 11u);
    EXPECT_EQ(w.presses[0].waitMs, 250);
    EXPECT_EQ(w.presses[1].waitMs, 250);  // every key of a line waits the line's time
    EXPECT_EQ(w.presses[2].waitMs, 1000);
    EXPECT_EQ(w.presses[10].waitMs, 120);

    const Walkthrough empty = parseWalkthrough("");
    EXPECT_TRUE(empty.found);
    EXPECT_EQ(empty.error, "");
    EXPECT_TRUE(empty.presses.empty());
    EXPECT_EQ(empty.needs, "");
}

TEST(Walkthrough, ABadLineIsNamedByNumberAndEndsTheReading) {
    struct Case {
        const char* line;
        const char* why;
    };
    const Case cases[] = {
        {"250", "a wait without keys"},
        {"250 dq", "a key that is not a play key"},
        {"250 dd ss", "a third field"},
        {"-250 d", "a negative wait"},
        {"+250 d", "a signed wait"},
        {"2.5 d", "a wait that is not whole"},
        {"99999999999999999999 d", "a wait too large"},
        {"wait d", "a word for a wait"},
        {"needs", "needs without keys"},
        {"needs h j", "needs with two words"},
        {"needs r", "needs with a key that is not a play key"},
    };
    for (const Case& c : cases) {
        const Walkthrough w = parseWalkthrough(std::string("needs h\n# fine so far\n250 d\n") + c.line + "\n250 w\nneeds k\n");
        EXPECT_EQ(w.error, "line 4: expected \"<wait-ms> <keys>\" or \"needs <keys>\" with keys from \"wasdhjkl\"")
            << c.why;
        EXPECT_EQ(keysOf(w), "d") << c.why << ": the lines after a bad one are not read";
        EXPECT_EQ(w.needs, "h") << c.why;
    }
}

TEST(Walkthrough, AFileIsReadWholeAndAMissingOneIsNotFound) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("vwwalk" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "level00.walk").string();
    std::ofstream(path, std::ios::binary) << "needs l\n300 ss\n200 l\n";  // no line break at the end
    const Walkthrough w = readWalkthrough(path);
    EXPECT_TRUE(w.found);
    EXPECT_EQ(w.error, "");
    EXPECT_EQ(keysOf(w), "ssl");
    EXPECT_EQ(w.needs, "l");

    const Walkthrough missing = readWalkthrough((dir / "level01.walk").string());
    EXPECT_FALSE(missing.found);
    EXPECT_TRUE(missing.presses.empty());
    EXPECT_EQ(missing.needs, "");
    std::filesystem::remove_all(dir);
}

TEST(WalkthroughText, EqualWaitsInARowShareALineAndReadBackTheSame) {
    const std::vector<Press> presses{{200, 'd'}, {200, 'd'}, {500, 'h'}, {200, 'w'}, {200, 'w'}, {3000, 'k'}};
    const std::string text = walkthroughText(presses);
    EXPECT_EQ(text, "200 dd\n500 h\n200 ww\n3000 k\n");
    const Walkthrough back = parseWalkthrough(text);
    ASSERT_EQ(back.presses.size(), presses.size());
    for (size_t i = 0; i < presses.size(); ++i) {
        EXPECT_EQ(back.presses[i].waitMs, presses[i].waitMs) << i;
        EXPECT_EQ(back.presses[i].key, presses[i].key) << i;
    }
    EXPECT_EQ(walkthroughText({}), "");
}

}  // namespace
