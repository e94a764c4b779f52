// levelBanner_test.cpp — the level's notes file, and the banner that shows them as a level starts.
#include "levelBanner.h"
#include "levelScenario.h"

#include <cstdio>
#include <map>

#include "repositoryRoot.h"

TEST(LevelNotes, ReadsTheNameFromTheFirstLineAndTheTipFromTheSecond) {
    const struct {
        std::string text;
        LevelNotes notes;
    } cases[] = {
        {"Kennel\n", {"Kennel", ""}},
        {"Kennel", {"Kennel", ""}},
        {"Bait\nh drops food.\n", {"Bait", "h drops food."}},
        {"Bait\r\nh drops food.\r\n", {"Bait", "h drops food."}},
        {"  Bait \t\n   h drops food.  \n", {"Bait", "h drops food."}},
        {"Bait\nh drops food.\nthird line\n", {"Bait", "h drops food."}},
        {"\nonly a tip\n", {"", "only a tip"}},
        {"", {"", ""}},
        {"\n\n\n", {"", ""}},
        {"Caf\xc3\xa9 \x01" "Noir\n", {"Caf Noir", ""}},  // bytes the fonts cannot draw are dropped
        {std::string(60, 'n'), {std::string(LEVEL_NAME_MAX, 'n'), ""}},
        {"a\nhalf of it" + std::string(LEVEL_TIP_MAX, ' ') + "x", {"a", "half of it"}},  // cut at the limit, and the spaces it ends on dropped
    };
    for (const auto& c : cases) {
        const LevelNotes got = parseLevelNotes(c.text);
        EXPECT_EQ(got.name, c.notes.name) << '"' << c.text << '"';
        EXPECT_EQ(got.tip, c.notes.tip) << '"' << c.text << '"';
    }
    EXPECT_EQ(parseLevelNotes(std::string("Bait\0x\nTip", 10)), (LevelNotes{"Baitx", "Tip"}));
}

TEST(LevelNotes, HeadingCountsLevelsFromOne) {
    EXPECT_EQ(levelBannerHeading(7, {"Commanders", "tip"}), "Level 8: Commanders");
    EXPECT_EQ(levelBannerHeading(0, {"", "tip"}), "Level 1");
    EXPECT_EQ(levelNotesPath(7), "assets/levels/level07.name");
    EXPECT_EQ(levelNotesPath(123), "assets/levels/level123.name");
}

class LevelBanner : public LevelScenario {
protected:
    // Two levels of one step east to the stairs, a guard watching the row below.
    void SetUp() override {
        LevelScenario::SetUp();
        for (int n = 0; n < 2; ++n) writeLevel(n, levelText({"..E", "..."}, {1, 0, FA_E}, {{0, 1, FA_E}}));
        loadInitialBoard();
        gotoTitle();
    }
    void writeNotes(int level, const std::string& text) { writeFile(levelNotesPath(level), text); }
};

TEST_F(LevelBanner, ShowsFromTheLevelsStartForItsTimeOrUntilTheFirstKey) {
    writeNotes(0, "First Steps\nReach the stairs.\n");
    loadInitialBoard();
    const int64_t start = clock.now();
    gotoMainGame();
    EXPECT_TRUE(levelBannerShown());
    EXPECT_EQ(levelBannerNotes(), (LevelNotes{"First Steps", "Reach the stairs."}));
    EXPECT_EQ(levelBannerLevel(), 0);
    EXPECT_EQ(levelBannerEndsMs(), start + LEVEL_BANNER_MS);
    EXPECT_TRUE(currentPicture().banner);

    // The idle loop wakes for it to go, and the frame after it paints the board without it.
    EXPECT_LE(msUntilNextTimer(), LEVEL_BANNER_MS);
    runFramesFor(LEVEL_BANNER_MS - 10);
    EXPECT_TRUE(currentPicture().banner);
    const int before = redraws;
    runFramesFor(10);
    EXPECT_FALSE(levelBannerShown());
    EXPECT_FALSE(currentPicture().banner);
    EXPECT_EQ(redraws, before + 1);
    EXPECT_EQ(levelBannerEndsMs(), INT64_MAX);

    // Started again, a key takes it away at once and still acts.
    gotoTitle();
    gotoMainGame();
    EXPECT_TRUE(levelBannerShown());
    press("s");
    EXPECT_FALSE(levelBannerShown());
    EXPECT_EQ(board().getIll().o, FA_S);
}

