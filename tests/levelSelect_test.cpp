// levelSelect_test.cpp — the level select through the keyboard handler: where the cursor
// starts, how it moves, what it plays, what stays locked, and its labels.
#include "levelScenario.h"
#include "levelSelect.h"
#include "progress.h"
#include "records.h"
#include "rewind.h"

#include <algorithm>

class LevelSelect : public LevelScenario {
protected:
    void SetUp() override {
        LevelScenario::SetUp();
        for (int n = 0; n < 8; ++n) writeLevel(n, levelText({"..E"}, {0, 0, FA_E}));
        keepProgressIn((dir / "progress").string());
        keepRecordsIn((dir / "records").string());
        loadInitialBoard();
        gotoTitle();
    }
    void TearDown() override {
        keepProgressIn("");
        keepRecordsIn("");
        LevelScenario::TearDown();
    }
    void keys(const char* k) {
        testing::internal::CaptureStdout();
        press(k);
        testing::internal::GetCapturedStdout();
    }
};

TEST_F(LevelSelect, WithProgressAtLevelTwoEscapeLeftReturnPlaysLevelOne) {
    writeFile("progress", "2\n");
    keys("\x1b");
    ASSERT_TRUE(atLevelSelect());
    EXPECT_EQ(levelSelectCursor(), 2);
    keys("a\r");
    EXPECT_FALSE(atLevelSelect());
    EXPECT_FALSE(atTitle());
    EXPECT_EQ(getCurrLevel(), 1);
}

TEST_F(LevelSelect, TheCursorMovesByOneAndByARowWithinTheLevels) {
    writeFile("progress", "7\n");
    keys("\x1b");
    const struct {
        const char* keys;
        int cursor;
    } moves[] = {
        {"d", 7}, {"a", 6}, {"w", 0}, {"w", 0}, {"a", 0}, {"s", 6}, {"s", 6}, {"dd", 7}, {"x1", 7},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(m.keys);
        keys(m.keys);
        EXPECT_EQ(levelSelectCursor(), m.cursor);
        EXPECT_TRUE(atLevelSelect());
    }
}

TEST_F(LevelSelect, LockedLevelsCannotBePlayedAndEscapeGoesBack) {
    writeFile("progress", "1\n");
    keys("\x1b");
    keys("dd ");      // level 3 is not reached yet
    EXPECT_TRUE(atLevelSelect());
    EXPECT_EQ(levelSelectLabel(3), "4  locked");
    keys("\x1b");
    EXPECT_FALSE(atLevelSelect());
    EXPECT_TRUE(atTitle());
    keys("c");        // continue still plays the furthest level at once
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_FALSE(atTitle());
}

TEST_F(LevelSelect, EscapeDuringALevelReturnsToTheSelectAndLabelsShowBestAgainstPar) {
    writeFile("assets/levels/level00.par", "2\n");
    keys(" ");        // from the title to level 0
    keys("dd");       // won in 2 keys
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_EQ(levelSelectLabel(0), "1  best 2 / par 2");
    EXPECT_EQ(levelSelectLabel(1), "2  ");
    keys("\x1b");
    EXPECT_TRUE(atLevelSelect());
    EXPECT_EQ(levelSelectCursor(), 1);
    keys("a ");
    EXPECT_EQ(getCurrLevel(), 0);
    EXPECT_FALSE(atTitle());
}

// Entering a level from the select begins a new try, even at the level just played: nothing
// to take back, no key on the line, no rewind counted against the next win.
TEST_F(LevelSelect, EnteringALevelAgainBeginsAFreshTry) {
    writeFile("progress", "2\n");
    keys("\x1b");
    keys("a\r");
    ASSERT_EQ(getCurrLevel(), 1);
    keys("wuw");
    ASSERT_EQ(keysOnLine(), 1);
    ASSERT_TRUE(rewindUsedThisTry());
    keys("\x1b");
    ASSERT_TRUE(atLevelSelect());
    keys("a\r");
    ASSERT_EQ(getCurrLevel(), 1);
    EXPECT_EQ(keysOnLine(), 0);
    EXPECT_EQ(keysToTakeBack(), 0u);
    EXPECT_FALSE(rewindUsedThisTry());
}

