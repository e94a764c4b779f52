#!/usr/bin/env bash
# take.sh — screenshots of the real game for the README, taken in a virtual X server.
#
#   tools/screenshots/take.sh [LEVEL ...]
#
# Saves docs/screenshot-title.png, docs/screenshot-levelselect.png and
# docs/screenshot-levelNN.png for each LEVEL number given (default: the first level and the
# last one; the first one given is shot with its name and tip showing, the others without),
# all from the game
# started in the repository root. A level is reached the way a returning player
# reaches it: with `c` on the title and a progress file (in a scratch data folder,
# never the user's) that holds its number, so no level has to be played through.
# Set VEILWALKER to use an already built binary.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD

for tool in Xvfb xdotool import; do
  command -v "$tool" > /dev/null || { echo "take.sh: $tool is missing (scripts/setup.sh test installs it)" >&2; exit 1; }
done
[[ -f assets/levels/level00.txt && -d assets/tiles && -d assets/screens ]] ||
  { echo "take.sh: run it once assets/ holds the tiles, screens and levels" >&2; exit 1; }

if [[ -z "${VEILWALKER:-}" ]]; then
  cmake -S . -B build/screenshots -DCMAKE_BUILD_TYPE=Release -DVW_BUILD_TESTS=OFF > /dev/null
  cmake --build build/screenshots --target veilwalker -j2 > /dev/null
  VEILWALKER=$root/build/screenshots/src/veilwalker
fi

levels=("$@")
if [[ ${#levels[@]} -eq 0 ]]; then
  last=$(ls assets/levels | sed -n 's/^level\([0-9][0-9]*\)\.txt$/\1/p' | sort -n | tail -1)
  levels=(0 "$((10#$last))")
fi

source tools/xvfb/xvfb.sh

start_xvfb take.sh

export XDG_DATA_HOME="$scratch/data"
mkdir -p "$XDG_DATA_HOME/veilwalker"

# Starts the game in folder $1 and sets $window once its window is mapped.
start_game() {
  (cd "$1" && exec "$VEILWALKER" > /dev/null) &
  game_pid=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Veilwalker$' | head -1)
  [[ -n "$window" ]] || { echo "take.sh: the game window did not appear" >&2; exit 1; }
  xdotool mousemove --window "$window" 400 300
  xdotool windowfocus --sync "$window"
  sleep 1.5   # a few frames, so the picture is complete
}

stop_game() {
  kill "$game_pid" 2> /dev/null || true
  wait "$game_pid" 2> /dev/null || true
  game_pid=""
}

# Saves the window as $1; pixel art compresses well, but a busy picture falls back
# to a 256-colour palette to stay under 200 KB.
shoot() {
  import -window "$window" -define png:compression-level=9 "png:$1"
  if (($(stat -c %s "$1") >= 200 * 1024)); then
    import -window "$window" -colors 256 "png8:$1"
  fi
  echo "$1: $(stat -c %s "$1") bytes"
}

# `c` leaves the title for the level saved as progress, without acting on it, and waits $1
# seconds. The level's name shows for its first 2.5 s: the first level is shot with it, the
# others once it has gone.
leave_title() {
  xdotool key c
  sleep "$1"
}

# The level select of a player who has reached level 9: the first eight won, at par or one key
# over it, some without hints or take-backs, so that every kind of card and mark shows.
select_records() {
  for n in 0 1 2 3 4 5 6 7; do
    par=$(cat "$(printf 'assets/levels/level%02d.par' "$n")" 2> /dev/null || echo 0)
    ((par > 0)) || continue
    echo "$n $((par + n % 3 / 2)) $((n % 4 != 1)) $((n % 3 != 1))"
  done
}

mkdir -p docs
start_game "$root"
shoot docs/screenshot-title.png
stop_game
echo 8 > "$XDG_DATA_HOME/veilwalker/progress"
select_records > "$XDG_DATA_HOME/veilwalker/records"
start_game "$root"
xdotool key Escape
sleep 0.5
shoot docs/screenshot-levelselect.png
stop_game
rm "$XDG_DATA_HOME/veilwalker/records"
for n in "${levels[@]}"; do
  name=$(printf 'level%02d' "$n")
  [[ -f "assets/levels/$name.txt" ]] || { echo "take.sh: no assets/levels/$name.txt" >&2; exit 1; }
  echo "$n" > "$XDG_DATA_HOME/veilwalker/progress"
  start_game "$root"
  if [[ $n == "${levels[0]}" ]]; then leave_title 1; else leave_title 3.5; fi
  shoot "docs/screenshot-$name.png"
  stop_game
done
