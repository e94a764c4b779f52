#!/usr/bin/python3
"""screen_test.py — the built game's picture in windows of other sizes, full screen, and the arrows.

Usage: screen_test.py VEILWALKER_BINARY {double|fullscreen|arrows}

  double      the window resized to 1600 x 1200 shows the title and a level pixel for pixel at 2x
              (every pixel a 2 x 2 block of the 1x picture, the HUD text too), and back at
              800 x 600 exactly the 1x picture again
  fullscreen  F11 on a 1024 x 768 screen fills it with the 800 x 600 picture centred on black;
              Alt+Return brings the window back to 800 x 600
  arrows      Up leaves the title and acts as w; Right, Down and Left act as d, s and a

The assets are window_test.py's, with a title of noise so that any pixel out of place shows.
Exit status 77 means "skipped" (no Xvfb on this machine).
"""

import os
import sys

from gameHarness import WIN_H, WIN_W, Failure
import window_test as wt



def noise(x, y):
    """A colour per pixel that differs from its neighbours (y from the top)."""
    h = (x * 73856093) ^ (y * 19349663)
    return ((h >> 3) & 255, (h >> 11) & 255, (h >> 19) & 255)


def expect_title_1x(screen):
    problems = []
    for y in range(0, WIN_H, 7):
        for x in range(0, WIN_W, 5):
            want = noise(x, WIN_H - 1 - y)
            got = screen.at(x, y)
            if got != want:
                problems.append(f"title pixel ({x}, {y}) is {got}, expected {want}")
                if len(problems) > 20:
                    return problems
    return problems


def expect_zoomed(screen, one_x, scale, x0, y0):
    """`screen` shows `one_x` (an 800 x 600 Screen) at `scale`, its corner at (x0, y0) from the
    bottom left, and black everywhere else."""
    problems = []
    w, h = WIN_W * scale, WIN_H * scale
    for y in range(screen.h):
        for x in range(screen.w):
            inside = x0 <= x < x0 + w and y0 <= y < y0 + h
            want = one_x.at((x - x0) // scale, (y - y0) // scale) if inside else wt.BLACK
            if screen.at(x, y) != want:
                problems.append(f"pixel ({x}, {y}) is {screen.at(x, y)}, expected {want}")
                if len(problems) > 20:
                    return problems
    return problems


def sized(w, h, check):
    def at_size(screen):
        if (screen.w, screen.h) != (w, h):
            return [f"the window is {screen.w} x {screen.h}, not {w} x {h}"]
        return check(screen)
    return at_size


def same_as(first):
    return lambda s: [] if s.pixels == first.pixels else ["the picture differs from the first one"]


def resize(game, w, h):
    game.run("xdotool", "windowsize", "--sync", game.window, str(w), str(h))


def double(game, snapshots):
    title = game.wait_for(expect_title_1x, "the title at 1x")
    resize(game, 2 * WIN_W, 2 * WIN_H)
    snapshots["title-2x"] = game.wait_for(sized(2 * WIN_W, 2 * WIN_H, lambda s: expect_zoomed(s, title, 2, 0, 0)),
                                          "the title at 2x", size=None)
    # A level, its HUD text included, at 2x and then again at 1x.
    game.keys("x")
    game.wait_for_output(wt.stock_line(wt.LEVEL0))
    level_2x = game.screenshot(size=None)
    resize(game, WIN_W, WIN_H)
    level = game.wait_for(sized(WIN_W, WIN_H, lambda s: wt.expect_board(s, wt.LEVEL0, {})), "level 0 at 1x",
                          size=None)
    snapshots["level-1x"] = level
    snapshots["level-2x"] = level_2x
    problems = expect_zoomed(level_2x, level, 2, 0, 0)
    if problems:
        raise Failure("level 0 at 2x is not the 1x picture doubled:\n  " + "\n  ".join(problems))
    game.quit()


def fullscreen(game, snapshots):
    title = game.wait_for(expect_title_1x, "the title at 1x")
    game.keys("F11")
    snapshots["fullscreen"] = game.wait_for(
        sized(1024, 768, lambda s: expect_zoomed(s, title, 1, (1024 - WIN_W) // 2, (768 - WIN_H) // 2)),
        "the title centred on a full 1024 x 768 screen", size=None)
    game.keys("alt+Return")
    game.wait_for(sized(WIN_W, WIN_H, same_as(title)), "the 800 x 600 window again", size=None)
    if game.stdout() != "":
        raise Failure(f"switching full screen acted as a key: standard output {game.stdout()!r}")
    game.quit()


def arrows(game, snapshots):
    game.wait_for(expect_title_1x, "the title")
    # The player starts at (1, 1) facing south: Up leaves the title and turns it north.
    steps = [("Up", (1, 1), wt.ILL_N), ("Right", (1, 1), wt.ILL_E), ("Right", (2, 1), wt.ILL_E),
             ("Down", (2, 1), wt.ILL_S), ("Down", (2, 2), wt.ILL_S), ("Left", (2, 2), wt.ILL_W),
             ("Left", (1, 2), wt.ILL_W), ("Up", (1, 2), wt.ILL_N), ("Up", (1, 1), wt.ILL_N)]
    for n, (key, square, tile) in enumerate(steps):
        game.keys(key)
        game.wait_for_output(wt.stock_line(wt.LEVEL0) * (n + 1))
        snapshots[f"{n}-{key}"] = game.wait_for(
            lambda s: wt.expect_board(s, wt.LEVEL0, {square: (wt.actor_colour(tile), 1)}),
            f"the player on {square} as tile {tile} after {key}")
    game.quit()


SCENARIOS = {"double": (double, "2048x1536x24"), "fullscreen": (fullscreen, "1024x768x24"),
             "arrows": (arrows, "1024x768x24")}


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in SCENARIOS:
        print(__doc__)
        return 2
    scenario, screen_size = SCENARIOS[sys.argv[2]]

    def prepare(workdir):
        wt.make_assets(workdir)
        wt.write_bmp24(os.path.join(workdir, "assets", "screens", "title.bmp"), WIN_W, WIN_H, noise)
        wt.write_levels(workdir, [wt.LEVEL0, wt.LEVEL1])

    return wt.run_scenario(os.path.abspath(sys.argv[1]), sys.argv[2], scenario, prepare, screen_size)


if __name__ == "__main__":
    sys.exit(main())
