// soundManager.cpp — the sound hooks: each hands its request to the installed output, if any.
#include "soundManager.h"

namespace {
SoundOutput* output = nullptr;
bool muted = false;
}  // namespace

void playBgm(SoundBgm bgm) {
    if (output) output->playBgm(bgm);
}

void playSfx(SoundSfx sfx) {
    if (output) output->playSfx(sfx);
}

void soundTest() {
    if (output) output->soundTest();
}

void shutdownSounds() {
    if (!output) return;
    // Cleared first, so a hook called while the output shuts down finds nothing.
    SoundOutput* closing = output;
    output = nullptr;
    closing->shutdown();
}

void toggleMute() {
    muted = !muted;
    if (output) output->setMuted(muted);
}

bool isMuted() { return muted; }

void setSoundOutput(SoundOutput* newOutput) {
    output = newOutput;
    if (output) output->setMuted(muted);
}
