#!/usr/bin/env bash
# wholeprocess.sh — the whole process, as a user runs it: mp3decode through the plug-in against
# `mpg123 -s` and `madplay`, each decoding to /dev/null. Prints the median CPU time (user +
# system, /usr/bin/time) of RUNS interleaved runs per decoder and file.
#   tools/mpabench/wholeprocess.sh MP3DECODE RUNS FILE.mp3 ...
set -euo pipefail
mp3decode=$1 runs=$2
shift 2
for file in "$@"; do
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "mp3decode %U %S" "$mp3decode" --raw "$file" /dev/null 2>&1 > /dev/null | grep '^mp3decode '
    /usr/bin/time -f "mpg123 %U %S" sh -c 'mpg123 -q -s "$1" > /dev/null' sh "$file" 2>&1 | grep '^mpg123 '
    /usr/bin/time -f "madplay %U %S" madplay -q -o raw:/dev/null "$file" 2>&1 | grep '^madplay '
  done | /usr/bin/python3 -c '
import collections, statistics, sys
cpu = collections.defaultdict(list)
for line in sys.stdin:
    name, user, system = line.split()
    cpu[name].append(float(user) + float(system))
print(sys.argv[1] + ":", ", ".join(f"{name} {statistics.median(v):.2f} s" for name, v in cpu.items()))
' "$(basename "$file")"
done
