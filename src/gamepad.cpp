// gamepad.cpp — SDL2 game controllers opened as they come and go, their presses turned into keys.
#include "gamepad.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <map>

const GamepadButtonKey GAMEPAD_KEYS[12] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, 'w', "d-pad up"},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, 'a', "d-pad left"},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 's', "d-pad down"},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 'd', "d-pad right"},
    {SDL_CONTROLLER_BUTTON_A, 'h', "A"},   // the four powers in the keys' order: A B X Y
    {SDL_CONTROLLER_BUTTON_B, 'j', "B"},
    {SDL_CONTROLLER_BUTTON_X, 'k', "X"},
    {SDL_CONTROLLER_BUTTON_Y, 'l', "Y"},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 'v', "left shoulder"},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 'r', "right shoulder"},
    {SDL_CONTROLLER_BUTTON_START, 'c', "Start"},
    {SDL_CONTROLLER_BUTTON_BACK, 'm', "Back"},
};

namespace {
struct Pad {
    SDL_GameController* controller = nullptr;
    int x = 0, y = 0;       // the left stick's last position
    unsigned char held = 0; // the key the stick's push stands for, 0 while centred
};
std::map<SDL_JoystickID, Pad> pads;
bool started = false;

// The stick's direction as a key: the axis pushed further wins; SDL's y grows downwards.
unsigned char stickKey(const Pad& pad) {
    const int ax = std::abs(pad.x);
    const int ay = std::abs(pad.y);
    const int far = ax > ay ? ax : ay;
    if (far < STICK_CENTRED) return 0;
    if (far < STICK_PUSHED) return pad.held;  // in between: no change either way
    if (ax > ay) return pad.x > 0 ? 'd' : 'a';
    return pad.y > 0 ? 's' : 'w';
}

void opened(int deviceIndex) {
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (controller == nullptr) return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    if (pads.count(id) != 0) {  // announced twice: keep the one open already
        SDL_GameControllerClose(controller);
        return;
    }
    pads[id].controller = controller;
}

void closed(SDL_JoystickID id) {
    const auto pad = pads.find(id);
    if (pad == pads.end()) return;
    SDL_GameControllerClose(pad->second.controller);
    pads.erase(pad);
}
}  // namespace

bool initGamepads() {
    // The window is GLUT's, never SDL's, so SDL never sees it focused.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "gamepad: no game controller support (%s); keyboard only\n", SDL_GetError());
        return false;
    }
    started = true;
    return true;
}

void pollGamepads(const std::function<void(const InputAction&)>& act) {
    if (!started) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED: opened(event.cdevice.which); break;
        case SDL_CONTROLLERDEVICEREMOVED: closed(event.cdevice.which); break;
        case SDL_CONTROLLERBUTTONDOWN:
            if (pads.count(event.cbutton.which) == 0) break;
            for (const GamepadButtonKey& b : GAMEPAD_KEYS)
                if (b.button == event.cbutton.button) act({InputAction::KEY, b.key});
            break;
        case SDL_CONTROLLERAXISMOTION: {
            const auto found = pads.find(event.caxis.which);
            if (found == pads.end()) break;
            Pad& pad = found->second;
            if (event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX) pad.x = event.caxis.value;
            else if (event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) pad.y = event.caxis.value;
            else break;
            const unsigned char key = stickKey(pad);
            if (key != pad.held && key != 0) act({InputAction::KEY, key});
            pad.held = key;
            break;
        }
        default: break;
        }
    }
}

void shutdownGamepads() {
    if (!started) return;
    for (auto& [id, pad] : pads) SDL_GameControllerClose(pad.controller);
    pads.clear();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    started = false;
}

int openGamepadCount() { return static_cast<int>(pads.size()); }
