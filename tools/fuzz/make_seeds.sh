#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets in tests/fuzz/corpus/<target>/: short
# streams from lame, twolame and sox, hand-built frames, small images, valid levels.
# Hand-built bytes come from a fixed seed; the encoders may differ from run to run.
# Usage: tools/fuzz/make_seeds.sh (rewrites the seed files it makes, keeps others)
set -euo pipefail
cd "$(dirname "$0")/../.."
corpus=tests/fuzz/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- audio: short tones, encoded at several rates, layers and channel counts --------
sox -n -r 44100 -c 2 "$work/s44.wav" synth 0.12 sine 440 sine 660 gain -6
sox -n -r 22050 -c 1 "$work/m22.wav" synth 0.15 sine 300 gain -6
sox -n -r 8000 -c 1 "$work/m8.wav" synth 0.3 square 200 gain -9
sox -n -r 48000 -c 2 "$work/s48.wav" synth 0.1 sine 1000 sine 1500 gain -6
sox -n -r 24000 -c 1 "$work/m24.wav" synth 0.15 sine 500 gain -6
sox -n -r 32000 -c 2 "$work/s32.wav" synth 0.12 pinknoise gain -12

q=(--quiet)
lame "${q[@]}" -b 128 -m j "$work/s44.wav" "$work/l3_44_joint.mp3"
lame "${q[@]}" -b 96 -m s -p "$work/s44.wav" "$work/l3_44_stereo_crc.mp3"
lame "${q[@]}" -V 2 "$work/s32.wav" "$work/l3_32_vbr.mp3"
lame "${q[@]}" -b 32 -m m "$work/m22.wav" "$work/l3_22_mono.mp3"
lame "${q[@]}" -b 16 -m m "$work/m8.wav" "$work/l3_8_mono.mp3"
lame "${q[@]}" -b 128 --freeformat "$work/s44.wav" "$work/l3_44_free.mp3" 2>/dev/null ||
  rm -f "$work/l3_44_free.mp3"
tq=(--quiet)
twolame "${tq[@]}" -b 128 -m j "$work/s48.wav" "$work/l2_48_joint.mp2"
twolame "${tq[@]}" -b 64 -m m "$work/m24.wav" "$work/l2_24_mono.mp2"
twolame "${tq[@]}" -b 96 -m s -p -d "$work/s32.wav" "$work/l2_32_stereo_crc.mp2"
twolame "${tq[@]}" -b 192 -m d "$work/s44.wav" "$work/l2_44_dual.mp2"
sox -n -r 48000 -c 1 "$work/m48.wav" synth 0.1 sine 700 gain -6
twolame "${tq[@]}" -b 64 -m m "$work/m48.wav" "$work/switch_48_mono.bin"

# ---- the encoder's metadata frame: lame's first frame at several rates and modes ---------
sox -n -r 8000 -c 1 "$work/m8b.wav" synth 0.3 sine 200 gain -9
lame "${q[@]}" --cbr -b 128 "$work/s44.wav" "$work/tag_44_cbr.mp3"
lame "${q[@]}" -V 2 -p "$work/s48.wav" "$work/tag_48_vbr_crc.mp3"
lame "${q[@]}" -V 5 -m m "$work/m22.wav" "$work/tag_22_vbr_mono.mp3"
lame "${q[@]}" --cbr -b 32 -m m "$work/m8b.wav" "$work/tag_8_cbr_mono.mp3"
python3 tools/fuzz/lametag_seeds.py "$work" "$corpus"

# ---- the rest is byte work: prefixes, hand-built frames, images, levels -------------
python3 - "$work" "$corpus" <<'PY'
import os, random, struct, sys, zlib, glob, shutil

work, corpus = sys.argv[1], sys.argv[2]
rng = random.Random(1234)

def put(target, name, data):
    d = os.path.join(corpus, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)

def read(name):
    with open(os.path.join(work, name), "rb") as f:
        return f.read()

def frames(data, limit):
    """Whole frames from the start of a stream, at most `limit` bytes."""
    return data[:limit]

