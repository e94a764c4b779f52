// solver.cpp — best-first (A*) search over key presses on the real game.
//
// A state is the board just after a key press, with the game clock at that moment. Only the
// key that reached it is kept, with its wait and its parent; to expand a state, its board is
// rebuilt by replaying the keys from the level's start (the stretches of ticks that can change
// nothing are skipped, which keeps a replay cheap). From there the ticks of the longest wait
// are played once, and at each shorter wait on the way every key is tried on a copy of the
// board at that moment. States are told apart by what can still matter: every actor's square,
// facing, flags and timer measured from now, and the stocks. The states still to expand are
// taken in order of keys so far plus a lower bound on the keys still needed (the steps to the
// nearest exit, and a turn unless the player faces a square a step nearer), so the first win
// found has the fewest keys.
#include "solver.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <queue>
#include <unordered_map>

#include "board.h"
#include "boardState.h"
#include "frameStep.h"
#include "idle.h"
#include "keyboard.h"
#include "linePlay.h"
#include "rewind.h"
#include "screenFlow.h"

namespace {

// A state is kept as the key that reached it; its board is rebuilt on demand by replaying
// the keys from the start, which is cheap because quiet stretches are skipped.
struct Node {
    int parent;      // -1 for the start
    int keys;        // presses from the start
    int64_t waitMs;  // before the press that reached it
    char key;
};

// A humane line still wins played at 90 % and 110 % of its pace: the keys so far played at
// one of those paces.
struct Paced {
    int tempo;
    Board board;            // the keys so far played at this pace
    int64_t atMs = 0;       // its clock
    bool lost = false, won = false;
    bool quiet = false;     // left quiet by its last play (see playUntil)
};

// What a state still to be expanded keeps of the moment it was reached, so that its board
// need not be rebuilt by replaying its keys: the board just after its key, its clock, and
// the boards of its paces.
struct Reached {
    Board board;
    int64_t atMs;
    std::vector<Paced> paced;
};

// The fewest keys each state met was reached in, by the state's hash: open addressing with
// linear probing, at most half full. The hash is uniform already, so its low bits place it.
class FewestKeys {
public:
    // The keys kept for `h`, or null when it was never met.
    int* find(const BoardStateHash& h) {
        for (size_t i = h.a & mask;; i = (i + 1) & mask) {
            Slot& s = slots[i];
            if (s.keys < 0) return nullptr;
            if (s.h == h) return &s.keys;
        }
    }
    // The keys kept for `h`, and whether it is new (then kept with `keys`).
    std::pair<int*, bool> tryEmplace(const BoardStateHash& h, int keys) {
        if (int* kept = find(h)) return {kept, false};
        if ((count + 1) * 2 > slots.size()) grow();
        Slot& s = emptySlotFor(h);
        s = {h, keys};
        ++count;
        return {&s.keys, true};
    }
    size_t size() const { return count; }

private:
    struct Slot {
        BoardStateHash h;
        int keys = -1;  // -1: empty
    };
    // Where `h` goes: the first empty slot from its place on.
    Slot& emptySlotFor(const BoardStateHash& h) {
        size_t i = h.a & mask;
        while (slots[i].keys >= 0) i = (i + 1) & mask;
        return slots[i];
    }
    void grow() {
        std::vector<Slot> old(slots.size() * 2);
        old.swap(slots);
        mask = slots.size() - 1;
        for (const Slot& s : old)
            if (s.keys >= 0) emptySlotFor(s.h) = s;
    }
    std::vector<Slot> slots = std::vector<Slot>(1 << 12);
    size_t mask = (1 << 12) - 1;
    size_t count = 0;
};

// The states the last search kept (see the end of solveCurrentLevel).
std::vector<std::unique_ptr<Reached>> lastKept;

std::vector<Press> pressesOf(const std::vector<Node>& nodes, int last) {
    std::vector<Press> presses;
    for (int i = last; nodes[i].parent >= 0; i = nodes[i].parent) presses.push_back({nodes[i].waitMs, nodes[i].key});
    return {presses.rbegin(), presses.rend()};
}

// Steps the player still has to take at least, from each square to the nearest exit, walking
// only on squares a player can enter; enemies and objects are ignored, so it never overestimates.
std::vector<int> exitDistances(Board& b) {
    const int w = b.getWidth(), h = b.getHeight();
    std::vector<int> dist(static_cast<size_t>(w) * h, INT_MAX);
    std::vector<int> queue;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (b.getTile(x, y) == EXIT) {
                dist[y * w + x] = 0;
                queue.push_back(y * w + x);
            }
    for (size_t i = 0; i < queue.size(); ++i) {
        int x = queue[i] % w, y = queue[i] / w;
        for (Facing f : {FA_N, FA_S, FA_E, FA_W}) {
            int dx, dy;
            getDxAndDy(f, dx, dy);
            int nx = x + dx, ny = y + dy;
            if (!b.inBounds(nx, ny) || dist[ny * w + nx] != INT_MAX) continue;
            TILE_TYPE t = b.getTile(nx, ny);
            if (t == WALL || t == WATER) continue;
            dist[ny * w + nx] = dist[queue[i]] + 1;
            queue.push_back(ny * w + nx);
        }
    }
    return dist;
}

// A lower bound on the keys still needed: the steps to the exit, plus a turn when the player
// does not face a square that is a step nearer. It drops by at most one per key.
int keysStillNeeded(Board& b, const std::vector<int>& dist) {
    const Ill& ill = b.getIll();
    int here = dist[ill.y * b.getWidth() + ill.x];
    if (here == INT_MAX || here == 0) return here;
    int dx, dy;
    getDxAndDy(ill.o, dx, dy);
    int ax = ill.x + dx, ay = ill.y + dy;
    bool facesNearer = b.inBounds(ax, ay) && dist[ay * b.getWidth() + ax] == here - 1;
    return here + (facesNearer ? 0 : 1);
}

}  // namespace

