#!/usr/bin/python3
"""gapless_loop.py — the stage music's loop point as it will sound once the stream drops lame's
Info frame, encoder delay and padding.

Usage: gapless_loop.py MP3DECODE SOUNDGEN_WAV_DIR   (run from the repository root)

Decodes assets/sounds/stage.mp3 through the plug-in (mp3decode), reads lame's delay and
padding from its Info frame, trims them (the Info frame's own 1152 frames of silence, the
delay plus the decoder's 529-frame lag at the start, the padding less that lag at the end),
then prints: the trimmed length against the WAV soundgen rendered, and the quiet frames
around the loop point of the trimmed stream played end to start, as soundbench --loop
measures them in the mixer (|sample| <= 0 and <= 32 after the mixer's 5/8 music level).
"""

import array
import os
import subprocess
import sys
import tempfile
import wave

DECODER_LAG = 529
FRAME = 1152


def lame_delay_padding(mp3):
    head = mp3[:4]
    mono = (head[3] >> 6) == 3
    info = 4 + (17 if mono else 32)
    tag = mp3[info:info + 4]
    if tag not in (b"Info", b"Xing"):
        raise SystemExit("no Info frame")
    lame = info + 120
    if mp3[lame:lame + 4] != b"LAME":
        raise SystemExit("no LAME tag")
    b = mp3[lame + 21:lame + 24]
    return (b[0] << 4) | (b[1] >> 4), ((b[1] & 0x0F) << 8) | b[2]


def quiet_run(out, seam, threshold):
    frames = len(out) // 2
    q = lambda k: abs(out[2 * k]) <= threshold and abs(out[2 * k + 1]) <= threshold
    begin, end = seam, seam
    while begin > 0 and q(begin - 1):
        begin -= 1
    while end < frames and q(end):
        end += 1
    return seam - begin, end - seam


def main():
    mp3decode, wavdir = sys.argv[1], sys.argv[2]
    with open("assets/sounds/stage.mp3", "rb") as f:
        mp3 = f.read()
    delay, padding = lame_delay_padding(mp3)
    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, "stage.raw")
        subprocess.run([mp3decode, "--raw", "assets/sounds/stage.mp3", raw], check=True)
        dec = array.array("h")
        with open(raw, "rb") as f:
            dec.frombytes(f.read())
    frames = len(dec) // 2
    start = FRAME + delay + DECODER_LAG
    end = frames - (padding - DECODER_LAG)
    trimmed = dec[2 * start:2 * end]
    with wave.open(os.path.join(wavdir, "stage.wav")) as w:
        wav_frames = w.getnframes()
    print(f"decoded {frames} frames; lame delay {delay}, padding {padding}; trimmed {end - start} frames, "
          f"the WAV has {wav_frames}")
    n = end - start
    loop = array.array("h", ((v * 5) >> 3 for v in trimmed[-2 * 44100:] + trimmed[:2 * 44100]))
    for threshold in (0, 32):
        before, after = quiet_run(loop, 44100, threshold)
        print(f"quiet frames (|sample| <= {threshold}) around the trimmed loop point: {before} before + {after} "
              f"after = {before + after} frames = {1000 * (before + after) / 44100:.1f} ms")
    untrimmed = array.array("h", ((v * 5) >> 3 for v in dec[-2 * 44100:] + dec[:2 * 44100]))
    for threshold in (0, 32):
        before, after = quiet_run(untrimmed, 44100, threshold)
        print(f"quiet frames (|sample| <= {threshold}) around the untrimmed loop point: {before} before + {after} "
              f"after = {before + after} frames = {1000 * (before + after) / 44100:.1f} ms")
    # The largest step between neighbouring samples, at the seam and anywhere else.
    step = lambda a, k: max(abs(a[2 * k] - a[2 * k - 2]), abs(a[2 * k + 1] - a[2 * k - 1]))
    seam_step = step(loop, 44100)
    typical = sorted(step(loop, k) for k in range(1, len(loop) // 2))
    print(f"trimmed seam: step {seam_step} between the last and first frame; median step {typical[len(typical) // 2]}, "
          f"99th percentile {typical[len(typical) * 99 // 100]}, largest {typical[-1]}")
    print(f"(stream length {n}, {n / 44100:.3f} s)")


if __name__ == "__main__":
    main()
