// soundSettings_test.cpp — the settings file that keeps the two volumes: its form, its damaged
// forms, where it lives and how it is replaced.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "soundManager.h"

namespace {
namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

class SoundSettings : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vw-settings-" + std::to_string(getpid()));
        fs::remove_all(dir);
        file = dir / "veilwalker" / "settings";
    }
    void TearDown() override {
        keepSoundSettingsIn("");
        fs::remove_all(dir);
    }
    void write(const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    fs::path dir, file;
};
}  // namespace

TEST(SoundSettingsText, ReadsBackWhatItWrites) {
    for (int music : {0, 3, 10})
        for (int effects : {0, 7, 10}) {
            int m = -1, e = -1;
            ASSERT_TRUE(parseSoundSettings(soundSettingsText(music, effects), m, e));
            EXPECT_EQ(m, music);
            EXPECT_EQ(e, effects);
        }
    EXPECT_EQ(soundSettingsText(4, 10), "music 4\neffects 10\n");
}

TEST(SoundSettingsText, DamagedFormsAreRefusedAndLeaveBothVolumes) {
    const char* damaged[] = {
        "",                               // empty
        "music 4\n",                      // one line
        "effects 4\nmusic 4\n",           // out of order
        "music 11\neffects 4\n",          // past full
        "music -1\neffects 4\n",          // below silent
        "music 4x\neffects 4\n",          // not a number
        "music 004\neffects 4\n",         // too many digits
        "music 4\neffects 4\nmore\n",     // something after
        "volume 4\neffects 4\n",          // wrong name
        "music\neffects 4 4\n",           // misplaced number
        "\x01\x02\x03\xff",               // binary
    };
    for (const char* text : damaged) {
        int m = 6, e = 2;
        EXPECT_FALSE(parseSoundSettings(text, m, e)) << text;
        EXPECT_EQ(m, 6) << text;
        EXPECT_EQ(e, 2) << text;
    }
}

TEST(SoundSettingsPath, LivesBesideTheProgressFile) {
    EXPECT_EQ(settingsPathBeside("/home/p/.local/share/veilwalker/progress"),
              "/home/p/.local/share/veilwalker/settings");
    EXPECT_EQ(settingsPathBeside(""), "");
}

TEST_F(SoundSettings, AMissingFileMeansFullVolumeAndTheFirstChangeCreatesIt) {
    keepSoundSettingsIn(file.string());
    EXPECT_EQ(musicVolume(), SOUND_VOLUME_STEPS);
    EXPECT_EQ(effectsVolume(), SOUND_VOLUME_STEPS);
    EXPECT_FALSE(fs::exists(file));
    musicQuieter();
    effectsQuieter();
    effectsQuieter();
    EXPECT_EQ(readAll(file), "music 9\neffects 8\n");
    // Nothing but the file itself is left in the folder.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(file.parent_path())) ++entries;
    EXPECT_EQ(entries, 1);
    // And the next run finds the volumes where they were left.
    keepSoundSettingsIn("");
    EXPECT_EQ(musicVolume(), SOUND_VOLUME_STEPS);
    keepSoundSettingsIn(file.string());
    EXPECT_EQ(musicVolume(), 9);
    EXPECT_EQ(effectsVolume(), 8);
}

TEST_F(SoundSettings, ADamagedFileMeansFullVolumeAndIsReplacedByTheNextChange) {
    for (const char* text : {"music 12\neffects 3\n", "garbage", "music 3\n"}) {
        write(text);
        keepSoundSettingsIn(file.string());
        EXPECT_EQ(musicVolume(), SOUND_VOLUME_STEPS) << text;
        EXPECT_EQ(effectsVolume(), SOUND_VOLUME_STEPS) << text;
        musicLouder();   // already full: nothing changes, nothing is written
        EXPECT_EQ(readAll(file), text);
        effectsQuieter();
        EXPECT_EQ(readAll(file), "music 10\neffects 9\n");
    }
}

TEST_F(SoundSettings, AFileThatCannotBeWrittenSaysSoAndTheVolumeStillChanges) {
    // A folder where the file should be: the rename onto it fails.
    fs::create_directories(file);
    fs::create_directories(file / "inside");
    keepSoundSettingsIn(file.string());
    testing::internal::CaptureStderr();
    musicQuieter();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(musicVolume(), 9);
    EXPECT_NE(said.find(file.string()), std::string::npos) << said;
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(file.parent_path())) ++entries;
    EXPECT_EQ(entries, 1) << "no temporary file left behind";
}
