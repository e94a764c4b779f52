#!/usr/bin/python3
"""gen_tables.py — writes the decoder's synthesis window and layer II allocation tables from the published tables.

Usage: gen_tables.py TABLES_DIR OUTPUT.cpp
TABLES_DIR holds `dewindow` and `alloc_0` .. `alloc_4` (see the mpeg-audio README).
"""
import math
import re
import sys


def read_window(path):
    values = {}
    with open(path) as f:
        for index, value in re.findall(r"D\[\s*(\d+)\]\s*=\s*([-+0-9.eE]+)", f.read()):
            values[int(index)] = float(value)
    if sorted(values) != list(range(512)):
        sys.exit(f"{path}: expected D[0] .. D[511]")
    window = []
    for i in range(257):
        scaled = values[i] * 65536
        if abs(abs(scaled - math.floor(scaled)) - 0.5) < 1e-6:
            sys.exit(f"{path}: D[{i}] lies half-way between two steps")
        window.append(int(round(scaled)))
    return window


def read_alloc(path):
    """One row per sub-band: allocation bits b, then the class of codes 1 .. 2^b - 1."""
    with open(path) as f:
        lines = [l.split() for l in f if l.strip()]
    sblimit = int(lines[0][0])
    rows = {}
    for fields in lines[1:]:
        subband, code, steps, bits, group, cls = map(int, fields)
        rows.setdefault(subband, {})[code] = (steps, bits, group, cls)
    if sorted(rows) != list(range(sblimit)):
        sys.exit(f"{path}: expected sub-bands 0 .. {sblimit - 1}")
    table = []
    for subband in range(sblimit):
        codes = rows[subband]
        nbal = codes[0][1]
        if sorted(codes) != list(range(1 << nbal)):
            sys.exit(f"{path}: sub-band {subband} has not 2^{nbal} codes")
        row = [nbal]
        for code in range(1, 1 << nbal):
            steps, bits, group, cls = codes[code]
            row.append(cls)
        table.append(row)
    return sblimit, table


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    tables_dir, output = sys.argv[1], sys.argv[2]
    window = read_window(f"{tables_dir}/dewindow")
    out = []
    out.append("// mpaudec_tables.cpp — synthesis window and layer II bit-allocation tables, "
               "written by tools/mpatables/gen_tables.py; do not edit.")
    out.append('#include "mpaudec_internal.h"')
    out.append("")
    out.append("// Synthesis window D[0..256] with 16 fraction bits; the rest follows by symmetry.")
    out.append("const int32_t mpa_enwindow[257] = {")
    for start in range(0, 257, 8):
        out.append("    " + " ".join(f"{v}," for v in window[start:start + 8]))
    out.append("};")
    tables = [read_alloc(f"{tables_dir}/alloc_{t}") for t in range(5)]
    # A table that is the beginning of a longer one is read from the longer one.
    source = []
    for sblimit, table in tables:
        longer = [u for u, (n, rows) in enumerate(tables) if n > sblimit and rows[:sblimit] == table]
        source.append(longer[0] if longer else None)
    names = []
    for t, (sblimit, table) in enumerate(tables):
        if source[t] is not None:
            names.append(f"alloc_table_{source[t]}")
            continue
        name = f"alloc_table_{t}"
        names.append(name)
        shared = "".join(f"; table {s} is its first {tables[s][0]}" for s in range(5) if source[s] == t)
        out.append("")
        out.append(f"// {sblimit} sub-bands: allocation bits, then the class of each allocation code{shared}.")
        out.append(f"static const uint8_t {name}[] = {{")
        for row in table:
            out.append("    " + " ".join(f"{v}," for v in row))
        out.append("};")
    out.append("")
    out.append("const uint8_t* const alloc_tables[5] = {")
    out.append("    " + " ".join(f"{n}," for n in names))
    out.append("};")
    with open(output, "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
