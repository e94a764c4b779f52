#!/usr/bin/python3
"""window_test.py — plays the built game in a real window under Xvfb and checks what it shows.

Usage: window_test.py VEILWALKER_BINARY {play|quit|hud|continue|recapture|levelselect|banner|hint}

The game runs in a temporary working directory holding images and levels made
here: solid-colour terrain BMPs, actor PNGs with a coloured body, a white lower
half, a half-transparent strip and a transparent border, and two screens split
into four coloured quarters. Keys are typed with xdotool and the window is read
back with ImageMagick's import, so every check is on pixels a player would see.
The game keeps its progress under a temporary XDG_DATA_HOME, never in the
user's home. Exit status 77 means "skipped" (no Xvfb on this machine).
"""

import os
import struct
import subprocess
import sys
import time
import zlib

from gameHarness import WIN_H, WIN_W, Failure, Game, run_under_xvfb

BOARD_W, BOARD_H = 8, 6           # squares of 96 x 96 pixels in the 800 x 600 window
SQ_W, SQ_H = 768 // BOARD_W, 576 // BOARD_H

# Tile codes, as the catalogue numbers them.
FLOOR, WATER, IN_FLOOR, WALL, EXIT = range(5)
ILL_N, ILL_S, ILL_E, ILL_W = 10, 11, 12, 13
DOG_N, DOG_S, DOG_E, DOG_W = 14, 15, 16, 17
GUARD_N, GUARD_S, GUARD_E, GUARD_W = 18, 19, 20, 21
SG_N, SG_S, SG_E, SG_W = 22, 23, 24, 25

TERRAIN_FILES = {FLOOR: "sand", WATER: "water", IN_FLOOR: "in_floor", WALL: "wall", EXIT: "stairs"}
FACES = ["back", "front", "right", "left"]
ACTOR_FILES = {}
for first, stem in [(10, "hero"), (14, "dog"), (18, "g1"), (22, "command"),
                    (26, "dogfake"), (30, "g1fake"), (34, "commandfake"), (202, "cloak")]:
    for k, face in enumerate(FACES):
        ACTOR_FILES[first + k] = f"{stem}_{face}"
ACTOR_FILES[200] = "pizza"
ACTOR_FILES[201] = "bones"

TERRAIN_COLOURS = {
    FLOOR: (200, 160, 60),
    WATER: (30, 60, 200),
    IN_FLOOR: (120, 120, 120),
    WALL: (90, 40, 20),
    EXIT: (40, 200, 40),
}
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


def actor_colour(code):
    """A colour of its own for every actor tile, far from the terrain colours."""
    k = sorted(ACTOR_FILES).index(code)
    return (255 - 6 * k, (53 * k) % 200 + 20, (97 * k) % 160 + 90)


TITLE_QUARTERS = ((255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0))       # TL, TR, BL, BR
ENDING_QUARTERS = ((255, 0, 255), (0, 255, 255), (128, 0, 255), (255, 128, 0))


# --- image files -----------------------------------------------------------------

def write_bmp24(path, width, height, pixel_at):
    """An uncompressed 24-bit BMP with the 40-byte info header; pixel_at(x, y), y from the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):   # bottom row first
        row = bytearray()
        for x in range(width):
            r, g, b = pixel_at(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(file_header + info_header + data)


def write_png_rgba(path, width, height, pixel_at):
    """An 8-bit RGBA PNG; pixel_at(x, y) gives (r, g, b, a), y from the top."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw += bytes(pixel_at(x, y))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw)))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# An actor tile: a 24-pixel transparent border; inside, the upper half in the
# tile's colour, the lower half white, and below them a half-transparent black strip.
def actor_pixel(colour):
    def at(x, y):
        if x < 24 or x >= SQ_W - 24 or y < 24:
            return (0, 0, 0, 0)
        if y < 48:
            return colour + (255,)
        if y < 72:
            return WHITE + (255,)
        return (0, 0, 0, 128)
    return at


def quarters(colours):
    tl, tr, bl, br = colours

    def at(x, y):
        if y < WIN_H // 2:
            return tl if x < WIN_W // 2 else tr
        return bl if x < WIN_W // 2 else br
    return at


