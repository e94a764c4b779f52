// gamepad_test.cpp — controllers through SDL's virtual joystick: each button and stick push
// becomes its key, controllers come and go while the game runs, and one plays a level.
#include "gamepad.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "keyboard.h"
#include "levelScenario.h"

namespace {

// A virtual controller with every standard button and axis; SDL maps it as one.
class VirtualPad {
public:
    VirtualPad() {
        index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                          SDL_CONTROLLER_BUTTON_MAX, 0);
        joystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    }
    ~VirtualPad() { detach(); }
    void detach() {
        if (joystick == nullptr) return;
        const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
        SDL_JoystickClose(joystick);
        joystick = nullptr;
        // The device index may have moved if another pad left first.
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
    bool ok() const { return joystick != nullptr; }
    void button(int b, bool down) { SDL_JoystickSetVirtualButton(joystick, b, down ? 1 : 0); }
    void axis(int a, int value) { SDL_JoystickSetVirtualAxis(joystick, a, static_cast<Sint16>(value)); }

private:
    int index = -1;
    SDL_Joystick* joystick = nullptr;
};

class Gamepad : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(initGamepads()); }
    void TearDown() override { shutdownGamepads(); }

    // Every key the controllers stand for since the last call.
    std::string poll() {
        std::string keys;
        pollGamepads([&](const InputAction& a) {
            ASSERT_EQ(a.kind, InputAction::KEY);
            keys += static_cast<char>(a.key);
        });
        return keys;
    }
    // After a poll has seen every controller plugged in or pulled out, `count` are open.
    void expectOpenAfterPoll(int count) {
        poll();
        EXPECT_EQ(openGamepadCount(), count);
    }
    std::string click(VirtualPad& pad, int button) {
        pad.button(button, true);
        std::string keys = poll();
        pad.button(button, false);
        return keys + poll();
    }
    std::string stick(VirtualPad& pad, int x, int y) {
        pad.axis(SDL_CONTROLLER_AXIS_LEFTX, x);
        pad.axis(SDL_CONTROLLER_AXIS_LEFTY, y);
        return poll();
    }
};