TEST_F(LevelBanner, ShowsOnEnteringALevelNotOnItsRestarts) {
    writeNotes(0, "Zero\n");
    writeNotes(1, "One\nThe second level.\n");
    // The first key on the title starts level 1 and acts there: the banner stays.
    press("s");
    EXPECT_TRUE(levelBannerShown());
    EXPECT_EQ(levelBannerNotes().name, "Zero");
    press("r");  // a restart is no new start
    EXPECT_FALSE(levelBannerShown());
    press("d");  // onto the stairs: the next level starts, with its own notes
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_TRUE(levelBannerShown());
    EXPECT_EQ(levelBannerNotes(), (LevelNotes{"One", "The second level."}));
    EXPECT_EQ(levelBannerLevel(), 1);

    // Caught: the level starts again without it.
    endLevelBanner();
    board().getIll().x = 1;
    board().getIll().y = 1;
    runFramesFor(20);
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_EQ(board().getIll().y, 0);  // back at the start
    EXPECT_FALSE(levelBannerShown());
}

TEST_F(LevelBanner, ALevelWithoutNotesShowsNoneAndPlays) {
    writeNotes(1, "\n\n");  // says nothing
    press("w");
    EXPECT_FALSE(levelBannerShown());
    EXPECT_FALSE(currentPicture().banner);
    EXPECT_EQ(levelBannerEndsMs(), INT64_MAX);
    press("dd");
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_FALSE(levelBannerShown());
    press("d");
    EXPECT_TRUE(atEnding());
}

// The campaign's own notes: every level has a name, each within one line of the limits, and
// the first level of each idea (the first level, each power's first stock, each kind of enemy
// and the first patrol) carries a tip.
class CampaignNotes : public RepositoryRootTest {
protected:
    static std::string levelFile(int n) {
        char name[64];
        std::snprintf(name, sizeof name, "assets/levels/level%02d.txt", n);
        return name;
    }
};

TEST_F(CampaignNotes, EveryLevelHasANameAndEachIdeasFirstLevelATip) {
    const int count = [] {
        int n = 0;
        while (std::filesystem::exists(levelFile(n))) ++n;
        return n;
    }();
    ASSERT_GT(count, 0);
    std::map<std::string, int> firstOf;
    auto first = [&](const std::string& idea, int level) { firstOf.emplace(idea, level); };
    for (int n = 0; n < count; ++n) {
        std::ifstream in(levelNotesPath(n));
        ASSERT_TRUE(in) << levelNotesPath(n) << " is missing";
        std::string name, tip, more;
        std::getline(in, name);
        std::getline(in, tip);
        EXPECT_FALSE(std::getline(in, more) && !more.empty()) << levelNotesPath(n) << ": more than two lines";
        const LevelNotes notes = readLevelNotes(n);
        EXPECT_FALSE(notes.name.empty()) << levelNotesPath(n);
        EXPECT_EQ(notes.name, name) << levelNotesPath(n) << ": the name is cut or holds what cannot be drawn";
        EXPECT_EQ(notes.tip, tip) << levelNotesPath(n) << ": the tip is cut or holds what cannot be drawn";

        Board board(levelFile(n).c_str());
        first("the first level", n);
        const std::pair<const char*, int> stocks[] = {{"food", board.getFoodUse()},
                                                      {"bodies", board.getDeadBodyUse()},
                                                      {"the cloak", board.getCloakUse()},
                                                      {"the fake", board.getFakeUse()}};
        for (const auto& [power, stock] : stocks)
            if (stock > 0) first(power, n);
        if (!board.getDogs().empty()) first("dogs", n);
        if (!board.getSgs().empty()) first("commanders", n);
        bool patrol = false;
        board.forEachEnemyList([&](ObjectType, const auto& list) {
            for (const auto& enemy : list) patrol = patrol || enemy.route != nullptr;
        });
        if (patrol) first("patrols", n);
    }
    EXPECT_EQ(firstOf.size(), 8u) << "an idea no level has";
    for (const auto& [idea, level] : firstOf)
        EXPECT_FALSE(readLevelNotes(level).tip.empty())
            << "level " << level << " is the first with " << idea << " and has no tip";
}
