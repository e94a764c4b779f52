// frameStep.cpp — one frame of play: the tick, the flow step and the redraw decision.
#include "frameStep.h"

#include "actor/sight.h"
#include "board.h"
#include "gameClock.h"
#include "glide.h"
#include "hintThinker.h"
#include "idle.h"
#include "levelBanner.h"
#include "linePlay.h"
#include "redisplay.h"
#include "screenFlow.h"

namespace {
RedrawRule redraws;
Picture now;  // kept between frames so that taking a picture allocates nothing
Picture shown;
std::vector<GlideShift> shownShifts;
Glides glides;

bool onGameScreen() { return !atTitle() && !atEnding(); }

void clearPicture(Picture& p, Picture::Screen screen) {
    p.screen = screen;
    p.actors.clear();
    p.sight.clear();
    p.level = 0;
    p.lost = p.won = false;
    p.banner = false;
    p.hud = {};
}

// The board's picture, whatever screen shows.
void takeBoardPicture(Picture& p, Board& board) {
    clearPicture(p, Picture::GAME);
    p.level = getCurrLevel();
    auto add = [&p](const auto& a) {
        p.actors.insert(p.actors.end(), {static_cast<int>(a.getTile()), a.x, a.y});
    };
    board.forEachListInPaintOrder([&](ObjectType, const auto& list) {
        for (const auto& a : list) add(a);
    });
    add(board.getIll());
    p.lost = board.hasLost();
    p.won = board.hasWon();
    p.hud = hudState(board);
    if (sightOverlayShown()) p.sight = squaresInEnemySight(board);
    p.banner = levelBannerShown();
}

// Every picture taken in play moves the glides on; another screen ends them.
void followGlides(const Picture& p) {
    glides.follow(p.actors, p.screen == Picture::GAME ? getBoardLoadCount() : 0, currentTimeMs());
}
}  // namespace

void takePicture(Picture& p) {
    Board* board = getCurrentBoard();
    if (atTitle())
        clearPicture(p, Picture::TITLE);
    else if (atEnding() || !board)
        clearPicture(p, Picture::ENDING);
    else
        takeBoardPicture(p, *board);
}

Picture currentPicture() {
    Picture p;
    takePicture(p);
    return p;
}

bool RedrawRule::ask(const Picture& picture, int64_t glidePhase) {
    if ((picture == onScreen && glidePhase == onScreenGlide) ||
        (unanswered && picture == *unanswered && glidePhase == unansweredGlide))
        return false;
    unanswered = picture;
    unansweredGlide = glidePhase;
    return true;
}

void RedrawRule::painted(const Picture& shown, int64_t glidePhase) {
    onScreen = shown;
    onScreenGlide = glidePhase;
    unanswered.reset();
}

FlowReport flowStep() {
    FlowReport r;
    Board* board = getCurrentBoard();
    if (!onGameScreen() || !board) return r;
    r.lost = board->hasLost();
    r.won = board->winBitSet();
    r.levelBefore = getCurrLevel();
    runFlowStep();
    r.levelAfter = getCurrLevel();
    r.endingAfter = atEnding();
    return r;
}

FrameReport frameStep(const TickWatcher& watcher) {
    FrameReport r;
    serviceHint();
    if (onGameScreen()) {
        if (!getCurrentBoard()) return r;  // the flow step has stopped the game
        runCallbackPhase();
        runEnemyPhase();
        runRemoveDeadPhase();
        r.played = true;
        if (!watcher || watcher()) r.flow = flowStep();
    }
    // A search's ticks are never shown: no picture, no glide, no frame asked for.
    if (searchPlaying()) return r;
    takePicture(now);
    followGlides(now);
    r.redraw = redraws.ask(now, glides.phase(currentTimeMs()));
    if (r.redraw) requestRedisplay();
    return r;
}

void notePicturePainted() {
    takePicture(shown);
    followGlides(shown);
    redraws.painted(shown, glides.phase(currentTimeMs()));
}

void displayFrame(const PaintFrame& paint) {
    const bool game = !atTitle() && !atEnding() && getCurrentBoard();
    if (game) flowStep();
    Board* board = getCurrentBoard();
    // After the last level this frame shows level 0 and the ending only the next
    // one: left unrecorded, the ending differs from what was painted, so the next
    // frame step asks for it.
    if (game && board)
        takeBoardPicture(shown, *board);
    else
        takePicture(shown);
    followGlides(shown);
    const int64_t t = currentTimeMs();
    shownShifts.resize(shown.actors.size() / 3);
    for (size_t k = 0; k < shownShifts.size(); ++k) shownShifts[k] = glides.shift(k, t);
    paint(shown, shownShifts);
    if (!atEnding() || !game) redraws.painted(shown, glides.phase(t));
}
