#!/usr/bin/env bash
# Regenerates every sound of the game's sound table (soundgen --list) with soundgen and lame
# and fails unless each is byte-for-byte the committed file, and no file, committed or made,
# is outside the table.
#   compareSounds.sh SOUNDGEN ASSETS_SOUNDS SCRATCH      (exit 77: lame is not installed)
set -euo pipefail
soundgen=$1
committed=$2
scratch=$3
command -v lame > /dev/null || { echo "skipped: lame is not installed"; exit 77; }
rm -rf "$scratch"
"$(dirname "$0")/../../tools/soundgen/make_sounds.sh" "$soundgen" "$scratch"

# The files the game's sound table names, each made from its score.
mapfile -t wanted < <("$soundgen" --list | cut -d' ' -f2)
(( ${#wanted[@]} > 0 )) || { echo "soundgen --list names no sounds"; exit 1; }
bad=()
for name in "${wanted[@]}"; do
  if [[ ! -e "$scratch/$name" ]]; then bad+=("$name (in the sound table but not generated)")
  elif [[ ! -e "$committed/$name" ]]; then bad+=("$name (not committed)")
  elif ! cmp -s "$scratch/$name" "$committed/$name"; then bad+=("$name (differs)"); fi
done
# Not grep -q: it stops reading at the first match, and printf, still writing, would then die
# of SIGPIPE and fail the pipe (pipefail) for a name that is listed.
listed() { printf '%s\n' "${wanted[@]}" | grep -xF "$1" > /dev/null; }
for f in "$scratch"/* "$committed"/*; do
  name=$(basename "$f")
  listed "$name" || bad+=("$name in $(dirname "$f") (not in the sound table)")
done
count=${#wanted[@]}
if (( ${#bad[@]} > 0 )); then
  echo "sounds out of date; regenerate with: tools/soundgen/make_sounds.sh SOUNDGEN assets/sounds"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
rm -rf "$scratch"
echo "all $count sounds match"
