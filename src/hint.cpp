// hint.cpp — the hint's answer: a known line passing this very state, or the humane solver.
#include "hint.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sstream>
#include <string>

#include "boardState.h"
#include "keyboard.h"
#include "linePlay.h"
#include "rewind.h"
#include "solver.h"

namespace {

constexpr int64_t TICK_MS = 4;         // the solver's simulated pass of the game loop
constexpr size_t RESTS_TRIED = 3;      // places on a known line whose rest is held to the rule

// A place where a known line passes the state asked about: the rest of the line starts with
// press `next`, due `waitMs` after that moment.
struct Passing {
    size_t next;
    int64_t waitMs;
};

// Plays `k` from its origin, a tick at a time, and hands over the state at each moment as
// `visit(state, next, waitMs)`: the press `next` of the line comes `waitMs` after it.
template <typename Visit>
void walkKnownLine(ManualClock& clock, const KnownLine& k, Visit visit) {
    *getCurrentBoard() = k.origin;
    clock.advance(k.originMs - clock.now());
    beginTry();
    int64_t at = k.originMs;
    for (size_t i = 0; i < k.line.size(); ++i) {
        const int64_t keyAt = at + k.line[i].waitMs;
        for (;;) {
            visit(boardStateHash(*getCurrentBoard(), clock.now()), i, keyAt - clock.now());
            if (clock.now() >= keyAt) break;
            if (!playTick(clock, std::min(TICK_MS, keyAt - clock.now()))) return;
        }
        keyboard(static_cast<unsigned char>(k.line[i].key), 0, 0);
        const Board& b = *getCurrentBoard();
        if (b.hasLost() || b.hasWon()) break;
        at = keyAt;
    }
}

// For each key of `k`, the latest moment before it at which the board is exactly `nowKey`
// (timers measured from that moment); and into `rests`, every state the line passes with its
// next key at least `shortestWait` away, at the latest such moment.
std::vector<Passing> passingsOf(ManualClock& clock, const KnownLine& k, const BoardStateHash& nowKey,
                                KnownRests& rests, int64_t shortestWait) {
    std::vector<Passing> found;
    walkKnownLine(clock, k, [&](const BoardStateHash& state, size_t next, int64_t waitMs) {
        if (state == nowKey) {
            if (found.empty() || found.back().next != next) found.push_back({next, waitMs});
            found.back().waitMs = waitMs;
        }
        if (waitMs >= shortestWait) rests.insert_or_assign(state, KnownRest{&k.line, next, waitMs});
    });
    return found;
}

// `rest` with its first key moved to HINT_PRESS_MS after now.
std::vector<Press> pressedSoon(std::vector<Press> rest) {
    if (!rest.empty()) rest.front().waitMs = HINT_PRESS_MS;
    return rest;
}

// The board as it was asked about, with the clock at that moment.
struct Asked {
    Board board;
    int64_t ms;
    void putBack(ManualClock& clock) const {
        *getCurrentBoard() = board;
        clock.advance(ms - clock.now());
    }
};

// `line`, a win from the asking moment, as the answer: its key pressed HINT_PRESS_MS from now
// when that is humane ("press it"), else the line as it stands when its key is due later and
// it is humane so ("wait"). False, leaving `hint` as it was, when neither is.
bool answerWith(ManualClock& clock, const Asked& asked, const std::vector<Press>& line, Hint& hint) {
    asked.putBack(clock);
    std::vector<Press> soon = pressedSoon(line);
    if (isHumane(clock, soon, TICK_MS)) {
        hint.kind = Hint::KEY;
        hint.key = soon.front().key;
        hint.line = std::move(soon);
        return true;
    }
    if (line.front().waitMs > HINT_PRESS_MS && isHumane(clock, line, TICK_MS)) {
        hint.kind = Hint::WAIT;
        hint.line = line;
        return true;
    }
    return false;
}

// The search for a humane win has to prove there is none by going through every state a
// humane line reaches, and a humane state is dear: each key is tried a tick early and late and
// at the line's other paces, and a state reached at another pace is another state. So while it
// runs, a forked copy of the game searches on the other core for a proof that needs less:
// first the plain search (any timing will do, on the same waits), whose states cost a third as
// much and merge exactly; every humane line is one of its lines, so where it finds no win, none
// is left. Where it finds one, the search that holds only each key to the tick early and late:
// whether a state can be won so does not depend on how it was reached, so its states merge
// exactly too, and where it finds no win, no humane line wins either. A win it finds that is
// humane as a whole line answers as well.
class OtherSearch {
public:
    OtherSearch(ManualClock& clock, SolveOptions options) {
        int fds[2];
        if (pipe(fds) != 0) return;
        std::fflush(stdout);
        std::fflush(stderr);
        const pid_t parent = getpid();
        pid = fork();
        if (pid < 0) {
            close(fds[0]);
            close(fds[1]);
            return;
        }
        if (pid == 0) {
            close(fds[0]);
            // The game stops a hint's helper outright when the question is dropped: this
            // search goes with it.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(0);
            writeWhole(fds[1], hintLine(search(clock, options)));
            _exit(0);  // nothing of the copy's is flushed or freed
        }
        close(fds[1]);
        fd = fds[0];
    }
    ~OtherSearch() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        if (fd >= 0) close(fd);
    }
    OtherSearch(const OtherSearch&) = delete;
    OtherSearch& operator=(const OtherSearch&) = delete;

