// fuzz_level.cpp — the level loader on arbitrary text. A bad level ends the game; here
// a fatal handler that throws brings each failure back, so one run tries many files.
#include <cstdint>

#include "board.h"
#include "fuzzStops.h"

namespace {
// What the loader promises about every board it lets through.
void checkStandsOk(Board& board, const Actor& a) {
    FUZZ_CHECK(board.inBounds(a.x, a.y));
    FUZZ_CHECK(a.o >= FA_N && a.o <= FA_W);
    const TILE_TYPE tile = board.getTile(a.x, a.y);
    FUZZ_CHECK(tile == FLOOR || tile == IN_FLOOR);
    FUZZ_CHECK(a.alive && a.homeX == a.x && a.homeY == a.y && a.homeO == a.o);
}

// A route the loader lets through starts on its enemy's square, turns at squares of the
// board, and walks straight legs that touch no wall, the closing leg home included.
void checkRoute(Board& board, const Actor& a) {
    if (!a.patrols()) return;
    const std::vector<RoutePoint>& r = *a.route;
    FUZZ_CHECK(r.size() >= 2 && r[0].x == a.x && r[0].y == a.y && a.routeNext == 1);
    for (size_t i = 0; i < r.size(); ++i) {
        const RoutePoint from = r[i], to = r[(i + 1) % r.size()];
        FUZZ_CHECK(board.inBounds(to.x, to.y));
        FUZZ_CHECK((from.x == to.x) != (from.y == to.y));
        const int dx = (to.x > from.x) - (to.x < from.x), dy = (to.y > from.y) - (to.y < from.y);
        for (int x = from.x, y = from.y; x != to.x || y != to.y;) {
            x += dx, y += dy;
            FUZZ_CHECK(board.getTile(x, y) != WALL);
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = stoppableInput(".txt", data, size);

    try {
        Board board(path);
        FUZZ_CHECK(board.getWidth() >= 1 && board.getWidth() <= MAX_BOARD_WIDTH);
        FUZZ_CHECK(board.getHeight() >= 1 && board.getHeight() <= MAX_BOARD_HEIGHT);
        for (int y = 0; y < board.getHeight(); ++y)
            for (int x = 0; x < board.getWidth(); ++x)
                FUZZ_CHECK(board.getTile(x, y) >= FLOOR && board.getTile(x, y) <= EXIT);
        checkStandsOk(board, board.getIll());
        board.forEachEnemyList([&](ObjectType, const auto& list) {
            for (const Actor& enemy : list) checkStandsOk(board, enemy), checkRoute(board, enemy);
        });
        board.forEachPlacedList([](ObjectType, const auto& list) { FUZZ_CHECK(list.empty()); });
        for (int count : {board.getFoodUse(), board.getDeadBodyUse(), board.getCloakUse(), board.getFakeUse()})
            FUZZ_CHECK(count >= 0 && count <= MAX_NUM_POWER_USE);
        FUZZ_CHECK(!board.hasWon() && !board.hasLost());
    } catch (const Stopped& stopped) {
        // Assertions stop with 134 (abort), data errors with 1.
        FUZZ_CHECK(stopped.status == 1 || stopped.status == 134);
    }
    return 0;
}
