// soundDevice_test.cpp — initSounds on SDL's dummy driver, on a driver that does not exist,
// and with sound files missing or broken: one line each on standard error, and play goes on.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "repositoryRoot.h"
#include "soundManager.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {
int countLines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

// Every hook, every value, as the game would call them.
void exerciseHooks() {
    playBgm(BGM_STAGE);
    for (int sfx = 0; sfx < NUM_SOUND_SFX; ++sfx) playSfx(SoundSfx(sfx));
    toggleMute();
    toggleMute();
    playBgm(BGM_ENDING);
    playBgm(BGM_NONE);
    playBgm(BGM_STAGE);
}
}  // namespace

class SoundDevice : public RepositoryRootTest {
protected:
    // Starts the sounds on SDL's `driver` with standard error captured, and calls every hook.
    static void startOn(const char* driver) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        CaptureStderr();
        initSounds();
        exerciseHooks();
    }
    void TearDown() override {
        shutdownSounds();
        unsetenv("SDL_AUDIODRIVER");
        RepositoryRootTest::TearDown();
    }
};

TEST_F(SoundDevice, ADriverThatDoesNotExistGivesOneLineAndSilentHooks) {
    startOn("no_such_driver");
    soundTest();   // returns at once: nothing to wait for
    shutdownSounds();
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(countLines(err), 1) << err;
    EXPECT_EQ(err.rfind("sound: no audio device (", 0), 0u) << err;
    EXPECT_NE(err.find("playing without sound"), std::string::npos) << err;
}

// SDL's ALSA driver names its device in AUDIODEV; ALSA itself would print several lines.
TEST_F(SoundDevice, AnAlsaDeviceThatDoesNotExistGivesOneLineToo) {
    setenv("AUDIODEV", "no_such_pcm", 1);
    startOn("alsa");
    const std::string err = GetCapturedStderr();
    unsetenv("AUDIODEV");
    EXPECT_EQ(countLines(err), 1) << err;
    EXPECT_EQ(err.rfind("sound: no audio device (", 0), 0u) << err;
}

TEST_F(SoundDevice, TheDummyDevicePlaysEveryShippedSoundWithoutAWord) {
    startOn("dummy");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    exerciseHooks();
    shutdownSounds();
    // After shutdown the hooks find no output.
    exerciseHooks();
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(SoundDevice, MissingAndBrokenFilesAreNamedOnceAndTheRestStillPlays) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(::testing::TempDir()) / "vwsounds";
    fs::remove_all(dir);
    fs::create_directories(dir / "assets");
    fs::copy("assets/sounds", dir / "assets/sounds");
    fs::remove(dir / "assets/sounds/walking.mp3");
    std::ofstream(dir / "assets/sounds/ending.mp3") << "ID3 but nothing after it\n";
    fs::current_path(dir);

    startOn("dummy");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    shutdownSounds();
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(err,
              "sound: assets/sounds/ending.mp3 is not MPEG audio; it stays silent\n"
              "sound: assets/sounds/walking.mp3 cannot be read; it stays silent\n");
    fs::remove_all(dir);
}