def make_assets(root):
    tiles = os.path.join(root, "assets", "tiles")
    screens = os.path.join(root, "assets", "screens")
    os.makedirs(tiles)
    os.makedirs(screens)
    os.makedirs(os.path.join(root, "assets", "levels"))
    for code, stem in TERRAIN_FILES.items():
        colour = TERRAIN_COLOURS[code]
        write_bmp24(os.path.join(tiles, stem + ".bmp"), SQ_W, SQ_H, lambda x, y, c=colour: c)
    for code, stem in ACTOR_FILES.items():
        write_png_rgba(os.path.join(tiles, stem + ".png"), SQ_W, SQ_H, actor_pixel(actor_colour(code)))
    write_bmp24(os.path.join(screens, "title.bmp"), WIN_W, WIN_H, quarters(TITLE_QUARTERS))
    write_bmp24(os.path.join(screens, "ending.bmp"), WIN_W, WIN_H, quarters(ENDING_QUARTERS))


# Level 0: every kind of terrain, neighbours mostly different so a shifted tile
# shows. The player starts at (1, 1) facing south; a guard and a dog share (1, 4)
# and a guard and a commander share (5, 4), all looking at walls or empty floor.
LEVEL0_GRID = [
    [3, 3, 3, 3, 3, 3, 3, 3],
    [3, 0, 2, 0, 2, 0, 1, 3],
    [3, 2, 0, 2, 0, 2, 1, 3],
    [3, 0, 2, 0, 2, 0, 4, 3],
    [3, 2, 0, 1, 0, 2, 0, 3],
    [0, 3, 2, 3, 2, 3, 2, 3],
]
LEVEL0_PLAYER = (1, 1, 1)
LEVEL0 = {
    "grid": LEVEL0_GRID,
    "player": LEVEL0_PLAYER,
    "guards": [(1, 4, 3), (5, 4, 2)],
    "dogs": [(1, 4, 3)],
    "sgs": [(5, 4, 1)],
    "powers": (1, 2, 3, 4),
}
# Level 1, the last: the player at (0, 0) facing east, the exit two squares east,
# a guard just south of the player looking off the board.
LEVEL1_GRID = [
    [2, 2, 4, 3, 1, 1, 1, 1],
    [0, 2, 2, 3, 1, 0, 0, 1],
    [0, 0, 2, 3, 1, 0, 0, 1],
    [1, 1, 1, 1, 1, 1, 1, 1],
    [3, 3, 3, 3, 3, 3, 3, 3],
    [4, 0, 2, 0, 2, 0, 2, 0],
]
LEVEL1 = {
    "grid": LEVEL1_GRID,
    "player": (0, 0, 2),
    "guards": [(0, 1, 3)],
    "dogs": [],
    "sgs": [],
    "powers": (5, 6, 7, 8),
}


# A 12 x 12 hall with walls across rows 4 and 6 but for a gap at x = 3, the exit at
# (1, 1), the player at (3, 7) facing north and a guard at (10, 5) looking west along
# row 5: two steps north into the gap and the guard sees the player.
HALL_GRID = [[0] * 12 for _ in range(12)]
for wall_row in (4, 6):
    HALL_GRID[wall_row] = [3] * 12
    HALL_GRID[wall_row][3] = 0
HALL_GRID[1][1] = 4
HALL = {
    "grid": HALL_GRID,
    "player": (3, 7, 0),
    "guards": [(10, 5, 3)],
    "dogs": [],
    "sgs": [],
    "powers": (0, 0, 0, 0),
}


def level_text(level):
    out = [f"{len(level['grid'][0])},{len(level['grid'])},"]
    out += [",".join(str(c) for c in row) + "," for row in level["grid"]]
    out.append("999,")
    out.append(",".join(str(v) for v in level["player"]) + ",")
    out.append("999,")
    for group in ("guards", "dogs", "sgs"):
        for triple in level[group]:
            out.append(",".join(str(v) for v in triple) + ",")
        out.append("999,")
    out.append(",".join(str(v) for v in level["powers"]))
    return "\n".join(out) + "\n"


def write_levels(root, levels):
    for n, level in enumerate(levels):
        with open(os.path.join(root, "assets", "levels", f"level{n:02d}.txt"), "w") as f:
            f.write(level_text(level))


# --- the window ------------------------------------------------------------------

def close(a, b, tolerance=0):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def square_origin(i, j):
    """Window pixel (from the bottom-left) where square (i, j) starts."""
    return 16 + i * SQ_W, 12 + (BOARD_H - 1 - j) * SQ_H


