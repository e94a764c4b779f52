#!/usr/bin/python3
"""sound_test.py — plays the built game under Xvfb with SDL's disk audio driver and checks what it played.

Usage: sound_test.py VEILWALKER_BINARY MP3DECODE_BINARY REPOSITORY {music|nodevice}

music:    the title plays its theme, exactly as the plug-in decodes it; the first key
          crossfades into the stage music over half a second, and after that the file the
          driver writes holds the stage music as the plug-in decodes it (by correlation);
          `m` fades it out along a 10 ms ramp to silence and a second `m` fades it back in
          where it has got to, each ramp within one LSB of the straight line; `q` exits 0.
nodevice: SDL_AUDIODRIVER names no driver: one line on standard error, the game plays
          on (keys still work) and `q` exits 0.
The game runs in a temporary folder with the repository's tiles, screens and sounds and
a small level of its own. Exit status 77 means "skipped" (no Xvfb on this machine).
"""

import array
import math
import os
import subprocess
import sys
import time

from gameHarness import Failure, Game, copy_game_assets, run_under_xvfb

RATE = 44100
# The mixer plays the music at 5/8 of its level, rounding down.
MUSIC_GAIN_NUM, MUSIC_GAIN_SHIFT = 5, 3
# Music changes crossfade over this many frames (0.5 s); the driver's buffers hold BUFFER.
CROSSFADE_FRAMES = 22050
BUFFER = 1024
# Mute and unmute move the gain in equal steps over this many frames (10 ms).
RAMP_FRAMES = 441

# Three by three floor squares and an exit; the player in the middle, nobody else.
LEVEL = "3,3,\n0,0,0,\n0,0,0,\n0,0,4,\n999,\n1,1,0,\n999,\n999,\n999,\n999,\n0,0,0,0\n"


def read_s16(path):
    samples = array.array("h")
    with open(path, "rb") as f:
        samples.frombytes(f.read())
    if sys.byteorder != "little":
        samples.byteswap()
    return samples


def correlation(a, b):
    n = min(len(a), len(b))
    sa = sum(a[:n]) / n
    sb = sum(b[:n]) / n
    num = sum((a[i] - sa) * (b[i] - sb) for i in range(n))
    da = math.sqrt(sum((a[i] - sa) ** 2 for i in range(n)))
    db = math.sqrt(sum((b[i] - sb) ** 2 for i in range(n)))
    return num / (da * db) if da > 0 and db > 0 else 0.0


def zero_runs(samples, start, min_frames):
    """(first, length) of every run of at least min_frames silent stereo frames from `start`."""
    runs = []
    frames = len(samples) // 2
    k = start
    while k < frames:
        if samples[2 * k] == 0 and samples[2 * k + 1] == 0:
            j = k
            while j < frames and samples[2 * j] == 0 and samples[2 * j + 1] == 0:
                j += 1
            if j - k >= min_frames:
                runs.append((k, j - k))
            k = j
        else:
            k += 1
    return runs


