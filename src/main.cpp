// main.cpp — program entry: the window, every module's set-up, and the GLUT main loop.
#include <GL/glut.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "board.h"
#include "draw.h"
#include "gameConstants.h"
#include "idle.h"
#include "keyboard.h"
#include "progress.h"
#include "redisplay.h"
#include "screenFlow.h"
#include "soundManager.h"
#include "tileManager.h"

namespace {
// RGBA colour, double buffering, a depth and a stencil buffer.
constexpr unsigned int DISPLAY_MODE = GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL;
static_assert(DISPLAY_MODE == 50);
}  // namespace

int main(int argc, char** argv) {
    // Status lines should reach a pipe or log as they happen, not when the
    // process ends.
    setvbuf(stdout, nullptr, _IOLBF, 0);

    glutInit(&argc, argv);
    glutInitDisplayMode(DISPLAY_MODE);
    glutInitWindowSize(WINDOW_WIDTH, WINDOW_HEIGHT);
    glutInitWindowPosition(10, 10);
    glutCreateWindow("Veilwalker");

    initGL();   // needs the window's context
    initTiles();
    initSounds();
    initBoards();
    gotoTitle();

    // Only the game itself keeps a player's progress and lets the idle loop sleep;
    // tests and tools driving the same logic do neither.
    keepProgressIn(defaultProgressPath());
    keepSoundSettingsIn(settingsPathBeside(defaultProgressPath()));
    setIdleWait([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
    setRedisplayHandler(glutPostRedisplay);
    glutDisplayFunc(draw);
    glutKeyboardFunc(keyboard);
    glutIdleFunc(idle);
    glutMainLoop();
    return 0;
}
