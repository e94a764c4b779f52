#!/usr/bin/python3
"""sound_test.py — plays the built game under Xvfb with SDL's disk audio driver and checks what it played.

Usage: sound_test.py VEILWALKER_BINARY MP3DECODE_BINARY REPOSITORY {music|captures|volume|nodevice}

music:    the title plays its theme, exactly as the plug-in decodes it; the first key
          crossfades into the stage music over half a second, and after that the file the
          driver writes holds the stage music as the plug-in decodes it (by correlation);
          `m` fades it out along a 10 ms ramp to silence and a second `m` fades it back in
          where it has got to, each ramp within one LSB of the straight line; `q` exits 0.
captures: caught three times in a row by a guard over the stage music, the alarms and stings
          piling up: no sample of the output reaches the rails, and the captures are heard
          (the output leaves the plug-in's music at the first, and grows louder than it).
volume:   ten `-` bring the music down step by step to silence (every sample 0, and the
          settings file says `music 0`); ten `=` bring it back up to full, where the output
          is again the plug-in's music sample for sample (and the file says `music 10`).
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

from gameHarness import WAIT_S, Failure, Game, copy_game_assets, run_under_xvfb

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, "tools"))
import rawpcm  # noqa: E402  (tools/rawpcm.py)

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


def decoded_music(mp3decode, repo, workdir, name):
    """A piece of music as the plug-in decodes it, at the level the mixer plays music at full volume."""
    path = os.path.join(workdir, name + ".raw")
    subprocess.run([mp3decode, "--raw", os.path.join(repo, "assets", "sounds", name + ".mp3"), path],
                   check=True, timeout=120)
    return array.array("h", ((v * MUSIC_GAIN_NUM) >> MUSIC_GAIN_SHIFT for v in rawpcm.read(path)))


def read_output(disk, min_seconds):
    got = rawpcm.read(disk)
    if len(got) // 2 < min_seconds * RATE:
        raise Failure(f"the driver wrote only {len(got) / 2 / RATE:.2f} s of audio")
    return got


def music_starts(got, ref, probe, first_buffer, what):
    """The buffer-aligned frame where `ref` starts in the output: frames start + probe on
    match it exactly for a while."""
    frames = len(got) // 2
    for k in range(first_buffer, frames // BUFFER):
        at = k * BUFFER + probe
        if at + 256 > frames:
            break
        if got[2 * at:2 * at + 512] == ref[2 * probe:2 * probe + 512]:
            return k * BUFFER
    raise Failure(f"{what} is nowhere in the output as the plug-in decodes it")


def stage_music(mp3decode, repo, workdir):
    return decoded_music(mp3decode, repo, workdir, "stage")


def stage_music_starts(got, ref):
    """Where the stage music starts in the output of a game that left the title at once: past
    the crossfade from the title's theme it is the plug-in's, sample for sample."""
    return music_starts(got, ref, CROSSFADE_FRAMES + BUFFER, 0, "the stage music")


def heard_for(disk, seconds):
    """Waits until the driver's file holds `seconds` of audio past its first sound."""
    deadline = time.monotonic() + WAIT_S
    while time.monotonic() < deadline:
        try:
            got = rawpcm.read(disk)
        except OSError:
            got = array.array("h")
        first = next((k for k, v in enumerate(got) if v != 0), None)
        if first is not None and len(got) - first >= 2 * seconds * RATE:
            return
        time.sleep(0.1)
    raise Failure(f"the driver's file never held {seconds} s of sound")


def own_stderr(game):
    """Fails if the game said anything on standard error; SDL's disk driver announces itself."""
    own = [line for line in game.stderr().splitlines() if not line.startswith("CRITICAL: ")]
    if own:
        raise Failure(f"the game wrote to standard error: {own!r}")


def music(binary, mp3decode, repo, workdir, display):
    disk = os.path.join(workdir, "audio.raw")
    game = Game(binary, workdir, display, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=disk)
    try:
        heard_for(disk, 1.0)   # the title's theme (slow to start under the sanitizers)
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
    own_stderr(game)

    title = decoded_music(mp3decode, repo, workdir, "title")
    scaled = decoded_music(mp3decode, repo, workdir, "stage")
    got = read_output(disk, 6)
    frames = len(got) // 2

    def starts(ref, probe, first_buffer, what):
        return music_starts(got, ref, probe, first_buffer, what)

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


