# xvfb.sh — sourced by the scripts that run the game in a virtual X server. It makes a
# scratch folder ($scratch) and stops, when the script exits, the game ($game_pid, set by
# the script once it starts one) and the server, and removes the scratch folder.
#   start_xvfb NAME [WxH]   starts Xvfb on a free display (a WxH screen, default 1024x768) and
#                           exports DISPLAY; NAME prefixes errors
scratch=$(mktemp -d)
xvfb_pid=""
game_pid=""
stop_xvfb_and_game() {
  [[ -n "$game_pid" ]] && kill "$game_pid" 2> /dev/null && wait "$game_pid" 2> /dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
  rm -rf "$scratch"
}
trap stop_xvfb_and_game EXIT

start_xvfb() {
  # Xvfb picks a free display and writes its number to the file we give it.
  Xvfb -displayfd 3 -screen 0 "${2:-1024x768}x24" -nolisten tcp 3> "$scratch/display" > /dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [[ -s "$scratch/display" ]] && break; sleep 0.1; done
  [[ -s "$scratch/display" ]] || { echo "$1: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -1 "$scratch/display")"
}
