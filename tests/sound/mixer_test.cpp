// mixer_test.cpp — the mixer on synthetic streams: mono on both channels, the music under the effects,
// the limiter and its knee, ramps for mute, volumes, ducking and music changes, the ninth effect, the music
// loop and every stream handed back.
#include "sound/mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "syntheticStream.h"

namespace {
constexpr int MUSIC = 1;
constexpr int EFFECT = 5;

int16_t musicLevel(int16_t s) { return int16_t((s * Mixer::MUSIC_GAIN_NUM) >> Mixer::MUSIC_GAIN_SHIFT); }

// The largest change between neighbouring frames of the left channel, from frame `from` on.
int largestStep(const std::vector<int16_t>& out, size_t from = 0) {
    int largest = 0;
    for (size_t k = from + 1; 2 * k < out.size(); ++k)
        largest = std::max(largest, std::abs(out[2 * k] - out[2 * k - 2]));
    return largest;
}

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

TEST_F(MixerTest, SumsAreTakenWideAndPassUnchangedBelowTheKnee) {
    // 30000 + 30000 - 20000 - 32000 + 10000: no partial sum is cut, the total passes as it is.
    for (int16_t v : {30000, 30000, -20000}) mixer.startEffect(EFFECT, stream(1, 10, constant(v)));
    mixer.startEffect(EFFECT, stream(1, 20, constant(-32000)));
    mixer.startEffect(EFFECT, stream(1, 20, constant(10000)));
    const std::vector<int16_t> out = render(20);
    EXPECT_EQ(out[0], 18000);
    EXPECT_EQ(out[2 * 15], -22000);   // after the first three end
}

TEST_F(MixerTest, NineLoudVoicesAtFullVolumeNeverReachTheRails) {
    // Full-scale music and eight full-scale effects, in phase and out, with every chunk size
    // the device might ask for.
    struct Case {
        const char* name;
        std::function<int16_t(int, int)> music, effect;
        int chunk;
    };
    auto square = [](int period) {
        return [period](int k, int) { return int16_t(k / period % 2 ? -32768 : 32767); };
    };
    const Case cases[] = {
        {"constant, whole buffers", constant(32767), constant(32767), 1024},
        {"negative rails, odd buffers", constant(-32768), constant(-32768), 333},
        {"squares in phase, frame by frame", square(50), square(50), 1},
        {"squares out of phase", square(37), square(11), 1024},
        {"silence then a burst", [](int k, int) { return int16_t(k < 5000 ? 0 : 32767); }, square(3), 512},
    };
    for (const Case& c : cases) {
        Mixer fresh;
        fresh.startMusic(MUSIC, stream(2, 40000, c.music), stream(2, 40000, c.music));
        for (int i = 0; i < Mixer::MAX_EFFECT_VOICES; ++i) fresh.startEffect(EFFECT + i, stream(1, 30000, c.effect));
        std::vector<int16_t> out(2 * 30000);
        for (size_t done = 0; done < 30000; done += size_t(c.chunk))
            fresh.render(out.data() + 2 * done, int(std::min<size_t>(size_t(c.chunk), 30000 - done)));
        int loudest = 0;
        for (int16_t v : out) loudest = std::max(loudest, std::abs(int(v)));
        EXPECT_LT(loudest, int(Mixer::CEILING)) << c.name;
        EXPECT_GT(loudest, int(Mixer::KNEE) / 2) << c.name << ": the limiter may lower the sum, not lose it";
        fresh.releaseAll();
    }
}

TEST_F(MixerTest, TheLimiterRecoversSlowlyAfterALoudBuffer) {
    auto loudThenQuiet = [](int k, int) { return int16_t(k < 1024 ? 32000 : 8000); };
    for (int i = 0; i < 3; ++i) mixer.startEffect(EFFECT, stream(1, 1024 + 44100, loudThenQuiet));
    std::vector<int16_t> out(2 * (1024 + 44100));
    for (int done = 0; done < 1024 + 44100; done += 1024)
        mixer.render(out.data() + 2 * done, std::min(1024, 1024 + 44100 - done));
    // Just after the loud buffer the quiet one is still held down; within a second it is back.
    EXPECT_LT(out[2 * 1100], 24000 / 2);
    EXPECT_LT(out[2 * 2047], 24000 / 2) << "not back within one buffer";
    EXPECT_LT(out[2 * (1024 + 11025)], 24000 * 9 / 10) << "not back within a quarter second";
    EXPECT_EQ(out[2 * (1024 + 30000)], 24000);
    EXPECT_LT(largestStep(out, 1030), 24000 / Mixer::RAMP_FRAMES + 2);
}

// A burst after silence is brought under the knee within the attack, not over the buffer.
TEST_F(MixerTest, TheLimiterTakesABurstDownWithinItsAttack) {
    for (int i = 0; i < 3; ++i) mixer.startEffect(EFFECT, stream(1, 2048, [](int k, int) { return int16_t(k < 1024 ? 0 : 30000); }));
    render(1024);
    const std::vector<int16_t> out = render(1024);
    EXPECT_GT(out[0], int(Mixer::KNEE) / 2) << "the burst is lowered, not lost";
    for (int k = Mixer::LIMITER_ATTACK_FRAMES; k < 1024; ++k) ASSERT_LE(out[2 * k], int(Mixer::KNEE)) << k;
}

// Music at each volume step plays at (step / 10) squared of its full level.
TEST_F(MixerTest, EachMusicVolumeStepPlaysAtItsShareOfFullLevel) {
    const int sample = 16000;
    for (int step : {0, 1, 3, 5, 8, 10}) {
        Mixer fresh;
        fresh.setMusicVolume(step);
        fresh.startMusic(MUSIC, stream(1, 100000, constant(sample)), nullptr);
        std::vector<int16_t> out(2 * 2000);
        fresh.render(out.data(), 2000);
        const double share = (step / 10.0) * (step / 10.0);
        EXPECT_NEAR(out[2 * 1999], musicLevel(sample) * share, 1) << "step " << step;
        fresh.releaseAll();
    }
}

TEST(MixerVolume, TenStepsFromSilentToFull) {
    EXPECT_EQ(Mixer::volumeGain(0), 0.0f);
    EXPECT_EQ(Mixer::volumeGain(Mixer::VOLUME_STEPS), 1.0f);
    EXPECT_EQ(Mixer::volumeGain(-3), 0.0f);
    EXPECT_EQ(Mixer::volumeGain(42), 1.0f);
    for (int step = 1; step <= Mixer::VOLUME_STEPS; ++step)
        EXPECT_GT(Mixer::volumeGain(step), Mixer::volumeGain(step - 1)) << step;
}

TEST_F(MixerTest, GainChangesRampWithoutAStepLargerThanTheRampAllows) {
    // Each change from a steady level; `level` is where it must settle, `start` where it was.
    struct Case {
        const char* name;
        bool music;
        std::function<void(Mixer&)> change;
        int start, level;
    };
    const int sample = 20000;
    const Case cases[] = {
        {"mute over the music", true, [](Mixer& m) { m.setMuted(true); }, musicLevel(sample), 0},
        {"mute over an effect", false, [](Mixer& m) { m.setMuted(true); }, sample, 0},
        {"music volume to silent", true, [](Mixer& m) { m.setMusicVolume(0); }, musicLevel(sample), 0},
        {"music volume to 5", true, [](Mixer& m) { m.setMusicVolume(5); }, musicLevel(sample),
         int(std::lrint(float(musicLevel(sample)) * Mixer::volumeGain(5)))},
        {"effects volume to 3", false, [](Mixer& m) { m.setEffectsVolume(3); }, sample,
         int(std::lrint(float(sample) * Mixer::volumeGain(3)))},
        {"effects volume leaves the music", true, [](Mixer& m) { m.setEffectsVolume(0); }, musicLevel(sample),
         musicLevel(sample)},
        {"music stopped", true, [](Mixer& m) { m.stopMusic(); }, musicLevel(sample), 0},
    };
    for (const Case& c : cases) {
        Mixer fresh;
        if (c.music)
            fresh.startMusic(MUSIC, stream(1, 100000, constant(sample)), stream(1, 100000, constant(sample)));
        else
            fresh.startEffect(EFFECT, stream(1, 100000, constant(sample)));
        std::vector<int16_t> out(2 * 4000);
        fresh.render(out.data(), 1000);
        EXPECT_EQ(out[2 * 999], c.start) << c.name;
        c.change(fresh);
        for (int done = 1000; done < 4000; done += 250) fresh.render(out.data() + 2 * done, 250);
        const int allowed = std::abs(c.start - c.level) / Mixer::RAMP_FRAMES + 2;
        EXPECT_LE(largestStep(out), allowed) << c.name;
        if (c.start != c.level) {
            EXPECT_GT(std::abs(out[2 * 1000] - c.level), std::abs(c.start - c.level) / 2) << c.name << ": no jump";
        }
        EXPECT_EQ(out[2 * (1000 + Mixer::RAMP_FRAMES + 250)], c.level) << c.name;
        EXPECT_EQ(out[2 * 3999], c.level) << c.name;
        fresh.releaseAll();
    }
}

TEST_F(MixerTest, AnEffectThatDucksLowersTheMusicWhileItPlays) {
    mixer.startMusic(MUSIC, stream(1, 100000, constant(16000)), stream(1, 100000, constant(16000)));
    render(100);
    mixer.startEffect(EFFECT, stream(1, 3000, constant(0)), true);
    const std::vector<int16_t> out = render(6000);
    const int ducked = int(std::lrint(musicLevel(16000) * Mixer::DUCKED));
    EXPECT_NEAR(out[2 * 2000], ducked, 1);
    EXPECT_EQ(out[2 * 5999], musicLevel(16000));
    EXPECT_LE(largestStep(out), (musicLevel(16000) - ducked) / Mixer::RAMP_FRAMES + 2);
}

// The fanfare ducks the music; an effect that does not duck, started beside it, does not
// bring the music back up while the fanfare still plays.
TEST_F(MixerTest, MusicStaysDuckedWhileAnyDuckingEffectPlays) {
    mixer.startMusic(MUSIC, stream(1, 100000, constant(16000)), stream(1, 100000, constant(16000)));
    render(100);
    mixer.startEffect(EFFECT, stream(1, 6000, constant(0)), true);
    render(10);
    mixer.startEffect(EFFECT + 1, stream(1, 5000, constant(0)), false);
    const std::vector<int16_t> out = render(4000);
    EXPECT_NEAR(out[2 * 3999], int(std::lrint(musicLevel(16000) * Mixer::DUCKED)), 1);
}

// Music cut short while it still fades in fades out from where it got, at the crossfade's pace.
TEST_F(MixerTest, MusicReplacedWhileFadingInFadesOutAtTheSamePace) {
    mixer.startMusic(MUSIC, stream(1, 100000, constant(0)), nullptr);
    render(10);
    mixer.startMusic(MUSIC + 1, stream(1, 100000, constant(16000)), nullptr);
    render(Mixer::CROSSFADE_FRAMES / 2);
    mixer.startMusic(MUSIC + 2, stream(1, 100000, constant(0)), nullptr);
    const std::vector<int16_t> out = render(Mixer::CROSSFADE_FRAMES);
    EXPECT_NEAR(out[0], musicLevel(16000) / 2, 2);
    EXPECT_EQ(out[2 * (Mixer::CROSSFADE_FRAMES / 2 + 10)], 0) << "half way in, half the time out";
}

TEST_F(MixerTest, NewMusicCrossfadesFromTheOld) {
    auto* stage = stream(2, 100000, constant(8000));
    auto* stageSpare = stream(2, 100000, constant(8000));
    mixer.startMusic(MUSIC, stage, stageSpare);
    render(10);
    mixer.startMusic(MUSIC + 1, stream(2, 100000, constant(-8000)), stream(2, 100000, constant(-8000)));
    std::vector<int16_t> out = render(Mixer::CROSSFADE_FRAMES + 1000);
    EXPECT_NEAR(out[0], musicLevel(8000), 2);
    EXPECT_NEAR(out[2 * (Mixer::CROSSFADE_FRAMES / 2)], 0, 2);   // half of each
    EXPECT_EQ(out[2 * (Mixer::CROSSFADE_FRAMES + 999)], musicLevel(-8000));
    EXPECT_LE(largestStep(out), 2 * musicLevel(8000) / Mixer::CROSSFADE_FRAMES + 2);
    // The old music's streams come back once it is silent.
    const std::vector<LentStream> back = returned();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].stream, stage);
    EXPECT_EQ(back[1].stream, stageSpare);
}

