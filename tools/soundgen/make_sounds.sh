#!/usr/bin/env bash
# Renders every score with soundgen and encodes it with lame into the game's MP3 files.
#   make_sounds.sh SOUNDGEN OUTDIR     e.g. make_sounds.sh build/test/tools/soundgen/soundgen assets/sounds
# Everything stays at 44.1 kHz (lame would resample the music to 32 kHz at this rate),
# so it plays sample for sample: the music (every loop) joint stereo at 96 kbit/s, the
# effects mono at 64 kbit/s. A loop is encoded with its own ends around it and its LAME
# tag then made to trim them, so its seam is coded like any other moment of it.
# Replay-gain analysis is off: it adds nothing the game uses, and every computation left
# out is one less that could make the output differ between machines.
set -euo pipefail
soundgen=$1
out=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$soundgen" --out "$scratch"
mkdir -p "$out"
for wav in "$scratch"/*.wav; do
  name=$(basename "$wav" .wav)
  if [[ "$name" == *.loop ]]; then
    name=${name%.loop}
    lame --quiet --noreplaygain --resample 44.1 -m j -b 96 "$wav" "$out/$name.mp3"
    "$soundgen" --trim-loop "$out/$name.mp3"
  else
    lame --quiet --noreplaygain --resample 44.1 -m m -b 64 "$wav" "$out/$name.mp3"
  fi
done
