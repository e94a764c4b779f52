#!/usr/bin/env bash
# Regenerates every sound with soundgen and lame and fails unless each is byte-for-byte
# the committed file and no committed sound is missing from the output.
#   compareSounds.sh SOUNDGEN ASSETS_SOUNDS SCRATCH      (exit 77: lame is not installed)
set -euo pipefail
soundgen=$1
committed=$2
scratch=$3
command -v lame > /dev/null || { echo "skipped: lame is not installed"; exit 77; }
rm -rf "$scratch"
"$(dirname "$0")/../../tools/soundgen/make_sounds.sh" "$soundgen" "$scratch"

bad=()
for f in "$scratch"/*.mp3; do
  name=$(basename "$f")
  if [[ ! -e "$committed/$name" ]]; then bad+=("$name (not committed)")
  elif ! cmp -s "$f" "$committed/$name"; then bad+=("$name (differs)"); fi
done
for f in "$committed"/*; do
  name=$(basename "$f")
  [[ -e "$scratch/$name" ]] || bad+=("$name (committed but not generated)")
done
count=$(ls "$scratch" | wc -l)
if (( count != 25 )); then bad+=("soundgen made $count sounds, the game needs 25"); fi
if (( ${#bad[@]} > 0 )); then
  echo "sounds out of date; regenerate with: tools/soundgen/make_sounds.sh SOUNDGEN assets/sounds"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
rm -rf "$scratch"
echo "all $count sounds match"