TEST_F(MixerTest, MuteDeliversSilenceWhileTheVoicesRunOn) {
    auto* effect = stream(1, 3000, [](int k, int) { return int16_t(k); });
    mixer.startEffect(EFFECT, effect);
    mixer.setMuted(true);
    const std::vector<int16_t> out = render(1000);
    for (size_t k = Mixer::RAMP_FRAMES; k < 1000; ++k) ASSERT_EQ(out[2 * k], 0) << k;
    EXPECT_EQ(effect->position(), 1000);
    mixer.setMuted(false);
    render(Mixer::RAMP_FRAMES);
    EXPECT_EQ(render(1)[0], 1000 + Mixer::RAMP_FRAMES);
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
    render(1);
    std::vector<LentStream> back = returned();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].sound, MUSIC + 1);   // its spare, asked for at once
    render(Mixer::CROSSFADE_FRAMES);
    EXPECT_EQ(render(1)[0], musicLevel(16));
    back = returned();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].stream, stage);
    EXPECT_EQ(back[1].stream, stageSpare);
    // A spare of the old music, late, goes straight back.
    auto* late = stream(2, 100000, constant(8));
    mixer.offerMusicSpare(MUSIC, late);
    mixer.stopMusic();
    render(Mixer::RAMP_FRAMES);
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

