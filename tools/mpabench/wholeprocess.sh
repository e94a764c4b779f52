#!/usr/bin/env bash
# wholeprocess.sh — the whole process, as a user runs it: mp3decode through the plug-in against
# `mpg123 -s` and `madplay`, each decoding to /dev/null. Prints the median CPU time (user +
# system, /usr/bin/time) of RUNS interleaved runs per decoder and file.
#   tools/mpabench/wholeprocess.sh MP3DECODE RUNS FILE.mp3 ...
# Stops before timing anything when a decoder, its plug-in module or a file is missing, or
# mp3decode cannot decode the first file, with the reason on standard error.
set -euo pipefail
stop() { echo "wholeprocess: $*" >&2; exit 1; }
if [[ $# -lt 3 ]]; then
  echo "usage: $0 MP3DECODE RUNS FILE.mp3 ..." >&2
  exit 2
fi
mp3decode=$1 runs=$2
shift 2
[[ -x "$mp3decode" && -f "$mp3decode" ]] ||
  stop "no mp3decode program at $mp3decode (build it first, e.g. cmake --build build/bench --target mp3decode ikpMP3)"
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || stop "RUNS must be a positive number, not '$runs'"
for tool in mpg123 madplay /usr/bin/time; do
  command -v "$tool" > /dev/null || stop "$tool is not installed (scripts/setup.sh test installs it)"
done
for file in "$@"; do
  [[ -r "$file" ]] || stop "cannot read $file"
done
# One untimed decode: a missing or broken plug-in module stops here with mp3decode's own reason.
if ! why=$("$mp3decode" --raw "$1" /dev/null 2>&1 > /dev/null); then
  stop "$mp3decode cannot decode $1: ${why:-no reason given}"
fi
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