TEST_F(Gamepad, EveryButtonIsItsKeyAndOthersAreNothing) {
    VirtualPad pad;
    ASSERT_TRUE(pad.ok()) << SDL_GetError();
    EXPECT_EQ(poll(), "");
    EXPECT_EQ(openGamepadCount(), 1);
    const struct {
        int button;
        const char* keys;
    } cases[] = {
        {SDL_CONTROLLER_BUTTON_DPAD_UP, "w"},    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, "a"},
        {SDL_CONTROLLER_BUTTON_DPAD_DOWN, "s"},  {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, "d"},
        {SDL_CONTROLLER_BUTTON_A, "h"},          {SDL_CONTROLLER_BUTTON_B, "j"},
        {SDL_CONTROLLER_BUTTON_X, "k"},          {SDL_CONTROLLER_BUTTON_Y, "l"},
        {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, "v"}, {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, "r"},
        {SDL_CONTROLLER_BUTTON_START, "c"},      {SDL_CONTROLLER_BUTTON_BACK, "m"},
        {SDL_CONTROLLER_BUTTON_GUIDE, ""},       {SDL_CONTROLLER_BUTTON_LEFTSTICK, ""},
        {SDL_CONTROLLER_BUTTON_RIGHTSTICK, ""},  {SDL_CONTROLLER_BUTTON_MISC1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(SDL_GameControllerGetStringForButton(static_cast<SDL_GameControllerButton>(c.button)));
        EXPECT_EQ(click(pad, c.button), c.keys);
    }
    // The published table says the same.
    for (const GamepadButtonKey& b : GAMEPAD_KEYS) {
        SCOPED_TRACE(b.name);
        EXPECT_EQ(click(pad, b.button), std::string(1, static_cast<char>(b.key)));
    }
    // A button held gives one key, however long.
    pad.button(SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_EQ(poll(), "h");
    EXPECT_EQ(poll(), "");
    pad.button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_EQ(poll(), "");
}

TEST_F(Gamepad, LeftStickPushesAreOneKeyEachAndTheRightStickIsNothing) {
    VirtualPad pad;
    ASSERT_TRUE(pad.ok()) << SDL_GetError();
    poll();
    const struct {
        int x, y;
        const char* keys;
    } moves[] = {
        {0, -32768, "w"},      // up (SDL's y grows downwards)
        {0, -25000, ""},       // still pushed: no repeat
        {0, -15000, ""},       // between the thresholds: still held
        {0, -25000, ""},
        {0, 0, ""},            // centred
        {0, -25000, "w"},      // pushed again: a new key
        {0, 0, ""},
        {32767, 0, "d"},       {0, 0, ""},
        {-32768, 0, "a"},      {0, 0, ""},
        {0, 32767, "s"},       {0, 0, ""},
        {15000, 15000, ""},    // never past the push threshold
        {0, 0, ""},
        {30000, -10000, "d"},  // the axis pushed further wins
        {10000, -30000, "w"},  // turned without centring: the new direction
        {0, 0, ""},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(testing::Message() << m.x << ", " << m.y);
        EXPECT_EQ(stick(pad, m.x, m.y), m.keys);
    }
    pad.axis(SDL_CONTROLLER_AXIS_RIGHTX, 32767);
    pad.axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
    EXPECT_EQ(poll(), "");
}

TEST_F(Gamepad, ControllersPluggedInAndOutWhileRunning) {
    EXPECT_EQ(poll(), "");
    EXPECT_EQ(openGamepadCount(), 0);
    {
        VirtualPad first;
        ASSERT_TRUE(first.ok()) << SDL_GetError();
        expectOpenAfterPoll(1);
        VirtualPad second;
        ASSERT_TRUE(second.ok()) << SDL_GetError();
        expectOpenAfterPoll(2);
        // Either one plays.
        EXPECT_EQ(click(first, SDL_CONTROLLER_BUTTON_B), "j");
        EXPECT_EQ(click(second, SDL_CONTROLLER_BUTTON_Y), "l");
        first.detach();
        expectOpenAfterPoll(1);
        EXPECT_EQ(click(second, SDL_CONTROLLER_BUTTON_X), "k");
    }
    expectOpenAfterPoll(0);
    VirtualPad again;
    ASSERT_TRUE(again.ok()) << SDL_GetError();
    expectOpenAfterPoll(1);
    EXPECT_EQ(click(again, SDL_CONTROLLER_BUTTON_DPAD_DOWN), "s");
}

// A controller wins a level through the keyboard handler, as the game wires it.
class GamepadPlays : public LevelScenario {
protected:
    void SetUp() override {
        LevelScenario::SetUp();
        ASSERT_TRUE(initGamepads());
    }
    void TearDown() override {
        shutdownGamepads();
        LevelScenario::TearDown();
    }
    void poll() {
        pollGamepads([this](const InputAction& a) {
            if (a.kind == InputAction::KEY) {
                keyboard(a.key, 0, 0);
                frame();
            }
        });
    }
    void click(VirtualPad& pad, int button) {
        pad.button(button, true);
        poll();
        pad.button(button, false);
        poll();
        runFramesFor(200);
    }
    void push(VirtualPad& pad, int x, int y) {
        pad.axis(SDL_CONTROLLER_AXIS_LEFTX, x);
        pad.axis(SDL_CONTROLLER_AXIS_LEFTY, y);
        poll();
        pad.axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
        pad.axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
        poll();
        runFramesFor(200);
    }
};

// The player must cross the guard's view up column 2 to reach the exit.
const std::string CLOAK_LEVEL = levelText({"....#",
                                           "....E",
                                           "....#",
                                           "....."},
                                          {0, 1, FA_E}, {{2, 3, FA_N}}, {}, {}, {0, 0, 1, 0});

TEST_F(GamepadPlays, WithoutTheCloakTheGuardSeesThePlayer) {
    play(CLOAK_LEVEL);
    VirtualPad pad;
    ASSERT_TRUE(pad.ok()) << SDL_GetError();
    poll();
    push(pad, 32767, 0);
    click(pad, SDL_CONTROLLER_BUTTON_A);          // food: none in stock
    EXPECT_EQ(board().getIll().x, 1);
    testing::internal::CaptureStdout();
    click(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT); // into the guard's view
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("sorry, you lose a life"), std::string::npos) << out;
    EXPECT_EQ(board().getIll().x, 0);             // the level started again
}

TEST_F(GamepadPlays, ALevelPastAGuardUnderTheCloak) {
    play(CLOAK_LEVEL);
    VirtualPad pad;
    ASSERT_TRUE(pad.ok()) << SDL_GetError();
    poll();
    push(pad, 32767, 0);                          // the stick: a step east to (1, 1)
    EXPECT_EQ(board().getIll().x, 1);
    click(pad, SDL_CONTROLLER_BUTTON_X);          // the cloak
    EXPECT_TRUE(board().getIll().isCloaked);
    EXPECT_EQ(board().getCloakUse(), 0);
    click(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT); // through the guard's view unseen
    click(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    EXPECT_FALSE(board().hasLost());
    EXPECT_EQ(getCurrLevel(), 0);
    pad.button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);  // onto the exit
    poll();
    EXPECT_TRUE(atEnding());
}

}  // namespace
