// soundEvents_test.cpp — each sound is asked for once, at the moment the game does the thing.
#include <cctype>
#include <string>
#include <vector>

#include "levelScenario.h"
#include "soundManager.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {
// What the recorder writes down: an effect by its file's name ("walking"), the music by its
// event's ("bgm_stage"), both from the sound table.
std::string effectName(SoundSfx sfx) {
    const std::string file = SOUND_FILES[int(NUM_SOUND_BGM) + int(sfx)].file;
    return file.substr(0, file.find('.'));
}
std::string musicName(SoundBgm bgm) {
    std::string event = SOUND_FILES[bgm].event;
    for (char& c : event) c = char(std::tolower(static_cast<unsigned char>(c)));
    return event;
}

// Stands in for the audio device and writes down every request in order.
class SoundRecorder : public SoundOutput {
public:
    void playBgm(SoundBgm bgm) override { heard.push_back(musicName(bgm)); }
    void playSfx(SoundSfx sfx) override { heard.push_back(effectName(sfx)); }
    void setMuted(bool m) override { heard.push_back(m ? "mute" : "unmute"); }
    void setVolumes(int music, int effects) override {
        heard.push_back("volumes " + std::to_string(music) + " " + std::to_string(effects));
    }
    void soundTest() override { heard.push_back("test"); }
    void shutdown() override { heard.push_back("shutdown"); }

    // What was asked for since the last call.
    std::vector<std::string> take() { return std::exchange(heard, {}); }

private:
    std::vector<std::string> heard;
};

using Heard = std::vector<std::string>;
}  // namespace

class SoundEvents : public LevelScenario {
protected:
    void SetUp() override {
        LevelScenario::SetUp();
        setSoundOutput(&recorder);
        recorder.take();
    }
    void TearDown() override {
        setSoundOutput(nullptr);
        LevelScenario::TearDown();
    }
    // Keys typed with their stock lines swallowed.
    void quietly(const char* keys) {
        CaptureStdout();
        press(keys);
        GetCapturedStdout();
    }
    // One idle tick and one redraw, 10 ms later.
    void tick() {
        CaptureStdout();
        runFramesFor(10);
        GetCapturedStdout();
    }
    SoundRecorder recorder;
};

TEST_F(SoundEvents, EveryStepIsHeardAStepIntoWallOrWaterBumpsAndATurnOrTheEdgeIsSilent) {
    play(levelText({"..#", "~.."}, {0, 0, FA_N}, {}, {}, {}, {}));
    quietly("d");
    EXPECT_EQ(recorder.take(), Heard{});
    quietly("d");
    EXPECT_EQ(recorder.take(), Heard{"walking"});
    quietly("dw");   // the wall, then the board's edge
    EXPECT_EQ(recorder.take(), Heard{"bump"});
    quietly("aas");   // a turn, a step back to (0, 0), a turn to face the water below it
    EXPECT_EQ(recorder.take(), Heard{"walking"});
    quietly("s");
    EXPECT_EQ(recorder.take(), Heard{"bump"});
    EXPECT_TRUE(board().getIll().isAt(0, 0));
}

TEST_F(SoundEvents, FoodABodyAndTheCloakAreHeardWhenUsedAndOnlyThen) {
    // Food, a body, a cloak; facing the board's edge nothing can be placed.
    play(levelText({"...", "..."}, {0, 0, FA_N}, {}, {}, {}, {1, 1, 1, 0}));
    quietly("jh");
    EXPECT_EQ(recorder.take(), Heard{}) << "nothing placed, nothing heard";
    quietly("d");   // a turn to face (1, 0)
    quietly("h");
    EXPECT_EQ(recorder.take(), Heard{"food_placed"});
    quietly("j");
    EXPECT_EQ(recorder.take(), Heard{}) << "facing the food: the square is taken";
    quietly("s");   // a turn to face (0, 1)
    quietly("j");
    EXPECT_EQ(recorder.take(), Heard{"body_placed"});
    quietly("kk");   // the second has no stock left
    EXPECT_EQ(recorder.take(), Heard{"cloak_on"});
}

