// input.h — every way of playing turned into the game's keys: letters, arrows, function keys.
#pragma once

// What one press asks for: a key for the keyboard handler, or full screen on or off
// (which only the window can do).
struct InputAction {
    enum Kind { NONE, KEY, TOGGLE_FULL_SCREEN } kind = NONE;
    unsigned char key = 0;  // for KEY

    bool operator==(const InputAction&) const = default;
};

// The special keys the game knows, numbered as GLUT numbers them (main.cpp checks).
enum SpecialKey : int {
    SPECIAL_F11 = 11,
    SPECIAL_LEFT = 100,
    SPECIAL_UP = 101,
    SPECIAL_RIGHT = 102,
    SPECIAL_DOWN = 103,
};

// A character typed, with Alt held or not: Alt+Return switches full screen,
// everything else is the character itself.
InputAction actionForCharacter(unsigned char key, bool alt);
// A special key: the arrows are w a s d, F11 switches full screen, others do nothing.
InputAction actionForSpecialKey(int key);
