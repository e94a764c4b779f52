#!/usr/bin/env bash
# Renders every score with soundgen and encodes it with lame into the game's MP3 files.
#   make_sounds.sh SOUNDGEN OUTDIR     e.g. make_sounds.sh build/test/tools/soundgen/soundgen assets/sounds
# Everything stays at 44.1 kHz (lame would resample the music to 32 kHz at this rate),
# so it plays sample for sample: the music joint stereo at 96 kbit/s, the effects mono at
# 64 kbit/s. Replay-gain analysis is off: it adds nothing the game uses, and every
# computation left out is one less that could make the output differ between machines.
set -euo pipefail
soundgen=$1
out=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$soundgen" --out "$scratch"
mkdir -p "$out"
for wav in "$scratch"/*.wav; do
  name=$(basename "$wav" .wav)
  case "$name" in
    stage|ending) options=(-m j -b 96) ;;
    *) options=(-m m -b 64) ;;
  esac
  lame --quiet --noreplaygain --resample 44.1 "${options[@]}" "$wav" "$out/$name.mp3"
done
