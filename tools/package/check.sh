#!/usr/bin/env bash
# check.sh — builds the Debian package and checks it as a player and a packager would:
# lintian finds no error, the menu entry validates, and, unpacked into a scratch root, the
# veilwalker command started from elsewhere shows the title and quits on q with status 0,
# and mp3decode decodes a conformance stream through the unpacked plug-in module. A plain
# `cmake --install --prefix` copy is checked to find its data and pass on the exit status.
#   tools/package/check.sh [BUILD_DIR]      default build/package
# Reference streams: $VW_MPEG_AUDIO_DIR, else ../shared/mpeg-audio beside the checkout.
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
build=${1:-build/package}
failures=0
fail() {
  echo "check.sh: FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "check.sh: ok: $*"; }

for tool in lintian desktop-file-validate appstreamcli dpkg-deb Xvfb xdotool import compare python3; do
  command -v "$tool" > /dev/null ||
    { echo "check.sh: $tool is missing (scripts/setup.sh test installs it)" >&2; exit 1; }
done

deb=$(tools/package/build.sh "$build" | tail -1)
[[ -f "$deb" ]] || { echo "check.sh: no package built" >&2; exit 1; }

source tools/xvfb/xvfb.sh

# --- the package as a whole ---------------------------------------------------------------
if lintian --fail-on error "$deb" > "$scratch/lintian" 2>&1; then
  pass "lintian: no error ($(grep -c '^W:' "$scratch/lintian" || true) warnings)"
else
  fail "lintian reports errors"
fi
grep -E '^[EW]:' "$scratch/lintian" || true

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libpng16-16 libglut3.12 libstdc++6; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
[[ $(dpkg-deb -f "$deb" Package) == veilwalker && $(dpkg-deb -f "$deb" Section) == games ]] ||
  fail "package name or section"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)
zcat "$root/usr/share/doc/veilwalker/changelog.gz" | head -1 | grep -q "^veilwalker ($version) " ||
  fail "the changelog's newest entry is not version $version"
expected=(usr/games/veilwalker usr/lib/veilwalker/veilwalker usr/lib/veilwalker/plugins/ikpMP3.so
          usr/bin/mp3decode usr/share/games/veilwalker/assets/levels/level00.txt
          usr/share/games/veilwalker/assets/screens/title.bmp
          usr/share/applications/veilwalker.desktop usr/share/doc/veilwalker/copyright
          usr/share/man/man6/veilwalker.6.gz usr/share/man/man1/mp3decode.1.gz)
for f in "${expected[@]}"; do
  [[ -f "$root/$f" ]] || fail "the package lacks /$f"
