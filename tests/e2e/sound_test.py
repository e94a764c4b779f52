#!/usr/bin/python3
"""sound_test.py — plays the built game under Xvfb with SDL's disk audio driver and checks what it played.

Usage: sound_test.py VEILWALKER_BINARY MP3DECODE_BINARY REPOSITORY {music|nodevice}

music:    the title is silent; after the first key the file the driver writes holds the
          stage music as the plug-in decodes it (by correlation, aligned at its onset);
          `m` silences it and a second `m` brings it back where it has got to; `q` exits 0.
nodevice: SDL_AUDIODRIVER names no driver: one line on standard error, the game plays
          on (keys still work) and `q` exits 0.
The game runs in a temporary folder with the repository's tiles, screens and sounds and
a small level of its own. Exit status 77 means "skipped" (no Xvfb on this machine).
"""

import array
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
RATE = 44100
WAIT_S = 30
# The mixer plays the music at 5/8 of its level, rounding down.
MUSIC_GAIN_NUM, MUSIC_GAIN_SHIFT = 5, 3

# Three by three floor squares and an exit; the player in the middle, nobody else.
LEVEL = "3,3,\n0,0,0,\n0,0,0,\n0,0,4,\n999,\n1,1,0,\n999,\n999,\n999,\n999,\n0,0,0,0\n"


class Failure(Exception):
    pass


def start_xvfb():
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp", "-noreset"],
                            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    deadline = time.monotonic() + WAIT_S
    with os.fdopen(read_fd, "rb", buffering=0) as pipe:
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = pipe.read(16)
            if not chunk:
                break
            number += chunk
    if not number.strip():
        xvfb.kill()
        raise Failure("Xvfb did not report a display")
    return xvfb, ":" + number.decode().strip()


class Game:
    def __init__(self, binary, workdir, env):
        self.env = env
        self.err_path = os.path.join(workdir, "stderr.txt")
        self.out_path = os.path.join(workdir, "stdout.txt")
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self.proc = subprocess.Popen([binary], cwd=workdir, env=env, stdin=subprocess.DEVNULL,
                                         stdout=out, stderr=err)
        self.window = self.find_window()

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, timeout=WAIT_S,
                              check=True).stdout

    def find_window(self):
        deadline = time.monotonic() + WAIT_S
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise Failure(f"the game ended before its window appeared (status {self.proc.returncode}); "
                              f"stderr: {self.stderr()!r}")
            try:
                ids = self.xdotool("search", "--sync", "--onlyvisible", "--name", "^Veilwalker$").split()
                if ids:
                    window = ids[0].decode()
                    self.xdotool("mousemove", "--window", window, "400", "300")
                    self.xdotool("windowfocus", "--sync", window)
                    return window
            except subprocess.TimeoutExpired:
                pass
        raise Failure("no window titled Veilwalker appeared")

    def key(self, name):
        self.xdotool("key", name)

    def stdout(self):
        with open(self.out_path, "rb") as f:
            return f.read().decode(errors="replace")

    def stderr(self):
        with open(self.err_path, "rb") as f:
            return f.read().decode(errors="replace")

    def wait_for_output(self, text):
        deadline = time.monotonic() + WAIT_S
        while time.monotonic() < deadline:
            if text in self.stdout():
                return
            time.sleep(0.05)
        raise Failure(f"standard output never showed {text!r}; it holds {self.stdout()!r}")

    def quit(self):
        self.key("q")
        try:
            status = self.proc.wait(timeout=WAIT_S)
        except subprocess.TimeoutExpired:
            raise Failure("q did not end the game")
        if status != 0:
            raise Failure(f"q ended the game with status {status}; stderr: {self.stderr()!r}")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


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


def first_loud(samples, threshold):
    for i, v in enumerate(samples):
        if abs(v) > threshold:
            return i // 2
    return None


def music(binary, mp3decode, repo, workdir, env):
    disk = os.path.join(workdir, "audio.raw")
    env = dict(env, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=disk)
    game = Game(binary, workdir, env)
    try:
        time.sleep(1.0)       # the title, quiet
        game.key("x")         # leaves the title; does nothing on the board
        game.wait_for_output("fo: 0")
        time.sleep(3.0)
        game.key("m")
        time.sleep(2.0)
        game.key("m")
        time.sleep(2.5)
        game.quit()
    finally:
        game.stop()
    # SDL's disk driver announces itself; nothing else may be said.
    own = [line for line in game.stderr().splitlines() if not line.startswith("CRITICAL: ")]
    if own:
        raise Failure(f"the game wrote to standard error: {own!r}")

    reference = os.path.join(workdir, "stage.raw")
    subprocess.run([mp3decode, "--raw", os.path.join(repo, "assets", "sounds", "stage.mp3"), reference],
                   check=True, timeout=120)
    ref = read_s16(reference)
    scaled = array.array("h", ((v * MUSIC_GAIN_NUM) >> MUSIC_GAIN_SHIFT for v in ref))
    got = read_s16(disk)
    frames = len(got) // 2
    if frames < 6 * RATE:
        raise Failure(f"the driver wrote only {frames / RATE:.2f} s of audio")

    onset = first_loud(got, 200)
    ref_onset = first_loud(scaled, 200)
    if onset is None:
        raise Failure("the file holds no music")
    if onset < RATE // 2:
        raise Failure(f"sound began {onset / RATE:.2f} s into the file: the title should be quiet")
    # Frame k of the output plays frame k - shift of the music.
    shift = onset - ref_onset
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

    def check(first, count, what):
        a = got[2 * first:2 * (first + count)]
        b = scaled[2 * (first - shift):2 * (first - shift + count)]
        r = correlation(a, b)
        exact = sum(1 for x, y in zip(a, b) if x == y) / len(a)
        print(f"{what}: correlation {r:.6f}, {100 * exact:.2f} % of samples exactly the plug-in's, scaled")
        if r < 0.999:
            raise Failure(f"{what}: correlation with the decoded stage music is only {r:.4f}")

    check(ref_onset + shift, mute_at - onset, "before the mute")
    check(after + RATE // 10, end - after - RATE // 5, "after the mute (the music ran on)")


def nodevice(binary, repo, workdir, env):
    env = dict(env, SDL_AUDIODRIVER="no_such_driver")
    game = Game(binary, workdir, env)
    try:
        game.key("x")
        game.wait_for_output("fo: 0")
        game.key("m")
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
    if shutil.which("Xvfb") is None:
        print("skipped: Xvfb is not installed")
        return SKIP
    if shutil.which("xdotool") is None:
        print("FAILED: xdotool is not installed (scripts/setup.sh test installs it)")
        return 1
    workdir = tempfile.mkdtemp(prefix="veilwalker-sound-")
    xvfb = None
    try:
        for part in ("tiles", "screens", "sounds"):
            shutil.copytree(os.path.join(repo, "assets", part), os.path.join(workdir, "assets", part))
        os.makedirs(os.path.join(workdir, "assets", "levels"))
        with open(os.path.join(workdir, "assets", "levels", "level00.txt"), "w") as f:
            f.write(LEVEL)
        xvfb, display = start_xvfb()
        env = dict(os.environ, DISPLAY=display)
        if scenario == "music":
            music(binary, mp3decode, repo, workdir, env)
        else:
            nodevice(binary, repo, workdir, env)
        print(f"{scenario}: passed")
        return 0
    except (Failure, subprocess.CalledProcessError, subprocess.TimeoutExpired) as e:
        print(f"FAILED: {e}")
        return 1
    finally:
        if xvfb is not None:
            xvfb.terminate()
            try:
                xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                xvfb.kill()
                xvfb.wait()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