def expect_quarters(screen, colours, what):
    """The picture must cover the whole window, each quarter in its colour, right way up."""
    tl, tr, bl, br = colours
    problems = []
    for x, y, colour, where in [
        (0, WIN_H - 1, tl, "top-left corner"), (WIN_W // 2 - 1, WIN_H // 2, tl, "top-left quarter"),
        (WIN_W - 1, WIN_H - 1, tr, "top-right corner"), (WIN_W // 2, WIN_H // 2, tr, "top-right quarter"),
        (0, 0, bl, "bottom-left corner"), (WIN_W // 2 - 1, WIN_H // 2 - 1, bl, "bottom-left quarter"),
        (WIN_W - 1, 0, br, "bottom-right corner"), (WIN_W // 2, WIN_H // 2 - 1, br, "bottom-right quarter"),
    ]:
        got = screen.at(x, y)
        if got != colour:
            problems.append(f"{what}: {where} ({x}, {y}) is {got}, expected {colour}")
    return problems


def expect_board(screen, level, actors):
    """Every square's terrain at its exact place, the black margin around the board,
    and each square in `actors` showing its top tile's colour, with as many actor
    tiles blended over the terrain as the entry says."""
    problems = []
    grid = level["grid"]
    for j in range(BOARD_H):
        for i in range(BOARD_W):
            terrain = TERRAIN_COLOURS[grid[j][i]]
            x0, y0 = square_origin(i, j)
            # The four corner pixels of the square: a tile drawn one pixel off
            # shows a neighbour's colour or the margin at one of them.
            for x, y in [(x0, y0), (x0 + SQ_W - 1, y0), (x0, y0 + SQ_H - 1), (x0 + SQ_W - 1, y0 + SQ_H - 1)]:
                got = screen.at(x, y)
                if got != terrain:
                    problems.append(f"square ({i}, {j}) pixel ({x}, {y}) is {got}, expected terrain {terrain}")
            if (i, j) in actors:
                top_colour, layers = actors[(i, j)]
                # Body, white half and half-transparent strip, in picture order from the top.
                body = screen.at(x0 + SQ_W // 2, y0 + SQ_H - 30)
                white = screen.at(x0 + SQ_W // 2, y0 + SQ_H - 60)
                strip = screen.at(x0 + SQ_W // 2, y0 + 10)
                border = screen.at(x0 + 10, y0 + SQ_H // 2)
                # Every actor tile on the square darkens the terrain by half again.
                half = tuple(c // 2 ** layers for c in terrain)
                if body != top_colour:
                    problems.append(f"square ({i}, {j}) body is {body}, expected {top_colour}")
                if white != WHITE:
                    problems.append(f"square ({i}, {j}) lower half is {white}, expected white (tile upside down?)")
                if not close(strip, half, 3):
                    problems.append(f"square ({i}, {j}) half-transparent strip is {strip}, expected about {half}")
                if border != terrain:
                    problems.append(f"square ({i}, {j}) transparent border is {border}, expected terrain {terrain}")
    for x, y, where in [(15, 300, "left margin"), (784, 300, "right margin"),
                        (400, 11, "bottom margin"), (400, 588, "top margin"),
                        (0, 0, "bottom-left corner"), (WIN_W - 1, WIN_H - 1, "top-right corner")]:
        got = screen.at(x, y)
        if got != BLACK:
            problems.append(f"{where} ({x}, {y}) is {got}, expected black")
    return problems


def progress_file(workdir):
    return os.path.join(workdir, "data", "veilwalker", "progress")


# --- the scenarios ---------------------------------------------------------------

def stock_line(level):
    return "fo: {}, db: {}, cl: {}, fk: {}\n".format(*level["powers"])


def play(game, snapshots):
    """Title, level 0 with the key applied, level 1 after reaching the exit, a loss and
    restart there, the ending after the last exit, and "you win!" on a last key."""
    snapshots["title"] = game.wait_for(lambda s: expect_quarters(s, TITLE_QUARTERS, "title"), "the title")

    # The key that leaves the title also turns the player east on level 0.
    game.keys("d")
    # A dog is drawn over the guard sharing its square, a commander over a guard.
    level0_actors = {(1, 1): (actor_colour(ILL_E), 1), (1, 4): (actor_colour(DOG_W), 2),
                     (5, 4): (actor_colour(SG_S), 2)}
    snapshots["level0"] = game.wait_for(lambda s: expect_board(s, LEVEL0, level0_actors), "level 0")

    # Four steps east, turn and two steps south, turn and one step east onto the exit.
    game.keys("d", "d", "d", "d", "s", "s", "s", "d", "d")
    game.wait_for(lambda s: expect_board(s, LEVEL1, {(0, 0): (actor_colour(ILL_E), 1)}), "level 1")

    # Turning south and stepping onto the guard loses; the level restarts with the
    # player back at its start, facing east again.
    game.keys("s")
    game.wait_for(lambda s: expect_board(s, LEVEL1, {(0, 0): (actor_colour(ILL_S), 1)}), "the player facing south")
    game.keys("s")
    game.wait_for_output("sorry, you lose a life\n")
    snapshots["level1"] = game.wait_for(lambda s: expect_board(s, LEVEL1, {(0, 0): (actor_colour(ILL_E), 1)}),
                                        "level 1 restarted")

    game.keys("d", "d")
    game.wait_for_output("setting the ending flag\n")
    snapshots["ending"] = game.wait_for(lambda s: expect_quarters(s, ENDING_QUARTERS, "ending"), "the ending")

    game.keys("w")
    status = game.wait_for_exit()
    if status != 0:
        raise Failure(f"the game ended with status {status} after the last key")
    expected = (stock_line(LEVEL0) * 10 + "won in 10 keys\n" + stock_line(LEVEL1) * 2
                + "sorry, you lose a life\n" + stock_line(LEVEL1) * 2 + "won in 2 keys\n"
                + "setting the ending flag\n" + "you win!")
    if game.stdout() != expected:
        raise Failure(f"standard output differs:\n got      {game.stdout()!r}\n expected {expected!r}")
    with open(progress_file(game.workdir)) as f:
        if f.read() != "1\n":
            raise Failure("the progress file does not hold level 1, the furthest reached")


def quit_at_title(game, snapshots):
    snapshots["title"] = game.wait_for(lambda s: expect_quarters(s, TITLE_QUARTERS, "title"), "the title")
    game.keys("q")
    status = game.wait_for_exit()
    if status != 0:
        raise Failure(f"q ended the game with status {status}")
    if game.stdout() != "":
        raise Failure(f"q printed {game.stdout()!r}")


def hall_player_at(screen, j):
    """Whether the player's tile, facing north, is drawn on square (3, j) of the hall.
    The test tiles are 96 pixels square and the hall's squares 64 x 48, so tiles overlap
    their neighbours; the player is drawn last, and its body's pixel shows it."""
    x0, y0 = 16 + 3 * 64, 12 + (11 - j) * 48
    got = screen.at(x0 + 48, y0 + SQ_H - 36)
    return [] if got == actor_colour(ILL_N) else [f"square (3, {j}) shows {got}, not the player facing north"]


def recapture(game, snapshots):
    """Caught at the same square again and again: the level starts again each time,
    without another key."""
    game.wait_for(lambda s: expect_quarters(s, TITLE_QUARTERS, "title"), "the title")
    game.keys("space")
    game.wait_for(lambda s: hall_player_at(s, 7), "the hall")
    for attempt in range(1, 4):
        game.keys("w", "w")
        deadline = time.monotonic() + 10
        while game.stdout().count("sorry, you lose a life\n") < attempt:
            if time.monotonic() > deadline:
                raise Failure(f"caught for the {attempt}. time at (3, 5), the level did not start again")
            time.sleep(0.1)
        snapshots[f"restart{attempt}"] = game.wait_for(lambda s: hall_player_at(s, 7),
                                                       f"the player back at the start after capture {attempt}")
    line = "fo: 0, db: 0, cl: 0, fk: 0\n"
    expected = line + (line * 2 + "sorry, you lose a life\n") * 3
    if game.stdout() != expected:
        raise Failure(f"standard output differs:\n got      {game.stdout()!r}\n expected {expected!r}")


def border_rows(screen, rows):
    """The pixel bytes of whole window rows (y from the bottom)."""
    return b"".join(screen.pixels[3 * WIN_W * (WIN_H - 1 - y):3 * WIN_W * (WIN_H - y)] for y in rows)


BOTTOM_BORDER = range(0, 12)
TOP_BORDER = range(WIN_H - 12, WIN_H)


def expect_hud_beside_board(screen, level, actor_squares):
    """Every pixel of every square without an actor is its terrain: the heads-up display
    covers none; and both borders show something."""
    problems = []
    for j in range(BOARD_H):
        for i in range(BOARD_W):
            if (i, j) in actor_squares:
                continue
            x0, y0 = square_origin(i, j)
            want = bytes(TERRAIN_COLOURS[level["grid"][j][i]]) * SQ_W
            for y in range(y0, y0 + SQ_H):
                k = 3 * ((WIN_H - 1 - y) * WIN_W + x0)
                if screen.pixels[k:k + 3 * SQ_W] != want:
                    problems.append(f"square ({i}, {j}) row {y} is not all terrain")
                    break
    for rows, where in [(BOTTOM_BORDER, "bottom"), (TOP_BORDER, "top")]:
        if border_rows(screen, rows).strip(b"\0") == b"":
            problems.append(f"the {where} border is empty")
    return problems


def same_picture(first, what):
    return lambda s: [] if s.pixels == first.pixels else [f"the window differs from {what}"]


def hud(game, snapshots):
    """Restart, the sight overlay and the HUD, on level 0: `r` brings the first picture
    back, `v` tints the square the guard at (5, 4) sees and a second `v` removes the
    tint, and the cloak changes the stocks and shows its countdown."""
    game.wait_for(lambda s: expect_quarters(s, TITLE_QUARTERS, "title"), "the title")
    game.keys("x")   # not a command: leaves the title only
    actors = {(1, 1): (actor_colour(ILL_S), 1), (1, 4): (actor_colour(DOG_W), 2),
              (5, 4): (actor_colour(SG_S), 2)}
    first = game.wait_for(lambda s: expect_board(s, LEVEL0, actors) + expect_hud_beside_board(s, LEVEL0, actors),
                          "level 0 with the HUD beside the board")
    snapshots["hud-first"] = first

    game.keys("d", "d")   # a turn east and a step to (2, 1)
    game.wait_for(lambda s: expect_board(s, LEVEL0, {(2, 1): (actor_colour(ILL_E), 1),
                                                     (1, 4): (actor_colour(DOG_W), 2),
                                                     (5, 4): (actor_colour(SG_S), 2)}), "the player moved")
    game.keys("r")
    game.wait_for(same_picture(first, "the level's first picture"), "the restarted level")

    game.keys("v")
    tinted_square = square_origin(6, 4)
    centre = (tinted_square[0] + SQ_W // 2, tinted_square[1] + SQ_H // 2)

    def tinted(s):
        got = s.at(*centre)
        floor = TERRAIN_COLOURS[FLOOR]
        if got == floor or got[0] < got[2]:
            return [f"square (6, 4) is {got}, expected a reddish tint over {floor}"]
        changed = [p for p in range(0, len(s.pixels), 3) if s.pixels[p:p + 3] != first.pixels[p:p + 3]]
        rows = {WIN_H - 1 - (p // 3) // WIN_W for p in changed}
        cols = {(p // 3) % WIN_W for p in changed}
        if min(cols) < tinted_square[0] or max(cols) >= tinted_square[0] + SQ_W or \
                min(rows) < tinted_square[1] or max(rows) >= tinted_square[1] + SQ_H:
            return ["the overlay changed pixels outside the one square in sight"]
        return []
    snapshots["hud-sight"] = game.wait_for(tinted, "the sight overlay")
    game.keys("v")
    game.wait_for(same_picture(first, "the picture before the overlay"), "the overlay hidden again")

    game.keys("k")
    def hud_changed(s):
        problems = []
        for rows, where in [(BOTTOM_BORDER, "bottom"), (TOP_BORDER, "top")]:
            if border_rows(s, rows) == border_rows(first, rows):
                problems.append(f"the {where} border still shows what it showed before the cloak")
        return problems
    snapshots["hud-cloak"] = game.wait_for(hud_changed, "the HUD after the cloak")
    # Two seconds later the countdown has gone, but the stock stays one lower.
    time.sleep(2.5)
    after = game.wait_for(lambda s: [] if border_rows(s, TOP_BORDER) == border_rows(first, TOP_BORDER)
                          else ["the countdown is still shown"], "the cloak's end")
    if border_rows(after, BOTTOM_BORDER) == border_rows(first, BOTTOM_BORDER):
        raise Failure("the stocks in the HUD did not change after the cloak")

    line, cloaked = stock_line(LEVEL0), "fo: 1, db: 2, cl: 2, fk: 4\n"
    game.wait_for_output(cloaked)
    if game.stdout() != line * 6 + cloaked:
        raise Failure(f"standard output differs: {game.stdout()!r} (a restart is not a loss)")


def progress_holding(text):
    """A preparation that leaves a progress file with the given text in the working folder."""
    def prepare(workdir):
        os.makedirs(os.path.dirname(progress_file(workdir)))
        with open(progress_file(workdir), "w") as f:
            f.write(text)
    return prepare


def continue_saved(game, snapshots):
    """`c` on the title: a damaged progress file means level 0; a saved level 1 is continued."""
    level0_actors = {(1, 1): (actor_colour(ILL_S), 1), (1, 4): (actor_colour(DOG_W), 2),
                     (5, 4): (actor_colour(SG_S), 2)}
    for run, (level, actors) in enumerate([(LEVEL0, level0_actors), (LEVEL1, {(0, 0): (actor_colour(ILL_E), 1)})]):
        if run > 0:
            with open(progress_file(game.workdir), "w") as f:
                f.write("1\n")
            game.stop()
            game.__init__(game.binary, game.workdir, game.display)
        game.wait_for(lambda s: expect_quarters(s, TITLE_QUARTERS, "title"), "the title")
        game.keys("c")
        snapshots[f"continued{run}"] = game.wait_for(lambda s: expect_board(s, level, actors),
                                                     f"level {run} continued")
        game.wait_for_output(stock_line(level))
        if game.stdout() != stock_line(level):
            raise Failure(f"c printed {game.stdout()!r}")


# The level select's cards: one row of four levels sits in the middle of the space for eight
# rows, 124 x 40 pixels each, 128 apart; edged in yellow under the cursor, and filled by what the
# level is to the player (brighter under the cursor).
CARD_W, CARD_H = 124, 40
CURSOR_EDGE = (245, 212, 92)
CARD_FILLS = {"locked": ((22, 19, 36), (46, 42, 66)), "reached": ((38, 31, 80), (66, 54, 128)),
              "won": ((20, 56, 60), (30, 90, 94))}
STAR_GOLD, LOCK_STEEL = (255, 214, 64), (150, 144, 170)


def card_origin(n):
    return 18 + n * 128, 472 - 7 * 44 // 2 - CARD_H


def expect_select(screen, standings, cursor):
    """Each level's card in its place, filled as its standing says, the cursor's alone edged in
    yellow; a star on the won card at par, a padlock on each locked one."""
    problems = []
    for n, standing in enumerate(standings):
        x0, y0 = card_origin(n)
        fill = CARD_FILLS[standing][n == cursor]
        for x, y in [(x0 + 2, y0 + 2), (x0 + CARD_W - 3, y0 + 2)]:
            if screen.at(x, y) != fill:
                problems.append(f"card {n} ({standing}) pixel ({x}, {y}) is {screen.at(x, y)}, expected {fill}")
        edge = screen.at(x0, y0 + CARD_H - 1)
        if (edge == CURSOR_EDGE) != (n == cursor):
            problems.append(f"card {n}'s corner is {edge}: the cursor is on card {cursor}")
        top_line = {screen.at(x, y) for x in range(x0, x0 + CARD_W) for y in range(y0 + 22, y0 + 36)}
        for mark, colour, wanted in [("star", STAR_GOLD, standing == "won"), ("padlock", LOCK_STEEL,
                                                                             standing == "locked")]:
            if (colour in top_line) != wanted:
                problems.append(f"card {n} ({standing}) {'lacks' if wanted else 'shows'} a {mark}")
    if screen.at(x0 + CARD_W + 2, y0 + 2) == fill:
        problems.append("a card after the last level")
    return problems


def level_select(game, snapshots):
    """With progress at level 2 of four and level 0 won at par, Escape on the title opens the
    level select on level 2, the cards showing level 0 won, 1 and 2 reached and 3 locked; Left
    moves the highlight to level 1 and Return plays it; Escape in the level goes back to the
    select, and from there Escape and `c` continue at level 2."""
    level1 = {(0, 0): (actor_colour(ILL_E), 1)}
    level2 = {(1, 1): (actor_colour(ILL_S), 1), (1, 4): (actor_colour(DOG_W), 2), (5, 4): (actor_colour(SG_S), 2)}
    standings = ["won", "reached", "reached", "locked"]
    game.wait_for(lambda s: expect_quarters(s, TITLE_QUARTERS, "title"), "the title")
    game.keys("Escape")
    snapshots["select"] = game.wait_for(lambda s: expect_select(s, standings, 2), "the level select on level 2")
    game.keys("Left")
    snapshots["select-left"] = game.wait_for(lambda s: expect_select(s, standings, 1), "the cursor on level 1")
    game.keys("Right", "Right")   # onto the locked level, which Return does not play
    snapshots["select-locked"] = game.wait_for(lambda s: expect_select(s, standings, 3), "the cursor on level 3")
    game.keys("Return", "Left", "Left")
    game.wait_for(lambda s: expect_select(s, standings, 1), "the cursor back on level 1")
    game.keys("Return")
    snapshots["level1"] = game.wait_for(lambda s: expect_board(s, LEVEL1, level1), "level 1 from the select")
    game.keys("x")   # no action; prints the stocks of the level being played
    game.wait_for_output(stock_line(LEVEL1))
    game.keys("Escape")
    game.wait_for(lambda s: [] if s.pixels == snapshots["select"].pixels else ["not the level select of before"],
                  "the level select again")
    game.keys("Escape")
    game.wait_for(lambda s: expect_quarters(s, TITLE_QUARTERS, "title"), "the title again")
    game.keys("c")
    snapshots["level2"] = game.wait_for(lambda s: expect_board(s, LEVEL0, level2), "level 2 continued")
    game.wait_for_output(stock_line(LEVEL1) + stock_line(LEVEL0))
    game.quit()


def write_level_notes(workdir):
    levels = os.path.join(workdir, "assets", "levels")
    with open(os.path.join(levels, "level00.name"), "w") as f:
        f.write("Zero\nA one-line tip for the first level.\n")
    with open(os.path.join(levels, "level01.name"), "w") as f:
        f.write("One\n")


HEADING_YELLOW = (245, 212, 92)
TIP_GREY = (235, 235, 235)


def expect_banner(screen, level, with_tip):
    """The level's banner: a band across the board's middle (72 pixels high with a tip, 48
    without), the terrain dimmed under it and the board as drawn just above and below it, the
    heading in yellow on it and the tip's grey only when there is a tip. Column 0 of rows 2
    and 3, where the checks look, holds no actor in either level."""
    problems = []
    half = 36 if with_tip else 24
    def terrain_at(y):
        return TERRAIN_COLOURS[level["grid"][BOARD_H - 1 - (y - 12) // SQ_H][0]]
    for y in (300 - half, 300 + half - 1):
        got, terrain = screen.at(20, y), terrain_at(y)
        if not all(g <= t * 0.4 + 20 for g, t in zip(got, terrain)):
            problems.append(f"band pixel (20, {y}) is {got}, expected the terrain {terrain} dimmed")
    for y in (300 - half - 1, 300 + half):
        if screen.at(20, y) != terrain_at(y):
            problems.append(f"pixel (20, {y}) just off the band is {screen.at(20, y)}, expected {terrain_at(y)}")
    colours = {screen.at(x, y) for y in range(300 - half, 300 + half) for x in range(16, 784)}
    if not any(close(c, HEADING_YELLOW, 3) for c in colours):
        problems.append("no heading on the band")
    if any(close(c, TIP_GREY, 3) for c in colours) != with_tip:
        problems.append("a tip on the band" if not with_tip else "no tip on the band")
    return problems


def banner(game, snapshots):
    """The level's name (and its tip) show on a band as the level starts: on level 0 for 2.5 s
    unless a key comes first, and on level 1, which has no tip, until the next key."""
    game.wait_for(lambda s: expect_quarters(s, TITLE_QUARTERS, "title"), "the title")
    started = time.monotonic()
    game.keys("x")
    snapshots["banner0"] = game.wait_for(lambda s: expect_banner(s, LEVEL0, True), "level 0's banner with its tip")
    actors = {(1, 1): (actor_colour(ILL_S), 1), (1, 4): (actor_colour(DOG_W), 2),
              (5, 4): (actor_colour(SG_S), 2)}
    game.wait_for(lambda s: expect_board(s, LEVEL0, actors) + expect_hud_beside_board(s, LEVEL0, actors),
                  "level 0 once its banner has gone")
    if time.monotonic() - started < 2.0:
        raise Failure("level 0's banner went in less than two seconds without a key")

    game.keys("d", "d", "d", "d", "d", "s", "s", "s", "d", "d")   # to the exit, as in `play`
    snapshots["banner1"] = game.wait_for(lambda s: expect_banner(s, LEVEL1, False), "level 1's banner, no tip")
    pressed = time.monotonic()
    game.keys("x")
    game.wait_for(lambda s: expect_board(s, LEVEL1, {(0, 0): (actor_colour(ILL_E), 1)}), "level 1 after a key")
    if time.monotonic() - pressed > 1.5:
        raise Failure("level 1's banner stayed after the key")
    game.quit()


def hint(game, snapshots):
    """`?` prints the hint and shows it beside the player for about a second while the game
    goes on drawing; doing what `?` and `/` say wins the level."""
    game.wait_for(lambda s: expect_quarters(s, TITLE_QUARTERS, "title"), "the title")
    game.keys("x")   # no action: leaves the title for the level
    start = {(0, 0): (actor_colour(ILL_E), 1)}
    board = game.wait_for(lambda s: expect_board(s, LEVEL1, start), "level 1")
    game.keys("question")
    game.wait_for_output("hint: d\n")
    snapshots["hinted"] = game.wait_for(lambda s: [] if s.pixels != board.pixels else ["no hint shown"],
                                        "the hint beside the player")
    game.wait_for(lambda s: [] if s.pixels == board.pixels else ["the hint still shows"], "the hint gone again")
    game.keys("d", "slash")
    game.wait_for_output("hint: d\nfo: 5, db: 6, cl: 7, fk: 8\nhint: d\n")
    game.keys("d")
    game.wait_for_output("setting the ending flag\n")
    expected = (stock_line(LEVEL1) + "hint: d\n" + stock_line(LEVEL1) + "hint: d\n" + stock_line(LEVEL1)
                + "won in 2 keys\n" + "setting the ending flag\n")
    if game.stdout() != expected:
        raise Failure(f"standard output differs:\n got      {game.stdout()!r}\n expected {expected!r}")
    game.keys("w")
    game.wait_for_exit()


# Set-up of the working folder before the game starts, for the scenarios that need one.
def won_level0_at_par(workdir):
    progress_holding("2\n")(workdir)
    with open(os.path.join(os.path.dirname(progress_file(workdir)), "records"), "w") as f:
        f.write("0 3 1 1\n")
    with open(os.path.join(workdir, "assets", "levels", "level00.par"), "w") as f:
        f.write("3\n")


PREPARE = {"continue": progress_holding("garbage\n"), "levelselect": won_level0_at_par,
           "banner": write_level_notes}
SCENARIOS = {"play": play, "quit": quit_at_title, "hud": hud, "continue": continue_saved, "recapture": recapture,
             "levelselect": level_select, "banner": banner, "hint": hint}
LEVELS = {"recapture": [HALL], "hint": [LEVEL1], "levelselect": [LEVEL0, LEVEL1, LEVEL0, LEVEL1]}


def run_scenario(binary, name, scenario, prepare, screen="1024x768x24"):
    """Runs one scenario on a fresh working folder that prepare(workdir) fills, under an Xvfb
    screen of the given size; returns the exit status the test reports."""
    keep = os.environ.get("VW_E2E_KEEP")   # a folder to save the screenshots in, for a person to look at

    def body(workdir, display):
        game = Game(binary, workdir, display)
        snapshots = {}
        try:
            scenario(game, snapshots)
        except (Failure, subprocess.CalledProcessError, subprocess.TimeoutExpired) as e:
            raise Failure(f"{e}\nstandard output: {game.stdout()!r}\nstandard error: {game.stderr()!r}") from e
        finally:
            game.stop()
            if keep:
                os.makedirs(keep, exist_ok=True)
                for shot, screen in snapshots.items():
                    with open(os.path.join(keep, f"{name}-{shot}.ppm"), "wb") as f:
                        f.write(b"P6\n%d %d\n255\n" % (screen.w, screen.h) + screen.pixels)
        return f"{name}: passed"

    return run_under_xvfb("veilwalker-e2e-", prepare, body, ("xdotool", "import"), screen)


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in SCENARIOS:
        print(__doc__)
        return 2
    name = sys.argv[2]

    def prepare(workdir):
        make_assets(workdir)
        write_levels(workdir, LEVELS.get(name, [LEVEL0, LEVEL1]))
        PREPARE.get(name, lambda _: None)(workdir)

    return run_scenario(os.path.abspath(sys.argv[1]), name, SCENARIOS[name], prepare)


if __name__ == "__main__":
    sys.exit(main())
