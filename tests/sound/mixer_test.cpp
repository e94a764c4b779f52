// mixer_test.cpp — the mixer on synthetic streams: mono on both channels, the music under the effects,
// saturation, mute, the ninth effect, the music loop and every stream handed back.
#include "sound/mixer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "syntheticStream.h"

namespace {
constexpr int MUSIC = 1;
constexpr int EFFECT = 5;

int16_t musicLevel(int16_t s) { return int16_t((s * Mixer::MUSIC_GAIN_NUM) >> Mixer::MUSIC_GAIN_SHIFT); }

class MixerTest : public ::testing::Test {
protected:
    SyntheticStream* stream(int channels, int length, std::function<int16_t(int, int)> value) {
        owned.push_back(std::make_unique<SyntheticStream>(channels, length, std::move(value)));
        return owned.back().get();
    }
    // Renders `frames` stereo frames.
    std::vector<int16_t> render(int frames) {
        std::vector<int16_t> out(size_t(frames) * 2, 12345);
        mixer.render(out.data(), frames);
        return out;
    }
    std::vector<LentStream> returned() {
        std::vector<LentStream> all;
        for (LentStream s; mixer.takeReturned(s);) all.push_back(s);
        return all;
    }
    Mixer mixer;
    std::vector<std::unique_ptr<SyntheticStream>> owned;
    std::vector<int16_t> buffer = std::vector<int16_t>(2 * 4096);
};
}  // namespace

TEST_F(MixerTest, SilenceWithNothingPlaying) {
    for (int16_t s : render(3000)) ASSERT_EQ(s, 0);
}

TEST_F(MixerTest, AMonoEffectPlaysOnBothChannelsAtFullLevelThenEnds) {
    auto* effect = stream(1, 100, [](int k, int) { return int16_t(k * 7 - 300); });
    ASSERT_TRUE(mixer.startEffect(EFFECT, effect));
    const std::vector<int16_t> out = render(150);
    for (int k = 0; k < 100; ++k) {
        ASSERT_EQ(out[2 * k], k * 7 - 300) << k;
        ASSERT_EQ(out[2 * k + 1], k * 7 - 300) << k;
    }
    for (int k = 100; k < 150; ++k) ASSERT_EQ(out[2 * k], 0);
    const std::vector<LentStream> back = returned();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].stream, effect);
    EXPECT_EQ(back[0].sound, EFFECT);
}

TEST_F(MixerTest, StereoMusicKeepsItsChannelsUnderTheEffects) {
    auto* music = stream(2, 100000, [](int k, int c) { return int16_t(c ? -k : k); });
    auto* spare = stream(2, 100000, constant(0));
    ASSERT_TRUE(mixer.startMusic(MUSIC, music, spare));
    ASSERT_TRUE(mixer.startEffect(EFFECT, stream(1, 50, constant(1000))));
    const std::vector<int16_t> out = render(2500);   // over two chunks
    for (int k = 0; k < 2500; ++k) {
        const int effect = k < 50 ? 1000 : 0;
        ASSERT_EQ(out[2 * k], musicLevel(int16_t(k)) + effect) << k;
        ASSERT_EQ(out[2 * k + 1], musicLevel(int16_t(-k)) + effect) << k;
    }
}

TEST_F(MixerTest, SumsAreTakenWideAndSaturateOnlyAtTheEnd) {
    // 30000 + 30000 - 20000 - 32768 - 32768: no partial sum is cut, the total fits.
    for (int16_t v : {30000, 30000, -20000}) mixer.startEffect(EFFECT, stream(1, 10, constant(v)));
    mixer.startEffect(EFFECT, stream(1, 20, constant(-32768)));
    mixer.startEffect(EFFECT, stream(1, 20, constant(-32768)));
    const std::vector<int16_t> out = render(20);
    EXPECT_EQ(out[0], -25536);
    EXPECT_EQ(out[2 * 15], -32768);   // -65536 after the first three end
    mixer.startEffect(EFFECT, stream(1, 5, constant(32767)));
    mixer.startEffect(EFFECT, stream(1, 5, constant(32767)));
    EXPECT_EQ(render(5)[9], 32767);
}

TEST_F(MixerTest, MuteDeliversSilenceWhileTheVoicesRunOn) {
    auto* effect = stream(1, 300, [](int k, int) { return int16_t(k); });
    mixer.startEffect(EFFECT, effect);
    mixer.setMuted(true);
    for (int16_t s : render(100)) ASSERT_EQ(s, 0);
    EXPECT_EQ(effect->position(), 100);
    mixer.setMuted(false);
    EXPECT_EQ(render(1)[0], 100);
}

TEST_F(MixerTest, ANinthEffectReplacesTheOneThatStartedFirst) {
    std::vector<SyntheticStream*> effects;
    for (int i = 0; i < Mixer::MAX_EFFECT_VOICES; ++i) {
        effects.push_back(stream(1, 10000, constant(int16_t(1 << i))));
        mixer.startEffect(EFFECT + i, effects.back());
        render(1);   // one after another
    }
    EXPECT_EQ(render(1)[0], 255);
    EXPECT_TRUE(returned().empty());
    mixer.startEffect(EFFECT, stream(1, 10000, constant(1000)));
    EXPECT_EQ(render(1)[0], 255 - 1 + 1000);
    std::vector<LentStream> back = returned();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].stream, effects[0]);
    // The next to go is the second oldest.
    mixer.startEffect(EFFECT, stream(1, 10000, constant(3000)));
    EXPECT_EQ(render(1)[0], 255 - 1 - 2 + 1000 + 3000);
    back = returned();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].stream, effects[1]);
}