    // Whether the other search has ended, waiting up to `waitMs` for it (-1: until it ends).
    // Its answer is then `answer()`: a proof that none is left, a humane win, or not found.
    bool ended(int waitMs) {
        if (fd < 0 || done) return done;
        pollfd p{fd, POLLIN, 0};
        int n;
        while ((n = poll(&p, 1, waitMs)) < 0 && errno == EINTR) {
        }
        if (n <= 0) return false;
        std::string text;
        char buffer[4096];
        ssize_t got;
        while ((got = read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
            if (got > 0) text.append(buffer, static_cast<size_t>(got));
        if (!readHintLine(text, found)) found = Hint{};
        done = true;
        return true;
    }
    // Whether it has ended knowing the answer.
    bool knows(int waitMs) { return ended(waitMs) && found.kind != Hint::UNKNOWN; }
    const Hint& answer() const { return found; }

private:
    // In the copy: "none" for a proof, a humane win as the answer it gives, or not found.
    static Hint search(ManualClock& clock, SolveOptions options) {
        const auto started = std::chrono::steady_clock::now();
        const Asked asked{*getCurrentBoard(), clock.now()};
        Hint hint;
        options.stop = nullptr;
        options.humane = false;
        options.prunePace = false;
        SolveResult r = solveCurrentLevel(clock, options);
        // A known rest is a win too: it joins a line off the waits tried.
        if (r.solved) {
            options.humane = true;
            options.humaneLine = false;
            if (options.maxSeconds > 0) {
                options.maxSeconds -= std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
                if (options.maxSeconds <= 0) return hint;
            }
            r = solveCurrentLevel(clock, options);
        }
        if (!r.solved && r.limit.empty()) hint.kind = Hint::NONE;
        if (r.solved) answerWith(clock, asked, r.presses, hint);
        return hint;
    }

    pid_t pid = -1;
    int fd = -1;
    bool done = false;
    Hint found;
};

}  // namespace

bool isHintKey(unsigned char key) { return key == '?' || key == '/'; }

std::string hintText(const Hint& hint) {
    switch (hint.kind) {
    case Hint::KEY: return std::string("hint: ") + hint.key;
    case Hint::WAIT: return "hint: wait";
    case Hint::NONE: return "hint: none";
    case Hint::UNKNOWN: break;
    }
    return "hint: not found";
}

std::string hintLine(const Hint& h) {
    std::string text = std::to_string(static_cast<int>(h.kind)) + " " + std::to_string(static_cast<int>(h.key)) +
                       " " + std::to_string(h.states);
    for (const Press& p : h.line) text += " " + std::to_string(p.waitMs) + " " + std::to_string(static_cast<int>(p.key));
    return text + "\n";
}

bool readHintLine(const std::string& text, Hint& h) {
    if (text.empty() || text.back() != '\n') return false;
    std::istringstream in(text);
    int kind = 0, key = 0;
    size_t states = 0;
    if (!(in >> kind >> key >> states) || kind < Hint::KEY || kind > Hint::UNKNOWN) return false;
    h = Hint{};
    h.kind = static_cast<Hint::Kind>(kind);
    h.key = static_cast<char>(key);
    h.states = states;
    int64_t wait = 0;
    while (in >> wait >> key) h.line.push_back({wait, static_cast<char>(key)});
    return true;
}

void writeWhole(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0 && errno != EINTR) break;
        if (n > 0) done += static_cast<size_t>(n);
    }
}

