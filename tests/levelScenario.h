// levelScenario.h — a test fixture that plays real level files in simulated time.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "board.h"
#include "gameClock.h"
#include "frameStep.h"
#include "idle.h"
#include "keyboard.h"
#include "levelFiles.h"
#include "redisplay.h"
#include "screenFlow.h"

struct Placed {
    int x, y;
    Facing o;
};

struct Stocks {
    int food = 0, deadBody = 0, cloak = 0, fake = 0;
};

// A level file from a picture of its terrain: '.' floor, ',' second floor,
// '~' water, '#' wall, 'E' exit.
inline std::string levelText(std::initializer_list<const char*> rows, Placed ill,
                             std::vector<Placed> guards = {}, std::vector<Placed> dogs = {},
                             std::vector<Placed> sgs = {}, Stocks s = {}) {
    std::string text = std::to_string(std::string(*rows.begin()).size()) + "," +
                       std::to_string(rows.size()) + ",\n";
    for (const char* row : rows) {
        for (const char* c = row; *c; ++c) {
            const std::string codes = ".~,#E";
            text += std::to_string(codes.find(*c)) + ",";
        }
        text += "\n";
    }
    auto triple = [](const Placed& p) {
        return std::to_string(p.x) + "," + std::to_string(p.y) + "," + std::to_string(p.o) + ",";
    };
    text += "999,\n" + triple(ill) + "\n999,\n";
    for (const auto* list : {&guards, &dogs, &sgs}) {
        for (const Placed& p : *list) text += triple(p);
        text += "999,\n";
    }
    text += std::to_string(s.food) + "," + std::to_string(s.deadBody) + "," +
            std::to_string(s.cloak) + "," + std::to_string(s.fake) + "\n";
    return text;
}

// The level `text` (as levelText writes it) with a patrol section holding `routes`,
// each "kind, index, n, x1, y1, ..., xn, yn," as a level file spells it.
inline std::string withRoutes(std::string text, const std::string& routes) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text + ",\n999,\n" + routes + "\n999\n";
}

// Level files in a fresh working directory (see levelFiles.h), played in simulated
// time with redraw requests counted.
class LevelScenario : public LevelDirTest {
protected:
    void SetUp() override {
        LevelDirTest::SetUp();
        clock.install();
        setRedisplayHandler([this] { ++redraws; });
        gotoMainGame();
    }

    void TearDown() override {
        setRedisplayHandler({});
        LevelDirTest::TearDown();
    }

    // Writes the level as number 0 and makes it the current board.
    Board& play(const std::string& text) {
        writeLevel(0, text);
        loadInitialBoard();
        return board();
    }

    Board& board() {
        Board* b = getCurrentBoard();
        if (!b) throw std::runtime_error("no current board");
        return *b;
    }

    // Frames every `stepMs` of simulated time until `ms` have passed, the flow step held
    // back: a decided level stays as the tick left it, for the test to look at.
    void runFor(int ms, int stepMs = 10) {
        for (int t = 0; t < ms; t += stepMs) {
            clock.advance(stepMs);
            frameStep([] { return false; });
        }
    }

    // The game's own idle passes, flow step and all, so losses and wins take effect.
    void runFramesFor(int ms, int stepMs = 10) {
        for (int t = 0; t < ms; t += stepMs) {
            clock.advance(stepMs);
            idle();
        }
    }

    // What a redraw does before painting anything: the flow step, game screen only.
    FlowReport frame() { return flowStep(); }

    // Types the keys one at a time, each followed by a redraw, as the window would.
    void press(const char* keys) {
        for (; *keys; ++keys) {
            keyboard(static_cast<unsigned char>(*keys), 0, 0);
            frame();
        }
    }

    // Plays `ms` of simulated time and lists every change of the actor's square or
    // facing as "time:x,y,facing", the time in milliseconds from the call.
    template <typename Get>
    std::vector<std::string> trace(Get actor, int ms) {
        auto state = [&] {
            const Actor& a = actor();
            return std::to_string(a.x) + "," + std::to_string(a.y) + "," + "NSEW"[a.o];
        };
        std::vector<std::string> changes;
        std::string last = state();
        const int64_t start = clock.now();
        for (int t = 0; t < ms; t += 10) {
            clock.advance(10);
            frameStep([] { return false; });
            std::string now = state();
            if (now != last) changes.push_back(std::to_string(clock.now() - start) + ":" + now);
            last = now;
        }
        return changes;
    }

    ManualClock clock;
    int redraws = 0;
};