TEST_F(MixerTest, APitchedEffectReadsBetweenItsSamplesAlongAStraightLineAndEndsSooner) {
    // A ramp of 4 per frame read at several speeds: frame i plays the ramp at i * pitch,
    // within the rounding of a 16.16 step; the effect lasts its length over the pitch.
    struct Case { float pitch; int channels; } cases[] = {{1.25f, 1}, {0.8f, 2}, {1.04f, 1}, {0.96f, 2}, {2.0f, 1}};
    for (const Case& c : cases) {
        const int length = 3000;
        auto* effect = stream(c.channels, length, [](int k, int ch) { return int16_t(4 * k - 6000 + ch); });
        ASSERT_TRUE(mixer.startEffect(EFFECT, effect, false, c.pitch));
        const std::vector<int16_t> out = render(5000);   // several chunks
        const int played = int(std::ceil((length - 1) / c.pitch));
        for (int i = 0; i < played - 1; ++i) {
            const double at = i * double(std::lround(c.pitch * 65536)) / 65536;
            ASSERT_NEAR(out[2 * i], 4 * at - 6000, 1.0) << c.pitch << " frame " << i;
            ASSERT_NEAR(out[2 * i + 1], 4 * at - 6000 + (c.channels == 2), 1.0) << c.pitch << " frame " << i;
        }
        for (int i = played + 1; i < 5000; ++i) ASSERT_EQ(out[2 * i], 0) << c.pitch << " frame " << i;
        ASSERT_EQ(returned().size(), 1u) << c.pitch;
    }
}
