// draw.h — painting the window: the title, the ending, and the current level tile by tile.
#pragma once

// Sets the fixed OpenGL state every frame relies on (identity matrices, no depth
// test, no lighting, black clear colour). Needs the window's context.
void initGL();

// The display callback: the title or the ending when its screen shows; otherwise
// the flow step (restart, advance, ending) and then the board, terrain first, the
// sight overlay when shown, actors over them, and the heads-up display in the
// border around the board. Each painted frame is reported to the frame loop.
void draw();

// The reshape callback: the window's new size in pixels. The picture is shown at
// the largest whole multiple that fits, centred on black (see pictureFit.h).
void reshape(int width, int height);

void drawTitle();
void drawEnding();

// Where drawTile puts the lower-left corner of square (i, j) of a board_w × board_h
// grid, in normalised device coordinates: the board fills the window less a margin
// of 0.04 on each side, column 0 on the left, row 0 at the top. Kept free of GL so
// the arithmetic can be checked without a window.
inline void tileRasterPos(int board_w, int board_h, int i, int j, float& screen_x, float& screen_y) {
    constexpr float screen_w = 2.0f;
    constexpr float screen_h = 2.0f;
    constexpr float screen_x_base = -1.0f;
    constexpr float screen_y_base = 1.0f;
    constexpr float screen_x_off = 0.04f;
    constexpr float screen_y_off = 0.04f;

    const float screen_step_x = (screen_w - 2 * screen_x_off) / board_w;
    const float screen_step_y = (screen_h - 2 * screen_y_off) / board_h;
    screen_x = screen_x_base + screen_x_off + i * screen_step_x;
    screen_y = screen_y_base - (screen_step_y + screen_y_off) - j * screen_step_y;
}
