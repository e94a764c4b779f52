// frameStep.cpp — one frame of play: the tick, the flow step and the redraw decision.
#include "frameStep.h"

#include "actor/sight.h"
#include "board.h"
#include "idle.h"
#include "redisplay.h"
#include "screenFlow.h"

namespace {
RedrawRule redraws;
Picture now;  // kept between frames so that taking a picture allocates nothing

bool onGameScreen() { return !atTitle() && !atEnding(); }
}  // namespace

void takePicture(Picture& p) {
    p.actors.clear();
    p.sight.clear();
    p.level = 0;
    p.lost = p.won = false;
    p.hud = {};
    Board* board = getCurrentBoard();
    if (atTitle()) {
        p.screen = Picture::TITLE;
        return;
    }
    if (atEnding() || !board) {
        p.screen = Picture::ENDING;
        return;
    }
    p.screen = Picture::GAME;
    p.level = getCurrLevel();
    auto add = [&p](const auto& a) {
        p.actors.insert(p.actors.end(), {static_cast<int>(a.getTile()), a.x, a.y});
    };
    board->forEachListInPaintOrder([&](ObjectType, const auto& list) {
        for (const auto& a : list) add(a);
    });
    add(board->getIll());
    p.lost = board->hasLost();
    p.won = board->hasWon();
    p.hud = hudState(*board);
    if (sightOverlayShown()) p.sight = squaresInEnemySight(*board);
}

Picture currentPicture() {
    Picture p;
    takePicture(p);
    return p;
}

bool RedrawRule::ask(const Picture& picture) {
    if (picture == onScreen || (unanswered && picture == *unanswered)) return false;
    unanswered = picture;
    return true;
}

void RedrawRule::painted(const Picture& shown) {
    onScreen = shown;
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
    if (onGameScreen()) {
        if (!getCurrentBoard()) return r;  // the flow step has stopped the game
        runCallbackPhase();
        runEnemyPhase();
        runRemoveDeadPhase();
        r.played = true;
        if (!watcher || watcher()) r.flow = flowStep();
    }
    takePicture(now);
    r.redraw = redraws.ask(now);
    if (r.redraw) requestRedisplay();
    return r;
}

void notePicturePainted() { redraws.painted(currentPicture()); }

void displayFrame(const std::function<void(Picture::Screen)>& paint) {
    if (atTitle() || atEnding() || !getCurrentBoard()) {
        paint(atTitle() ? Picture::TITLE : Picture::ENDING);
        notePicturePainted();
        return;
    }
    flowStep();
    paint(Picture::GAME);
    // After the last level this frame shows level 0 and the ending only the next
    // one: left unrecorded, the ending differs from what was painted, so the next
    // frame step asks for it.
    if (!atEnding()) notePicturePainted();
}