done
# Every asset folder of the game goes in, and nothing that is only for tests.
for dir in "$repo"/assets/*/; do
  name=$(basename "$dir")
  [[ "$name" == icons ]] && continue
  [[ -d "$root/usr/share/games/veilwalker/assets/$name" ]] || fail "assets/$name is not in the package"
done
[[ -z $(find "$root" -name '*.walk') ]] || fail "walkthroughs are in the package"
for size in 48 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/veilwalker.png
  [[ $(identify -format '%m %wx%h' "$icon" 2> /dev/null) == "PNG ${size}x${size}" ]] ||
    fail "icon $icon is not a ${size}x${size} PNG"
done
if desktop-file-validate "$root/usr/share/applications/veilwalker.desktop"; then
  pass "desktop-file-validate"
else
  fail "desktop-file-validate"
fi
grep -qx 'Categories=Game;LogicGame;' "$root/usr/share/applications/veilwalker.desktop" ||
  fail "the menu entry is not in Game and LogicGame"
# The software centres' entry: valid without the network (no warning allowed), launching the
# menu entry above, its newest release the package's version.
metainfo=$root/usr/share/metainfo/example.veilwalker.Veilwalker.metainfo.xml
if appstreamcli validate --no-net "$metainfo"; then
  pass "appstreamcli validate"
else
  fail "appstreamcli validate"
fi
grep -q '<launchable type="desktop-id">veilwalker.desktop</launchable>' "$metainfo" ||
  fail "the AppStream entry does not launch veilwalker.desktop"
version=$(dpkg-deb -f "$deb" Version)
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
[[ "$newest" == "$version" ]] ||
  fail "the AppStream entry's newest release is $newest, the package is $version"

# The manual page: every key of the README's key table, full screen, the progress file and
# each exit status the game has.
manpage=$scratch/veilwalker.6.txt
MANWIDTH=200 man -l "$root/usr/share/man/man6/veilwalker.6.gz" 2> /dev/null | col -b > "$manpage"
if python3 - "$repo/README.md" "$manpage" <<'PY'
import re, sys
readme, page = (open(p, encoding="utf-8").read() for p in sys.argv[1:3])
table = readme.split("| key | action |", 1)[1].split("\n\n", 1)[0]
keys = {k for row in table.splitlines()[2:] for k in re.findall(r"`([^`]+)`", row.split("|")[1])}
keys |= {"F11", "Alt+Return", "130", "143", "134"}
words = set(re.findall(r"[^\s,()]+", page))
missing = sorted(k for k in keys if k not in words)
missing += [] if "$XDG_DATA_HOME/veilwalker/progress" in page else ["the progress file"]
if missing:
    sys.exit("the manual page does not name: " + " ".join(missing))
print(f"check.sh: the manual page names all {len(keys)} keys and words")
PY
then
  pass "the manual page lists every key"
else
  fail "the manual page lacks keys of the README"
fi

# --- the unpacked game, started from another folder through a link ------------------------
start_xvfb check.sh

mkdir -p "$scratch/elsewhere/bin"
ln -s "$root/usr/games/veilwalker" "$scratch/elsewhere/bin/veilwalker"
(cd "$scratch/elsewhere" && exec bin/veilwalker > "$scratch/game.out" 2>&1) &
game_pid=$!
window=""
for _ in $(seq 150); do   # 30 s at most, less if the game stops first
  window=$(xdotool search --onlyvisible --name '^Veilwalker$' 2> /dev/null | head -1 || true)
  [[ -n "$window" ]] || ! kill -0 "$game_pid" 2> /dev/null && break
  sleep 0.2
done
if [[ -z "$window" ]]; then
  fail "the game window did not appear: $(cat "$scratch/game.out")"
else
  # The title is drawn from the unpacked screen image; the window must show that picture.
  title=$root/usr/share/games/veilwalker/assets/screens/title.bmp
  differing=""
  for _ in $(seq 20); do
    sleep 0.5
    import -window "$window" "$scratch/shot.png"
    differing=$(compare -metric AE "$scratch/shot.png" "$title" null: 2>&1 || true)
    [[ "$differing" == 0 ]] && break
  done
  if [[ "$differing" == 0 ]]; then
    pass "the unpacked game shows the title, pixel for pixel"
  else
    fail "the window does not show the title ($differing pixels differ)"
  fi
  xdotool mousemove --window "$window" 400 300
  xdotool windowfocus --sync "$window"
  xdotool key q
  status=0
  timeout 30 tail --pid="$game_pid" -f /dev/null || true
  wait "$game_pid" || status=$?
  game_pid=""
  if [[ $status == 0 ]]; then pass "q ends the game with status 0"; else fail "q: exit status $status"; fi
fi

# --- the unpacked mp3decode finds the unpacked plug-in and decodes to the reference -------
audio=${VW_MPEG_AUDIO_DIR:-$repo/../shared/mpeg-audio}
stream=$audio/vectors/l3-compl.bit
if [[ ! -f "$stream" ]]; then
  echo "check.sh: skipped the decoding check: no $stream (put mpeg-audio/ at ../shared beside the checkout)"
else
  (cd "$scratch/elsewhere" &&
    LD_DEBUG=files "$root/usr/bin/mp3decode" --force --raw "$stream" "$scratch/out.raw" 2> "$scratch/decode.err") ||
    fail "mp3decode: $(grep -v '^ *[0-9]*:' "$scratch/decode.err")"
  grep -q "file=$root/usr/lib/veilwalker/plugins/ikpMP3.so" "$scratch/decode.err" ||
    fail "mp3decode did not load the unpacked plug-in module"
  # Full accuracy as the standard counts it: RMS error below 1/sqrt(12) LSB, no sample off by more than 2.
  if python3 - "$scratch/out.raw" "${stream%.bit}.pcm" <<'PY'
import array, math, sys
got, want = (array.array("h", open(p, "rb").read()) for p in sys.argv[1:3])
if sys.byteorder != "little":
    got.byteswap(); want.byteswap()
if len(got) != len(want) or not got:
    sys.exit(f"{len(got)} samples decoded, the reference has {len(want)}")
diff = [a - b for a, b in zip(got, want)]
rms, worst = math.sqrt(sum(d * d for d in diff) / len(diff)), max(map(abs, diff))
print(f"check.sh: l3-compl: {len(got)} samples, RMS error {rms:.3f} LSB, largest {worst} LSB")
sys.exit(0 if rms < 1 / math.sqrt(12) and worst <= 2 else 1)
PY
  then pass "the unpacked mp3decode decodes l3-compl.bit within full accuracy"
  else fail "the unpacked mp3decode's output is off the reference"
  fi
fi

# --- cmake --install under another prefix: the launcher finds its data and passes the status on
prefix=$scratch/prefix/usr/local
cmake --install "$build" --prefix "$prefix" > /dev/null
# A stand-in game reports where it runs, what it was given, and ends with a status of its own.
printf '#!/bin/sh\npwd\necho "$@"\nexit 7\n' > "$prefix/lib/veilwalker/veilwalker"
status=0
(cd "$scratch" && "$prefix/games/veilwalker" one "two words" > "$scratch/stub.out") || status=$?
if [[ $status == 7 && $(sed -n 1p "$scratch/stub.out") == "$(cd "$prefix/share/games/veilwalker" && pwd -P)" &&
      $(sed -n 2p "$scratch/stub.out") == "one two words" ]]; then
  pass "--prefix install: the launcher runs the game in its data folder, with the arguments, and passes status 7 on"
else
  fail "--prefix install: status $status, output: $(cat "$scratch/stub.out")"
fi
mv "$prefix/share/games/veilwalker" "$prefix/share/games/moved"
status=0
"$prefix/games/veilwalker" > /dev/null 2> "$scratch/stub.err" || status=$?
[[ $status == 1 && $(cat "$scratch/stub.err") == "veilwalker: no game data in "* ]] ||
  fail "without data the launcher gave status $status: $(cat "$scratch/stub.err")"

if ((failures > 0)); then
  echo "check.sh: $failures check(s) failed" >&2
  exit 1
fi
echo "check.sh: the package passes every check"
