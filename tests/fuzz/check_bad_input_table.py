#!/usr/bin/env python3
"""Checks that every test named in docs/bad-input.md exists in this build's ctest list."""
import re
import subprocess
import sys

table, build = sys.argv[1], sys.argv[2]
listed = subprocess.run(["ctest", "--test-dir", build, "-N"], capture_output=True, text=True, check=True).stdout
known = set(re.findall(r"Test\s+#\d+: (\S+)", listed))
named = set()
for line in open(table, encoding="utf-8"):
    if line.startswith("|"):
        named.update(n for n in re.findall(r"`([A-Za-z0-9_]+(?:\.[A-Za-z0-9_]+|_corpus))`", line.split("|")[-2])
                     if "." in n or n.endswith("_corpus"))
missing = sorted(named - known)
for name in missing:
    print(f"{table}: no test named {name}")
print(f"{len(named) - len(missing)} of {len(named)} tests named in the table exist")
sys.exit(1 if missing or not named else 0)
