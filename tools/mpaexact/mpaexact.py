#!/usr/bin/python3
"""mpaexact — decodes MPEG audio layer I and II streams in double precision, straight from the
standard's formulas, and measures a 16-bit decoder's output against that exact result.

The conformance references are one decoder's output, with its own rounding; this is the yardstick
they are not: no fixed-point widths, no fast transforms, the synthesis as the matrixing formula
and the window as published. Layer I and II need nothing but the allocation tables and the window,
so the whole decoder fits here; layer III is left to the comparison with the references.

    mpaexact.py --decoder build/test/tools/mp3decode/mp3decode [--data ../shared/mpeg-audio]

decodes every layer I and II conformance stream both ways and prints, per stream, the differences
of the decoder and of the reference output from the exact result (rounded half up to 16 bits).
The exit status is 1 when the decoder differs from the exact result by more than 1 LSB anywhere or
by more than --max-rms (0.02 LSB) RMS on a stream, 77 when the reference data is absent.
"""
import argparse
import array
import math
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
import rawpcm  # noqa: E402  (tools/rawpcm.py)

STREAMS = ["l1-fl1", "l1-fl2", "l1-fl3", "l1-fl4", "l1-fl5", "l1-fl6", "l1-fl7", "l1-fl8",
           "l2-fl10", "l2-fl11", "l2-fl12", "l2-fl13", "l2-fl14", "l2-fl15", "l2-fl16", "l2-test32"]