TEST_F(SoundEvents, TheCloaksLastHalfSecondAndItsEndAreHeardOnce) {
    play(levelText({"..."}, {0, 0, FA_E}, {}, {}, {}, {0, 0, 1, 0}));
    quietly("k");
    EXPECT_EQ(recorder.take(), Heard{"cloak_on"});
    runFor(1490);
    EXPECT_EQ(recorder.take(), Heard{});
    runFor(20);
    EXPECT_EQ(recorder.take(), Heard{"cloak_ending"});
    runFor(480);
    EXPECT_EQ(recorder.take(), Heard{});
    runFor(20);
    EXPECT_EQ(recorder.take(), Heard{"cloak_off"});
    EXPECT_FALSE(board().getIll().isCloaked);
    runFor(2000);
    EXPECT_EQ(recorder.take(), Heard{});
}

TEST_F(SoundEvents, ACloakRenewedBeforeItsLastHalfSecondWarnsOnlyOnceAtTheNewEnd) {
    play(levelText({"..."}, {0, 0, FA_E}, {}, {}, {}, {0, 0, 2, 0}));
    quietly("k");
    runFor(1000);
    quietly("k");
    EXPECT_EQ(recorder.take(), (Heard{"cloak_on", "cloak_on"}));
    runFor(1400);   // 2.4 s after the first: its warning time has passed, unheard
    EXPECT_EQ(recorder.take(), Heard{});
    runFor(200);
    EXPECT_EQ(recorder.take(), Heard{"cloak_ending"});
    runFor(500);
    EXPECT_EQ(recorder.take(), Heard{"cloak_off"});
}

TEST_F(SoundEvents, ARestartIsHeardAndTheMusicRunsOn) {
    play(levelText({"..."}, {0, 0, FA_E}, {}, {}, {}, {}));
    quietly("dr");
    EXPECT_EQ(recorder.take(), (Heard{"walking", "restart"}));
    EXPECT_TRUE(board().getIll().isAt(0, 0));
}

TEST_F(SoundEvents, AGuardThatSeesThePlayerRaisesItsAlarmOnTheTickItLooks) {
    // The guard at (2, 0) looks south along column 2; the second step puts the player there.
    play(levelText({"...", "..."}, {0, 1, FA_E}, {{2, 0, FA_S}}, {}, {}, {}));
    quietly("d");
    tick();
    EXPECT_EQ(recorder.take(), Heard{"walking"});
    quietly("d");
    EXPECT_EQ(recorder.take(), Heard{"walking"});
    runFor(10);
    EXPECT_EQ(recorder.take(), (Heard{"game_over", "guard_discovers_player"}));
    // The restart brings no second alarm; the music was never interrupted.
    tick();
    EXPECT_EQ(recorder.take(), Heard{});
}

TEST_F(SoundEvents, ADogAndACommanderRaiseTheirOwnAlarms) {
    play(levelText({"...."}, {1, 0, FA_E}, {}, {{0, 0, FA_E}}, {}, {}));
    runFor(10);
    EXPECT_EQ(recorder.take(), (Heard{"game_over", "dog_discovers_player"}));
    play(levelText({"...."}, {1, 0, FA_E}, {}, {}, {{3, 0, FA_W}}, {}));
    runFor(10);
    EXPECT_EQ(recorder.take(), (Heard{"game_over", "commander_discovers_player"}));
}

TEST_F(SoundEvents, WalkingIntoAnEnemyIsHeardAsAStepAndOneLoss) {
    play(levelText({"..."}, {0, 0, FA_E}, {{1, 0, FA_E}}, {}, {}, {}));
    quietly("d");
    EXPECT_EQ(recorder.take(), (Heard{"game_over", "walking"}));
}

