// soundTable_test.cpp — the one list of sounds: the enumerations' numbers, and the files and
// scores on disk, each named by it once.
#include <filesystem>
#include <set>
#include <string>

#include "repositoryRoot.h"
#include "soundManager.h"

namespace fs = std::filesystem;

namespace {
// Every row but BGM_NONE's: event, file and score.
std::set<std::string> column(const char* SoundFile::*field) {
    std::set<std::string> names;
    for (int row = 1; row < NUM_SOUND_FILES; ++row) names.insert(SOUND_FILES[row].*field);
    return names;
}

std::set<std::string> filesIn(const fs::path& folder, const std::string& extension) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == extension) names.insert(entry.path().filename().string());
    return names;
}
}  // namespace

TEST(SoundTable, TheEnumerationsKeepTheirNumbersAndEachRowIsItsEvent) {
    // The published values; the row (sound number) of music is its value, of an effect
    // its value after the music.
    const struct {
        int value, published;
        const char* event;
    } pinned[] = {
        {BGM_NONE, 0, "BGM_NONE"},
        {BGM_STAGE, 1, "BGM_STAGE"},
        {BGM_ENDING, 2, "BGM_ENDING"},
        {SFX_GAME_OVER, 0, "SFX_GAME_OVER"},
        {SFX_WALKING, 1, "SFX_WALKING"},
        {SFX_ILLUSION_SOUND, 2, "SFX_ILLUSION_SOUND"},
        {SFX_LEVEL_VICTORY, 3, "SFX_LEVEL_VICTORY"},
        {SFX_GUARD_SEES_BODY, 4, "SFX_GUARD_SEES_BODY"},
        {SFX_DOG_DIES, 5, "SFX_DOG_DIES"},
        {SFX_DOG_DISCOVERS_PLAYER, 6, "SFX_DOG_DISCOVERS_PLAYER"},
        {SFX_GUARD_KILLS_GUARD, 7, "SFX_GUARD_KILLS_GUARD"},
        {SFX_GUARD_DISCOVERS_PLAYER, 8, "SFX_GUARD_DISCOVERS_PLAYER"},
    };
    for (const auto& p : pinned) {
        SCOPED_TRACE(p.event);
        EXPECT_EQ(p.value, p.published);
        const int row = std::string(p.event).starts_with("BGM_") ? p.value : NUM_SOUND_BGM + p.value;
        EXPECT_STREQ(SOUND_FILES[row].event, p.event);
    }
    EXPECT_EQ(NUM_SOUND_FILES, int(NUM_SOUND_BGM) + int(NUM_SOUND_SFX));
    for (int row = 1; row < NUM_SOUND_FILES; ++row) {
        const std::string event = SOUND_FILES[row].event;
        EXPECT_TRUE(event.starts_with(row < NUM_SOUND_BGM ? "BGM_" : "SFX_")) << event << " in row " << row;
    }
}

TEST(SoundTable, EachSoundHasAFileInTheGamesFolderAndAScoreAllItsOwn) {
    EXPECT_EQ(SOUND_FILES[0].file, nullptr);
    EXPECT_EQ(SOUND_FILES[0].path, nullptr);
    EXPECT_EQ(SOUND_FILES[0].score, nullptr);
    for (int row = 1; row < NUM_SOUND_FILES; ++row) {
        const SoundFile& s = SOUND_FILES[row];
        SCOPED_TRACE(s.event);
        ASSERT_NE(s.file, nullptr);
        ASSERT_NE(s.score, nullptr);
        EXPECT_EQ(std::string(s.path), std::string("assets/sounds/") + s.file);
        EXPECT_EQ(fs::path(s.file).extension(), ".mp3");
        EXPECT_EQ(fs::path(s.score).extension(), ".score");
    }
    // No two sounds share a file or a score; at least 21 files in all.
    EXPECT_EQ(column(&SoundFile::file).size(), size_t(NUM_SOUND_FILES - 1));
    EXPECT_EQ(column(&SoundFile::score).size(), size_t(NUM_SOUND_FILES - 1));
    EXPECT_EQ(column(&SoundFile::event).size(), size_t(NUM_SOUND_FILES - 1));
    EXPECT_GE(NUM_SOUND_FILES - 1, 21);
}

class SoundTableOnDisk : public RepositoryRootTest {};

TEST_F(SoundTableOnDisk, TheShippedSoundsAndTheScoresAreExactlyTheTables) {
    EXPECT_EQ(filesIn("assets/sounds", ".mp3"), column(&SoundFile::file));
    EXPECT_EQ(filesIn("tools/soundgen/scores", ".score"), column(&SoundFile::score));
    for (const auto& entry : fs::directory_iterator("assets/sounds"))
        EXPECT_EQ(entry.path().extension(), ".mp3") << entry.path() << " is not a sound the game plays";
}
