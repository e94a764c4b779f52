// draw.cpp — paints the window with pixel blits: no geometry, every image at its own size.
#include "draw.h"

#include <GL/glut.h>

#include "Bitmap/Bitmap.h"
#include "board.h"
#include "check.h"
#include "screenFlow.h"
#include "tileManager.h"

namespace {

// Terrain tiles and both screens are BMPs whose rows the loader already padded
// to the 4-byte alignment glDrawPixels expects.
void drawBitmap(const Bitmap* image) {
    VW_ASSERT(image != nullptr && image->data != nullptr);
    const Bitmap& bmp = *image;
    VW_ASSERT(bmp.bpp == 24 || bmp.bpp == 32);
    const GLenum format = bmp.bpp == 24 ? GL_RGB : GL_RGBA;
    glDrawPixels(bmp.width, bmp.height, format, GL_UNSIGNED_BYTE, bmp.data);
}

bool isTerrain(TILE_TYPE tile) { return tile >= FLOOR && tile <= EXIT; }

void drawTile(TILE_TYPE tile, int board_w, int board_h, int i, int j) {
    float screen_x = 0.0f;
    float screen_y = 0.0f;
    tileRasterPos(board_w, board_h, i, j, screen_x, screen_y);
    glRasterPos2f(screen_x, screen_y);

    if (isTerrain(tile)) {
        const Bitmap* bmp = getTileBmp(tile);
        glDisable(GL_BLEND);
        drawBitmap(bmp);
    } else {
        int width = 0;
        int height = 0;
        const unsigned char* pixels = getTilePng(tile, width, height);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    }
}

void drawBoardBackground(Board& board) {
    const int width = board.getWidth();
    const int height = board.getHeight();
    for (int i = 0; i < width; ++i)
        for (int j = 0; j < height; ++j)
            drawTile(board.getTile(i, j), width, height, i, j);
}

template <typename T>
void drawEach(const std::vector<T>& actors, int width, int height) {
    for (const T& actor : actors)
        drawTile(actor.getTile(), width, height, actor.x, actor.y);
}

// Later tiles blend over earlier ones: enemies cover placed objects, and the
// player is drawn last so nothing ever hides it.
void drawActors(Board& board) {
    const int width = board.getWidth();
    const int height = board.getHeight();
    drawEach(board.getFoods(), width, height);
    drawEach(board.getDeadBodies(), width, height);
    drawEach(board.getGuards(), width, height);
    drawEach(board.getDogs(), width, height);
    drawEach(board.getSgs(), width, height);
    const Ill& ill = board.getIll();
    drawTile(ill.getTile(), width, height, ill.x, ill.y);
}

// A place for a heads-up display; the game shows none yet.
void drawHud() {}

void drawBoard() {
    Board* board = getCurrentBoard();
    if (board == nullptr)
        return;
    drawBoardBackground(*board);
    drawActors(*board);
    drawHud();
}

}  // namespace

void initGL() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
}

// The screens are drawn over whatever the frame buffer holds and leave blending
// as the last tile set it; an 800 × 600 picture covers the whole window.
void drawTitle() {
    glRasterPos2f(-1.0f, -1.0f);
    drawBitmap(getTitleScreen());
}

void drawEnding() {
    glRasterPos2f(-1.0f, -1.0f);
    drawBitmap(getEndingScreen());
}

void draw() {
    if (atTitle()) {
        drawTitle();
        glutSwapBuffers();
        return;
    }
    if (atEnding() || getCurrentBoard() == nullptr) {
        drawEnding();
        glutSwapBuffers();
        return;
    }
    // Restart, advance or reach the ending before painting, so this frame
    // already shows the level that will be played next.
    runFlowStep();
    glClear(GL_COLOR_BUFFER_BIT);
    drawBoard();
    glutSwapBuffers();
}
