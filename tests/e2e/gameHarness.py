"""gameHarness.py — the built game in a window of a virtual X server, for the end-to-end tests:
Xvfb on a free display, the game started in a folder of the test's, its window found by title,
keys typed with xdotool, screenshots with ImageMagick, its output and exit status read back.
"""

import os
import shutil
import subprocess
import tempfile
import time

SKIP = 77                         # the exit status ctest reports as "skipped"
WIN_W, WIN_H = 800, 600
WAIT_S = 30                       # longest wait for any one thing to appear


class Failure(Exception):
    pass


class Screen:
    """One screenshot of the 800 x 600 window; at(x, y) counts y from the bottom, as GL does."""

    def __init__(self, ppm, size=(WIN_W, WIN_H)):
        parts = ppm[:64].split(maxsplit=4)
        if parts[0] != b"P6":
            raise Failure("screenshot is not a binary PPM")
        self.w, self.h, maxval = int(parts[1]), int(parts[2]), int(parts[3])
        if maxval != 255:
            raise Failure(f"screenshot has {maxval} levels per channel, not 255")
        # The pixels are the file's last bytes; a split would eat pixel bytes that
        # happen to look like white space.
        self.pixels = ppm[len(ppm) - 3 * self.w * self.h:]
        if size is not None and (self.w, self.h) != size:
            raise Failure(f"window is {self.w} x {self.h}, not {size[0]} x {size[1]}")

    def at(self, x, y):
        row = self.h - 1 - y
        k = 3 * (row * self.w + x)
        return tuple(self.pixels[k:k + 3])


class Game:
    def __init__(self, binary, workdir, display, **extra_env):
        self.binary, self.workdir = binary, workdir
        self.display = display
        self.env = dict(os.environ, DISPLAY=display, XDG_DATA_HOME=os.path.join(workdir, "data"),
                        **extra_env)
        self.out_path = os.path.join(workdir, "stdout.txt")
        self.err_path = os.path.join(workdir, "stderr.txt")
        self.out = open(self.out_path, "wb")
        self.err = open(self.err_path, "wb")
        self.proc = subprocess.Popen([binary], cwd=workdir, env=self.env,
                                     stdin=subprocess.DEVNULL, stdout=self.out, stderr=self.err)
        self.window = self.find_window()

    def run(self, *args, timeout=WAIT_S):
        return subprocess.run(list(args), env=self.env, capture_output=True, timeout=timeout, check=True).stdout

    def find_window(self):
        deadline = time.monotonic() + WAIT_S
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise Failure(f"the game ended before its window appeared (status {self.proc.returncode}); "
                              f"stderr: {self.stderr()!r}")
            try:
                ids = self.run("xdotool", "search", "--sync", "--onlyvisible", "--name", "^Veilwalker$",
                               timeout=5).split()
                if ids:
                    window = ids[0].decode()
                    self.run("xdotool", "mousemove", "--window", window, "400", "300")
                    self.run("xdotool", "windowfocus", "--sync", window)
                    return window
            except subprocess.TimeoutExpired:
                pass
        raise Failure("no window titled Veilwalker appeared")

    def screenshot(self, size=(WIN_W, WIN_H)):
        """The window's pixels; a size of None takes the window at whatever size it has."""
        return Screen(self.run("import", "-window", self.window, "-depth", "8", "ppm:-"), size)

    def wait_for(self, check, what, size=(WIN_W, WIN_H)):
        """Takes screenshots until check(screen) returns no problems; fails with the last ones."""
        deadline = time.monotonic() + WAIT_S
        problems = ["no screenshot taken"]
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise Failure(f"the game ended (status {self.proc.returncode}) while waiting for {what}")
            screen = self.screenshot(size)
            problems = check(screen)
            if not problems:
                return screen
            time.sleep(0.2)
        raise Failure(f"{what} never showed:\n  " + "\n  ".join(problems[:20]))

    def keys(self, *names):
        self.run("xdotool", "key", "--delay", "60", *names)

    def quit(self):
        """Types q and expects the game to end with status 0."""
        self.keys("q")
        status = self.wait_for_exit()
        if status != 0:
            raise Failure(f"q ended the game with status {status}; stderr: {self.stderr()!r}")

    # The game writes these files itself; they can be read while it runs and after stop().
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
            time.sleep(0.1)
        raise Failure(f"standard output never showed {text!r}; it holds {self.stdout()!r}")

    def wait_for_exit(self):
        try:
            return self.proc.wait(timeout=WAIT_S)
        except subprocess.TimeoutExpired:
            raise Failure("the game did not end")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.out.close()
        self.err.close()


def start_xvfb(screen="1024x768x24"):
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", screen,
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


def stop_xvfb(xvfb):
    if xvfb is None:
        return
    xvfb.terminate()
    try:
        xvfb.wait(timeout=10)
    except subprocess.TimeoutExpired:
        xvfb.kill()
        xvfb.wait()


def copy_game_assets(repo, workdir):
    """The repository's tiles, screens and sounds in workdir/assets, beside an empty levels folder."""
    for part in ("tiles", "screens", "sounds"):
        shutil.copytree(os.path.join(repo, "assets", part), os.path.join(workdir, "assets", part))
    os.makedirs(os.path.join(workdir, "assets", "levels"))


def run_under_xvfb(prefix, prepare, body, tools=("xdotool",), screen="1024x768x24"):
    """What every end-to-end test does around its own checks: skipped without Xvfb, failed
    without one of the tools; otherwise a fresh working folder (named from prefix) that
    prepare(workdir) fills, an Xvfb screen of that size, and body(workdir, display), which
    returns the line to print when it passes. The folder and the server go in the end.
    Returns the test's exit status."""
    if shutil.which("Xvfb") is None:
        print("skipped: Xvfb is not installed")
        return SKIP
    for tool in tools:
        if shutil.which(tool) is None:
            print(f"FAILED: {tool} is not installed (scripts/setup.sh test installs it)")
            return 1
    workdir = tempfile.mkdtemp(prefix=prefix)
    xvfb = None
    try:
        prepare(workdir)
        xvfb, display = start_xvfb(screen)
        print(body(workdir, display))
        return 0
    except (Failure, subprocess.CalledProcessError, subprocess.TimeoutExpired, OSError) as e:
        print(f"FAILED: {e}")
        return 1
    finally:
        stop_xvfb(xvfb)
        shutil.rmtree(workdir, ignore_errors=True)
