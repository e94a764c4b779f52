// progress_test.cpp — the furthest level reached: where it is kept, how it is read, continuing.
#include "progress.h"

#include "levelScenario.h"

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {
// Sets or unsets an environment variable for one test, restoring it after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name)) saved = old, hadValue = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadValue)
            setenv(name, saved.c_str(), 1);
        else
            unsetenv(name);
    }

private:
    const char* name;
    std::string saved;
    bool hadValue = false;
};
}  // namespace

class Progress : public LevelScenario {
protected:
    void SetUp() override {
        LevelScenario::SetUp();
        file = (dir / "data" / "veilwalker" / "progress").string();
        for (int n = 0; n < 3; ++n)
            writeLevel(n, levelText({"..E"}, {0, 0, FA_E}, {}, {}, {}, {n, 0, 0, 0}));
        loadInitialBoard();
    }
    void TearDown() override {
        keepProgressIn("");
        LevelScenario::TearDown();
    }
    std::string typed(unsigned char key) {
        CaptureStdout();
        keyboard(key, 0, 0);
        frame();
        return GetCapturedStdout();
    }
    std::string file;
};

TEST_F(Progress, LivesUnderXdgDataHomeElseUnderTheHomeFolder) {
    {
        ScopedEnv data("XDG_DATA_HOME", "/srv/data");
        ScopedEnv home("HOME", "/home/p");
        EXPECT_EQ(defaultProgressPath(), "/srv/data/veilwalker/progress");
    }
    for (const char* notAbsolute : {"", "relative/data"}) {
        ScopedEnv data("XDG_DATA_HOME", notAbsolute);
        ScopedEnv home("HOME", "/home/p");
        EXPECT_EQ(defaultProgressPath(), "/home/p/.local/share/veilwalker/progress");
    }
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", nullptr);
    EXPECT_EQ(defaultProgressPath(), "");
}

TEST_F(Progress, IsOffUntilTheGameNamesAFile) {
    ScopedEnv data("XDG_DATA_HOME", (dir / "data").c_str());
    rememberLevelReached(2);
    EXPECT_EQ(savedProgress(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "data"));
}

TEST_F(Progress, KeepsOnlyTheFurthestLevelAndLeavesNoTemporaryFile) {
    keepProgressIn(file);
    EXPECT_EQ(savedProgress(), 0);  // no file yet
    rememberLevelReached(2);
    EXPECT_EQ(savedProgress(), 2);
    rememberLevelReached(1);
    EXPECT_EQ(savedProgress(), 2);
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "2\n");
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "data" / "veilwalker")) entries += !e.is_directory();
    EXPECT_EQ(entries, 1);
}

// A new level replaces the file whole: whoever still holds the old file (a reader that
// opened it, or a crash mid-write) sees the old number complete, never a truncated one.
TEST_F(Progress, ANewLevelReplacesTheFileInsteadOfWritingIntoIt) {
    keepProgressIn(file);
    rememberLevelReached(1);
    const std::filesystem::path old = dir / "old-progress";
    std::filesystem::create_hard_link(file, old);
    std::ifstream openBefore(file);
    rememberLevelReached(2);
    EXPECT_EQ(savedProgress(), 2);
    std::string held((std::istreambuf_iterator<char>(openBefore)), std::istreambuf_iterator<char>());
    EXPECT_EQ(held, "1\n") << "the file open before the write was written into";
    std::ifstream linked(old);
    std::string linkedText((std::istreambuf_iterator<char>(linked)), std::istreambuf_iterator<char>());
    EXPECT_EQ(linkedText, "1\n");
    EXPECT_FALSE(std::filesystem::equivalent(file, old));
}

