// soundManager.cpp — the sound hooks; no engine is connected, so each is empty.
#include "soundManager.h"

void initSounds() {}

void playBgm(SoundBgm) {}

void playSfx(SoundSfx) {}

void soundTest() {}

void shutdownSounds() {}
