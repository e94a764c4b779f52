#!/usr/bin/env bash
# playlevel.sh — play one level file straight away, without winning the levels before it.
#
#   tools/playlevel/playlevel.sh LEVEL.txt
#
# Builds the game in build/release if needed (as scripts/play.sh does), then starts it in a
# scratch folder holding the repository's tiles, screens and sounds and LEVEL.txt as its only
# level, level00. The game itself is unchanged: the title comes first, winning the level shows
# the ending, and a loss restarts it. Edit LEVEL.txt and run this again to try the change.
# What the game says about its level names LEVEL.txt as given, not the scratch copy.
# Set VEILWALKER to use an already built binary.
set -euo pipefail
if [[ $# -ne 1 ]]; then
  echo "usage: $0 LEVEL.txt" >&2
  exit 2
fi
level=$(realpath -e -- "$1") || { echo "playlevel: no such level file: $1" >&2; exit 1; }
[[ -f "$level" ]] || { echo "playlevel: not a file: $1" >&2; exit 1; }
cd "$(dirname "$0")/../.."
root=$PWD

if [[ -z "${VEILWALKER:-}" ]]; then
  scripts/setup.sh play
  cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVW_BUILD_TESTS=OFF > /dev/null
  cmake --build build/release --target veilwalker -j"$(nproc)" > /dev/null
  VEILWALKER=$root/build/release/src/veilwalker
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/assets/levels"
ln -s "$root/assets/tiles" "$root/assets/screens" "$root/assets/sounds" "$scratch/assets/"
# A copy, so the level stays as it was when the game started even while it is being edited.
cp -- "$level" "$scratch/assets/levels/level00.txt"
cd "$scratch"
# The game names its level assets/levels/level00.txt; the user knows it by the name given.
# GNU sed's -u passes each line on at once, so the stock lines still follow every key.
copy='assets\/levels\/level00\.txt'
given=$(printf '%s' "$1" | sed 's/[\/&]/\\&/g')
rename() { sed -u "s/$copy/$given/g"; }
status=0
"$VEILWALKER" 2> >(rename >&2) > >(rename) || status=$?
wait
exit "$status"
