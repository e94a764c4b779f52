// input.cpp — letters, arrows and function keys mapped to the keyboard handler's keys.
#include "input.h"

InputAction actionForCharacter(unsigned char key, bool alt) {
    if (alt && (key == '\r' || key == '\n')) return {InputAction::TOGGLE_FULL_SCREEN, 0};
    return {InputAction::KEY, key};
}

InputAction actionForSpecialKey(int key) {
    switch (key) {
    case SPECIAL_UP: return {InputAction::KEY, 'w'};
    case SPECIAL_LEFT: return {InputAction::KEY, 'a'};
    case SPECIAL_DOWN: return {InputAction::KEY, 's'};
    case SPECIAL_RIGHT: return {InputAction::KEY, 'd'};
    case SPECIAL_F11: return {InputAction::TOGGLE_FULL_SCREEN, 0};
    default: return {};
    }
}
