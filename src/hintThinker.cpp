// hintThinker.cpp — the hint's helper process, the held timers and the answer shown.
//
// The solver plays keys on the one current board under the one game clock, so it cannot
// run beside the frame loop in the same process. A forked child gets a copy of everything
// as it stands, thinks with a clock of its own and writes one line back through a pipe; it
// never touches the window, the sound device or the player's files.
#include "hintThinker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "boardState.h"
#include "gameClock.h"
#include "progress.h"
#include "records.h"
#include "redisplay.h"
#include "screenFlow.h"
#include "soundManager.h"

namespace {

HintBook book;
HintLimits limits;
unsigned bookLoads = 0;          // getBoardLoadCount() when the book last saw a level start

pid_t helper = -1;               // thinking while it runs
int answerFd = -1;
std::string answerText;
int64_t heldUntilMs = 0;         // the board's timers have been moved on up to this moment
unsigned askedLoads = 0;         // the board asked about, by its load count

Hint last;
unsigned answers = 0;
int64_t shownUntilMs = 0;

[[noreturn]] void thinkInHelper(int fd) {
    // Nothing of the parent's may be touched from here: no window, no sound, no files.
    setRedisplayHandler({});
    setSoundOutput(nullptr);
    keepProgressIn("");
    keepRecordsIn("");
    helper = -1;
    ManualClock clock(currentTimeMs());
    clock.install();
    writeWhole(fd, hintLine(thinkOfHint(clock, book.lines(), limits)));
    _exit(0);
}

void holdTimers() {
    Board* board = getCurrentBoard();
    const int64_t now = currentTimeMs();
    if (board && now > heldUntilMs) delayBoardTimers(*board, now - heldUntilMs);
    heldUntilMs = now;
}

void endHelper(bool kill) {
    if (helper < 0) return;
    if (kill) ::kill(helper, SIGKILL);
    while (waitpid(helper, nullptr, 0) < 0 && errno == EINTR) {
    }
    close(answerFd);
    helper = -1;
    answerFd = -1;
    answerText.clear();
}

// Reads what the helper has written; true once the answer is complete or the helper is gone.
bool readAnswer() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(answerFd, buffer, sizeof buffer);
        if (n > 0) {
            answerText.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return n == 0 || (n < 0 && errno != EAGAIN);
    }
}

void takeAnswer() {
    holdTimers();
    Hint h;
    const bool ok = readHintLine(answerText, h);
    endHelper(false);
    if (!ok) {
        std::fputs("veilwalker: the hint could not be worked out\n", stderr);
        return;
    }
    std::printf("%s\n", hintText(h).c_str());
    std::fflush(stdout);
    // The board is just as it was asked about: its timers were held all along.
    if (Board* board = getCurrentBoard()) book.answered(*board, currentTimeMs(), h);
    last = std::move(h);
    ++answers;
    shownUntilMs = currentTimeMs() + HINT_SHOWN_MS;
    requestRedisplay();
}

}  // namespace

void askForHint() {
    Board* board = getCurrentBoard();
    if (helper >= 0 || !board || atTitle() || atEnding()) return;
    serviceHint();  // a board loaded since the last frame starts the book again
    int fds[2];
    if (pipe(fds) != 0) {
        std::fprintf(stderr, "veilwalker: no hint: %s\n", std::strerror(errno));
        return;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid < 0) {
        std::fprintf(stderr, "veilwalker: no hint: %s\n", std::strerror(errno));
        close(fds[0]);
        close(fds[1]);
        return;
    }
    if (pid == 0) {
        close(fds[0]);
        thinkInHelper(fds[1]);
    }
    close(fds[1]);
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    helper = pid;
    answerFd = fds[0];
    heldUntilMs = currentTimeMs();
    askedLoads = getBoardLoadCount();
}

void serviceHint() {
    Board* board = getCurrentBoard();
    if (board && getBoardLoadCount() != bookLoads) {
        bookLoads = getBoardLoadCount();
        book.levelStarted(*board, currentTimeMs());
    }
    if (helper < 0) return;
    if (!board || atTitle() || atEnding() || getBoardLoadCount() != askedLoads) {
        dropHintQuestion();
        return;
    }
    holdTimers();
    if (readAnswer()) takeAnswer();
}

bool hintThinking() { return helper >= 0; }

void awaitHint() {
    while (helper >= 0) {
        pollfd p{answerFd, POLLIN, 0};
        if (poll(&p, 1, -1) < 0 && errno != EINTR) break;
        serviceHint();
    }
}

void dropHintQuestion() {
    if (helper < 0) return;
    holdTimers();
    endHelper(true);
}

std::string shownHint() {
    if (answers == 0 || currentTimeMs() >= shownUntilMs) return {};
    switch (last.kind) {
    case Hint::KEY: return std::string(1, last.key);
    case Hint::WAIT: return "wait";
    case Hint::NONE:
    case Hint::UNKNOWN: break;
    }
    return "none";
}

void setHintLimits(const HintLimits& l) { limits = l; }

const Hint& lastHint() { return last; }
unsigned hintsAnswered() { return answers; }