# Hand-built frames the encoders do not make: layer I, free format, reserved version.
def layer1(bitrate_index, sr_index, mono, count):
    out = b""
    kbps = [0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448][bitrate_index]
    rate = [44100, 48000, 32000][sr_index]
    for i in range(count):
        pad = i & 1
        hdr = bytes([0xFF, 0xFF, bitrate_index << 4 | sr_index << 2 | pad << 1,
                     (0xC0 if mono else 0x10) | 0x04])
        length = (kbps * 12000 // rate + pad) * 4
        out += hdr + bytes(rng.randrange(256) for _ in range(length - 4))
    return out

def free_format_l2(body, count):
    hdr = bytes([0xFF, 0xFD, 0x00, 0xC4])
    return b"".join(hdr + bytes(rng.randrange(256) for _ in range(body)) for _ in range(count)) + hdr

def mpeg25_l3(count):
    # Version bits 00 (the 2.5 rates), layer III, 8 kbps, 11025 Hz, mono.
    hdr = bytes([0xFF, 0xE3, 0x10, 0xC0])
    length = 8 * 144000 // (11025 << 1)
    return b"".join(hdr + bytes(rng.randrange(256) for _ in range(length - 4)) for _ in range(count))

streams = {}
for path in sorted(glob.glob(os.path.join(work, "*.mp[23]"))):
    streams[os.path.basename(path).rsplit(".", 1)[0]] = frames(read(os.path.basename(path)), 3000)
streams["l1_44_mono"] = layer1(1, 0, True, 12)
streams["l1_48_stereo"] = layer1(8, 1, False, 3)
streams["l2_free"] = free_format_l2(200, 4)
streams["l3_mpeg25"] = mpeg25_l3(6)
l3 = streams["l3_44_joint"]
id3 = b"ID3\x03\x00\x00\x00\x00\x02\x01" + bytes(257)
streams["id3_then_l3"] = (id3 + l3)[:3000]
streams["garbage_between"] = l3[:900] + bytes(rng.randrange(256) for _ in range(37)) + l3[900:2000]
streams["mono_after_stereo"] = streams["l2_48_joint"][:1200] + streams["l2_24_mono"][:900]

# Decoder: 2 control bytes (bit 0 of the first: parse only; bits 1-2: largest chunk).
for i, (name, data) in enumerate(sorted(streams.items())):
    put("fuzz_mpaudec", name + "_decode", bytes([(i % 4) << 1, i * 37 & 0xFF]) + data)
    put("fuzz_mpaudec", name + "_parse", bytes([1 | (i + 1) % 4 << 1, i * 53 & 0xFF]) + data)

# Stream: 5 control bytes (bit 0: sized reader, bit 1: via the loader, bit 2: short reads).
for i, (name, data) in enumerate(sorted(streams.items())):
    seed = struct.pack(">I", rng.randrange(1 << 32))
    put("fuzz_mp3stream", name + "_sized", bytes([1 | (i & 2) | (i & 4)]) + seed + data)
    put("fuzz_mp3stream", name + "_unsized", bytes([(i & 2) | (~i & 4)]) + seed + data)
# A channel switch at one rate: stereo frames, then mono, then stereo again.
switch = streams["l2_48_joint"][:1200] + read("switch_48_mono.bin")[:900] + streams["l2_48_joint"][:1200]
put("fuzz_mp3stream", "channel_switch_sized", bytes([3]) + b"\x12\x34\x56\x78" + switch)
put("fuzz_mp3stream", "channel_switch_unsized", bytes([6]) + b"\x9a\xbc\xde\xf0" + switch)
put("fuzz_mp3stream", "not_audio", bytes([3]) + b"\x00\x01\x02\x03" + b"plain text, not audio\n" * 20)

# ---- BMP: the layouts the loader reads, and a few it refuses --------------------------
def bmp(width, height, bpp, pixels, palette=None, clr_used=0):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(pixels), 2835, 2835, clr_used, 0)
    pal = palette or b""
    head = struct.pack("<HIHHI", 0x4D42, 14 + 40 + len(pal) + len(pixels), 0, 0, 14 + 40 + len(pal))
    return head + info + pal + pixels

def rows(width, height, bpp):
    stride = (width * bpp // 8 + 3) // 4 * 4
    return bytes(rng.randrange(256) for _ in range(stride * height))

palette = bytes(rng.randrange(256) for _ in range(1024))
put("fuzz_bmp", "rgb24_4x3", bmp(4, 3, 24, rows(4, 3, 24)))
put("fuzz_bmp", "rgb24_5x2_padded", bmp(5, 2, 24, rows(5, 2, 24)))
put("fuzz_bmp", "rgba32_3x3", bmp(3, 3, 32, rows(3, 3, 32)))
put("fuzz_bmp", "pal8_8x4", bmp(8, 4, 8, rows(8, 4, 8), palette, clr_used=16))
put("fuzz_bmp", "pal8_3x2_padded", bmp(3, 2, 8, rows(3, 2, 8), palette))
put("fuzz_bmp", "rgb16_4x2", bmp(4, 2, 16, rows(4, 2, 16)))
put("fuzz_bmp", "mono1_8x2", bmp(8, 2, 1, rows(8, 2, 1), palette[:8]))
put("fuzz_bmp", "empty_height0", bmp(4, 0, 24, b""))
put("fuzz_bmp", "top_down", bmp(4, -2, 24, rows(4, 2, 24)))
put("fuzz_bmp", "huge_header_short_file", bmp(60000, 60000, 32, rows(2, 2, 32)))

# ---- PNG: every colour type and depth, tRNS, interlacing -----------------------------
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]

