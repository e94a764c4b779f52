#!/usr/bin/env bash
# soundgen plays the scores the game's sound table names and no others: --list prints the
# table; a score the table does not name stops it before it writes anything, and so does a
# missing score (the first row's, here).
#   soundgenTable.sh SOUNDGEN SCORES SCRATCH
set -euo pipefail
soundgen=$1
scores=$2
scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

# One line per sound, event, file and score, the scores exactly the folder's.
"$soundgen" --list > "$scratch/list"
awk 'NF != 3 || $1 !~ /^(BGM|SFX)_/ || $2 !~ /\.mp3$/ || $3 !~ /\.score$/ { bad = 1 } END { exit bad }' \
  "$scratch/list" || fail "soundgen --list printed a malformed line: $(cat "$scratch/list")"
diff <(cut -d' ' -f3 "$scratch/list" | sort) <(cd "$scores" && ls -- *.score | sort) \
  || fail "the table's scores and the folder's differ"

# Each broken folder: a copy of the scores with one more, or one fewer, and what soundgen must say.
stray() { cp "$1/bump.score" "$1/stray.score"; }
missing() { rm "$1/stage.score"; }
for c in "stray|stray.score: no sound of the game plays this score" "missing|stage.score: cannot be read"; do
  IFS='|' read -r name says <<< "$c"
  mkdir "$scratch/$name"
  cp "$scores"/*.score "$scratch/$name/"
  "$name" "$scratch/$name"
  if "$soundgen" --out "$scratch/$name.out" --scores "$scratch/$name" 2> "$scratch/$name.err"; then
    fail "$name: soundgen succeeded"
  fi
  grep -qF "$says" "$scratch/$name.err" || fail "$name: soundgen said $(cat "$scratch/$name.err"), not '$says'"
  if compgen -G "$scratch/$name.out/*.wav" > /dev/null; then fail "$name: soundgen wrote sounds before it stopped"; fi
  echo "$name: $(cat "$scratch/$name.err")"
done
echo "soundgen follows the sound table ($(wc -l < "$scratch/list") sounds)"
