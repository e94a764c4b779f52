// draw.cpp — paints the window with pixel blits: no geometry, every image at its own size.
#include "draw.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Bitmap/Bitmap.h"
#include "board.h"
#include "actor/sight.h"
#include "check.h"
#include "gameConstants.h"
#include "hud.h"
#include "frameStep.h"
#include "glide.h"
#include "levelBanner.h"
#include "levelSelect.h"
#include "pictureFit.h"
#include "redisplay.h"
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

// (shiftX, shiftY): whole window pixels right and up of the square, for a glide.
void drawTile(TILE_TYPE tile, int board_w, int board_h, int i, int j, int shiftX = 0, int shiftY = 0) {
    float screen_x = 0.0f;
    float screen_y = 0.0f;
    tileRasterPos(board_w, board_h, i, j, screen_x, screen_y);
    glRasterPos2f(screen_x + 2.0f * shiftX / WINDOW_WIDTH, screen_y + 2.0f * shiftY / WINDOW_HEIGHT);

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

// Window pixels right and up from an actor's square to where its glide has it drawn.
void glidePixels(const GlideShift& g, int board_w, int board_h, int& x, int& y) {
    x = g.dx * (768 / board_w) * g.msLeft / GLIDE_MS;
    y = -g.dy * (576 / board_h) * g.msLeft / GLIDE_MS;
}

// The picture's actors in its order: later tiles blend over earlier ones, so enemies
// cover placed objects, and the player, listed last, is never hidden.
void drawActors(Board& board, const Picture& picture, const std::vector<GlideShift>& shifts) {
    const int width = board.getWidth();
    const int height = board.getHeight();
    for (size_t k = 0; k * 3 + 2 < picture.actors.size(); ++k) {
        int x = 0, y = 0;
        if (k < shifts.size()) glidePixels(shifts[k], width, height, x, y);
        drawTile(static_cast<TILE_TYPE>(picture.actors[k * 3]), width, height, picture.actors[k * 3 + 1],
                 picture.actors[k * 3 + 2], x, y);
    }
}

// The sight overlay: every square an enemy sees shows its terrain in one red (hud.h),
// laid over the terrain and under the actors so that they stay clear. The tinted tiles
// are made once from the terrain images, and each is cut to its square.
void drawSightOverlay(Board& board, const std::vector<bool>& seen) {
    const int width = board.getWidth();
    const int height = board.getHeight();
    static std::vector<uint8_t> tinted[EXIT + 1];
    glDisable(GL_BLEND);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            if (!seen[static_cast<size_t>(j) * width + i]) continue;
            const TILE_TYPE tile = board.getTile(i, j);
            if (!isTerrain(tile)) continue;
            const Bitmap& bmp = *getTileBmp(tile);
            VW_ASSERT(bmp.bpp == 24 || bmp.bpp == 32);
            std::vector<uint8_t>& image = tinted[tile];
            if (image.empty())
                image = sightTintedImage(reinterpret_cast<const uint8_t*>(bmp.data), bmp.width, bmp.height,
                                         bmp.bpp == 32 ? 4 : 3);
            float x = 0.0f, y = 0.0f;
            tileRasterPos(width, height, i, j, x, y);
            glRasterPos2f(x, y);
            glPixelStorei(GL_UNPACK_ROW_LENGTH, bmp.width);
            glDrawPixels(std::min(bmp.width, 768 / width), std::min(bmp.height, 576 / height), GL_RGBA,
                         GL_UNSIGNED_BYTE, image.data());
            glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        }
}

// The heads-up display lives in the border around the board (12 pixels above and
// below it), never on a square. Positions are window pixels from the bottom left.
constexpr int HUD_BOTTOM_BASELINE = 2;
constexpr int HUD_TOP_BASELINE = 590;
constexpr int HUD_ICON_W = 16;
constexpr int HUD_ICON_H = 12;
void* const HUD_FONT = GLUT_BITMAP_HELVETICA_10;