def music(binary, mp3decode, repo, workdir, display):
    disk = os.path.join(workdir, "audio.raw")
    game = Game(binary, workdir, display, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=disk)
    try:
        time.sleep(1.0)       # the title, quiet
        game.keys("x")         # leaves the title; does nothing on the board
        game.wait_for_output("fo: 0")
        time.sleep(3.0)
        game.keys("m")
        time.sleep(2.0)
        game.keys("m")
        time.sleep(2.5)
        game.quit()
    finally:
        game.stop()
    # SDL's disk driver announces itself; nothing else may be said.
    own = [line for line in game.stderr().splitlines() if not line.startswith("CRITICAL: ")]
    if own:
        raise Failure(f"the game wrote to standard error: {own!r}")

    def decoded(name):
        path = os.path.join(workdir, name + ".raw")
        subprocess.run([mp3decode, "--raw", os.path.join(repo, "assets", "sounds", name + ".mp3"), path],
                       check=True, timeout=120)
        return array.array("h", ((v * MUSIC_GAIN_NUM) >> MUSIC_GAIN_SHIFT for v in read_s16(path)))

    title = decoded("title")
    scaled = decoded("stage")
    got = read_s16(disk)
    frames = len(got) // 2
    if frames < 6 * RATE:
        raise Failure(f"the driver wrote only {frames / RATE:.2f} s of audio")

    def starts(ref, probe, first_buffer, what):
        """The buffer-aligned frame where `ref` starts in the output: frames start + probe on
        match it exactly for a while."""
        for k in range(first_buffer, frames // BUFFER):
            at = k * BUFFER + probe
            if at + 256 > frames:
                break
            if got[2 * at:2 * at + 512] == ref[2 * probe:2 * probe + 512]:
                return k * BUFFER
        raise Failure(f"{what} is nowhere in the output as the plug-in decodes it")

    # The title's theme from its first buffer until the key: sample for sample.
    title_at = starts(title, 0, 0, "the title theme")
    exact = 0
    while title_at + exact < frames and got[2 * (title_at + exact)] == title[2 * exact]:
        exact += 1
    print(f"title theme: from frame {title_at}, {exact / RATE:.2f} s exactly the plug-in's, scaled")
    if exact < RATE // 2:
        raise Failure(f"the title theme played only {exact / RATE:.2f} s before it changed")
    # The stage music starts in the buffer of the key; past the crossfade it is alone.
    shift = starts(scaled, CROSSFADE_FRAMES + BUFFER, title_at // BUFFER, "the stage music")
    onset = shift + CROSSFADE_FRAMES
    if not (title_at + exact - BUFFER <= shift <= title_at + exact):
        raise Failure(f"the stage music started at frame {shift}, the title changed at {title_at + exact}")
    runs = zero_runs(got, onset, RATE // 2)
    if len(runs) < 1:
        raise Failure("no silence after the first m")
    mute_at, mute_len = runs[0]
    if not (1.0 * RATE <= mute_len <= 3.5 * RATE):
        raise Failure(f"the mute lasted {mute_len / RATE:.2f} s; m was pressed again after 2 s")
    if mute_at - onset < 1.5 * RATE:
        raise Failure(f"the music played only {(mute_at - onset) / RATE:.2f} s before the mute")
    after = mute_at + mute_len
    end = next((r[0] for r in runs[1:]), frames)
    if end - after < RATE:
        raise Failure(f"the music came back for only {(end - after) / RATE:.2f} s after the second m")

    def fit_ramp(around, falling, what):
        """The first frame of the ramp near `around` whose frames follow the music times a
        gain moving in equal steps, to within one LSB; fails if no start fits."""
        best = None
        for start in range(around - RAMP_FRAMES - 64, around + 64):
            worst = 0
            for i in range(RAMP_FRAMES):
                gain = 1 - (i + 1) / RAMP_FRAMES if falling else (i + 1) / RAMP_FRAMES
                k = start + i
                for c in (0, 1):
                    worst = max(worst, abs(got[2 * k + c] - scaled[2 * (k - shift) + c] * gain))
                if worst > 1.5:
                    break
            if best is None or worst < best[1]:
                best = (start, worst)
        start, worst = best
        print(f"{what}: a {RAMP_FRAMES}-frame ramp from frame {start}, at most {worst:.2f} LSB off the line")
        if worst > 1.5:
            raise Failure(f"{what}: no {RAMP_FRAMES}-frame ramp fits the output (best {worst:.1f} LSB off)")
        return start

    def check(first, count, what):
        a = got[2 * first:2 * (first + count)]
        b = scaled[2 * (first - shift):2 * (first - shift + count)]
        r = correlation(a, b)
        exact = sum(1 for x, y in zip(a, b) if x == y) / len(a)
        print(f"{what}: correlation {r:.6f}, {100 * exact:.2f} % of samples exactly the plug-in's, scaled")
        if r < 0.999:
            raise Failure(f"{what}: correlation with the decoded stage music is only {r:.4f}")

    # The silence starts where the falling ramp has reached zero (its last frames may
    # already round to zero); the music comes back along the rising one.
    fall = fit_ramp(mute_at, True, "the mute")
    rise = fit_ramp(after + RAMP_FRAMES, False, "the unmute")
    check(onset, fall - onset, "before the mute")
    check(rise + RAMP_FRAMES, end - rise - RAMP_FRAMES - RATE // 10, "after the mute (the music ran on)")


def nodevice(binary, repo, workdir, display):
    game = Game(binary, workdir, display, SDL_AUDIODRIVER="no_such_driver")
    try:
        game.keys("x")
        game.wait_for_output("fo: 0")
        game.keys("m")
        game.wait_for_output("fo: 0, db: 0, cl: 0, fk: 0\nfo: 0")
        game.quit()
    finally:
        game.stop()
    lines = game.stderr().splitlines()
    if len(lines) != 1 or not lines[0].startswith("sound: no audio device"):
        raise Failure(f"expected one line about the missing device on standard error, got {game.stderr()!r}")


def main():
    if len(sys.argv) != 5 or sys.argv[4] not in ("music", "nodevice"):
        print(__doc__)
        return 2
    binary, mp3decode, repo, scenario = (os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]),
                                         os.path.abspath(sys.argv[3]), sys.argv[4])

    def prepare(workdir):
        copy_game_assets(repo, workdir)
        with open(os.path.join(workdir, "assets", "levels", "level00.txt"), "w") as f:
            f.write(LEVEL)

    def body(workdir, display):
        if scenario == "music":
            music(binary, mp3decode, repo, workdir, display)
        else:
            nodevice(binary, repo, workdir, display)
        return f"{scenario}: passed"

    return run_under_xvfb("veilwalker-sound-", prepare, body)


if __name__ == "__main__":
    sys.exit(main())
