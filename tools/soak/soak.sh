#!/usr/bin/env bash
# soak.sh — the game in real time under a virtual X server, typed at by random keys for a
# while: it must not stop on its own, its resident memory at the end must not have grown by
# more than 5 % since 10 s, and then q must end it with status 0. Prints both figures.
#   soak.sh GAME_BINARY [REPOSITORY_ROOT] [SECONDS]     (SECONDS defaults to 60, at least 20)
# Exit status 77 means skipped: no Xvfb or xdotool here.
set -euo pipefail
game=$(realpath "$1")
root=$(realpath "${2:-$(dirname "$0")/../..}")
seconds=${3:-60}
(( seconds >= 20 )) || { echo "soak: run for 20 s at least" >&2; exit 64; }
for tool in Xvfb xdotool; do
  command -v "$tool" > /dev/null || { echo "soak: skipped, $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
xvfb_pid=
game_pid=
cleanup() {
  [[ -n "$game_pid" ]] && kill "$game_pid" 2> /dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "soak: $*" >&2
  echo "soak: the game's standard error:" >&2
  tail -n 20 "$work/stderr" >&2 || true
  exit 1
}

# Saved progress goes to a folder of its own; sound, where there is any, to no device.
export XDG_DATA_HOME=$work/data
export SDL_AUDIODRIVER=dummy
# Large blocks go straight back to the system when freed. Without this glibc raises its
# threshold after the first large free, and the rasterizer's frame buffers then stay in the
# heap or leave it depending on the moment: resident memory would swing by their size.
# The heap is never trimmed either. The level select and the level screen each hold some 5 MB
# of small blocks while shown; whether their pages went back depended on what lay at the
# heap's top when they were freed, so two readings on the same screens differed by 8 MB. Kept,
# the heap is its own high-water mark: it stops rising once every screen has been seen, and
# only a leak raises it after that.
export MALLOC_MMAP_THRESHOLD_=131072 MALLOC_TRIM_THRESHOLD_=1000000000000

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3> "$work/display" \
  > /dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  sleep 0.1
done
[[ -s "$work/display" ]] || fail "Xvfb did not report a display"
export DISPLAY=:$(head -n 1 "$work/display")

# The game reads its assets relative to the working directory.
(cd "$root" && exec "$game" > "$work/stdout" 2> "$work/stderr") &
game_pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Veilwalker$' | head -n 1) ||
  fail "no window titled Veilwalker appeared"
xdotool mousemove --window "$window" 400 300 windowfocus --sync "$window"

# Every command key but q, and characters the game maps to nothing.
keys=(w a s d w a s d h j k l r v m c x z W 1 space period Tab Return Escape)
# Resident memory in KB, read with the game at rest: no key for a second, so no frame is being
# drawn, then the least of five readings 0.1 s apart. Mesa's software rasterizer takes and
# frees some 10 MB while it draws a frame, so a reading taken mid-frame says nothing of leaks.
rss() {
  sleep 1
  for _ in 1 2 3 4 5; do
    awk '/^VmRSS:/ { print $2 }' "/proc/$game_pid/status"
    sleep 0.1
  done | sort -n | head -n 1
}
alive() { kill -0 "$game_pid" 2> /dev/null; }
# Every screen once before the minute starts, so that the first reading already holds what
# drawing each of them keeps (about 4 MB): title, a level, its overlay, the level select.
xdotool key --delay 300 w v v Escape Escape Escape Return
started=$(date +%s.%N)
elapsed() { awk -v s="$started" -v n="$(date +%s.%N)" 'BEGIN { printf "%d", n - s }'; }
sent=0
rss_early=
while (( $(elapsed) < seconds )); do
  alive || { wait "$game_pid" && status=0 || status=$?; game_pid=; fail "the game stopped on its own after $(elapsed) s with status $status"; }
  if [[ -z "$rss_early" ]] && (( $(elapsed) >= 10 )); then
    rss_early=$(rss)
  fi
  batch=()
  for _ in $(seq $((RANDOM % 12 + 1))); do
    batch+=("${keys[RANDOM % ${#keys[@]}]}")
  done
  xdotool key --delay $((RANDOM % 60)) "${batch[@]}"
  sent=$((sent + ${#batch[@]}))
  sleep "0.$(printf '%03d' $((RANDOM % 200)))"
done
alive || fail "the game stopped on its own"
rss_late=$(rss)

xdotool key q
for _ in $(seq 100); do
  alive || break
  sleep 0.1
done
alive && fail "q did not end the game"
wait "$game_pid" && status=0 || status=$?
game_pid=
(( status == 0 )) || fail "q ended the game with status $status"

change=$(awk -v a="$rss_early" -v b="$rss_late" 'BEGIN { printf "%+.1f", (b - a) * 100 / a }')
echo "soak: $seconds s of random keys ($sent sent): resident memory $rss_early KB after 10 s," \
     "$rss_late KB after $seconds s ($change %); q ended the game with status 0"
# Only growth is a fault: a sound still playing at the first reading can leave the second lower.
awk -v a="$rss_early" -v b="$rss_late" 'BEGIN { exit !((b - a) * 100 <= 5 * a) }' ||
  fail "resident memory grew by more than 5 % between 10 s and $seconds s"