Hint thinkOfHint(ManualClock& clock, const std::vector<KnownLine>& known, const HintLimits& limits) {
    TryKept keptTry;
    SearchQuiet quiet;
    const Asked asked{*getCurrentBoard(), clock.now()};
    Hint hint;
    if (asked.board.hasLost() || asked.board.hasWon()) {
        hint.kind = Hint::NONE;
        return hint;
    }

    SolveOptions options;
    const BoardStateHash nowKey = boardStateHash(*getCurrentBoard(), asked.ms);
    for (const KnownLine& k : known) {
        std::vector<Passing> passings = passingsOf(clock, k, nowKey, options.knownRests, options.waits.front());
        // The furthest along first: its rest is the shortest.
        std::reverse(passings.begin(), passings.end());
        if (passings.size() > RESTS_TRIED) passings.resize(RESTS_TRIED);
        for (const Passing& p : passings) {
            std::vector<Press> rest(k.line.begin() + static_cast<ptrdiff_t>(p.next), k.line.end());
            rest.front().waitMs = p.waitMs;
            if (answerWith(clock, asked, rest, hint)) return hint;
        }
    }
    asked.putBack(clock);

    // The search ends as soon as it joins a known line humanely.
    options.humane = true;
    options.prunePace = true;
    options.reopen = false;
    options.tickMs = TICK_MS;
    options.greed = limits.greed;
    options.maxSeconds = limits.maxSeconds;
    options.maxStates = limits.maxStates;
    OtherSearch other(clock, options);
    options.stop = [&other] { return other.knows(0); };
    const SolveResult found = solveCurrentLevel(clock, options);
    // Stopped by the other search, or out of time or room: the other, started with the same
    // limits, is then about to end too.
    if (!found.solved && !found.limit.empty() && other.knows(-1)) {
        hint = other.answer();
    } else if (found.solved) {
        // The search's first wait is HINT_PRESS_MS or longer; a win it found is humane as found.
        if (found.presses.front().waitMs == HINT_PRESS_MS) {
            hint.kind = Hint::KEY;
            hint.key = found.presses.front().key;
            hint.line = found.presses;
        } else if (!answerWith(clock, asked, found.presses, hint)) {
            hint.kind = Hint::WAIT;
            hint.line = found.presses;
        }
    } else {
        hint.kind = found.limit.empty() ? Hint::NONE : Hint::UNKNOWN;
    }
    hint.states = found.states;
    asked.putBack(clock);
    return hint;
}

void HintBook::levelStarted(const Board& board, int64_t nowMs) {
    known.clear();
    std::vector<Press> walk = currentLevelWalkthrough();
    fromWalkthrough = !walk.empty();
    if (fromWalkthrough) known.push_back({board, nowMs, std::move(walk)});
}

void HintBook::answered(const Board& board, int64_t nowMs, const Hint& hint) {
    if (hint.line.empty()) return;
    if (known.size() > (fromWalkthrough ? 1u : 0u)) known.pop_back();
    known.push_back({board, nowMs, hint.line});
}

std::vector<Press> currentLevelWalkthrough() {
    std::string name = getLevelFilename();
    if (name.ends_with(".txt")) name.replace(name.size() - 4, 4, ".walk");
    Walkthrough walk = readWalkthrough(name);
    if (!walk.found || !walk.error.empty()) return {};
    return walk.presses;
}

std::string followHints(const HintFollower& f, std::string* said) {
    for (int n = 0; n < f.mostAsks; ++n) {
        const Hint h = f.ask();
        if (said) *said += hintText(h) + "\n";
        switch (h.kind) {
        case Hint::KEY:
            if (!f.pass(HINT_PRESS_MS)) return "lost before pressing " + hintText(h);
            f.press(h.key);
            if (f.lost()) return "lost by " + hintText(h);
            if (f.won()) return "";
            break;
        case Hint::WAIT:
            if (!f.pass(HINT_ASK_AGAIN_MS)) return "lost while waiting";
            break;
        case Hint::NONE:
        case Hint::UNKNOWN: return "after " + std::to_string(n) + " hints: " + hintText(h);
        }
    }
    return "not won after " + std::to_string(f.mostAsks) + " hints";
}