// What each card shows follows the progress, the records and the pars: won levels their best
// against par and the marks their best wins earned, reached ones par only, the rest locked.
TEST_F(LevelSelect, EachCardShowsItsStandingRecordAndMarks) {
    writeFile("progress", "3\n");
    writeFile("records", "0 5 1 1\n1 9 0 1\n2 4 1 0\n");
    for (int n : {0, 1, 2, 3, 4}) writeFile("assets/levels/level0" + std::to_string(n) + ".par", "5\n");
    writeFile("assets/levels/level01.name", "Side by Side\nA tip the cards do not show.\n");
    keys("\x1b");
    const std::vector<LevelCard> cards = levelSelectCards();
    ASSERT_EQ(cards.size(), 8u);
    const struct {
        LevelStanding standing;
        bool atPar, withoutHints, withoutRewinds;
        const char* record;
    } want[] = {
        {LevelStanding::WON, true, true, true, "5 / par 5"},     {LevelStanding::WON, false, false, true, "9 / par 5"},
        {LevelStanding::WON, true, true, false, "4 / par 5"},    {LevelStanding::OPEN, false, false, false, "par 5"},
        {LevelStanding::LOCKED, false, false, false, "locked"},  {LevelStanding::LOCKED, false, false, false, "locked"},
    };
    for (int n = 0; n < 6; ++n) {
        SCOPED_TRACE(n);
        const LevelCard& c = cards[n];
        EXPECT_EQ(c.level, n);
        EXPECT_EQ(c.number, std::to_string(n + 1));
        EXPECT_EQ(c.standing, want[n].standing);
        EXPECT_EQ(c.atPar, want[n].atPar);
        EXPECT_EQ(c.withoutHints, want[n].withoutHints);
        EXPECT_EQ(c.withoutRewinds, want[n].withoutRewinds);
        EXPECT_EQ(c.record, want[n].record);
        EXPECT_EQ(c.atCursor, n == 3);
    }
    EXPECT_EQ(cards[1].name, "Side by Side");
    EXPECT_EQ(cards[0].name, "");
    EXPECT_EQ(levelSelectWon(), 3);
    // A record of a level not reached yet (a progress file replaced by hand) stays locked.
    writeFile("progress", "1\n");
    keys("\x1b\x1b");
    EXPECT_EQ(levelSelectCards()[2].standing, LevelStanding::LOCKED);
    EXPECT_EQ(levelSelectWon(), 2);
}

// The cards lie in rows of LEVEL_SELECT_COLUMNS inside the panel between the heading (above
// y 472) and the line of keys (below y 120), side by side without overlapping; exactly one is
// under the cursor, and it follows the cursor.
void expectCardsLaidOut(const std::vector<LevelCard>& cards, int cursor) {
    int atCursor = 0;
    for (size_t k = 0; k < cards.size(); ++k) {
        const LevelCard& c = cards[k];
        SCOPED_TRACE(c.level);
        EXPECT_GE(c.x, 10);
        EXPECT_LE(c.x + LEVEL_CARD_W, 790);
        EXPECT_GE(c.y, 120);
        EXPECT_LE(c.y + LEVEL_CARD_H, 472);
        if (k > 0) {
            const LevelCard& before = cards[k - 1];
            EXPECT_EQ(c.level, before.level + 1);
            if (c.level % LEVEL_SELECT_COLUMNS == 0) {
                EXPECT_EQ(c.x, cards[0].x);
                EXPECT_LE(c.y + LEVEL_CARD_H, before.y - 2);
            } else {
                EXPECT_EQ(c.y, before.y);
                EXPECT_GE(c.x, before.x + LEVEL_CARD_W + 2);
            }
        }
        atCursor += c.atCursor;
        EXPECT_EQ(c.atCursor, c.level == cursor);
    }
    EXPECT_EQ(atCursor, 1);
}

