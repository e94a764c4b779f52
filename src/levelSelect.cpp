// levelSelect.cpp — the level select's cursor, its keys, its labels and its cards.
#include "levelSelect.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "board.h"
#include "levelBanner.h"
#include "progress.h"
#include "records.h"
#include "rewind.h"
#include "screenFlow.h"

namespace {
// What the screen shows of one level.
struct Entry {
    bool reached = false;
    LevelRecord record;
    int par = 0;
    std::string name;
};

bool open = false;
int cursor = 0;
int firstRow = 0;
// The levels as the select opened: progress, records and pars change only in play, so the
// files are read once per opening, not for every card of every frame.
std::vector<Entry> entries;

int levelsPresent() { return std::max(getLevelCount(), 1); }
int furthestReached() { return std::min(savedProgress(), levelsPresent() - 1); }

Entry readEntry(int n) {
    Entry e;
    e.reached = n <= furthestReached();
    if (e.reached) e.record = recordOf(n);
    e.par = levelPar(n);
    e.name = readLevelNotes(n).name;
    return e;
}

// "14 / par 12", "best 14", "par 12", "locked" or empty.
std::string recordText(const Entry& e) {
    if (!e.reached) return "locked";
    std::string text;
    if (e.record.fewestKeys > 0) text = (e.par > 0 ? "" : "best ") + std::to_string(e.record.fewestKeys);
    if (e.record.fewestKeys > 0 && e.par > 0) text += " / ";
    if (e.par > 0) text += "par " + std::to_string(e.par);
    return text;
}

// The cursor's row always shows: the rows scroll no further than it takes.
void scrollToCursor() {
    const int row = cursor / LEVEL_SELECT_COLUMNS;
    firstRow = std::clamp(firstRow, row - LEVEL_SELECT_ROWS_SHOWN + 1, row);
}
}  // namespace

void openLevelSelect() {
    gotoTitle();
    entries.clear();
    for (int n = 0; n < levelsPresent(); ++n) entries.push_back(readEntry(n));
    open = true;
    cursor = furthestReached();
    firstRow = 0;
    scrollToCursor();
}

void closeLevelSelect() { open = false; }

bool atLevelSelect() { return open && atTitle(); }
int levelSelectCursor() { return cursor; }

void levelSelectKey(unsigned char key) {
    int moved = cursor;
    switch (key) {
    case 'a': moved -= 1; break;
    case 'd': moved += 1; break;
    case 'w': moved -= LEVEL_SELECT_COLUMNS; break;
    case 's': moved += LEVEL_SELECT_COLUMNS; break;
    case 27: open = false; return;
    case '\r':
    case '\n':
    case ' ':
        if (cursor > furthestReached()) return;
        open = false;
        loadBoardAt(cursor);
        beginTry();
        gotoMainGame();
        return;
    default: return;
    }
    if (moved >= 0 && moved < levelsPresent()) cursor = moved;
    scrollToCursor();
}

std::string levelSelectLabel(int n) {
    const Entry e = atLevelSelect() && n >= 0 && n < int(entries.size()) ? entries[n] : readEntry(n);
    std::string record = recordText(e);
    if (e.reached && e.record.fewestKeys > 0 && e.par > 0) record = "best " + record;
    return std::to_string(n + 1) + "  " + record;
}

