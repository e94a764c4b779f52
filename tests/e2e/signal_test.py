#!/usr/bin/python3
"""signal_test.py — SIGINT and SIGTERM stop the real game promptly, with sound on or without a device.

Usage: signal_test.py VEILWALKER_BINARY REPOSITORY {dummy|disk|nodevice} [LIMIT_S]

For each of SIGINT and SIGTERM the game is started under Xvfb with SDL's audio driver
(`dummy`, `disk`, or `nodevice`: a driver that does not exist), played to its second level so
it has written its progress and plays music, and sent the signal. It must end within LIMIT_S
seconds (0.5 by default) with status 130 after SIGINT and 143 after SIGTERM, say nothing
about it, and leave its progress file whole, with no temporary file beside it. With the disk
driver, the audio file must have grown while the game ran: the device was playing.
Exit status 77 means "skipped" (no Xvfb on this machine).
"""

import os
import shutil
import signal
import subprocess
import sys
import time

from gameHarness import Failure, Game, copy_game_assets, run_under_xvfb

STATUS = {signal.SIGINT: 130, signal.SIGTERM: 143}

# Three by three floor squares and an exit; the player in the middle facing north.
LEVEL = "3,3,\n0,0,0,\n0,0,0,\n0,0,4,\n999,\n1,1,0,\n999,\n999,\n999,\n999,\n0,0,0,0\n"


def stop_with(binary, workdir, display, driver, sig, limit):
    data = os.path.join(workdir, "data")
    shutil.rmtree(data, ignore_errors=True)
    disk = os.path.join(workdir, "audio.raw")
    env = {"SDL_AUDIODRIVER": {"dummy": "dummy", "disk": "disk", "nodevice": "no_such_driver"}[driver]}
    if driver == "disk":
        env["SDL_DISKAUDIOFILE"] = disk
    game = Game(binary, workdir, display, **env)
    try:
        game.keys("d", "d", "s", "s")   # east, a step, south, onto the exit
        game.wait_for_output("fo: 0, db: 0, cl: 0, fk: 0\n" * 4)
        progress = os.path.join(data, "veilwalker", "progress")
        deadline = time.monotonic() + 10
        while not os.path.exists(progress) and time.monotonic() < deadline:
            time.sleep(0.05)
        time.sleep(0.5)   # the second level plays on, with its music
        if game.proc.poll() is not None:
            raise Failure(f"the game ended before the signal (status {game.proc.returncode})")
        before = os.path.getsize(disk) if driver == "disk" else 0
        sent = time.monotonic()
        game.proc.send_signal(sig)
        try:
            status = game.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            raise Failure(f"{sig.name}: the game was still running 10 s after the signal")
        took = time.monotonic() - sent
    finally:
        game.stop()
    name = sig.name
    print(f"{driver} {name}: ended {took * 1000:.0f} ms after the signal, status {status}")
    if took > limit:
        raise Failure(f"{name}: the game took {took:.2f} s to end, more than {limit} s")
    if status != STATUS[sig]:
        raise Failure(f"{name}: exit status {status}, not {STATUS[sig]}; stderr: {game.stderr()!r}")
    own = [line for line in game.stderr().splitlines() if not line.startswith("CRITICAL: ")]
    expected = ["sound: no audio device"] if driver == "nodevice" else []
    if [line[:len("sound: no audio device")] for line in own] != expected:
        raise Failure(f"{name}: unexpected standard error {own!r}")
    with open(progress) as f:
        text = f.read()
    if text != "1\n":
        raise Failure(f"{name}: the progress file holds {text!r}, not level 1")
    # Beside the progress only the game's other finished files, no temporary one.
    left = sorted(os.listdir(os.path.dirname(progress)))
    if "progress" not in left or any(".tmp" in f for f in left):
        raise Failure(f"{name}: the progress folder holds {left!r}")
    if driver == "disk" and before < 44100 * 4 // 2:
        raise Failure(f"{name}: the disk driver wrote only {before} bytes while the game ran")


def main():
    if len(sys.argv) not in (4, 5) or sys.argv[3] not in ("dummy", "disk", "nodevice"):
        print(__doc__)
        return 2
    binary, repo, driver = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    limit = float(sys.argv[4]) if len(sys.argv) == 5 else 0.5
    # The game inherits these; a test started as a background job would pass SIGINT on ignored.
    signal.signal(signal.SIGINT, signal.SIG_DFL)

    def prepare(workdir):
        copy_game_assets(repo, workdir)
        for n in (0, 1):
            with open(os.path.join(workdir, "assets", "levels", f"level{n:02d}.txt"), "w") as f:
                f.write(LEVEL)

    def body(workdir, display):
        for sig in (signal.SIGINT, signal.SIGTERM):
            stop_with(binary, workdir, display, driver, sig, limit)
        return f"{driver}: passed"

    return run_under_xvfb("veilwalker-signal-", prepare, body)


if __name__ == "__main__":
    sys.exit(main())
