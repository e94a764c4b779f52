// hintThinker.h — asking for a hint in play: a forked helper thinks over a copy of the game
// while the game goes on drawing, and the board's timers are held until the answer is in.
//
// The answer depends on every timer (an enemy's next step decides which key is safe), so
// while a hint is thought of no game time passes: each pass of the frame loop moves every
// timer of the board on by the time since the pass before, and the tick finds nothing due.
// The helper answers for the board as it was asked about, and the game resumes from exactly
// that board. A key that changes the board, or leaving the level, drops the question.
#pragma once

#include <string>

#include "hint.h"

// The key asks: the hint for the board as it is now. Ignored while one is being thought of.
void askForHint();
// Called at the start of every frame step: notes a board just loaded (the level's walkthrough
// is then known from here), holds the timers while a hint is thought of and takes the answer
// in when it has come: "hint: ..." on standard output, and shown beside the player.
void serviceHint();
bool hintThinking();
// Waits (in real time, not game time) for the answer being thought of and takes it in; for
// tools and tests, which have no frame loop running meanwhile.
void awaitHint();
// A key that changes the board, or leaving the level, while a hint is thought of: the
// helper is stopped and no answer comes.
void dropHintQuestion();

// What the board shows beside the player for HINT_SHOWN_MS after an answer: the key ("d"),
// "wait" or "none"; empty otherwise.
constexpr int64_t HINT_SHOWN_MS = 1000;
std::string shownHint();

// How long and how far the helper may search (hint.h); the defaults unless a tool says.
void setHintLimits(const HintLimits& limits);

// The last answer taken in, and how many have been since the program started.
const Hint& lastHint();
unsigned hintsAnswered();