void rasterAtPixel(int x, int y) {
    glRasterPos2f(-1.0f + 2.0f * x / WINDOW_WIDTH, -1.0f + 2.0f * y / WINDOW_HEIGHT);
}

// Returns the x just after the text.
int hudText(int x, int baseline, const std::string& text, float r, float g, float b, void* font = HUD_FONT) {
    glColor3f(r, g, b);  // taken as the raster colour by the next raster position
    rasterAtPixel(x, baseline);
    glutBitmapString(font, reinterpret_cast<const unsigned char*>(text.c_str()));
    return x + glutBitmapLength(font, reinterpret_cast<const unsigned char*>(text.c_str()));
}

// One RGBA pixel stretched over a w × h rectangle, blended by its alpha.
void fillRect(int x, int y, int w, int h, const unsigned char rgba[4]) {
    rasterAtPixel(x, y);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPixelZoom(static_cast<float>(w), static_cast<float>(h));
    glDrawPixels(1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glPixelZoom(1.0f, 1.0f);
}

// A square RGBA image made by the game (an arrow, a mark), blended over what is there.
void drawImage(int x, int y, int size, const std::vector<uint8_t>& image) {
    rasterAtPixel(x, y);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDrawPixels(size, size, GL_RGBA, GL_UNSIGNED_BYTE, image.data());
}

// A power's tile shrunk to fit the border's 16 × 12 pixels.
void hudIcon(TILE_TYPE tile, int x, int y = 0) {
    int width = 0;
    int height = 0;
    const unsigned char* pixels = getTilePng(tile, width, height);
    const float zoom = std::min(static_cast<float>(HUD_ICON_W) / width,
                                static_cast<float>(HUD_ICON_H) / height);
    rasterAtPixel(x, y);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPixelZoom(zoom, zoom);
    glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glPixelZoom(1.0f, 1.0f);
}

int hudTextWidth(const std::string& text, void* font = HUD_FONT) {
    return glutBitmapLength(font, reinterpret_cast<const unsigned char*>(text.c_str()));
}

void drawHud(const HudState& hud) {
    // Above the board: the level on the left, the cloak's time on the right.
    hudText(16, HUD_TOP_BASELINE, hudLevelText(hud), 0.95f, 0.92f, 0.75f);
    const std::string cloak = hudCloakText(hud);
    if (!cloak.empty()) hudText(WINDOW_WIDTH - 16 - hudTextWidth(cloak), HUD_TOP_BASELINE, cloak, 0.6f, 0.9f, 1.0f);
    // Below the board: each power's key, icon and stock.
    const struct {
        const char* key;
        TILE_TYPE icon;
        int stock;
    } powers[] = {{"h", FOOD, hud.food}, {"j", DEAD_BODY, hud.deadBody}, {"k", CLOAK_S, hud.cloak},
                  {"l", FAKE_GUARD_S, hud.fake}};
    int x = 16;
    for (const auto& p : powers) {
        x = hudText(x, HUD_BOTTOM_BASELINE, p.key, 0.96f, 0.83f, 0.36f) + 3;
        hudIcon(p.icon, x);
        const bool some = p.stock > 0;
        x = hudText(x + HUD_ICON_W + 2, HUD_BOTTOM_BASELINE, std::to_string(p.stock),
                    some ? 1.0f : 0.5f, some ? 1.0f : 0.5f, some ? 1.0f : 0.5f) + 14;
    }
    const std::string keys = hudKeyReminder();
    hudText(WINDOW_WIDTH - 16 - hudTextWidth(keys), HUD_BOTTOM_BASELINE, keys, 0.6f, 0.6f, 0.7f);
}

// The cloak's time left, also just above the player's square where the player's eyes are,
// following its glide; dark-edged so that it reads on every terrain.
void drawCloakAtPlayer(Board& board, const Picture& picture, const std::vector<GlideShift>& shifts) {
    const std::string seconds = hudCloakSeconds(picture.hud);
    if (seconds.empty() || picture.actors.size() < 3 || shifts.empty()) return;
    const int width = board.getWidth();
    const int height = board.getHeight();
    const int squareW = 768 / width, squareH = 576 / height;
    const size_t last = picture.actors.size() - 3;  // the player is painted last
    int dx = 0, dy = 0;
    glidePixels(shifts.back(), width, height, dx, dy);
    const int i = picture.actors[last + 1], j = picture.actors[last + 2];
    const int x = 16 + i * squareW + dx + (squareW - hudTextWidth(seconds)) / 2;
    const int y = std::min(12 + (height - j) * squareH + dy + 1, WINDOW_HEIGHT - 9);
    for (const auto& [ox, oy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}})
        hudText(x + ox, y + oy, seconds, 0.05f, 0.05f, 0.12f);
    hudText(x, y, seconds, 0.6f, 0.9f, 1.0f);
}

