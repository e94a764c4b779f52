#!/usr/bin/env bash
# cpuload.sh — how much of one core the game burns, read from /proc under a virtual X server.
#
#   tools/cpuload/cpuload.sh [VEILWALKER_BINARY] [SECONDS] [RUNS]
#   CPULOAD_FULL_SCREEN=1920x1080 tools/cpuload/cpuload.sh ...
#
# With CPULOAD_FULL_SCREEN the virtual screen has that size and the game is switched
# to full screen (F11) before every measurement; otherwise it keeps its 800 x 600 window.
#
# Three situations, each measured RUNS times (default 5) over SECONDS (default 10)
# once the window has settled, printing every run and the median:
#   title  — the title screen, untouched;
#   still  — a level where nothing moves (every enemy faces a wall);
#   walk   — a level where a guard keeps walking: food is put in its sight every
#            4 seconds, it walks to it and back home.
# The figure is the process's user + system CPU time (all its threads, the GL
# driver's included) divided by the wall time, in percent of one core.
# The game runs in a scratch folder with the repository's tiles and screens and a
# level written here; progress goes to a scratch XDG_DATA_HOME.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
binary=$(realpath "${1:-build/release/src/veilwalker}")
seconds=${2:-10}
runs=${3:-5}

for tool in Xvfb xdotool; do
  command -v "$tool" > /dev/null || { echo "cpuload.sh: $tool is missing" >&2; exit 1; }
done
[[ -x "$binary" ]] || { echo "cpuload.sh: no game binary at $binary" >&2; exit 1; }

source tools/xvfb/xvfb.sh

full_screen=${CPULOAD_FULL_SCREEN:-}
start_xvfb cpuload.sh ${full_screen:+"$full_screen"}
export XDG_DATA_HOME="$scratch/data"

# A 12 x 12 room walled all round; $1 is what follows the grid (actors, stocks).
write_level() {
  local dir=$1 actors=$2
  mkdir -p "$dir/assets/levels"
  ln -sfn "$root/assets/tiles" "$dir/assets/tiles"
  ln -sfn "$root/assets/screens" "$dir/assets/screens"
  {
    echo "12,12,"
    echo "3,3,3,3,3,3,3,3,3,3,3,3,"
    for _ in $(seq 10); do echo "3,0,0,0,0,0,0,0,0,0,0,3,"; done
    echo "3,3,3,3,3,3,3,3,3,3,3,3,"
    echo "$actors"
  } > "$dir/assets/levels/level00.txt"
}
# Player in the middle facing north; a guard and a commander face the wall beside them.
write_level "$scratch/still" "999, 5,5,0, 999, 1,1,3, 999, 999, 10,10,2, 999, 0,0,0,0"
# Player at (4, 8) facing east; the guard at (5, 1) faces south down the column the
# food lands in, so it walks to the food and home again without ever facing the player.
write_level "$scratch/walk" "999, 4,8,2, 999, 5,1,1, 999, 999, 999, 99,0,0,0"

# Jiffies of user + system time of process $1.
cpu_ticks() {
  # The command name may hold spaces; the fields after its closing parenthesis do not.
  local stat
  stat=$(< "/proc/$1/stat")
  stat=${stat##*) }
  read -r -a f <<< "$stat"
  echo $((f[11] + f[12]))   # utime and stime, fields 14 and 15 of the whole line
}

# The size of window $1 as WIDTHxHEIGHT.
window_size() {
  xdotool getwindowgeometry --shell "$1" | sed -n 's/^\(WIDTH\|HEIGHT\)=//p' | paste -sd x
}

measure() {
  local situation=$1 dir window t0 c0 t1 c1 next=0 start
  dir=$root
  [[ $situation != title ]] && dir=$scratch/$situation
  (cd "$dir" && exec "$binary" > /dev/null) &
  game_pid=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Veilwalker' | head -1)
  [[ -n "$window" ]] || { echo "cpuload.sh: the game window did not appear" >&2; exit 1; }
  xdotool windowfocus --sync "$window"
  if [[ -n $full_screen ]]; then
    xdotool key F11
    for _ in $(seq 50); do
      [[ $(window_size "$window") == "$full_screen" ]] && break
      sleep 0.1
    done
    [[ $(window_size "$window") == "$full_screen" ]] ||
      { echo "cpuload.sh: F11 did not fill the $full_screen screen" >&2; exit 1; }
  fi
  [[ $situation != title ]] && xdotool key x   # leaves the title; not a command
  sleep 2
  t0=$(date +%s%N)
  c0=$(cpu_ticks "$game_pid")
  start=$SECONDS
  while ((SECONDS - start < seconds)); do
    if [[ $situation == walk ]] && ((SECONDS - start >= next)); then
      xdotool key h
      next=$((next + 4))
    fi
    sleep 0.2
  done
  c1=$(cpu_ticks "$game_pid")
  t1=$(date +%s%N)
  kill "$game_pid"
  wait "$game_pid" 2> /dev/null || true
  game_pid=""
  awk -v c=$((c1 - c0)) -v hz="$(getconf CLK_TCK)" -v ns=$((t1 - t0)) \
    'BEGIN { printf "%.1f\n", 100 * c / hz / (ns / 1e9) }'
}

for situation in title still walk; do
  figures=()
  for _ in $(seq "$runs"); do figures+=("$(measure "$situation")"); done
  median=$(printf '%s\n' "${figures[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  echo "$situation: median $median % of a core over $runs runs of ${seconds} s (${figures[*]})"
done
