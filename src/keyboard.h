// keyboard.h — the game's only input: one call per character typed.
#pragma once

// The GLUT keyboard callback. `x` and `y` (pointer position) are not used.
// 'q' ends the program with status 0; any key on the ending screen prints
// "you win!" and ends it with status 0. 'r' restarts the level, 'v' shows or
// hides the sight overlay, and 'c' on the title continues at the saved level.
void keyboard(unsigned char key, int x, int y);
