// records_test.cpp — the records file (best keys, hintless and rewindless wins), its damaged
// and unwritable cases, par, and the line a win prints.
#include <fstream>

#include "levelScenario.h"
#include "records.h"
#include "rewind.h"

class Records : public LevelScenario {
protected:
    void SetUp() override {
        LevelScenario::SetUp();
        path = (dir / "data" / "records").string();
        keepRecordsIn(path);
    }
    void TearDown() override {
        keepRecordsIn("");
        LevelScenario::TearDown();
    }

    // A corridor: the exit three steps east of the player.
    void startCorridor() {
        play(levelText({"....E"}, {1, 0, FA_E}));
        gotoMainGame();  // the win before showed the ending
        beginTry();
    }

    // Plays the keys and returns what the game printed, the win's line among it.
    std::string playKeys(const char* keys) {
        testing::internal::CaptureStdout();
        press(keys);
        return testing::internal::GetCapturedStdout();
    }

    std::string fileText() {
        std::ifstream in(path);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    std::string path;
};

TEST_F(Records, AWinPrintsItsKeysAndParAndIsRecorded) {
    writeFile("assets/levels/level00.par", "3\n");
    startCorridor();
    const std::string out = playKeys("ddd");
    EXPECT_NE(out.find("won in 3 keys, par 3\n"), std::string::npos) << out;
    EXPECT_EQ(recordOf(0), (LevelRecord{3, true, true}));
    EXPECT_EQ(fileText(), "0 3 1 1\n");
}

TEST_F(Records, WithoutAParFileTheLineNamesOnlyTheKeys) {
    for (const char* par : {"", "x\n", "0\n", "-2\n"}) {
        SCOPED_TRACE(std::string("par file \"") + par + "\"");
        writeFile("assets/levels/level00.par", par);
        startCorridor();
        EXPECT_NE(playKeys("ddd").find("won in 3 keys\n"), std::string::npos);
    }
}

// The fewest keys stay; each flag says whether any win went without hints or rewinds.
TEST_F(Records, TheFewestKeysAndTheCleanWinsAccumulate) {
    startCorridor();
    playKeys("wdddd");                           // a detour of one turn and back: 5 keys
    EXPECT_EQ(recordOf(0), (LevelRecord{5, true, true}));
    startCorridor();
    playKeys("dwu");                             // a turn taken back: off the line
    EXPECT_EQ(keysOnLine(), 1);
    playKeys("dd");
    EXPECT_EQ(recordOf(0), (LevelRecord{3, true, true})) << "fewer keys; the first win was clean";

    keepRecordsIn((dir / "fresh").string());
    startCorridor();
    noteHintAsked();
    playKeys("dwudd");
    EXPECT_EQ(recordOf(0), (LevelRecord{3, false, false}));
    startCorridor();
    EXPECT_FALSE(hintUsedThisTry()) << "a new try starts without hints";
    playKeys("wdddd");                           // worse, but clean: the flags say so
    EXPECT_EQ(recordOf(0), (LevelRecord{3, true, true}));
    startCorridor();
    noteHintAsked();
    playKeys("dwudd");                           // a hint and a rewind after a clean win
    EXPECT_EQ(recordOf(0), (LevelRecord{3, true, true})) << "the clean win is not forgotten";
}

// A capture restarts the line: only the keys after it count.
TEST_F(Records, ACaptureStartsTheLineAgain) {
    play(levelText({"....E", "....."}, {1, 0, FA_S}, {{3, 1, FA_W}}));
    beginTry();
    playKeys("s");  // into the guard's row: caught
    runFramesFor(20, 4);
    playKeys("dddd");
    EXPECT_EQ(recordOf(0).fewestKeys, 4);
}

TEST_F(Records, AMissingOrDamagedFileMeansNoRecords) {
    EXPECT_TRUE(loadRecords().empty());
    const char* damaged[] = {
        "0 3 1\n",          // a field short
        "0 3 1 1 1\n",      // a field too many
        "0 three 1 1\n",    // not a number
        "0 0 1 1\n",        // a win of no keys
        "0 3 2 1\n",        // a flag that is not 0 or 1
        "0 3 1 1\n0 4 1 1\n",  // a level twice
        "-1 3 1 1\n",
        "1 5 0 1\n\x01\x02garbage",
    };
    for (const char* text : damaged) {
        SCOPED_TRACE(text);
        std::filesystem::create_directories(dir / "data");
        writeFile(path, text);
        EXPECT_TRUE(loadRecords().empty());
        // A win writes a good file again, with that win alone.
        startCorridor();
        playKeys("ddd");
        EXPECT_EQ(fileText(), "0 3 1 1\n");
    }
    writeFile(path, "2 7 0 1\n0 3 1 1\n");
    EXPECT_EQ(loadRecords().size(), 2u);
    EXPECT_EQ(recordOf(2), (LevelRecord{7, false, true}));
    EXPECT_EQ(recordOf(5), LevelRecord{});
}

// A records path that is a folder cannot be written: one line on standard error names it,
// and the game moves on to the next level as always.
TEST_F(Records, AnUnwritableFileIsNamedOnceAndPlayGoesOn) {
    std::filesystem::create_directories(path);
    writeLevel(1, levelText({"E.."}, {2, 0, FA_W}));
    startCorridor();
    testing::internal::CaptureStderr();
    const std::string out = playKeys("ddd");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "cannot write the records file " + path + "\n");
    EXPECT_NE(out.find("won in 3 keys"), std::string::npos);
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(Records, OffWhenNoFileIsNamed) {
    keepRecordsIn("");
    startCorridor();
    playKeys("ddd");
    EXPECT_TRUE(loadRecords().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "data"));
}

TEST(RecordsPath, BesideTheProgressFile) {
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", "/somewhere/data", 1);
    EXPECT_EQ(defaultRecordsPath(), "/somewhere/data/veilwalker/records");
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}