TEST_F(LevelSelect, FortyEightLevelsAllShowAndTheHighlightFollowsTheCursor) {
    for (int n = 8; n < 48; ++n) writeLevel(n, levelText({"..E"}, {0, 0, FA_E}));
    loadInitialBoard();  // the count of levels present is taken at a load
    writeFile("progress", "30\n");
    keys("\x1b");
    ASSERT_EQ(levelSelectCards().size(), 48u);
    for (const char* k : {"", "d", "s", "ss", "aaaa", "www", "wwwwww", "ddddddddd"}) {
        SCOPED_TRACE(k);
        keys(k);
        const std::vector<LevelCard> cards = levelSelectCards();
        ASSERT_EQ(cards.size(), 48u);
        EXPECT_EQ(levelSelectFirstRow(), 0);
        expectCardsLaidOut(cards, levelSelectCursor());
    }
    EXPECT_EQ(levelSelectCursor(), 12);
}

// More levels than fit: the rows scroll just far enough to keep the cursor's row in view.
TEST_F(LevelSelect, MoreLevelsThanFitScrollWithTheCursor) {
    for (int n = 8; n < 62; ++n) writeLevel(n, levelText({"..E"}, {0, 0, FA_E}));
    loadInitialBoard();
    writeFile("progress", "61\n");
    keys("\x1b");
    EXPECT_EQ(levelSelectRows(), 11);
    const struct {
        const char* keys;
        int firstRow;
    } moves[] = {{"", 3}, {"w", 3}, {"wwwwwww", 2}, {"www", 0}, {"sssssss", 0}, {"s", 1}, {"a", 1}, {"sssss", 3}};
    for (const auto& m : moves) {
        SCOPED_TRACE(m.keys);
        keys(m.keys);
        EXPECT_EQ(levelSelectFirstRow(), m.firstRow);
        const std::vector<LevelCard> cards = levelSelectCards();
        ASSERT_FALSE(cards.empty());
        EXPECT_EQ(cards.front().level, m.firstRow * LEVEL_SELECT_COLUMNS);
        EXPECT_LE(cards.size(), size_t(LEVEL_SELECT_ROWS_SHOWN * LEVEL_SELECT_COLUMNS));
        expectCardsLaidOut(cards, levelSelectCursor());
    }
}

// The star is gold only when lit, the padlock is neither; both are symmetric left to right
// and edged in dark, so each reads on every card.
TEST(LevelMarks, StarIsGoldWhenLitAndEveryMarkIsEdgedAndSymmetric) {
    auto gold = [](const std::vector<uint8_t>& image) {
        int n = 0;
        for (size_t p = 0; p < image.size(); p += 4) n += image[p + 3] == 255 && image[p] > 200 && image[p + 2] < 100;
        return n;
    };
    const std::vector<uint8_t> lit = levelStarImage(true), dim = levelStarImage(false), lock = levelLockImage();
    EXPECT_GT(gold(lit), 20);
    EXPECT_EQ(gold(dim), 0);
    EXPECT_EQ(gold(lock), 0);
    EXPECT_NE(lock, dim);
    constexpr int S = LEVEL_MARK_SIZE;
    for (const auto* image : {&lit, &dim, &lock}) {
        ASSERT_EQ(image->size(), size_t(S * S * 4));
        int body = 0, edge = 0;
        for (int y = 0; y < S; ++y)
            for (int x = 0; x < S; ++x) {
                const uint8_t* p = &(*image)[(y * S + x) * 4];
                const uint8_t* mirror = &(*image)[(y * S + S - 1 - x) * 4];
                EXPECT_TRUE(std::equal(p, p + 4, mirror)) << x << ", " << y;
                if (p[3] == 0) continue;
                (p[0] < 40 ? edge : body) += 1;
            }
        EXPECT_GT(body, 15);
        EXPECT_GT(edge, 10);
    }
    // The star's top point is at the top middle: the row above it is clear.
    EXPECT_EQ(lit[((S - 1) * S + S / 2) * 4 + 3], 255);
}