TEST_F(Progress, AnythingButOneLevelNumberReadsAsLevelZero) {
    keepProgressIn(file);
    std::filesystem::create_directories(dir / "data" / "veilwalker");
    const struct {
        const char* text;
        int level;
    } cases[] = {{"2", 2}, {"2\n", 2}, {"0017\n", 17}, {"", 0}, {"\n", 0}, {"two\n", 0},
                 {"2x\n", 0}, {"-1\n", 0}, {" 2\n", 0}, {"2\n\n", 0}, {"99999\n", 0},
                 {"1\n2\n", 0}};
    for (const auto& c : cases) {
        writeFile(file, c.text);
        EXPECT_EQ(savedProgress(), c.level) << "file holding \"" << c.text << "\"";
    }
    writeFile(file, std::string("2\0\n", 3));
    EXPECT_EQ(savedProgress(), 0);
    // A folder where the file should be: unreadable, and not replaced.
    std::filesystem::remove(file);
    std::filesystem::create_directories(file + "/x");
    EXPECT_EQ(savedProgress(), 0);
    CaptureStderr();
    rememberLevelReached(1);
    EXPECT_NE(GetCapturedStderr(), "");
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

// Progress that cannot be kept does not stop the game, but the player hears of it: one line
// on standard error per level reached and lost, naming the file and the reason. A save that
// works, or a level not beyond the one kept, says nothing.
TEST_F(Progress, AFileThatCannotBeWrittenSaysSoInOneLine) {
    const std::filesystem::path blocker = dir / "blocker";
    writeFile(blocker.string(), "a file where a folder is due");
    const std::string folderWhereTheFileIs = (dir / "data" / "veilwalker" / "progress").string();
    std::filesystem::create_directories(folderWhereTheFileIs + "/x");
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {(blocker / "veilwalker" / "progress").string(), "cannot make its folder: "},
        {folderWhereTheFileIs, "cannot replace it: "},
    };
    for (const auto& c : cases) {
        keepProgressIn(c.path);
        CaptureStderr();
        rememberLevelReached(2);
        const std::string said = GetCapturedStderr();
        const std::string start = "veilwalker: level 2 reached but not saved: " + c.path + ": " + c.reason;
        EXPECT_EQ(said.rfind(start, 0), 0u) << said;
        EXPECT_EQ(said.find('\n'), said.size() - 1) << "not one line: " << said;
        EXPECT_EQ(savedProgress(), 0);
    }
    // Nothing half-written is left beside the file that could not be replaced.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "data" / "veilwalker")) entries += !e.is_directory();
    EXPECT_EQ(entries, 0);

    keepProgressIn(file + "-elsewhere");
    CaptureStderr();
    rememberLevelReached(2);
    rememberLevelReached(1);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(savedProgress(), 2);
}

TEST_F(Progress, COnTheTitleContinuesAndClampsToTheLastLevel) {
    keepProgressIn(file);
    rememberLevelReached(1);
    gotoTitle();
    EXPECT_EQ(typed('c'), "fo: 1, db: 0, cl: 0, fk: 0\n");  // level 1's stocks
    EXPECT_FALSE(atTitle());
    EXPECT_EQ(getCurrLevel(), 1);
    // In play `c` does nothing.
    typed('c');
    EXPECT_EQ(getCurrLevel(), 1);

    // Progress beyond a campaign that has since shrunk: its last level.
    rememberLevelReached(7);
    gotoTitle();
    typed('c');
    EXPECT_EQ(getCurrLevel(), 2);

    // Any other key starts at level 0 and acts there.
    loadInitialBoard();
    gotoTitle();
    EXPECT_EQ(typed('a'), "fo: 0, db: 0, cl: 0, fk: 0\n");
    EXPECT_EQ(getCurrLevel(), 0);
    EXPECT_EQ(board().getIll().o, FA_W);
}

// `c` continues only from the title: in the middle of a level it is a key like any other
// that does nothing, whatever level the progress file holds.
TEST_F(Progress, CInTheMiddleOfALevelLeavesThePlayerWhereTheyAre) {
    keepProgressIn(file);
    rememberLevelReached(2);
    gotoTitle();
    typed('a');   // leaves the title on level 0, facing west
    typed('d');   // faces east
    typed('d');   // one step east
    ASSERT_EQ(getCurrLevel(), 0);
    ASSERT_TRUE(board().getIll().isAt(1, 0));
    EXPECT_EQ(typed('c'), "fo: 0, db: 0, cl: 0, fk: 0\n");
    EXPECT_EQ(getCurrLevel(), 0);
    EXPECT_FALSE(atTitle());
    EXPECT_TRUE(board().getIll().isAt(1, 0)) << "the level started again";
    EXPECT_EQ(board().getIll().o, FA_E);
}

TEST_F(Progress, CWithoutProgressStartsAtLevelZero) {
    keepProgressIn(file);
    gotoTitle();
    typed('c');
    EXPECT_EQ(getCurrLevel(), 0);
    EXPECT_TRUE(board().getIll().isAt(0, 0));
}

TEST_F(Progress, ReachingALevelRecordsIt) {
    keepProgressIn(file);
    typed('d');
    typed('d');  // onto the exit: level 1 from the next frame
    EXPECT_EQ(getCurrLevel(), 1);
    EXPECT_EQ(savedProgress(), 1);
    typed('d');
    typed('d');
    typed('d');
    typed('d');  // through level 2 to the ending: level 0 again behind it
    EXPECT_TRUE(atEnding());
    EXPECT_EQ(savedProgress(), 2);
}
