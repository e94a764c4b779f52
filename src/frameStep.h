// frameStep.h — one frame of play: the tick, the flow step and whether to paint, as the
// frame loop runs it and as tests and tools replay it under a clock they control.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "glide.h"
#include "hud.h"

// What one frame shows. Two equal pictures paint the same pixels, so a frame is
// only worth painting when the picture differs from the one on the screen.
struct Picture {
    enum Screen { NOTHING, TITLE, GAME, ENDING } screen = NOTHING;
    int level = 0;
    std::vector<int> actors;  // tile, x and y of every actor, in drawing order
    bool lost = false;        // a flow step has work to do
    bool won = false;
    HudState hud;
    std::vector<bool> sight;  // the overlay's squares; empty while it is hidden
    bool banner = false;      // the level's name and tip show over the board

    bool operator==(const Picture&) const = default;
};
// Fills `p` from the current screen and board, reusing its lists' room.
void takePicture(Picture& p);
Picture currentPicture();

// When a frame is worth asking for: the picture differs from the one on the screen and
// no request for exactly this picture is still unanswered (a hidden window paints
// nothing, and asking again would not help). A paint answers every request made
// before it, whatever it showed: the flow step may have changed the board in between.
class RedrawRule {
public:
    // True when a frame should be asked for now; the request is then remembered.
    // `glidePhase` is the glides' phase (glide.h) at that moment, so that a frame is also
    // asked for while something glides.
    bool ask(const Picture& now, int64_t glidePhase = 0);
    void painted(const Picture& shown, int64_t glidePhase = 0);

private:
    Picture onScreen;
    int64_t onScreenGlide = 0;
    std::optional<Picture> unanswered;
    int64_t unansweredGlide = 0;
};

// What a flow step found and did.
struct FlowReport {
    bool lost = false;  // the lose bit: the level started again
    bool won = false;   // the win bit, even where a loss hides it from hasWon()
    int levelBefore = 0;
    int levelAfter = 0;
    bool endingAfter = false;  // the step flagged the ending
    bool acted() const { return lost || won; }
};
// On the game screen with a board, the flow step (runFlowStep: a lost level restarts,
// a won one advances or ends the game) and what it did; elsewhere nothing. The display
// callback runs it before painting; every frame step runs it after the tick.
FlowReport flowStep();

struct FrameReport {
    bool played = false;  // the tick's phases ran: the game screen with a board
    FlowReport flow;
    bool redraw = false;  // a frame was asked for (requestRedisplay)
};

// Called between the tick and the flow step with the board the tick left, for tools that
// check it; returning false holds the flow step back, leaving a decided board as it is.
using TickWatcher = std::function<bool()>;

// One pass of the frame loop. On the game screen with a board: the tick's three phases
// (callbacks, enemies, the dead removed), then the flow step, so that a capture restarts
// the level in the frame that made it, whatever has been painted before. On every screen
// but the game screen without a board: a frame is asked for when the RedrawRule says so.
// No game time passes on the title or the ending.
FrameReport frameStep(const TickWatcher& watcher = {});

// The display callback reports each frame it paints.
void notePicturePainted();

// What the display callback does: on the game screen the flow step first (a key may have
// decided the level), so the frame already shows the level played next; then `paint`
// with the picture to show and, for each of its actors in order, where its glide has it
// drawn (see glide.h); then the frame is noted as painted. The picture of the game screen
// is the board's, also in the frame whose flow step has just flagged the ending.
using PaintFrame = std::function<void(const Picture&, const std::vector<GlideShift>&)>;
void displayFrame(const PaintFrame& paint);
