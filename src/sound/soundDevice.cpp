// soundDevice.cpp — the audio device (SDL2, audio only) and the output the sound hooks reach; owns the audio thread.
#include <SDL.h>
#include <alsa/error.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <random>
#include <thread>

#include "sound/engineHost.h"
#include "sound/mixer.h"
#include "sound/soundBank.h"
#include "soundManager.h"

namespace {

// About 23 ms at 44,100 Hz: an effect is heard well within 50 ms of its event.
constexpr Uint16 DEVICE_BUFFER_FRAMES = 1024;
// Between the effects of the sound test, after each has played out.
constexpr int SOUND_TEST_GAP_MS = 150;
// Footsteps play up to 4 % faster or slower than written: about two thirds of a semitone.
constexpr float STEP_PITCH_SPREAD = 0.04f;

// ALSA prints its own reasons, several lines of them, when SDL tries a device that is not
// there; the game says why in one line of its own instead.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// The only code the audio thread runs: the mixer fills the device's buffer.
void fillBuffer(void* mixer, Uint8* stream, int bytes) {
    static_cast<Mixer*>(mixer)->render(reinterpret_cast<int16_t*>(stream),
                                       bytes / int(sizeof(int16_t) * Mixer::OUTPUT_CHANNELS));
}

class DeviceOutput : public SoundOutput {
public:
    // False, with one line on standard error, when no device opens.
    bool open() {
        snd_lib_error_set_handler(quietAlsa);
        // SDL would otherwise take SIGINT and SIGTERM for a quit event that a GLUT program never
        // reads, and the game could not be stopped; the game handles them itself.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            std::fprintf(stderr, "sound: no audio device (%s); playing without sound\n", SDL_GetError());
            SDL_Quit();
            return false;
        }
        SDL_AudioSpec want{};
        want.freq = OUTPUT_RATE;
        want.format = AUDIO_S16SYS;
        want.channels = Mixer::OUTPUT_CHANNELS;
        want.samples = DEVICE_BUFFER_FRAMES;
        want.callback = fillBuffer;
        want.userdata = &TheMixer;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the hardware takes.
        Device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (Device == 0) {
            std::fprintf(stderr, "sound: no audio device (%s); playing without sound\n", SDL_GetError());
            SDL_Quit();
            return false;
        }
        return true;
    }

    void loadAll() {
        Host.loadPlugins();
        for (int sound = 0; sound < NUM_SOUNDS; ++sound) {
            const char* path = soundPath(sound);
            if (!path) continue;
            const int copies = sound < NUM_SOUND_BGM ? MUSIC_COPIES : EFFECT_COPIES;
            const std::string problem = Bank.load(Host, sound, path, copies);
            if (!problem.empty()) std::fprintf(stderr, "sound: %s %s; it stays silent\n", path, problem.c_str());
        }
        Bank.startKeeper();
        SDL_PauseAudioDevice(Device, 0);
    }

    void playBgm(SoundBgm bgm) override {
        if (bgm == Playing) return;
        Playing = bgm;
        const int sound = soundOf(bgm);
        // Music whose file did not load is silence, like no music.
        if (bgm == BGM_NONE || Bank.frames(sound) == 0) {
            TheMixer.stopMusic();
            return;
        }
        irrklang::IAudioStream* first = Bank.borrow(sound);
        irrklang::IAudioStream* spare = Bank.borrow(sound);
        if (!TheMixer.startMusic(sound, first, spare)) {
            if (first) Bank.putBack(sound, first);
            if (spare) Bank.putBack(sound, spare);
        }
    }

    void playSfx(SoundSfx sfx) override {
        float pitch = 1.0f;
        // A step is one of three, each time a little higher or lower: no two in a row the same.
        if (sfx == SFX_WALKING) {
            static constexpr SoundSfx steps[] = {SFX_WALKING, SFX_WALKING_2, SFX_WALKING_3};
            LastStep = (LastStep + 1 + int(Random() % (std::size(steps) - 1))) % int(std::size(steps));
            sfx = steps[LastStep];
            pitch = std::uniform_real_distribution<float>(1 - STEP_PITCH_SPREAD, 1 + STEP_PITCH_SPREAD)(Random);
        }
        const int sound = soundOf(sfx);
        irrklang::IAudioStream* stream = Bank.borrow(sound);
        // The fanfare ducks the music under it.
        if (stream && !TheMixer.startEffect(sound, stream, sfx == SFX_LEVEL_VICTORY, pitch))
            Bank.putBack(sound, stream);
    }

    bool isOpen() const { return Device != 0; }

    void setMuted(bool muted) override { TheMixer.setMuted(muted); }
    void setVolumes(int musicStep, int effectsStep) override {
        TheMixer.setMusicVolume(musicStep);
        TheMixer.setEffectsVolume(effectsStep);
    }

    void soundTest() override {
        for (int sfx = 0; sfx < NUM_SOUND_SFX; ++sfx) {
            playSfx(SoundSfx(sfx));
            const int64_t ms = Bank.frames(soundOf(SoundSfx(sfx))) * 1000 / OUTPUT_RATE;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms + SOUND_TEST_GAP_MS));
        }
    }

    void shutdown() override {
        // Closing waits for a running callback to finish; after it nothing renders.
        SDL_CloseAudioDevice(Device);
        Device = 0;
        // SDL serves nothing but sound here, so all of it goes.
        SDL_Quit();
        TheMixer.releaseAll();
        Bank.stop();
        Host.dropLoaders();
    }

private:
    Mixer TheMixer;
    EngineHost Host;
    SoundBank Bank{TheMixer};
    SDL_AudioDeviceID Device = 0;
    SoundBgm Playing = BGM_NONE;
    std::minstd_rand Random{std::random_device{}()};
    int LastStep = 0;
};

std::unique_ptr<DeviceOutput> device;

}  // namespace

void initSounds() {
    if (device && device->isOpen()) return;
    device.reset();   // one that was shut down
    auto opened = std::make_unique<DeviceOutput>();
    if (!opened->open()) return;
    device = std::move(opened);
    device->loadAll();
    setSoundOutput(device.get());
    // Every orderly end of the game goes through exit().
    static const bool shutdownAtExit = std::atexit(shutdownSounds) == 0;
    (void)shutdownAtExit;
}