BITRATES = {  # kbit/s by index, (MPEG-1?, layer)
    (True, 1): [0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448],
    (True, 2): [0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384],
    (False, 1): [0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256],
    (False, 2): [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
}
RATES = {True: [44100, 48000, 32000], False: [22050, 24000, 16000]}

# Matrixing: V[i] = sum over k of cos((16 + i)(2k + 1)pi/64) S[k].
MATRIX = [[math.cos((16 + i) * (2 * k + 1) * math.pi / 64) for k in range(32)] for i in range(64)]


class Tables:
    def __init__(self, directory):
        text = open(os.path.join(directory, "dewindow")).read()
        self.window = [0.0] * 512
        for m in re.finditer(r"D\[\s*(\d+)\]=\s*(-?[0-9.]+)", text):
            # The published values are multiples of 2^-16 printed to nine decimals.
            self.window[int(m.group(1))] = round(float(m.group(2)) * 65536) / 65536
        self.alloc = []
        for i in range(5):
            lines = open(os.path.join(directory, "alloc_%d" % i)).read().split("\n")
            rows = {}
            for line in lines[1:]:
                fields = line.split()
                if len(fields) == 6:
                    sb, code, steps, bits, group, _ = map(int, fields)
                    rows[(sb, code)] = (steps, bits, group == 1)
            self.alloc.append((int(lines[0]), rows))


class Bits:
    def __init__(self, data, byte):
        self.data, self.pos = data, byte * 8

    def get(self, n):
        v = 0
        for _ in range(n):
            v = (v << 1) | ((self.data[self.pos >> 3] >> (7 - (self.pos & 7))) & 1)
            self.pos += 1
        return v


def scale(index):
    return 2.0 ** (1 - index / 3)


def level(value, steps):
    """A quantised value of a midtread quantiser with `steps` levels, as a fraction of 1."""
    return (2 * value - (steps - 1)) / steps


def layer2_table(tables, mpeg1, rate, bitrate_per_channel):
    if not mpeg1:
        return tables.alloc[4]
    if bitrate_per_channel in (32, 48):
        return tables.alloc[3 if rate == 32000 else 2]
    if rate == 48000 or bitrate_per_channel <= 80:
        return tables.alloc[0]
    return tables.alloc[1]


class Synthesis:
    def __init__(self, window):
        self.window, self.v = window, [0.0] * 1024

    def run(self, s):
        """32 sub-band samples in, 32 output samples out (in 16-bit steps, unrounded)."""
        v = self.v
        v[64:] = v[:-64]
        live = [k for k in range(32) if s[k]]
        for i in range(64):
            row = MATRIX[i]
            v[i] = sum(row[k] * s[k] for k in live)
        u = [0.0] * 512
        for i in range(8):
            for j in range(32):
                u[64 * i + j] = v[128 * i + j]
                u[64 * i + 32 + j] = v[128 * i + 96 + j]
        d = self.window
        return [32768 * sum(u[j + 32 * i] * d[j + 32 * i] for i in range(16)) for j in range(32)]


def decode(data, tables):
    """Every frame of a layer I or II stream; samples interleaved, in 16-bit steps."""
    pos, synth, channels, out = 0, None, 0, array.array("d")
    while pos + 4 <= len(data):
        h = int.from_bytes(data[pos:pos + 4], "big")
        if h >> 21 != 0x7FF or (h >> 17) & 3 in (0, 1):
            pos += 1
            continue
        mpeg1 = bool((h >> 19) & 1)
        layer = 4 - ((h >> 17) & 3)
        crc = ((h >> 16) & 1) ^ 1
        rate = RATES[mpeg1][(h >> 10) & 3]
        bitrate = BITRATES[(mpeg1, layer)][(h >> 12) & 15]
        padding = (h >> 9) & 1
        mode, mode_ext = (h >> 6) & 3, (h >> 4) & 3
        nch = 1 if mode == 3 else 2
        if synth is None:
            channels, synth = nch, [Synthesis(tables.window) for _ in range(2)]
        if layer == 1:
            size = (12 * bitrate * 1000 // rate + padding) * 4
        else:
            size = 144 * bitrate * 1000 // rate + padding
        if pos + size > len(data):
            break
        bits = Bits(data, pos + 4 + 2 * crc)
        bound = 4 + 4 * mode_ext if mode == 1 else 32
        slots = layer1_frame(bits, nch, bound) if layer == 1 else layer2_frame(
            bits, nch, bound, layer2_table(tables, mpeg1, rate, bitrate // nch))
        for slot in slots:
            pcm = [synth[ch].run(slot[min(ch, nch - 1)]) for ch in range(nch)]
            for j in range(32):
                for ch in range(nch):
                    out.append(pcm[ch][j])
        pos += size
    return out, channels


def layer1_frame(bits, nch, bound):
    alloc = [[0] * 32 for _ in range(2)]
    for sb in range(32):
        if sb < bound:
            for ch in range(nch):
                alloc[ch][sb] = bits.get(4)
        else:
            alloc[0][sb] = alloc[1][sb] = bits.get(4)
    sf = [[0] * 32 for _ in range(2)]
    for sb in range(32):
        for ch in range(nch):
            if alloc[ch][sb]:
                sf[ch][sb] = bits.get(6)
    for _ in range(12):
        s = [[0.0] * 32 for _ in range(2)]
        for sb in range(32):
            for ch in (range(nch) if sb < bound else [0]):
                if alloc[ch][sb]:
                    n = alloc[ch][sb] + 1
                    value = bits.get(n)
                    for t in ([ch] if sb < bound else range(nch)):
                        s[t][sb] = scale(sf[t][sb]) * level(value, (1 << n) - 1)
        yield s


def layer2_frame(bits, nch, bound, table):
    sblimit, rows = table
    bound = min(bound, sblimit)
    alloc = [[0] * 32 for _ in range(2)]
    for sb in range(sblimit):
        nbal = rows[(sb, 0)][1]
        if sb < bound:
            for ch in range(nch):
                alloc[ch][sb] = bits.get(nbal)
        else:
            alloc[0][sb] = alloc[1][sb] = bits.get(nbal)
    scfsi = [[0] * 32 for _ in range(2)]
    for sb in range(sblimit):
        for ch in range(nch):
            if alloc[ch][sb]:
                scfsi[ch][sb] = bits.get(2)
    sf = [[None] * 32 for _ in range(2)]
    for sb in range(sblimit):
        for ch in range(nch):
            if alloc[ch][sb]:
                kind = scfsi[ch][sb]
                if kind == 0:
                    sf[ch][sb] = [bits.get(6), bits.get(6), bits.get(6)]
                elif kind == 1:
                    a, b = bits.get(6), bits.get(6)
                    sf[ch][sb] = [a, a, b]
                elif kind == 2:
                    a = bits.get(6)
                    sf[ch][sb] = [a, a, a]
                else:
                    a, b = bits.get(6), bits.get(6)
                    sf[ch][sb] = [a, b, b]
    for granule in range(12):
        s = [[[0.0] * 32 for _ in range(2)] for _ in range(3)]
        for sb in range(sblimit):
            for ch in (range(nch) if sb < bound else [0]):
                if not alloc[ch][sb]:
                    continue
                steps, nbits, grouped = rows[(sb, alloc[ch][sb])]
                if grouped:
                    code, values = bits.get(nbits), []
                    for _ in range(3):
                        values.append(code % steps)
                        code //= steps
                else:
                    values = [bits.get(nbits) for _ in range(3)]
                for t in ([ch] if sb < bound else range(nch)):
                    factor = scale(sf[t][sb][granule // 4])
                    for k in range(3):
                        s[k][t][sb] = factor * level(values[k], steps)
        yield from s


def to_16_bits(x):
    return max(-32768, min(32767, math.floor(x + 0.5)))


def differences(pcm, exact):
    n = min(len(pcm), len(exact))
    total, worst = 0, 0
    for i in range(n):
        d = abs(pcm[i] - to_16_bits(exact[i]))
        total += d * d
        worst = max(worst, d)
    return n, (total / n) ** 0.5 if n else 0.0, worst


def reference_threshold(reference, exact):
    """The fractions of the exact values the reference rounds up to the next step, lowest first."""
    n = min(len(reference), len(exact))
    fractions = [exact[i] - math.floor(exact[i]) for i in range(n) if reference[i] > to_16_bits(exact[i])]
    below = sum(1 for i in range(n) if reference[i] < to_16_bits(exact[i]))
    return fractions, below


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--decoder", required=True, help="mp3decode to measure")
    parser.add_argument("--data", default=os.environ.get("VW_MPEG_AUDIO_DIR",
                                                         os.path.join(here, "..", "..", "..", "shared", "mpeg-audio")))
    parser.add_argument("--max-rms", type=float, default=0.02)
    parser.add_argument("streams", nargs="*", default=STREAMS)
    args = parser.parse_args()
    vectors = os.path.join(args.data, "vectors")
    if not os.path.isdir(vectors):
        print("mpaexact: no reference data at %s (set VW_MPEG_AUDIO_DIR); skipped" % args.data)
        return 77
    tables = Tables(os.path.join(args.data, "tables"))
    print("%-10s %7s  %-16s %-16s %s" % ("stream", "samples", "ours vs exact", "ref vs exact",
                                          "reference rounds up from"))
    failed = []
    for name in args.streams:
        bit = os.path.join(vectors, name + ".bit")
        data = open(bit, "rb").read()
        exact, _ = decode(data, tables)
        raw = subprocess.run([args.decoder, "--force", "--raw", bit, "-"], capture_output=True, check=True).stdout
        ours = rawpcm.from_bytes(raw)
        reference = rawpcm.read(os.path.join(vectors, name + ".pcm"))
        n, rms, worst = differences(ours, exact)
        _, ref_rms, ref_worst = differences(reference, exact)
        ups, downs = reference_threshold(reference, exact)
        threshold = "%.4f (%d up, %d down)" % (min(ups), len(ups), downs) if ups else "- (%d down)" % downs
        print("%-10s %7d  %.4f / %d       %.4f / %d       %s" % (name, n, rms, worst, ref_rms, ref_worst, threshold))
        if n == 0 or rms >= args.max_rms or worst > 1 or len(ours) < len(exact):
            failed.append(name)
    if failed:
        print("mpaexact: beyond the bounds (RMS %.3f, max 1 LSB, every sample): %s" % (args.max_rms, " ".join(failed)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
