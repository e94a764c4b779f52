// redisplay.h — lets game logic ask for a new frame without knowing the window system.
#pragma once

#include <functional>

// main installs glutPostRedisplay here; tests install a counter. With no handler
// installed a request is simply dropped.
void setRedisplayHandler(std::function<void()> handler);

// Asks for the next frame to be painted.
void requestRedisplay();