// The level's name and tip as it starts: centred on a dark band across the board's middle,
// through which the board still shows.
void drawLevelBanner() {
    const LevelNotes& notes = levelBannerNotes();
    const std::string heading = levelBannerHeading(levelBannerLevel(), notes);
    void* const headingFont = GLUT_BITMAP_TIMES_ROMAN_24;
    void* const tipFont = GLUT_BITMAP_HELVETICA_12;
    const int bandH = notes.tip.empty() ? 48 : 72, bandY = 300 - bandH / 2;
    static const unsigned char shade[4] = {8, 8, 20, 200};
    fillRect(16, bandY, 768, bandH, shade);
    auto centred = [](void* font, const std::string& text, int baseline, float r, float g, float b) {
        const auto* chars = reinterpret_cast<const unsigned char*>(text.c_str());
        glColor3f(r, g, b);
        rasterAtPixel((WINDOW_WIDTH - glutBitmapLength(font, chars)) / 2, baseline);
        glutBitmapString(font, chars);
    };
    centred(headingFont, heading, bandY + bandH - 32, 0.96f, 0.83f, 0.36f);
    if (!notes.tip.empty()) centred(tipFont, notes.tip, bandY + 16, 0.92f, 0.92f, 0.92f);
}

// The hint beside the player, following its glide: an arrow on the edge of its square the
// way to turn or step, the power's icon at its top right, or "wait" / "none" under it.
void drawHintAtPlayer(Board& board, const Picture& picture, const std::vector<GlideShift>& shifts) {
    const std::string& hint = picture.hud.hint;
    if (hint.empty() || picture.actors.size() < 3 || shifts.empty()) return;
    const int width = board.getWidth(), height = board.getHeight();
    const int squareW = 768 / width, squareH = 576 / height;
    const size_t last = picture.actors.size() - 3;  // the player is painted last
    int dx = 0, dy = 0;
    glidePixels(shifts.back(), width, height, dx, dy);
    const int i = picture.actors[last + 1], j = picture.actors[last + 2];
    const int cx = 16 + i * squareW + squareW / 2 + dx, cy = 12 + (height - j - 1) * squareH + squareH / 2 + dy;
    const std::vector<uint8_t> arrow = hint.size() == 1 ? hintArrowImage(hint[0]) : std::vector<uint8_t>{};
    if (!arrow.empty()) {
        const int ax = hint[0] == 'd' ? 1 : hint[0] == 'a' ? -1 : 0, ay = hint[0] == 'w' ? 1 : hint[0] == 's' ? -1 : 0;
        const int half = HINT_ARROW_SIZE / 2;
        const int x = std::clamp(cx + ax * squareW / 2 - half, 0, WINDOW_WIDTH - HINT_ARROW_SIZE);
        const int y = std::clamp(cy + ay * squareH / 2 - half, 0, WINDOW_HEIGHT - HINT_ARROW_SIZE);
        drawImage(x, y, HINT_ARROW_SIZE, arrow);
        return;
    }
    const struct {
        char key;
        TILE_TYPE icon;
    } powers[] = {{'h', FOOD}, {'j', DEAD_BODY}, {'k', CLOAK_S}, {'l', FAKE_GUARD_S}};
    for (const auto& p : powers)
        if (hint.size() == 1 && hint[0] == p.key) {
            hudIcon(p.icon, std::min(cx + squareW / 2 - HUD_ICON_W / 2, WINDOW_WIDTH - HUD_ICON_W),
                    std::min(cy + squareH / 2 - HUD_ICON_H / 2, WINDOW_HEIGHT - HUD_ICON_H));
            return;
        }
    const int x = cx - hudTextWidth(hint) / 2, y = std::max(cy - squareH / 2 - 9, 2);
    for (const auto& [ox, oy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}})
        hudText(x + ox, y + oy, hint, 0.05f, 0.05f, 0.12f);
    hudText(x, y, hint, 1.0f, 0.86f, 0.24f);
}

