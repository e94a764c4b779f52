// input_test.cpp — arrows, function keys and Alt+Return reach the game as the right actions.
#include "input.h"

#include <gtest/gtest.h>

namespace {

constexpr InputAction key(unsigned char k) { return {InputAction::KEY, k}; }
constexpr InputAction FULL_SCREEN{InputAction::TOGGLE_FULL_SCREEN, 0};
constexpr InputAction NOTHING{};

TEST(Input, ArrowsAreWasdAndF11SwitchesFullScreen) {
    const struct {
        int special;
        InputAction action;
    } cases[] = {
        {SPECIAL_UP, key('w')},   {SPECIAL_LEFT, key('a')}, {SPECIAL_DOWN, key('s')},
        {SPECIAL_RIGHT, key('d')}, {SPECIAL_F11, FULL_SCREEN},
        {1, NOTHING},   // F1
        {10, NOTHING},  // F10
        {12, NOTHING},  // F12
        {104, NOTHING}, // Page Up
        {106, NOTHING}, // Home
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.special);
        EXPECT_EQ(actionForSpecialKey(c.special), c.action);
    }
}

TEST(Input, AltReturnSwitchesFullScreenAndEveryOtherCharacterPassesThrough) {
    EXPECT_EQ(actionForCharacter('\r', true), FULL_SCREEN);
    EXPECT_EQ(actionForCharacter('\n', true), FULL_SCREEN);
    EXPECT_EQ(actionForCharacter('\r', false), key('\r'));
    for (int c = 0; c < 256; ++c) {
        if (c == '\r' || c == '\n') continue;
        EXPECT_EQ(actionForCharacter(static_cast<unsigned char>(c), false), key(static_cast<unsigned char>(c)));
        EXPECT_EQ(actionForCharacter(static_cast<unsigned char>(c), true), key(static_cast<unsigned char>(c)));
    }
}

}  // namespace
