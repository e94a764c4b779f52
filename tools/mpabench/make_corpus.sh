#!/usr/bin/env bash
# Makes the benchmark's MP3 files from synthesised music-like signals (sox, lame).
#   tools/mpabench/make_corpus.sh [DIR]    (default: build/mpabench-corpus)
set -euo pipefail
dir="${1:-build/mpabench-corpus}"
mkdir -p "$dir"
cd "$dir"
seconds=300

# Two tone voices wandering over the band with a beat, over modulated noise: busy enough that
# the encoder spends its bits, as on music.
if [[ ! -f source_44100.wav ]]; then
  sox -D -n -r 44100 -c 2 -b 16 tones.wav synth $seconds sine 110-3520 sine 165-5280 tremolo 2 70 gain -9
  sox -D -n -r 44100 -c 2 -b 16 noise.wav synth $seconds pinknoise brownnoise tremolo 5 90 gain -14
  sox -D -n -r 44100 -c 2 -b 16 beat.wav synth $seconds square 2 gain -30 highpass 3000
  sox -D -m tones.wav noise.wav beat.wav source_44100.wav
  rm -f tones.wav noise.wav beat.wav
fi
[[ -f joint_128k_44100.mp3 ]] || lame --quiet -t -b 128 -m j source_44100.wav joint_128k_44100.mp3
[[ -f stereo_320k_44100.mp3 ]] || lame --quiet -t -b 320 -m s source_44100.wav stereo_320k_44100.mp3
[[ -f joint_64k_22050.mp3 ]] || lame --quiet -t -b 64 -m j --resample 22.05 source_44100.wav joint_64k_22050.mp3
ls -l "$PWD"/*.mp3
