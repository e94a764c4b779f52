// soundBank_test.cpp — the plug-in host and the stream bank on the shipped sounds, with the
// keeper rewinding on its own thread while the mixer renders on another.
#include "sound/soundBank.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "repositoryRoot.h"
#include "sound/engineHost.h"
#include "sound/mixer.h"

namespace {
SoundBytes bytesOf(const std::string& text) {
    return std::make_shared<std::vector<uint8_t>>(text.begin(), text.end());
}

SoundBytes fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::make_shared<std::vector<uint8_t>>(std::istreambuf_iterator<char>(in),
                                                  std::istreambuf_iterator<char>());
}

// Every sample frame of a stream, decoded through the plug-in.
std::vector<int16_t> decodeAll(irrklang::IAudioStream* stream) {
    const int channels = stream->getFormat().ChannelCount;
    std::vector<int16_t> all, chunk(4096 * size_t(channels));
    for (int n; (n = stream->readFrames(chunk.data(), 4096)) > 0;)
        all.insert(all.end(), chunk.begin(), chunk.begin() + n * channels);
    return all;
}

int16_t musicLevel(int16_t s) { return int16_t((s * Mixer::MUSIC_GAIN_NUM) >> Mixer::MUSIC_GAIN_SHIFT); }
}  // namespace

