#!/usr/bin/python3
"""accuracy.py — layer III accuracy of the plug-in's decoder, libmpg123 and libmad, in one run.

    tools/mpabench/accuracy.py MP3DECODE [VECTORS_DIR]

Decodes every layer III reference stream of VECTORS_DIR (default ../shared/mpeg-audio/vectors
beside the checkout) and a set of lame-encoded streams at the MPEG-1, 2 and 2.5 rates (made here
with sox and lame, the signal of the conformance tests) three ways: with MP3DECODE --raw (ours,
through the plug-in), `mpg123 --no-gapless -s` (libmpg123) and `madplay -d -o raw:` (libmad).
Each output is compared with the stream's reference PCM; a lame stream has none, so its reference
is libmpg123's 32-bit float output rounded to 16 bits (libmpg123's own 16-bit output then stands
near 0 by construction). Prints RMS and largest difference in 16-bit steps (LSB) per stream.
"""
import array
import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, os.pardir))
import rawpcm  # noqa: E402  (tools/rawpcm.py)

# The signal of the lame streams, as the conformance tests make it.
SIGNAL = os.path.join(HERE, os.pardir, os.pardir, "tests", "plugins", "ikpMP3", "decoder", "lame_signal.txt")

REFERENCE_STREAMS = ["l3-compl", "l3-he_32khz", "l3-he_44khz", "l3-he_48khz", "l3-hecommon", "l3-si",
                     "l3-si_block", "l3-si_huff"]

# name, rate, channels, lame options: as the conformance tests encode them.
LAME_STREAMS = [
    ("44100_joint_cbr", 44100, 2, "-b 128 -m j"),
    ("48000_joint_vbr", 48000, 2, "-V 2 -m j"),
    ("32000_mono_cbr", 32000, 1, "-b 64 -m m"),
    ("22050_joint_cbr", 22050, 2, "-b 64 -m j"),
    ("24000_stereo_vbr", 24000, 2, "-V 5 -m s"),
    ("16000_mono_cbr", 16000, 1, "-b 32 -m m"),
    ("8000_joint_cbr", 8000, 2, "-b 16 -m j"),
    ("8000_mono_cbr", 8000, 1, "-b 8 -m m"),
    ("11025_mono_cbr", 11025, 1, "-b 24 -m m"),
    ("12000_joint_vbr", 12000, 2, "-V 6 -m j"),
]


def run(cmd, stdout=subprocess.DEVNULL):
    subprocess.run(cmd, stdout=stdout, stderr=subprocess.DEVNULL, check=True)


def read_f32_as_s16(path):
    return array.array("h", (max(-32768, min(32767, math.floor(v * 32768.0 + 0.5))) for v in rawpcm.read(path, "f")))


def compare(decoded, reference):
    n = min(len(decoded), len(reference))
    total = 0
    largest = 0
    for a, b in zip(decoded[:n], reference[:n]):
        d = abs(a - b)
        total += d * d
        largest = max(largest, d)
    return n, (math.sqrt(total / n) if n else float("nan")), largest


def signal_parts(rate, channels):
    """The sox pieces of the signal for this rate and channel count (see lame_signal.txt)."""
    parts = []
    with open(SIGNAL) as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            mono, _, stereo = line.partition(" | ")
            parts.append((stereo if channels == 2 and stereo else mono).replace("TOP", str(rate // 2 - 200)))
    return parts


def make_signal(work, rate, channels):
    """The conformance tests' signal: a sweep, silence, quiet tones broken by clicks, noise."""
    wav = os.path.join(work, "in_%d_%d.wav" % (rate, channels))
    if os.path.exists(wav):
        return wav
    parts = signal_parts(rate, channels)
    pieces = []
    for i, part in enumerate(parts):
        piece = os.path.join(work, "part%d_%d_%d.wav" % (i, rate, channels))
        run(["sox", "-R", "-D", "-n", "-r", str(rate), "-c", str(channels), "-b", "16", piece] + part.split())
        pieces.append(piece)
    run(["sox", "-R", "-D"] + pieces + [wav])
    return wav


def decode_all(mp3decode, stream, work):
    """(ours, libmpg123, libmad) 16-bit outputs of one stream."""
    ours = os.path.join(work, "ours.raw")
    run([mp3decode, "--force", "--raw", stream, ours])
    mpg = os.path.join(work, "mpg123.raw")
    with open(mpg, "wb") as out:
        run(["mpg123", "--no-gapless", "-q", "-s", stream], stdout=out)
    mad = os.path.join(work, "mad.raw")
    run(["madplay", "-q", "-d", "-o", "raw:" + mad, stream])
    return rawpcm.read(ours), rawpcm.read(mpg), rawpcm.read(mad)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    mp3decode = os.path.abspath(sys.argv[1])
    vectors = sys.argv[2] if len(sys.argv) == 3 else os.path.join(HERE, "..", "..", "..", "shared", "mpeg-audio",
                                                                   "vectors")
    print("| stream | samples | ours RMS / max | libmpg123 RMS / max | libmad RMS / max |")
    print("|---|---|---|---|---|")

    def row(name, outputs, reference):
        cells = []
        samples = 0
        for decoded in outputs:
            n, rms, largest = compare(decoded, reference)
            samples = samples or n
            cells.append("%.4f / %d" % (rms, largest))
        print("| %s | %d | %s |" % (name, samples, " | ".join(cells)), flush=True)

    with tempfile.TemporaryDirectory(prefix="mpa_accuracy_") as work:
        for name in REFERENCE_STREAMS:
            bit = os.path.join(vectors, name + ".bit")
            row(name, decode_all(mp3decode, bit, work), rawpcm.read(os.path.join(vectors, name + ".pcm")))
        for name, rate, channels, options in LAME_STREAMS:
            wav = make_signal(work, rate, channels)
            mp3 = os.path.join(work, name + ".mp3")
            run(["lame", "--quiet", "-t", "--resample", str(rate / 1000.0)] + options.split() + [wav, mp3])
            f32 = os.path.join(work, "float.raw")
            with open(f32, "wb") as out:
                run(["mpg123", "--no-gapless", "-q", "-e", "f32", "-s", mp3], stdout=out)
            row(name + " ²", decode_all(mp3decode, mp3, work), read_f32_as_s16(f32))
    print("\n² reference: libmpg123's float output rounded to 16 bits")


if __name__ == "__main__":
    main()
