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
            const std::string said = search(clock, options);
            size_t done = 0;
            while (done < said.size()) {
                const ssize_t n = write(fds[1], said.data() + done, said.size() - done);
                if (n <= 0 && errno != EINTR) break;
                if (n > 0) done += static_cast<size_t>(n);
            }
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

    // Whether the other search has answered, waiting up to `waitMs` for it (-1: until it
    // ends). Its answer is then `provedNone()` or a humane `win()`, or neither.
    bool answered(int waitMs) {
        if (fd < 0 || done) return done;
        pollfd p{fd, POLLIN, 0};
        int n;
        while ((n = poll(&p, 1, waitMs)) < 0 && errno == EINTR) {
        }
        if (n <= 0) return false;
        char buffer[4096];
        ssize_t got;
        while ((got = read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
            if (got > 0) text.append(buffer, static_cast<size_t>(got));
        done = true;
        return true;
    }
    bool provedNone() const { return done && text == "none"; }
    std::vector<Press> win() const {
        std::vector<Press> line;
        if (!done || !text.starts_with("win")) return line;
        std::istringstream in(text.substr(3));
        int64_t wait;
        int key;
        while (in >> wait >> key) line.push_back({wait, static_cast<char>(key)});
        return line;
    }

private:
    // In the copy: "none", "win" and the presses of a humane win, or "" when neither was found.
    static std::string search(ManualClock& clock, SolveOptions options) {
        const auto started = std::chrono::steady_clock::now();
        const Board now = *getCurrentBoard();
        const int64_t nowMs = clock.now();
        options.stop = nullptr;
        options.humane = false;
        options.prunePace = false;
        SolveResult r = solveCurrentLevel(clock, options);
        // A known rest is a win too: it joins a line off the waits tried.
        if (!r.solved) return r.limit.empty() ? "none" : "";
        options.humane = true;
        options.humaneLine = false;
        if (options.maxSeconds > 0) {
            options.maxSeconds -= std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            if (options.maxSeconds <= 0) return "";
        }
        r = solveCurrentLevel(clock, options);
        if (!r.solved) return r.limit.empty() ? "none" : "";
        *getCurrentBoard() = now;
        clock.advance(nowMs - clock.now());
        if (!isHumane(clock, r.presses, TICK_MS)) return "";
        std::string said = "win";
        for (const Press& p : r.presses) said += " " + std::to_string(p.waitMs) + " " + std::to_string(int(p.key));
        return said;
    }

    pid_t pid = -1;
    int fd = -1;
    bool done = false;
    std::string text;
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

Hint thinkOfHint(ManualClock& clock, const std::vector<KnownLine>& known, const HintLimits& limits) {
    TryKept keptTry;
    SearchQuiet quiet;
    const Board now = *getCurrentBoard();
    const int64_t nowMs = clock.now();
    auto putBack = [&] {
        *getCurrentBoard() = now;
        clock.advance(nowMs - clock.now());
    };
    Hint hint;
    if (now.hasLost() || now.hasWon()) {
        hint.kind = Hint::NONE;
        return hint;
    }
    // The line a key now begins answers "press it"; one whose key is due later, "wait".
    auto answer = [&](const std::vector<Press>& line) {
        putBack();
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
    };

    SolveOptions options;
    const BoardStateHash nowKey = boardStateHash(*getCurrentBoard(), nowMs);
    for (const KnownLine& k : known) {
        std::vector<Passing> passings = passingsOf(clock, k, nowKey, options.knownRests, options.waits.front());
        // The furthest along first: its rest is the shortest.
        std::reverse(passings.begin(), passings.end());
        if (passings.size() > RESTS_TRIED) passings.resize(RESTS_TRIED);
        for (const Passing& p : passings) {
            std::vector<Press> rest(k.line.begin() + static_cast<ptrdiff_t>(p.next), k.line.end());
            rest.front().waitMs = p.waitMs;
            if (answer(rest)) return hint;
        }
    }
    putBack();

    // The search ends as soon as it joins a known line humanely.
    options.humane = true;
    options.prunePace = true;
    options.reopen = false;
    options.tickMs = TICK_MS;
    options.greed = limits.greed;
    options.maxSeconds = limits.maxSeconds;
    options.maxStates = limits.maxStates;
    OtherSearch other(clock, options);
    options.stop = [&other] { return other.answered(0) && (other.provedNone() || !other.win().empty()); };
    const SolveResult found = solveCurrentLevel(clock, options);
    hint.states = found.states;
    // Stopped by the other search, or out of time or room: the other, started with the same
    // limits, is then about to end too.
    if (!found.solved && !found.limit.empty() && other.answered(-1)) {
        if (other.provedNone()) {
            hint.kind = Hint::NONE;
            putBack();
            return hint;
        }
        const std::vector<Press> win = other.win();
        if (!win.empty() && answer(win)) {
            putBack();
            return hint;
        }
    }
    // The search's first wait is HINT_PRESS_MS or longer; a win it found is humane as found.
    if (found.solved) {
        if (found.presses.front().waitMs == HINT_PRESS_MS) {
            hint.kind = Hint::KEY;
            hint.key = found.presses.front().key;
            hint.line = found.presses;
        } else if (!answer(found.presses)) {
            hint.kind = Hint::WAIT;
            hint.line = found.presses;
        }
    } else {
        hint.kind = found.limit.empty() ? Hint::NONE : Hint::UNKNOWN;
    }
    putBack();
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