TEST_F(SoundEvents, AFakeIsHeardWhenMadeAndOnceWhenTwoGuardsShootIt) {
    // Guard A at (1, 0) turns fake; B to its east and C below it both see it next tick.
    play(levelText({"....", "....", "...."}, {0, 0, FA_E}, {{1, 0, FA_E}, {3, 0, FA_W}, {1, 2, FA_N}},
                   {}, {}, {0, 0, 0, 2}));
    quietly("l");
    EXPECT_EQ(recorder.take(), Heard{"illusion_sound"});
    runFor(10);
    EXPECT_EQ(recorder.take(), Heard{"guard_kills_guard"});
    // With the fake gone B sees the player.
    runFor(10);
    EXPECT_EQ(recorder.take(), (Heard{"game_over", "guard_discovers_player"}));
}

TEST_F(SoundEvents, AFakeOnNothingIsSilent) {
    play(levelText({"...."}, {0, 0, FA_E}, {}, {}, {}, {0, 0, 0, 1}));
    quietly("l");
    EXPECT_EQ(recorder.take(), Heard{});
}

TEST_F(SoundEvents, ABiteIsHeardAsABiteAShotDogYelpsAndAShotCommanderFallsAsAGuard) {
    // Dog A at (1, 0) turns fake; dog B beside it bites it next tick.
    play(levelText({"...", "..."}, {0, 0, FA_E}, {}, {{1, 0, FA_E}, {2, 0, FA_W}}, {}, {0, 0, 0, 1}));
    quietly("l");
    runFor(10);
    EXPECT_EQ(recorder.take(), (Heard{"illusion_sound", "dog_bites"}));
    // A guard shoots the fake dog.
    play(levelText({"...", "..."}, {0, 0, FA_E}, {{2, 0, FA_W}}, {{1, 0, FA_E}}, {}, {0, 0, 0, 1}));
    quietly("l");
    runFor(10);
    EXPECT_EQ(recorder.take(), (Heard{"illusion_sound", "dog_dies"}));

    play(levelText({"...", "..."}, {0, 0, FA_E}, {{2, 0, FA_W}}, {}, {{1, 0, FA_E}}, {0, 0, 0, 1}));
    quietly("l");
    runFor(10);
    EXPECT_EQ(recorder.take(), (Heard{"illusion_sound", "guard_kills_guard"}));
}

TEST_F(SoundEvents, AGuardIsHeardWhenItBacksAwayFromABody) {
    // The body goes to (1, 1); the guard at (1, 3) looks north at it and steps back after 0.5 s.
    play(levelText({"...", "...", "...", "...", "..."}, {0, 1, FA_E}, {{1, 3, FA_N}}, {}, {},
                   {0, 1, 0, 0}));
    quietly("j");
    EXPECT_EQ(recorder.take(), Heard{"body_placed"});
    runFor(490);
    EXPECT_EQ(recorder.take(), Heard{});
    runFor(20);
    EXPECT_EQ(recorder.take(), Heard{"guard_sees_body"});
    EXPECT_TRUE(board().getGuards()[0].isAt(1, 4));
}

TEST_F(SoundEvents, AWinIsHeardWhenTheLevelEndsAndTheLastBringsTheEndingMusic) {
    const std::string shortWalk = levelText({"..E"}, {0, 0, FA_E}, {}, {}, {}, {});
    writeLevel(1, shortWalk);
    play(shortWalk);
    quietly("dd");
    EXPECT_EQ(recorder.take(), (Heard{"walking", "walking", "level_victory"}));
    quietly("dd");
    EXPECT_EQ(recorder.take(), (Heard{"walking", "walking", "level_victory", "bgm_ending"}));
    EXPECT_TRUE(atEnding());
}

TEST_F(SoundEvents, TheTitleHasItsThemeAndTheFirstKeyStartsTheStageMusic) {
    play(levelText({"..."}, {0, 0, FA_E}, {}, {}, {}, {}));
    gotoTitle();
    EXPECT_EQ(recorder.take(), Heard{"bgm_title"});
    quietly("d");
    EXPECT_EQ(recorder.take(), (Heard{"walking", "bgm_stage"}));
}

