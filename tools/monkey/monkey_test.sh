#!/usr/bin/env bash
# monkey_test.sh — the monkey on small campaigns of its own: a one-level campaign is finished
# again and again without the ending screen ever ending the process, and a level the game
# refuses to load, or a walkthrough with a bad line, stops it with the file's name and the reason. Neither run leaves
# its scratch folder in the temporary directory ($TMPDIR).
#   monkey_test.sh MONKEY_BINARY
set -euo pipefail
monkey=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/assets/levels" "$work/tmp"
export TMPDIR=$work/tmp
# A corridor: the player one step west of the exit, already facing it.
printf '3,1,\n0,0,4,\n999,\n1,0,2,\n999,\n999,\n999,\n999,\n0,0,0,0\n' > "$work/assets/levels/level00.txt"
echo "250 d" > "$work/assets/levels/level00.walk"

out=$("$monkey" --seeds 1..3 --presses 200 --guided 100 --root "$work")
echo "$out"
[[ "$out" == *"600 presses"* ]] || { echo "FAIL: not every press was made"; exit 1; }
campaigns=$(sed -n 's/.* \([0-9]*\) campaigns completed.*/\1/p' <<< "$out")
(( campaigns >= 100 )) || { echo "FAIL: $campaigns campaigns completed, 100 or more expected"; exit 1; }

# Level 1 gives 100 food, which the loader refuses; the monkey reads every level first.
cp "$work/assets/levels/level00.txt" "$work/assets/levels/level01.txt"
sed -i 's/^0,0,0,0$/100,0,0,0/' "$work/assets/levels/level01.txt"
status=0
out=$("$monkey" --seed 7 --presses 50 --guided 100 --root "$work" 2>&1) || status=$?
echo "$out"
(( status == 2 )) || { echo "FAIL: exit status $status, 2 expected"; exit 1; }
expected='monkey: reading assets/levels/level01.txt: the game stopped with status 1: assets/levels/level01.txt:9:1: expected the food count, 0 to 99; found "100"
power usage out of bounds: 100'
[[ "$out" == "$expected" ]] ||
  { echo "FAIL: the report does not name the level file and the game's message"; exit 1; }
# A walkthrough with a bad line stops it before play, naming the file and the line.
rm "$work/assets/levels/level01.txt"
printf '250 d\n250 dq\n' > "$work/assets/levels/level00.walk"
status=0
out=$("$monkey" --seed 7 --presses 50 --guided 100 --root "$work" 2>&1) || status=$?
echo "$out"
(( status == 1 )) || { echo "FAIL: exit status $status for a bad walkthrough, 1 expected"; exit 1; }
[[ "$out" == "monkey: reading assets/levels/level00.walk: line 2: expected"* ]] ||
  { echo "FAIL: the report does not name the walkthrough and its bad line"; exit 1; }

left=$(ls -A "$TMPDIR")
[[ -z "$left" ]] || { echo "FAIL: left in the temporary directory: $left"; exit 1; }
echo "PASS"