std::vector<LevelCard> levelSelectCards() {
    std::vector<LevelCard> cards;
    const int first = firstRow * LEVEL_SELECT_COLUMNS;
    const int end = std::min(int(entries.size()), first + LEVEL_SELECT_ROWS_SHOWN * LEVEL_SELECT_COLUMNS);
    // Fewer rows than fit sit in the middle of the space.
    const int top = LEVEL_CARDS_TOP - std::max(LEVEL_SELECT_ROWS_SHOWN - levelSelectRows(), 0) * LEVEL_CARD_STEP_Y / 2;
    for (int n = first; n < end; ++n) {
        const Entry& e = entries[n];
        LevelCard card;
        card.level = n;
        card.x = LEVEL_CARDS_LEFT + n % LEVEL_SELECT_COLUMNS * LEVEL_CARD_STEP_X;
        card.y = top - LEVEL_CARD_H - (n / LEVEL_SELECT_COLUMNS - firstRow) * LEVEL_CARD_STEP_Y;
        const bool won = e.reached && e.record.fewestKeys > 0;
        card.standing = won ? LevelStanding::WON : e.reached ? LevelStanding::OPEN : LevelStanding::LOCKED;
        card.atCursor = n == cursor;
        card.atPar = won && e.par > 0 && e.record.fewestKeys <= e.par;
        card.withoutHints = won && e.record.withoutHints;
        card.withoutRewinds = won && e.record.withoutRewinds;
        card.number = std::to_string(n + 1);
        card.name = e.name;
        card.record = recordText(e);
        cards.push_back(card);
    }
    return cards;
}

int levelSelectFirstRow() { return firstRow; }
int levelSelectRows() { return (int(entries.size()) + LEVEL_SELECT_COLUMNS - 1) / LEVEL_SELECT_COLUMNS; }

int levelSelectWon() {
    return int(std::count_if(entries.begin(), entries.end(),
                             [](const Entry& e) { return e.reached && e.record.fewestKeys > 0; }));
}

namespace {
// An icon from a test of each pixel's centre (u, v), both from −1 to 1, up positive:
// inside(u, v, grow) with grow 0 is the body, with a pixel's grow the dark edge around it.
template <typename Inside>
std::vector<uint8_t> markImage(Inside inside, const uint8_t colour[3]) {
    constexpr int S = LEVEL_MARK_SIZE;
    std::vector<uint8_t> image(static_cast<size_t>(S) * S * 4, 0);
    const double pixel = 2.0 / S;
    for (int y = 0; y < S; ++y)
        for (int x = 0; x < S; ++x) {
            const double u = -1.0 + (x + 0.5) * pixel, v = -1.0 + (y + 0.5) * pixel;
            uint8_t* p = &image[(static_cast<size_t>(y) * S + x) * 4];
            if (inside(u, v, 0.0)) {
                p[0] = colour[0], p[1] = colour[1], p[2] = colour[2], p[3] = 255;
            } else if (inside(u, v, pixel)) {
                p[0] = 20, p[1] = 16, p[2] = 30, p[3] = 255;
            }
        }
    return image;
}
}  // namespace

const std::vector<uint8_t>& levelStarImage(bool lit) {
    static const uint8_t gold[3] = {255, 214, 64}, grey[3] = {66, 92, 100};
    // A five-pointed star: a pixel is inside when its distance from the centre is within the
    // star's outline at its angle, which swings between the points (r 1) and the notches.
    auto inside = [](double u, double v, double grow) {
        const double r = std::hypot(u, v);
        const double a = std::atan2(u, v);  // 0 straight up, where the top point is
        const double sector = 2.0 * std::numbers::pi / 5.0;
        const double off = std::fabs(std::remainder(a, sector)) / (sector / 2.0);  // 0 at a point, 1 at a notch
        const double outline = 0.95 - off * 0.55;
        return r <= outline + grow;
    };
    // Drawn on every card of every frame: made once.
    static const std::vector<uint8_t> images[2] = {markImage(inside, grey), markImage(inside, gold)};
    return images[lit ? 1 : 0];
}

const std::vector<uint8_t>& levelLockImage() {
    static const uint8_t steel[3] = {150, 144, 170};
    // A body in the lower half, a shackle (a ring's upper half) over it, a keyhole cut out.
    auto inside = [](double u, double v, double grow) {
        const bool body = std::fabs(u) <= 0.75 + grow && v >= -0.95 - grow && v <= 0.05 + grow;
        const double r = std::hypot(u, v - 0.05);
        const bool shackle = v >= 0.05 && r >= 0.3 - grow && r <= 0.6 + grow;
        const bool keyhole = grow == 0.0 && std::fabs(u) <= 0.12 && v >= -0.65 && v <= -0.25;
        return (body || shackle) && !keyhole;
    };
    static const std::vector<uint8_t> image = markImage(inside, steel);
    return image;
}