TEST(ChapterThemes, EachTenLevelsHaveTheirOwnAndTheLastGoesOn) {
    struct Case { int level; SoundBgm theme; } cases[] = {
        {0, BGM_STAGE}, {9, BGM_STAGE}, {10, BGM_CHAPTER_2}, {19, BGM_CHAPTER_2},
        {20, BGM_CHAPTER_3}, {29, BGM_CHAPTER_3}, {45, BGM_CHAPTER_3}, {-1, BGM_STAGE},
    };
    for (const Case& c : cases) EXPECT_EQ(chapterBgm(c.level), c.theme) << c.level;
}

TEST_F(SoundEvents, ANewChapterBringsItsThemeAndALevelInsideOneKeepsTheMusic) {
    const std::string shortWalk = levelText({".E"}, {0, 0, FA_E}, {}, {}, {}, {});
    for (int level = 0; level <= 21; ++level) writeLevel(level, shortWalk);
    loadBoardAt(8);
    recorder.take();
    quietly("d");
    EXPECT_EQ(recorder.take(), (Heard{"walking", "level_victory"}));
    quietly("d");
    EXPECT_EQ(recorder.take(), (Heard{"walking", "level_victory", "bgm_chapter_2"}));
    EXPECT_EQ(getCurrLevel(), 10);
    // Straight into the third chapter, as the level select goes.
    loadBoardAt(20);
    gotoMainGame();
    EXPECT_EQ(recorder.take(), Heard{"bgm_chapter_3"});
}

TEST_F(SoundEvents, MTogglesMuteAndTheStateReachesANewOutput) {
    play(levelText({"..."}, {0, 0, FA_E}, {}, {}, {}, {}));
    ASSERT_FALSE(isMuted());
    quietly("m");
    EXPECT_TRUE(isMuted());
    EXPECT_EQ(recorder.take(), Heard{"mute"});
    SoundRecorder other;
    setSoundOutput(&other);
    EXPECT_EQ(other.take(), (Heard{"mute", "volumes 10 10"}));
    setSoundOutput(&recorder);
    quietly("m");
    EXPECT_FALSE(isMuted());
    EXPECT_EQ(recorder.take(), (Heard{"mute", "volumes 10 10", "unmute"}));
    EXPECT_TRUE(board().getIll().isAt(0, 0));
}

TEST_F(SoundEvents, ShutdownReachesTheOutputOnceAndSilencesTheHooks) {
    soundTest();
    shutdownSounds();
    shutdownSounds();
    playSfx(SFX_WALKING);
    playBgm(BGM_STAGE);
    soundTest();
    EXPECT_EQ(recorder.take(), (Heard{"test", "shutdown"}));
}

TEST_F(SoundEvents, VolumeKeysStepEachVolumeAndStopAtTheEnds) {
    play(levelText({"..."}, {0, 0, FA_E}, {}, {}, {}, {}));
    ASSERT_EQ(musicVolume(), SOUND_VOLUME_STEPS);
    quietly("-");
    EXPECT_EQ(recorder.take(), Heard{"volumes 9 10"});
    quietly("[[[");
    EXPECT_EQ(recorder.take(), (Heard{"volumes 9 9", "volumes 9 8", "volumes 9 7"}));
    quietly("==");   // the second is past full: nothing to say
    EXPECT_EQ(recorder.take(), Heard{"volumes 10 7"});
    quietly("------------");
    EXPECT_EQ(musicVolume(), 0);
    EXPECT_EQ(recorder.take().size(), 10u);
    quietly("]]]]");
    EXPECT_EQ(effectsVolume(), SOUND_VOLUME_STEPS);
    EXPECT_EQ(recorder.take().back(), "volumes 0 10");
    quietly("==========");
    EXPECT_EQ(musicVolume(), SOUND_VOLUME_STEPS);
    EXPECT_TRUE(board().getIll().isAt(0, 0)) << "volume keys move nobody";
    recorder.take();
}
