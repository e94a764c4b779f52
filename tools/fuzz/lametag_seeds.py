#!/usr/bin/python3
"""Seeds of fuzz_lametag: the first frame of lame files (Xing/Info frame with a LAME tag)
at MPEG-1, -2 and -2.5 rates, damaged copies, and frames that are not metadata.
Usage: lametag_seeds.py WORK_DIR CORPUS_DIR  (WORK_DIR holds the lame files named below)"""
import os, sys

work, corpus = sys.argv[1], os.path.join(sys.argv[2], "fuzz_lametag")
os.makedirs(corpus, exist_ok=True)

def put(name, data):
    with open(os.path.join(corpus, name), "wb") as f:
        f.write(data)

def first_frame(data):
    """The first frame of a layer III file: up to the second header at the same rate."""
    for i in range(4, len(data) - 1):
        if data[i] == 0xFF and data[i + 1] == data[1] and data[i + 2] & 0x0C == data[2] & 0x0C:
            return data[:i]
    return data

for name in sorted(os.listdir(work)):
    if not name.startswith("tag_") or not name.endswith(".mp3"):
        continue
    with open(os.path.join(work, name), "rb") as f:
        data = f.read()
    frame = first_frame(data)
    stem = name[:-4]
    put(stem, frame)
    lame = frame.find(b"LAME")
    if lame > 0 and stem.endswith("44_cbr"):
        damaged = bytearray(frame)
        damaged[lame + 21] ^= 0x10
        put(stem + "_bad_delay", bytes(damaged))
        put(stem + "_cut_in_tag", frame[:lame + 20])
        put(stem + "_second_frame", data[len(frame):len(frame) * 2])
