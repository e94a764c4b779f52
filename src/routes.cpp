// routes.cpp — the optional patrol section of a level file.
#include <iterator>
#include <string>

#include "board.h"
#include "check.h"

namespace {

// The longest route a file may give: enough turning points to visit every square.
constexpr int MAX_ROUTE_POINTS = MAX_BOARD_WIDTH * MAX_BOARD_HEIGHT;

std::vector<Actor*> enemiesOfKind(Board& board, ObjectType kind) {
    std::vector<Actor*> out;
    board.forEachEnemyList([&](ObjectType k, auto& list) {
        if (k == kind)
            for (Actor& a : list) out.push_back(&a);
    });
    return out;
}

// The enemy kinds a route may name, as "1 (guard), 2 (dog) or 3 (commander)".
std::string enemyKindsText() {
    std::string text;
    const size_t count = std::size(ENEMY_KINDS);
    for (size_t i = 0; i < count; ++i)
        text += (i == 0 ? "" : i + 1 == count ? " or " : ", ") + std::to_string(ENEMY_KINDS[i]) + " (" +
                kindName(ENEMY_KINDS[i]) + ")";
    return text;
}

// Every square of the leg from `a` to `b` after `a` must be floor an enemy may cross.
void checkLeg(const char* filename, int route, Board& board, RoutePoint a, RoutePoint b) {
    if (a.x != b.x && a.y != b.y)
        fatalExitf(1, "%s: route %d: the leg from (%d, %d) to (%d, %d) is not along a row or a column\n",
                   filename, route, a.x, a.y, b.x, b.y);
    if (a == b)
        fatalExitf(1, "%s: route %d: the leg from (%d, %d) to (%d, %d) goes nowhere\n", filename,
                   route, a.x, a.y, b.x, b.y);
    const int dx = (b.x > a.x) - (b.x < a.x), dy = (b.y > a.y) - (b.y < a.y);
    for (int x = a.x + dx, y = a.y + dy;; x += dx, y += dy) {
        if (board.getTile(x, y) == WALL)
            fatalExitf(1, "%s: route %d: the leg from (%d, %d) to (%d, %d) runs into the wall at (%d, %d)\n",
                       filename, route, a.x, a.y, b.x, b.y, x, y);
        if (x == b.x && y == b.y) return;
    }
}

}  // namespace

void readRoutes(const char* filename, Board& board, const std::function<int(const char*)>& getNum) {
    for (int route = 1;; ++route) {
        const int kind = getNum("a route's enemy kind or the closing 999");
        if (kind == DELIMITER) return;
        if (!isEnemy(static_cast<ObjectType>(kind)))
            fatalExitf(1, "%s: route %d: the enemy kind is %d, not %s\n", filename, route, kind,
                       enemyKindsText().c_str());
        const int index = getNum("a route's enemy index");
        const char* const name = kindName(static_cast<ObjectType>(kind));
        std::vector<Actor*> enemies = enemiesOfKind(board, static_cast<ObjectType>(kind));
        if (index < 0 || index >= static_cast<int>(enemies.size()))
            fatalExitf(1, "%s: route %d: there is no %s %d (the level has %zu)\n", filename, route,
                       name, index, enemies.size());
        Actor& enemy = *enemies[static_cast<size_t>(index)];
        if (enemy.patrols())
            fatalExitf(1, "%s: route %d: %s %d has a route already\n", filename, route, name,
                       index);
        const int n = getNum("a route's number of turning points");
        if (n < 1 || n > MAX_ROUTE_POINTS)
            fatalExitf(1, "%s: route %d: %d turning points; a route has 1 to %d\n", filename, route,
                       n, MAX_ROUTE_POINTS);
        auto points = std::make_shared<std::vector<RoutePoint>>();
        points->push_back({enemy.x, enemy.y});
        for (int i = 0; i < n; ++i) {
            const int x = getNum("a turning point's x");
            const int y = getNum("a turning point's y");
            if (!board.inBounds(x, y))
                fatalExitf(1, "%s: route %d: turning point %d, (%d, %d), is off the board\n",
                           filename, route, i + 1, x, y);
            checkLeg(filename, route, board, points->back(), {x, y});
            points->push_back({x, y});
        }
        checkLeg(filename, route, board, points->back(), points->front());
        enemy.setRoute(std::move(points));
    }
}