// Everything but the terrain comes from the picture the frame loop compares, so what
// is painted is exactly what it decided to paint.
void drawBoard(const Picture& picture, const std::vector<GlideShift>& shifts) {
    Board* board = getCurrentBoard();
    if (board == nullptr)
        return;
    drawBoardBackground(*board);
    if (!picture.sight.empty()) drawSightOverlay(*board, picture.sight);
    drawActors(*board, picture, shifts);
    drawCloakAtPlayer(*board, picture, shifts);
    drawHintAtPlayer(*board, picture, shifts);
    drawHud(picture.hud);
    if (picture.banner) drawLevelBanner();
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

namespace {
struct Rgb {
    float r, g, b;
};
constexpr Rgb SELECT_YELLOW{0.96f, 0.83f, 0.36f};  // the banner's heading, the HUD's keys
constexpr Rgb SELECT_TEXT{0.92f, 0.92f, 0.92f};
constexpr Rgb SELECT_DIM{0.42f, 0.40f, 0.50f};
constexpr Rgb SELECT_MINT{0.55f, 0.92f, 0.78f};
constexpr Rgb SELECT_LAVENDER{0.74f, 0.70f, 0.90f};
constexpr Rgb SELECT_MARK_OFF{0.27f, 0.37f, 0.40f};  // faint on a won card's teal

int selectText(int x, int baseline, const std::string& text, Rgb c, void* font = HUD_FONT) {
    return hudText(x, baseline, text, c.r, c.g, c.b, font);
}

// A card's fill and edge, by its standing; brighter, and edged in yellow, under the cursor.
void drawCardFace(const LevelCard& card) {
    static const unsigned char fills[3][2][4] = {
        {{22, 19, 36, 255}, {46, 42, 66, 255}},    // locked
        {{38, 31, 80, 255}, {66, 54, 128, 255}},   // reached
        {{20, 56, 60, 255}, {30, 90, 94, 255}},    // won
    };
    static const unsigned char edges[3][4] = {{42, 38, 60, 255}, {86, 72, 152, 255}, {62, 138, 128, 255}};
    static const unsigned char cursorEdge[4] = {245, 212, 92, 255};
    const int k = static_cast<int>(card.standing);
    const int edge = card.atCursor ? 2 : 1;
    fillRect(card.x, card.y, LEVEL_CARD_W, LEVEL_CARD_H, card.atCursor ? cursorEdge : edges[k]);
    fillRect(card.x + edge, card.y + edge, LEVEL_CARD_W - 2 * edge, LEVEL_CARD_H - 2 * edge,
             fills[k][card.atCursor ? 1 : 0]);
}

// The number and the record on the top line, the name under them, cut to the card.
void drawCard(const LevelCard& card) {
    drawCardFace(card);
    const bool locked = card.standing == LevelStanding::LOCKED, won = card.standing == LevelStanding::WON;
    const int top = card.y + 25, right = card.x + LEVEL_CARD_W - 5;
    selectText(card.x + 5, top, card.number, locked ? SELECT_DIM : SELECT_YELLOW, GLUT_BITMAP_HELVETICA_12);
    int x = right - hudTextWidth(card.record);
    selectText(x, top, card.record, locked ? SELECT_DIM : won ? SELECT_MINT : SELECT_LAVENDER);
    if (locked) drawImage(x - LEVEL_MARK_SIZE - 3, top - 1, LEVEL_MARK_SIZE, levelLockImage());
    if (won) {
        // Lit marks for what the best wins earned, grey for what is still to earn.
        x -= hudTextWidth("u") + 5;
        selectText(x, top, "u", card.withoutRewinds ? SELECT_MINT : SELECT_MARK_OFF);
        x -= hudTextWidth("?") + 3;
        selectText(x, top, "?", card.withoutHints ? SELECT_MINT : SELECT_MARK_OFF);
        drawImage(x - LEVEL_MARK_SIZE - 3, top - 1, LEVEL_MARK_SIZE, levelStarImage(card.atPar));
    }
    std::string name = card.name;
    const int room = LEVEL_CARD_W - 8;
    if (hudTextWidth(name) > room) {
        while (!name.empty() && hudTextWidth(name + "...") > room) name.pop_back();
        name += "...";
    }
    selectText(card.x + 5, card.y + 9, name, locked ? SELECT_DIM : SELECT_TEXT);
}

// Words and keys in turn, the keys in the HUD's yellow, centred on the line.
void drawKeyLine(int baseline, const std::vector<std::pair<std::string, bool>>& parts) {
    void* const font = GLUT_BITMAP_HELVETICA_12;
    int width = 0;
    for (const auto& [text, key] : parts) width += hudTextWidth(text, font);
    int x = (WINDOW_WIDTH - width) / 2;
    for (const auto& [text, key] : parts) x = selectText(x, baseline, text, key ? SELECT_YELLOW : SELECT_LAVENDER, font);
}
}  // namespace

// The level select over the title's night sky, its name and moon above and its sand below:
// between them a panel in the title's colours holding a card for every level.
void drawLevelSelect() {
    drawTitle();
    static const unsigned char panelEdge[4] = {118, 92, 171, 255}, panel[4] = {14, 10, 32, 255};
    fillRect(8, 97, 784, 411, panelEdge);
    fillRect(10, 99, 780, 407, panel);

    const std::string heading = "Choose a level";
    selectText((WINDOW_WIDTH - hudTextWidth(heading, GLUT_BITMAP_TIMES_ROMAN_24)) / 2, 480, heading, SELECT_YELLOW,
               GLUT_BITMAP_TIMES_ROMAN_24);
    const int count = std::max(getLevelCount(), 1);
    selectText(LEVEL_CARDS_LEFT, 482, std::to_string(levelSelectWon()) + " of " + std::to_string(count) + " won",
               SELECT_LAVENDER, GLUT_BITMAP_HELVETICA_12);
    // The legend of the marks, at the right.
    const std::string par = " par or better", hints = " no hints", rewinds = " no take-backs";
    int x = LEVEL_CARDS_LEFT + 5 * LEVEL_CARD_STEP_X + LEVEL_CARD_W -
            (LEVEL_MARK_SIZE + hudTextWidth(par + "   ?" + hints + "   u" + rewinds));
    drawImage(x, 481, LEVEL_MARK_SIZE, levelStarImage(true));
    x = selectText(x + LEVEL_MARK_SIZE, 482, par + "   ", SELECT_LAVENDER);
    x = selectText(x, 482, "?", SELECT_MINT);
    x = selectText(x, 482, hints + "   ", SELECT_LAVENDER);
    x = selectText(x, 482, "u", SELECT_MINT);
    selectText(x, 482, rewinds, SELECT_LAVENDER);

    for (const LevelCard& card : levelSelectCards()) drawCard(card);
    // More rows than fit: arrows at the ends of the key line say which way they scroll.
    if (levelSelectFirstRow() > 0) drawImage(LEVEL_CARDS_LEFT, 101, HINT_ARROW_SIZE, hintArrowImage('w'));
    if (levelSelectFirstRow() + LEVEL_SELECT_ROWS_SHOWN < levelSelectRows())
        drawImage(WINDOW_WIDTH - LEVEL_CARDS_LEFT - HINT_ARROW_SIZE, 101, HINT_ARROW_SIZE, hintArrowImage('s'));
    drawKeyLine(105, {{"arrows", true}, {" or ", false}, {"w a s d", true}, {" move        ", false},
                      {"Return", true}, {" or ", false}, {"space", true}, {" play        ", false},
                      {"Escape", true}, {" back to the title", false}});
}

namespace {
int windowW = WINDOW_WIDTH;
int windowH = WINDOW_HEIGHT;
std::vector<unsigned char> picture;  // the 1× picture, read back for a scaled window

void paintAtOneX(const Picture& picture, const std::vector<GlideShift>& shifts) {
    switch (picture.screen) {
    case Picture::TITLE:
        if (atLevelSelect())
            drawLevelSelect();
        else
            drawTitle();
        break;
    case Picture::NOTHING:
    case Picture::ENDING: drawEnding(); break;
    case Picture::GAME: drawBoard(picture, shifts); break;
    }
}

// Every drawing call places pixels through normalised device coordinates of an
// 800 × 600 viewport, so moving the viewport moves the whole picture by whole
// pixels. At 1× it is painted straight into its place. Any other size paints it
// at 1× (in window-sized pieces when the window is smaller), reads it back and
// blits it once with the fit's zoom: glPixelZoom scales images but not the
// HUD's bitmap text, so zooming each blit would leave the text at 1×.
void showPicture(const Picture& shown, const std::vector<GlideShift>& shifts) {
    const PictureFit fit = fitPicture(windowW, windowH, WINDOW_WIDTH, WINDOW_HEIGHT);
    glClear(GL_COLOR_BUFFER_BIT);
    if (fit.scale == 1) {
        glViewport(fit.x, fit.y, WINDOW_WIDTH, WINDOW_HEIGHT);
        paintAtOneX(shown, shifts);
        return;
    }
    if (fit.width == 0) return;
    picture.resize(static_cast<size_t>(WINDOW_WIDTH) * WINDOW_HEIGHT * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, WINDOW_WIDTH);
    for (int y = 0; y < WINDOW_HEIGHT; y += windowH)
        for (int x = 0; x < WINDOW_WIDTH; x += windowW) {
            glViewport(-x, -y, WINDOW_WIDTH, WINDOW_HEIGHT);
            glClear(GL_COLOR_BUFFER_BIT);
            paintAtOneX(shown, shifts);
            glPixelStorei(GL_PACK_SKIP_PIXELS, x);
            glPixelStorei(GL_PACK_SKIP_ROWS, y);
            glReadPixels(0, 0, std::min(windowW, WINDOW_WIDTH - x), std::min(windowH, WINDOW_HEIGHT - y),
                         GL_RGBA, GL_UNSIGNED_BYTE, picture.data());
        }
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);

    glClear(GL_COLOR_BUFFER_BIT);
    // (-1, -1) of this viewport is exactly the fit's corner, a whole pixel.
    glViewport(fit.x, fit.y, WINDOW_WIDTH, WINDOW_HEIGHT);
    glRasterPos2f(-1.0f, -1.0f);
    glDisable(GL_BLEND);
    glPixelZoom(fit.zoom, fit.zoom);
    glDrawPixels(WINDOW_WIDTH, WINDOW_HEIGHT, GL_RGBA, GL_UNSIGNED_BYTE, picture.data());
    glPixelZoom(1.0f, 1.0f);
}
}  // namespace

void reshape(int width, int height) {
    windowW = width;
    windowH = height;
    requestRedisplay();
}

void draw() {
    displayFrame([](const Picture& picture, const std::vector<GlideShift>& shifts) {
        showPicture(picture, shifts);
        glutSwapBuffers();
    });
}
