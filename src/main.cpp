// main.cpp — program entry: the window, every module's set-up, and the GLUT main loop.
#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "board.h"
#include "draw.h"
#include "gamepad.h"
#include "gameConstants.h"
#include "idle.h"
#include "input.h"
#include "keyboard.h"
#include "progress.h"
#include "records.h"
#include "redisplay.h"
#include "screenFlow.h"
#include "soundManager.h"
#include "stopSignals.h"
#include "tileManager.h"

namespace {
// RGBA colour, double buffering, a depth and a stencil buffer.
constexpr unsigned int DISPLAY_MODE = GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL;
static_assert(DISPLAY_MODE == 50);

static_assert(SPECIAL_F11 == GLUT_KEY_F11 && SPECIAL_LEFT == GLUT_KEY_LEFT && SPECIAL_UP == GLUT_KEY_UP &&
              SPECIAL_RIGHT == GLUT_KEY_RIGHT && SPECIAL_DOWN == GLUT_KEY_DOWN);

// With a window manager that knows full screen, it takes the window; without
// one freeglut moves the window to its position's negative (it takes it for a
// frame's offset), so the window first goes to the corner.
void toggleFullScreen() {
    if (!glutGet(GLUT_FULL_SCREEN)) glutPositionWindow(0, 0);
    glutFullScreenToggle();
}

void act(const InputAction& action) {
    switch (action.kind) {
    case InputAction::KEY: keyboard(action.key, 0, 0); break;
    case InputAction::TOGGLE_FULL_SCREEN: toggleFullScreen(); break;
    case InputAction::NONE: break;
    }
}

void typed(unsigned char key, int, int) {
    act(actionForCharacter(key, (glutGetModifiers() & GLUT_ACTIVE_ALT) != 0));
}

void special(int key, int, int) { act(actionForSpecialKey(key)); }

// Controllers are polled as often as the frame loop runs, so a press waits no
// longer than a key does. A stop signal is acted on between two ticks: within a few
// milliseconds, never mid-step.
void idleWithGamepads() {
    endIfStopSignalled();
    pollGamepads(act);
    idle();
}
}  // namespace

int main(int argc, char** argv) {
    // Status lines should reach a pipe or log as they happen, not when the
    // process ends.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    // Before the sound starts, so SDL's audio finds them taken (it is told to leave them).
    catchStopSignals();

    glutInit(&argc, argv);
    glutInitDisplayMode(DISPLAY_MODE);
    glutInitWindowSize(WINDOW_WIDTH, WINDOW_HEIGHT);
    glutInitWindowPosition(10, 10);
    glutCreateWindow("Veilwalker");

    initGL();   // needs the window's context
    initTiles();
    initSounds();
    initGamepads();
    initBoards();
    gotoTitle();

    // Only the game itself keeps a player's progress and lets the idle loop sleep;
    // tests and tools driving the same logic do neither.
    keepProgressIn(defaultProgressPath());
    keepSoundSettingsIn(settingsPathBeside(defaultProgressPath()));
    keepRecordsIn(defaultRecordsPath());
    setIdleWait([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
    setRedisplayHandler(glutPostRedisplay);
    glutDisplayFunc(draw);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(typed);
    glutSpecialFunc(special);
    glutIdleFunc(idleWithGamepads);
    glutMainLoop();
    return 0;
}