# A guard at the east end of the middle row looks west along it; the player starts below
# its line of sight and steps into it with `w`.
WATCHED = "5,3,\n0,0,0,0,4,\n0,0,0,0,0,\n0,0,0,0,0,\n999,\n0,2,0,\n999,\n4,1,3,\n999,\n999,\n999,\n0,0,0,0\n"
CAUGHT = "sorry, you lose a life\n"
RAILS = (32767, -32768)
# The mixer's soft knee bends every sample towards this and never reaches it.
CEILING = 32000


def captures(binary, mp3decode, repo, workdir, display):
    disk = os.path.join(workdir, "audio.raw")
    game = Game(binary, workdir, display, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=disk)
    try:
        game.keys("x")
        game.wait_for_output("fo: 0")
        time.sleep(2.0)        # past the crossfade: the stage music alone
        for attempt in range(1, 4):
            game.keys("w")
            deadline = time.monotonic() + 10
            while game.stdout().count(CAUGHT) < attempt:
                if time.monotonic() > deadline:
                    raise Failure(f"the {attempt}. step into the guard's sight was not a capture")
                time.sleep(0.02)
        time.sleep(3.0)        # every alarm and sting to its end
        game.quit()
    finally:
        game.stop()
    own_stderr(game)
    if game.stdout().count(CAUGHT) != 3:
        raise Failure(f"expected three captures, standard output holds {game.stdout()!r}")

    scaled = stage_music(mp3decode, repo, workdir)
    got = read_output(disk, 4)
    frames = len(got) // 2
    shift = stage_music_starts(got, scaled)
    onset = shift + CROSSFADE_FRAMES
    first = next((k for k in range(onset, frames)
                  if got[2 * k:2 * k + 2] != scaled[2 * (k - shift):2 * (k - shift) + 2]), None)
    if first is None:
        raise Failure("the output is the stage music alone: no capture was heard")
    if first - onset < RATE:
        raise Failure(f"the music played alone for only {(first - onset) / RATE:.2f} s before the first capture")

    railed = sum(1 for v in got if v in RAILS)
    peak = max(max(got), -min(got))
    music_peak = max(abs(v) for v in scaled[2 * (first - shift):2 * (frames - shift)])

    def rms(samples):
        return math.sqrt(sum(v * v for v in samples) / max(1, len(samples)))

    heard = rms(got[2 * first:2 * (first + RATE)])
    under = rms(scaled[2 * (first - shift):2 * (first - shift + RATE)])
    print(f"captures: first heard at frame {first}, {(first - onset) / RATE:.2f} s into the stage music; "
          f"output peak {peak} ({20 * math.log10(peak / 32768):.2f} dBFS) against the music's own {music_peak}; "
          f"{railed} samples on the rails; the second after the first capture "
          f"{20 * math.log10(heard / max(under, 1)):.1f} dB above the music alone")
    if railed:
        raise Failure(f"{railed} samples of the output reach the rails")
    if peak >= CEILING:
        raise Failure(f"the output peaks at {peak}, past the knee's ceiling of {CEILING}")
    if heard < under * 10 ** (3 / 20):
        raise Failure("the captures are not heard above the music: the second after the first is "
                      f"only {20 * math.log10(heard / max(under, 1)):.1f} dB louder than the music alone")