TEST_F(MixerTest, TheMusicLoopsIntoItsSpareWithoutAGapAndAsksForTheNext) {
    auto value = [](int k, int) { return int16_t(k + 1); };
    auto* first = stream(1, 1500, value);
    auto* spare = stream(1, 1500, value);
    mixer.startMusic(MUSIC, first, spare);
    std::vector<int16_t> out = render(2048);
    for (int k = 0; k < 2048; ++k) ASSERT_EQ(out[2 * k], musicLevel(int16_t(k % 1500 + 1))) << k;
    std::vector<LentStream> back = returned();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].stream, first);
    EXPECT_EQ(back[1].stream, nullptr);   // a request for the next copy
    EXPECT_EQ(back[1].sound, MUSIC);

    // The first copy comes back rewound as the new spare; the loop goes on.
    first->setPosition(0);
    mixer.offerMusicSpare(MUSIC, first);
    out = render(1500);
    for (int k = 0; k < 1500; ++k) ASSERT_EQ(out[2 * k], musicLevel(int16_t((k + 2048) % 1500 + 1))) << k;
    back = returned();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].stream, spare);
    EXPECT_EQ(back[1].stream, nullptr);
}

TEST_F(MixerTest, MusicWithoutASpareAsksOnceAndWaitsSilentlyAtItsEnd) {
    auto* only = stream(2, 100, constant(800));
    mixer.startMusic(MUSIC, only, nullptr);
    std::vector<int16_t> out = render(300);
    EXPECT_EQ(out[2 * 99], musicLevel(800));
    EXPECT_EQ(out[2 * 100], 0);
    std::vector<LentStream> back = returned();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].stream, nullptr);   // asked at the start
    EXPECT_EQ(back[1].stream, only);
    // The spare that answers starts at once.
    mixer.offerMusicSpare(MUSIC, stream(2, 100, constant(1600)));
    EXPECT_EQ(render(1)[0], musicLevel(1600));
}

TEST_F(MixerTest, ChangingOrStoppingTheMusicHandsBackItsStreamsAndRefusesStaleSpares) {
    auto* stage = stream(2, 100000, constant(8));
    auto* stageSpare = stream(2, 100000, constant(8));
    mixer.startMusic(MUSIC, stage, stageSpare);
    render(10);
    auto* ending = stream(2, 100000, constant(16));
    mixer.startMusic(MUSIC + 1, ending, nullptr);
    EXPECT_EQ(render(1)[0], musicLevel(16));
    std::vector<LentStream> back = returned();
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].stream, stage);
    EXPECT_EQ(back[1].stream, stageSpare);
    EXPECT_EQ(back[2].sound, MUSIC + 1);
    // A spare of the old music, late, goes straight back.
    auto* late = stream(2, 100000, constant(8));
    mixer.offerMusicSpare(MUSIC, late);
    mixer.stopMusic();
    EXPECT_EQ(render(1)[0], 0);
    back = returned();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].stream, late);
    EXPECT_EQ(back[1].stream, ending);
}

TEST_F(MixerTest, ReleaseAllHandsBackEveryVoiceAndEveryRequestNotYetPlayed) {
    mixer.startMusic(MUSIC, stream(2, 1000, constant(1)), stream(2, 1000, constant(1)));
    mixer.startEffect(EFFECT, stream(1, 1000, constant(1)));
    render(10);
    mixer.startEffect(EFFECT, stream(1, 1000, constant(1)));
    mixer.releaseAll();
    int streams = 0;
    for (const LentStream& s : returned()) streams += s.stream != nullptr;
    EXPECT_EQ(streams, 4);
    for (int16_t s : render(10)) ASSERT_EQ(s, 0);
}

TEST_F(MixerTest, AFullRequestQueueRefusesInsteadOfBlocking) {
    int accepted = 0;
    while (mixer.startEffect(EFFECT, stream(1, 10, constant(1))) && accepted < 1000) ++accepted;
    EXPECT_EQ(accepted, 64);
    EXPECT_FALSE(mixer.stopMusic());
    render(1);
    EXPECT_TRUE(mixer.stopMusic());
}

// The keeper may answer a request for the next copy only after the copy playing has run
// out, on any loop: the music waits in silence and goes on with the copy that comes.
TEST_F(MixerTest, MusicWhoseSpareComesLateOnALaterLoopGoesOnWithIt) {
    for (int lateLoop = 1; lateLoop <= 3; ++lateLoop) {
        SCOPED_TRACE("late on loop " + std::to_string(lateLoop + 1));
        Mixer fresh;
        fresh.startMusic(MUSIC, stream(2, 100, constant(800)), stream(2, 100, constant(800)));
        // Loops that find their spare in time.
        for (int loop = 1; loop < lateLoop; ++loop) {
            fresh.render(buffer.data(), 150);
            fresh.offerMusicSpare(MUSIC, stream(2, 100, constant(800)));
        }
        // The copy playing and the spare both run out before the next copy is offered.
        fresh.render(buffer.data(), 300);
        EXPECT_EQ(buffer[2 * 299], 0) << "silent while it waits";
        auto* late = stream(2, 10000, constant(1600));
        fresh.offerMusicSpare(MUSIC, late);
        fresh.render(buffer.data(), 2048);
        EXPECT_NE(buffer[2 * 2047], 0) << "the music stopped for good";
        EXPECT_GT(late->position(), 0);
        bool handedBackUnplayed = false;
        for (LentStream s; fresh.takeReturned(s);) handedBackUnplayed |= s.stream == late;
        EXPECT_FALSE(handedBackUnplayed);
        fresh.releaseAll();
    }
}