def raw_rows(samples, width, height, depth, channels):
    """Filter-byte-prefixed rows; samples[y][x*channels + c]."""
    out = b""
    for y in range(height):
        bits, acc, nbits = bytearray(), 0, 0
        for v in samples[y]:
            if depth == 16:
                bits += struct.pack(">H", v)
            elif depth == 8:
                bits.append(v)
            else:
                acc = acc << depth | v
                nbits += depth
                if nbits == 8:
                    bits.append(acc); acc, nbits = 0, 0
        if nbits:
            bits.append(acc << (8 - nbits))
        out += bytes([0]) + bytes(bits)   # filter type None
    return out

def png(width, height, color, depth, interlace=False, trns=None, plte=None):
    ch = CHANNELS[color]
    top = (1 << depth) - 1
    px = [[rng.randrange(top + 1) for _ in range(width * ch)] for _ in range(height)]
    if interlace:
        data = b""
        for x0, y0, dx, dy in ADAM7:
            sub = [[px[y][x * ch + c] for x in range(x0, width, dx) for c in range(ch)]
                   for y in range(y0, height, dy)]
            if sub and sub[0]:
                data += raw_rows(sub, len(sub[0]) // ch, len(sub), depth, ch)
    else:
        data = raw_rows(px, width, height, depth, ch)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, color, 0, 0, int(interlace)))
    if plte is not None:
        out += chunk(b"PLTE", plte)
    if trns is not None:
        out += chunk(b"tRNS", trns)
    return out + chunk(b"IDAT", zlib.compress(data, 9)) + chunk(b"IEND", b"")

for depth in (1, 2, 4, 8, 16):
    put("fuzz_png", f"grey{depth}_5x3", png(5, 3, 0, depth))
put("fuzz_png", "grey8_trns", png(4, 4, 0, 8, trns=b"\x00\x10"))
put("fuzz_png", "rgb8_3x2", png(3, 2, 2, 8))
put("fuzz_png", "rgb16_2x2_trns", png(2, 2, 2, 16, trns=b"\x00\x01\x00\x02\x00\x03"))
for depth in (1, 2, 4, 8):
    put("fuzz_png", f"palette{depth}_6x2", png(6, 2, 3, depth, plte=bytes(rng.randrange(256) for _ in range(3 * (1 << depth))),
                                            trns=b"\x00\x80"))
put("fuzz_png", "greyalpha8_3x3", png(3, 3, 4, 8))
put("fuzz_png", "rgba8_4x3", png(4, 3, 6, 8))
put("fuzz_png", "rgba16_2x3", png(2, 3, 6, 16))
put("fuzz_png", "rgba8_9x9_interlaced", png(9, 9, 6, 8, interlace=True))
put("fuzz_png", "grey2_10x7_interlaced", png(10, 7, 0, 2, interlace=True))
whole = png(6, 6, 2, 8)
put("fuzz_png", "rgb8_truncated", whole[:len(whole) - 20])
put("fuzz_png", "not_png", b"BM" + bytes(60))

# ---- levels: the game's own and the smallest ------------------------------------------
for path in sorted(glob.glob("assets/levels/level*.txt")):
    put("fuzz_level", os.path.basename(path), open(path, "rb").read())
put("fuzz_level", "one_by_one", b"1,1,0,999,0,0,1,999,999,999,999,0,0,0,0")
put("fuzz_level", "example_room_spaced",
    b"5 ,4,\n3,3,3,3,3,\r\n3,0,0,4,3,\n3,0,2,1,3,\n3,3,3,3,3,\n999,\n1,1,2,\n999,\n2,2,0,\n999,\n999,\n999,\n1,1,1,0")
# Patrols: an out-and-back guard, a dog looping round a pillar beside a walking commander,
# and two routes the loader refuses (a leg into a wall, an enemy the level lacks).
put("fuzz_level", "patrol_out_and_back",
    b'6,3,\n0,0,0,0,0,0,\n0,3,0,0,0,4,\n0,0,0,0,0,0,\n999,\n0,2,0,\n999,\n1,0,2,\n999,\n999,\n999,\n1,0,0,0,\n999,\n1,0,1,5,0,\n999')
put("fuzz_level", "patrol_loop_dog_commander",
    b'5,5,\n0,0,0,0,0,\n0,3,0,3,0,\n0,0,2,0,4,\n0,3,1,3,0,\n0,0,0,0,0,\n999,\n2,2,0,\n999,\n999,\n0,0,2,\n999,\n4,4,3,\n999,\n0,1,1,1,\n999,\n2,0,3,4,0,4,4,0,4,\n3,0,1,0,4,\n999')
put("fuzz_level", "patrol_leg_into_wall",
    b'4,2,\n0,0,3,0,\n0,0,0,4,\n999,\n0,1,0,\n999,\n0,0,2,\n999,\n999,\n999,\n0,0,0,0,\n999,\n1,0,1,3,0,\n999')
put("fuzz_level", "patrol_no_such_enemy",
    b'3,1,\n0,0,4,\n999,\n0,0,2,\n999,\n999,\n999,\n999,\n0,0,0,0,\n999,\n2,0,1,1,0,\n999')
PY
du -sb "$corpus"/* | sed "s|$corpus/||"