TEST(MemoryFileReader, ReadsSeeksAndReportsItsSizeLikeAFile) {
    MemoryFileReader reader(bytesOf("0123456789"));
    char buf[8] = {};
    EXPECT_EQ(reader.getSize(), 10);
    EXPECT_EQ(reader.read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_TRUE(reader.seek(3, true));
    EXPECT_EQ(reader.getPos(), 7);
    EXPECT_EQ(reader.read(buf, 8), 3);
    EXPECT_EQ(std::string(buf, 3), "789");
    EXPECT_EQ(reader.read(buf, 8), 0);
    EXPECT_FALSE(reader.seek(11));
    EXPECT_FALSE(reader.seek(-11, true));
    EXPECT_EQ(reader.getPos(), 10);
    EXPECT_TRUE(reader.seek(0));
    EXPECT_EQ(reader.read(buf, 1), 1);
    EXPECT_EQ(buf[0], '0');
}

class SoundBankTest : public RepositoryRootTest {
protected:
    void SetUp() override {
        RepositoryRootTest::SetUp();
        host.loadPlugins();
    }
    EngineHost host;
    Mixer mixer;
};

TEST_F(SoundBankTest, ThePluginLinkedInRegistersOneLoaderPerCall) {
    ASSERT_EQ(host.loaderCount(), 1u);
    // The plug-in dropped its own reference: the one left is the one the host took.
    EXPECT_EQ(host.loaders()[0]->getReferenceCount(), 1);
    EXPECT_TRUE(host.loaders()[0]->isALoadableFileExtension("assets/sounds/stage.mp3"));
    host.loadPlugins();
    EXPECT_EQ(host.loaderCount(), 2u);
    host.dropLoaders();
    EXPECT_EQ(host.loaderCount(), 0u);
    EXPECT_EQ(host.openStream("stage.mp3", fileBytes("assets/sounds/stage.mp3")), nullptr);
}

TEST_F(SoundBankTest, EveryShippedSoundOpensAt44100HzMusicInStereoEffectsInMono) {
    for (int sound = 1; sound < NUM_SOUNDS; ++sound) {
        SCOPED_TRACE(soundPath(sound));
        irrklang::IAudioStream* stream = host.openStream(soundPath(sound), fileBytes(soundPath(sound)));
        ASSERT_NE(stream, nullptr);
        const irrklang::SAudioStreamFormat format = stream->getFormat();
        EXPECT_EQ(format.SampleRate, 44100);
        EXPECT_EQ(format.ChannelCount, sound < NUM_SOUND_BGM ? 2 : 1);
        if (sound == soundOf(BGM_STAGE)) {
            EXPECT_GE(format.FrameCount, 45 * 44100);
        }
        if (sound >= NUM_SOUND_BGM) {
            EXPECT_LE(format.FrameCount, 3 * 44100);
        }
        stream->drop();
    }
}

TEST_F(SoundBankTest, NamesOtherThanMp3AndBytesThatAreNotMpegOpenNothing) {
    const SoundBytes stage = fileBytes("assets/sounds/stage.mp3");
    EXPECT_EQ(host.openStream("stage.wav", stage), nullptr);
    EXPECT_EQ(host.openStream("stage.MP3", stage), nullptr);
    EXPECT_EQ(host.openStream("notes.mp3", bytesOf("just some text, no frames in it\n")), nullptr);
    EXPECT_EQ(host.openStream("empty.mp3", bytesOf("")), nullptr);
}

TEST_F(SoundBankTest, LoadSaysWhyAFileStaysSilentAndLendsOnlyWhatLoaded) {
    SoundBank bank(mixer);
    EXPECT_EQ(bank.load(host, soundOf(SFX_WALKING), "assets/sounds/no_such_sound.mp3", 2), "cannot be read");
    const std::string text = ::testing::TempDir() + "not_audio.mp3";
    std::ofstream(text) << "this is not audio\n";
    EXPECT_EQ(bank.load(host, soundOf(SFX_DOG_DIES), text, 2), "is not MPEG audio");
    EXPECT_EQ(bank.borrow(soundOf(SFX_WALKING)), nullptr);
    EXPECT_EQ(bank.frames(soundOf(SFX_DOG_DIES)), 0);

    EXPECT_EQ(bank.load(host, soundOf(SFX_WALKING), "assets/sounds/walking.mp3", 3), "");
    EXPECT_EQ(bank.ready(soundOf(SFX_WALKING)), 3);
    EXPECT_GT(bank.frames(soundOf(SFX_WALKING)), 1000);
}

TEST_F(SoundBankTest, AFileAtAnotherRateIsRefusedNamingIt) {
    const std::string dir = ::testing::TempDir();
    const std::string make = "sox -q -n -r 32000 -c 1 " + dir + "tone32k.wav synth 0.3 sine 440 && lame --quiet " +
                             dir + "tone32k.wav " + dir + "tone32k.mp3";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "sox and lame make the 32 kHz file";
    SoundBank bank(mixer);
    EXPECT_EQ(bank.load(host, soundOf(SFX_WALKING), dir + "tone32k.mp3", 1), "plays at 32000 Hz, not 44100");
}

// lame on a WAV with no samples writes the metadata frame alone: it opens as MPEG audio of
// the right rate but decodes to nothing, and must not load as a sound that plays silence.
TEST_F(SoundBankTest, AFileWithOnlyTheMetadataFrameIsRefusedAsHoldingNoAudio) {
    const std::string base = ::testing::TempDir() + "metadata_only_" + std::to_string(getpid());
    const std::string make = "sox -q -n -r 44100 -c 1 -b 16 " + base + ".wav trim 0 0 && lame --quiet " + base +
                             ".wav " + base + ".mp3";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "sox and lame make the empty file";
    SoundBank bank(mixer);
    EXPECT_EQ(bank.load(host, soundOf(SFX_WALKING), base + ".mp3", 2), "holds no audio that decodes");
    EXPECT_EQ(bank.frames(soundOf(SFX_WALKING)), 0);
    EXPECT_EQ(bank.ready(soundOf(SFX_WALKING)), 0);
    EXPECT_EQ(bank.borrow(soundOf(SFX_WALKING)), nullptr);
    std::remove((base + ".wav").c_str());
    std::remove((base + ".mp3").c_str());
}

// Renders `total` frames on a thread of its own, 1024 at a time, somewhat faster than a device asks.
std::thread renderOnAudioThread(Mixer& mixer, std::vector<int16_t>& out, size_t total) {
    out.assign(total * 2, 0);
    return std::thread([&mixer, &out, total] {
        for (size_t done = 0; done < total; done += 1024) {
            mixer.render(out.data() + 2 * done, int(std::min<size_t>(1024, total - done)));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
}

// The keeper rewinds each finished copy on its own thread and hands it back as the next
// spare, while the mixer renders on another: three times round, sample for sample.
TEST_F(SoundBankTest, TheMusicLoopsSampleForSampleWhileTheKeeperRewindsOnItsOwnThread) {
    const char* path = "assets/sounds/game_over.mp3";   // two seconds: a short loop
    irrklang::IAudioStream* reference = host.openStream(path, fileBytes(path));
    ASSERT_NE(reference, nullptr);
    const std::vector<int16_t> once = decodeAll(reference);
    reference->drop();
    ASSERT_GT(once.size(), 44100u);

    SoundBank bank(mixer);
    const int music = soundOf(BGM_STAGE);
    ASSERT_EQ(bank.load(host, music, path, MUSIC_COPIES), "");
    bank.startKeeper();
    ASSERT_TRUE(mixer.startMusic(music, bank.borrow(music), bank.borrow(music)));
    std::vector<int16_t> out;
    const size_t total = once.size() * 3 + 5000;
    renderOnAudioThread(mixer, out, total).join();

    size_t mismatches = 0, first = 0;
    for (size_t k = 0; k < total; ++k) {
        const int16_t want = musicLevel(once[k % once.size()]);
        if ((out[2 * k] != want || out[2 * k + 1] != want) && mismatches++ == 0) first = k;
    }
    EXPECT_EQ(mismatches, 0u) << "first at frame " << first << " of a loop of " << once.size();
    // Stopping fades the music out over many frames; as the game does at its end, the mixer
    // gives back what it still holds before the bank drops everything.
    mixer.stopMusic();
    mixer.render(out.data(), 1);
    mixer.releaseAll();
}

// Effects asked for on this thread while the audio thread renders; when all have played,
// every copy is back in the bank, rewound, and the bank drops them all at the end.
TEST_F(SoundBankTest, EveryEffectCopyComesBackAfterPlaying) {
    SoundBank bank(mixer);
    const int walking = soundOf(SFX_WALKING);
    ASSERT_EQ(bank.load(host, walking, "assets/sounds/walking.mp3", EFFECT_COPIES), "");
    bank.startKeeper();
    std::vector<int16_t> out;
    std::thread audio = renderOnAudioThread(mixer, out, 200 * 1024);
    int started = 0;
    for (int i = 0; i < 4 * EFFECT_COPIES; ++i) {
        if (irrklang::IAudioStream* s = bank.borrow(walking)) started += mixer.startEffect(walking, s);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    audio.join();
    for (int i = 0; i < 200 && bank.ready(walking) < EFFECT_COPIES; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(bank.ready(walking), EFFECT_COPIES);
    EXPECT_GE(started, EFFECT_COPIES);
    size_t loud = 0;
    for (int16_t v : out) loud += v != 0;
    EXPECT_GT(loud, 1000u);
}