SolveResult solveCurrentLevel(ManualClock& clock, const SolveOptions& options) {
    auto started = std::chrono::steady_clock::now();
    SearchQuiet quiet;
    SolveResult result;
    // Food draws only guards and a body only guards and dogs; every enemy passes its sight over
    // both and the player walks over them. Where nobody reacts, they can only take up a square,
    // so the search does not place them.
    Board& level = *getCurrentBoard();
    std::string useless;
    if (level.getGuards().empty()) useless += 'h';
    if (level.getGuards().empty() && level.getDogs().empty()) useless += 'j';
    std::string keys;
    for (const char* k = SOLVER_KEYS; *k; ++k)
        if (options.forbidden.find(*k) == std::string::npos && useless.find(*k) == std::string::npos) keys += *k;

    // A win found, or joined through a known rest, is held to every way of playing it.
    const bool wholeLine = options.humane && options.humaneLine;
    const int64_t startMs = clock.now();
    const Board start = *getCurrentBoard();
    const std::vector<int> dist = exitDistances(*getCurrentBoard());
    // Boards of one expansion, assigned over rather than made anew: their actors' timers and
    // lists keep their storage.
    Board early = start, late = start, before = start, child = start;
    std::vector<Paced> childPaced;
    // The states still to be expanded kept whole, by node (null: rebuilt by replaying).
    std::vector<std::unique_ptr<Reached>> kept(1);
    lastKept.clear();
    size_t keptCount = 0;

    // Puts the board and the clock where the node's keys lead.
    std::vector<Node> nodes{{-1, 0, 0, 0}};  // the start is node 0
    auto toStart = [&] {
        *getCurrentBoard() = start;
        clock.advance(startMs - clock.now());
    };
    // Whether `line`, played from the start, wins in every way of playing it off its timing.
    auto humaneFromStart = [&](const std::vector<Press>& line) {
        toStart();
        return isHumane(clock, line, options.tickMs);
    };
    auto replay = [&](int id) {
        // The keys pressed in the search are not a player's to take back.
        beginTry();
        toStart();
        for (const Press& p : pressesOf(nodes, id)) {
            playUntil(clock, clock.now() + p.waitMs, options.tickMs, options.skipQuietTicks);
            keyboard(static_cast<unsigned char>(p.key), 0, 0);
        }
    };

    // Best first on keys so far plus keys still needed (A*); the bound never overestimates and
    // drops by at most one per key, so the first win found has the fewest keys. Among equals,
    // the state furthest from the start goes first: it is nearest to a win.
    // With greed above 1 the keys still needed weigh more: a win is found sooner, not always
    // the shortest.
    struct Open {
        int priority, bound, keys, id;
        bool operator<(const Open& o) const {
            return priority != o.priority ? priority > o.priority : keys != o.keys ? keys < o.keys : id > o.id;
        }
    };
    std::priority_queue<Open> open;
    FewestKeys fewestKeys;
    fewestKeys.tryEmplace(boardStateHash(*getCurrentBoard(), startMs), 0);
    int startBound = keysStillNeeded(*getCurrentBoard(), dist);
    if (startBound != INT_MAX) open.push({startBound * options.greed, startBound, 0, 0});
    bool cutByKeys = false;
    int bound = 0;

    while (!open.empty() && !result.solved) {
        Open top = open.top();
        open.pop();
        if (top.bound > bound) {
            bound = top.bound;
            if (options.progress) options.progress(bound - 1, fewestKeys.size(), open.size());
        }
        if (fewestKeys.size() >= options.maxStates) {
            result.limit = std::to_string(options.maxStates) + " states";
            break;
        }
        if (options.maxSeconds > 0 &&
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() > options.maxSeconds) {
            result.limit = std::to_string(options.maxSeconds) + " s";
            break;
        }
        if (options.stop && options.stop()) {
            result.limit = "stopped";
            break;
        }
        // A humane win still wins played at 90 % and 110 % of its pace. Played so, a line plays
        // exactly as its first keys do up to its last but one: a key lost at either pace loses
        // every line that begins with it, and is not tried further.
        std::vector<Paced> paced;
        std::unique_ptr<Reached> reached = std::move(kept[static_cast<size_t>(top.id)]);
        if (reached) {
            --keptCount;
            paced = std::move(reached->paced);
        } else if (options.humane && options.prunePace) {
            for (int tempo : {90, 110}) {
                Paced& p = paced.emplace_back(Paced{tempo, start});
                beginTry();
                toStart();
                int64_t written = 0;
                for (const Press& press : pressesOf(nodes, top.id)) {
                    written += press.waitMs;
                    if (!playUntil(clock, startMs + written * tempo / 100, options.tickMs, options.skipQuietTicks)) {
                        p.lost = true;
                        break;
                    }
                    keyboard(static_cast<unsigned char>(press.key), 0, 0);
                    if (getCurrentBoard()->hasLost()) p.lost = true;
                    if (getCurrentBoard()->hasWon()) p.won = true;
                    if (p.lost || p.won) break;
                }
                p.board = *getCurrentBoard();
                p.atMs = clock.now();
            }
        }
        if (reached) {
            beginTry();
            *getCurrentBoard() = reached->board;
            clock.advance(reached->atMs - clock.now());
        } else {
            replay(top.id);
        }
        const int64_t pressedAt = clock.now();
        const int64_t tickMs = options.tickMs;
        // Each pace's board brought to the moment its key comes after `wait`; false when a
        // pace is lost on the way there, and so for every longer wait.
        auto pacesReach = [&](int64_t wait) {
            for (Paced& p : paced) {
                if (p.won || p.lost) continue;
                *getCurrentBoard() = p.board;
                clock.advance(p.atMs - clock.now());
                p.lost = !playUntil(clock, startMs + (pressedAt - startMs + wait) * p.tempo / 100, tickMs,
                                    options.skipQuietTicks, &p.quiet);
                p.board = *getCurrentBoard();
                p.atMs = clock.now();
            }
            for (const Paced& p : paced)
                if (p.lost) return false;
            return true;
        };
        // The key pressed at each pace's moment: false if that loses.
        // The paces' boards after the key go to `childPaced`.
        // Assigned over, so that the boards keep their storage.
        auto pacesHold = [&](char key) {
            while (childPaced.size() < paced.size()) childPaced.push_back({0, start});
            childPaced.erase(childPaced.begin() + static_cast<ptrdiff_t>(paced.size()), childPaced.end());
            for (size_t i = 0; i < paced.size(); ++i) {
                const Paced& p = paced[i];
                Paced& c = childPaced[i];
                c.tempo = p.tempo;
                c.atMs = p.atMs;
                c.lost = p.lost;
                c.won = p.won;
                c.quiet = false;
                if (p.won) continue;
                *getCurrentBoard() = p.board;
                clock.advance(p.atMs - clock.now());
                keyboard(static_cast<unsigned char>(key), 0, 0);
                if (getCurrentBoard()->hasLost()) return false;
                c.board = *getCurrentBoard();
                c.won = getCurrentBoard()->hasWon();
            }
            return true;
        };
        // The board at `from`, the key pressed at `at`: false if that loses, or if the player
        // is caught before the next key could come, when that key is due a tick early.
        auto holds = [&](const Board& from, int64_t at, int64_t keyAt, char key, bool mustWin) {
            *getCurrentBoard() = from;
            clock.advance(at - clock.now());
            keyboard(static_cast<unsigned char>(key), 0, 0);
            Board& b = *getCurrentBoard();
            if (b.hasLost() || b.hasWon() || mustWin) return b.hasWon();
            return playUntil(clock, keyAt + options.waits.front() - tickMs, tickMs, options.skipQuietTicks);
        };
        BoardStateHash lastKey, lastEarlyKey;
        bool quiet = false;  // the board of the waits, left quiet by its last play
        const std::vector<int64_t>& waits = top.id == 0 && !options.firstWaits.empty() ? options.firstWaits : options.waits;
        for (int64_t wait : waits) {
            const int64_t at = pressedAt + wait;
            // A humane line's key still works a tick early or late: the boards of those moments
            // are kept to try each key on them too.
            BoardStateHash earlyKey;
            if (options.humane) {
                if (!playUntil(clock, at - tickMs, tickMs, options.skipQuietTicks, &quiet)) break;
                early = *getCurrentBoard();
                earlyKey = boardStateHash(early, at - tickMs);
            }
            if (!playUntil(clock, at, tickMs, options.skipQuietTicks, &quiet)) break;
            // Nothing moved since the shorter wait: every key would lead where it led then.
            BoardStateHash waitKey = boardStateHash(*getCurrentBoard(), clock.now());
            before = *getCurrentBoard();
            bool lateAlive = true;
            if (options.humane) {
                lateAlive = playUntil(clock, at + tickMs, tickMs, options.skipQuietTicks, &quiet);
                late = *getCurrentBoard();
            }
            // Where the board is at the longer waits' moments; the keys are tried from `before`.
            auto goOn = [&] {
                *getCurrentBoard() = options.humane ? late : before;
                clock.advance((options.humane ? at + tickMs : at) - clock.now());
            };
            if (waitKey == lastKey && earlyKey == lastEarlyKey) {
                goOn();
                if (!lateAlive) break;
                continue;
            }
            lastKey = waitKey;
            lastEarlyKey = earlyKey;
            if (!pacesReach(wait)) break;
            for (char key : keys) {
                *getCurrentBoard() = before;
                clock.advance(at - clock.now());
                keyboard(static_cast<unsigned char>(key), 0, 0);
                Board& after = *getCurrentBoard();
                if (after.hasLost()) continue;
                const BoardStateHash afterKey = boardStateHash(after, clock.now());
                // A key that changed nothing (a step into a wall already faced, a power out of
                // stock) only lengthens the wait, which the longer waits do without a key.
                if (afterKey == lastKey) continue;
                const bool won = after.hasWon();
                const int needed = won ? 0 : keysStillNeeded(after, dist);
                // A state already met in as few keys is passed over whether this key is humane
                // or not, so that is asked first: playing the key a tick off is the dearer test.
                if (!won) {
                    const int* seen = fewestKeys.find(afterKey);
                    if (seen && (!options.reopen || *seen <= top.keys + 1)) continue;
                }
                child = after;
                if (options.humane && !(holds(early, at - tickMs, at, key, won) && lateAlive &&
                                        holds(late, at + tickMs, at, key, won) && pacesHold(key))) {
                    ++result.unplayable;
                    continue;
                }
                nodes.push_back({top.id, top.keys + 1, wait, key});
                const int id = static_cast<int>(nodes.size()) - 1;
                if (won) {
                    std::vector<Press> line = pressesOf(nodes, id);
                    if (wholeLine) {
                        // Each key held up on its own; the whole line is held to every way
                        // of playing it off its timing.
                        if (!humaneFromStart(line)) {
                            ++result.unplayable;
                            nodes.pop_back();
                            continue;
                        }
                    }
                    result.solved = true;
                    result.presses = std::move(line);
                    break;
                }
                if (auto known = options.knownRests.find(afterKey); known != options.knownRests.end()) {
                    const KnownRest& k = known->second;
                    std::vector<Press> line = pressesOf(nodes, id);
                    line.insert(line.end(), k.line->begin() + static_cast<ptrdiff_t>(k.next), k.line->end());
                    line[static_cast<size_t>(top.keys) + 1].waitMs = k.waitMs;
                    if (!wholeLine || humaneFromStart(line)) {
                        result.solved = true;
                        result.presses = std::move(line);
                        break;
                    }
                }
                int childBound = needed == INT_MAX ? INT_MAX : top.keys + 1 + needed;
                if (childBound > options.maxKeys) {
                    cutByKeys = cutByKeys || needed != INT_MAX;
                    nodes.pop_back();
                    continue;
                }
                auto [met, fresh] = fewestKeys.tryEmplace(afterKey, top.keys + 1);
                if (!fresh) {
                    if (!options.reopen || *met <= top.keys + 1) {
                        nodes.pop_back();
                        continue;
                    }
                    *met = top.keys + 1;
                }
                open.push({top.keys + 1 + options.greed * needed, childBound, top.keys + 1, id});
                kept.resize(nodes.size());
                if (keptCount < options.keptStates) {
                    kept.back() = std::make_unique<Reached>(Reached{child, at, childPaced});
                    ++keptCount;
                }
            }
            if (result.solved) break;
            goOn();
            if (!lateAlive) break;
        }
    }
    result.keysSearched = result.solved ? static_cast<int>(result.presses.size()) : std::max(bound - 1, 0);
    if (!result.solved && result.limit.empty() && cutByKeys) {
        result.limit = std::to_string(options.maxKeys) + " keys";
        result.keysSearched = options.maxKeys;
    }
    result.states = fewestKeys.size();

    toStart();
    // Freeing tens of thousands of boards takes tens of milliseconds: they are freed as the
    // next search begins, not before this one answers (a hint's helper exits unfreed).
    lastKept = std::move(kept);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

ParResult findPar(ManualClock& clock, const std::vector<Press>& walkthrough, SolveOptions options) {
    ParResult result;
    options.humane = true;
    if (!walkthrough.empty()) {
        result.walkthroughFailure = humaneFailure(clock, walkthrough, options.tickMs);
        if (result.walkthroughFailure.empty())
            options.maxKeys = std::min(options.maxKeys, static_cast<int>(walkthrough.size()));
    }
    result.search = solveCurrentLevel(clock, options);
    if (result.search.solved) {
        result.presses = result.search.presses;
    } else if (!walkthrough.empty() && result.walkthroughFailure.empty()) {
        result.presses = walkthrough;
        result.fromWalkthrough = true;
    }
    // A state is searched from the first line that reaches it in as few keys, though whether
    // a line is humane depends on how it got there; so the search passes over humane wins
    // that a line merged away would begin. The search that drops lines lost at 90 % or
    // 110 % of their pace merges otherwise and finds some of them: the shorter win counts.
    SolveOptions paced = options;
    paced.prunePace = true;
    if (!result.presses.empty()) paced.maxKeys = std::min(paced.maxKeys, static_cast<int>(result.presses.size()) - 1);
    if (paced.maxKeys > 0) {
        SolveResult shorter = solveCurrentLevel(clock, paced);
        if (shorter.solved) {
            result.presses = shorter.presses;
            result.fromWalkthrough = false;
            result.search = shorter;
        }
    }
    result.par = static_cast<int>(result.presses.size());
    return result;
}

bool loadLevelFile(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string pattern = (fs::temp_directory_path() / "vwsolverXXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        error = "cannot make a temporary directory: " + std::string(std::strerror(errno));
        return false;
    }
    const fs::path dir = pattern;
    const fs::path home = fs::current_path();
    fs::create_directories(dir / "assets/levels");
    std::ofstream(dir / "assets/levels/level00.txt", std::ios::binary) << text;
    fs::current_path(dir);
    loadInitialBoard();
    fs::current_path(home);
    fs::remove_all(dir);
    if (!getCurrentBoard()) {
        error = "cannot load " + path;
        return false;
    }
    gotoMainGame();
    return true;
}