def volume(binary, mp3decode, repo, workdir, display):
    disk = os.path.join(workdir, "audio.raw")
    settings = os.path.join(workdir, "data", "veilwalker", "settings")
    game = Game(binary, workdir, display, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=disk)

    def settings_say(text):
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            try:
                with open(settings) as f:
                    if f.read() == text:
                        return
            except OSError:
                pass
            time.sleep(0.05)
        raise Failure(f"the settings file never said {text!r}")

    try:
        game.keys("x")
        game.wait_for_output("fo: 0")
        time.sleep(2.0)
        game.keys(*["minus"] * 10)
        settings_say("music 0\neffects 10\n")
        time.sleep(1.5)
        game.keys(*["equal"] * 10)
        settings_say("music 10\neffects 10\n")
        time.sleep(2.0)
        game.quit()
    finally:
        game.stop()
    own_stderr(game)

    scaled = stage_music(mp3decode, repo, workdir)
    got = read_output(disk, 6)
    frames = len(got) // 2
    shift = stage_music_starts(got, scaled)
    onset = shift + CROSSFADE_FRAMES

    # The music's level in every 10 ms: the gain that best fits the output to the plug-in's music.
    window = 441
    gains = []
    for at in range(onset, frames - window, window):
        a = got[2 * at:2 * (at + window)]
        b = scaled[2 * (at - shift):2 * (at - shift + window)]
        energy = sum(v * v for v in b)
        gains.append((at, sum(x * y for x, y in zip(a, b)) / energy if energy > 0 else None,
                      all(v == 0 for v in a)))
    silent = [i for i, (_, _, zero) in enumerate(gains) if zero]
    if not silent:
        raise Failure("ten - never silenced the music")
    down, up = silent[0], silent[-1]
    if len(silent) != up - down + 1 or up - down + 1 < RATE // window:
        raise Failure(f"the silence after ten - lasted {len(silent) * window / RATE:.2f} s in "
                      f"{(up - down + 1) * window / RATE:.2f} s; expected one stretch of 1.5 s")

    def plateaus(part):
        """The levels the music stays at for two windows or more, in order, each rounded."""
        seen = []
        for (_, g, _), (_, h, _) in zip(part, part[1:]):
            if g is not None and h is not None and abs(g - h) < 0.005:
                level = round(g, 2)
                if not seen or abs(seen[-1] - level) > 0.005:
                    seen.append(level)
        return seen

    steps = [round((k / 10) ** 2, 2) for k in range(10, -1, -1)]
    falling, rising = plateaus(gains[:down + 1]), plateaus(gains[up:])
    print(f"volume: the music's level on the way down {falling}, back up {rising}")
    for what, seen, want in (("down", falling, steps), ("up", rising, steps[::-1])):
        if seen[0] != want[0] or seen[-1] != want[-1]:
            raise Failure(f"on the way {what} the music went from {seen[0]} to {seen[-1]}, not {want[0]} to {want[-1]}")
        strays = [level for level in seen if level not in want]
        if strays or seen != sorted(seen, reverse=(what == "down")):
            raise Failure(f"on the way {what} the music stayed at {seen}: not the steps {want} in order")
        if len(seen) < 5:
            raise Failure(f"on the way {what} the music stayed only at {seen}: it jumped, not in steps")

    # Before the first - and after the tenth =, the music is the plug-in's, sample for sample
    # (a window on either side of the ramps left out: their first or last frames are near 1).
    before = next(i for i, (_, g, _) in enumerate(gains) if g is not None and g < 0.995) - 1
    after = max(i for i, (_, g, _) in enumerate(gains) if g is not None and g < 0.995) + 2
    for what, first, last in (("before the first -", onset, gains[before][0]),
                              ("after the tenth =", gains[after][0], frames - RATE // 10)):
        if last - first < RATE:
            raise Failure(f"{what} the music played at full level for only {(last - first) / RATE:.2f} s")
        a = got[2 * first:2 * last]
        b = scaled[2 * (first - shift):2 * (last - shift)]
        exact = sum(1 for x, y in zip(a, b) if x == y) / len(a)
        print(f"volume: {what}, {(last - first) / RATE:.2f} s, {100 * exact:.2f} % of samples exactly the plug-in's")
        if exact < 0.999:
            raise Failure(f"{what} only {100 * exact:.2f} % of the samples are the plug-in's music")


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


SCENARIOS = {"music": music, "captures": captures, "volume": volume, "nodevice": nodevice}


def main():
    if len(sys.argv) != 5 or sys.argv[4] not in SCENARIOS:
        print(__doc__)
        return 2
    binary, mp3decode, repo, scenario = (os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]),
                                         os.path.abspath(sys.argv[3]), sys.argv[4])

    def prepare(workdir):
        copy_game_assets(repo, workdir)
        with open(os.path.join(workdir, "assets", "levels", "level00.txt"), "w") as f:
            f.write(WATCHED if scenario == "captures" else LEVEL)

    def body(workdir, display):
        if scenario == "nodevice":
            nodevice(binary, repo, workdir, display)
        else:
            SCENARIOS[scenario](binary, mp3decode, repo, workdir, display)
        return f"{scenario}: passed"

    return run_under_xvfb("veilwalker-sound-", prepare, body)


if __name__ == "__main__":
    sys.exit(main())
