#!/usr/bin/env bash
# playlevel_test.sh — tools/playlevel/playlevel.sh starts the game in a folder whose only
# level is the one named, with the repository's images, passes the game's exit status on
# and leaves no scratch folder behind. A stand-in for the game records what it found.
set -euo pipefail
root=$1
tool=$root/tools/playlevel/playlevel.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cat > "$work/game" <<'GAME'
#!/usr/bin/env bash
pwd > "$RECORD.dir"
ls assets/levels > "$RECORD.levels"
cat assets/levels/level00.txt > "$RECORD.level"
[[ -f assets/tiles/wall.bmp && -f assets/screens/title.bmp ]] && echo yes > "$RECORD.images"
[[ -f assets/sounds/stage.mp3 && -f assets/sounds/walking.mp3 ]] && echo yes > "$RECORD.sounds"
echo "assets/levels/level00.txt:5:3: on standard output"
echo "missing level file: assets/levels/level00.txt" >&2
exit 7
GAME
chmod +x "$work/game"
export VEILWALKER=$work/game RECORD=$work/record

level=$root/assets/levels/level05.txt
status=0
(cd "$work" && "$tool" "$level" > "$work/out" 2> "$work/err") || status=$?
[[ $status -eq 7 ]] || fail "the game's exit status 7 came back as $status"
[[ "$(cat "$work/record.levels")" == level00.txt ]] || fail "levels seen: $(cat "$work/record.levels")"
cmp -s "$level" "$work/record.level" || fail "level00.txt is not the level named"
[[ -f "$work/record.images" ]] || fail "tiles or screens missing"
[[ -f "$work/record.sounds" ]] || fail "sounds missing"
# The game's words about its level name the user's file, on both streams.
[[ "$(cat "$work/out")" == "$level:5:3: on standard output" ]] || fail "standard output: $(cat "$work/out")"
[[ "$(cat "$work/err")" == "missing level file: $level" ]] || fail "standard error: $(cat "$work/err")"
[[ ! -e "$(cat "$work/record.dir")" ]] || fail "scratch folder left behind"

status=0
"$tool" "$work/no-such-level.txt" 2> "$work/err" || status=$?
[[ $status -eq 1 ]] || fail "a missing level gave status $status"
grep -q "no such level file" "$work/err" || fail "a missing level is not named: $(cat "$work/err")"
status=0
"$tool" 2> /dev/null || status=$?
[[ $status -eq 2 ]] || fail "no argument gave status $status"
echo "playlevel: all checks passed"
