// gamepad.h — game controllers through SDL2: their buttons and left stick become the game's keys.
#pragma once

#include <functional>

#include "input.h"

// What each button does, as a key of the keyboard handler; the title and the
// README show the same table.
struct GamepadButtonKey {
    int button;          // an SDL_GameControllerButton
    unsigned char key;
    const char* name;    // as printed on a common controller
};
extern const GamepadButtonKey GAMEPAD_KEYS[12];

// The left stick counts as pushed past this share of its travel, and as back in
// the middle below the lower one; each push is one key, as each d-pad press is.
constexpr int STICK_PUSHED = 20000;
constexpr int STICK_CENTRED = 12000;

// Starts SDL's game controller support (controllers already plugged in announce
// themselves at the next poll). False, with one line on standard error, when SDL
// cannot; the game then plays on the keyboard alone.
bool initGamepads();
// Handles every controller event waiting: controllers plugged in are opened,
// unplugged ones closed, and each press reaches `act` as the key it stands for.
void pollGamepads(const std::function<void(const InputAction&)>& act);
// Closes every controller and SDL's controller support.
void shutdownGamepads();
// The controllers open now.
int openGamepadCount();
