#!/usr/bin/python3
"""check_generated.py — runs both table generators into a scratch folder and compares their output
byte for byte with the committed decoder sources.

Usage: check_generated.py TABLES_DIR DECODER_SOURCE_DIR
When VW_MPEG_AUDIO_DIR is set, its tables/ folder replaces TABLES_DIR (as for every test that reads
the reference data). Exits 0 when every file matches, 1 on a difference, 77 (skip) when TABLES_DIR is absent.
"""
import filecmp
import os
import subprocess
import sys
import tempfile

SKIP = 77


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    tables_dir, source_dir = sys.argv[1], sys.argv[2]
    if os.environ.get("VW_MPEG_AUDIO_DIR"):
        tables_dir = os.path.join(os.environ["VW_MPEG_AUDIO_DIR"], "tables")
    if not os.path.isdir(tables_dir):
        print(f"skipped: no published tables at {tables_dir}")
        return SKIP
    here = os.path.dirname(os.path.abspath(__file__))
    runs = [
        ("gen_tables.py", tables_dir, "mpaudec_tables.cpp"),
        ("gen_huffman.py", os.path.join(tables_dir, "huffdec"), "layer3_huffman.cpp"),
    ]
    failed = False
    with tempfile.TemporaryDirectory() as scratch:
        for script, source, name in runs:
            out = os.path.join(scratch, name)
            subprocess.run([sys.executable, os.path.join(here, script), source, out], check=True)
            committed = os.path.join(source_dir, name)
            if filecmp.cmp(out, committed, shallow=False):
                print(f"{name}: identical")
            else:
                print(f"{name}: differs from what {script} writes")
                failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
