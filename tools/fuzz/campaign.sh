#!/usr/bin/env bash
# Runs the fuzz targets under libFuzzer (clang, ASan, UBSan, leak checking), each for a
# fixed time, and fails if any of them finds anything. CI runs it briefly; run it by
# hand for longer campaigns:
#   tools/fuzz/campaign.sh [-t seconds per target] [-j targets at once] [-b build dir] [target...]
#   tools/fuzz/campaign.sh -t 600 fuzz_mpaudec
# The corpus grown by a campaign stays in <build dir>/corpus/<target> and seeds the next
# one; findings are written to <build dir>/findings/; logs to <build dir>/logs/.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=60
jobs=2
build=build/fuzz
while getopts "t:j:b:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    j) jobs=$OPTARG ;;
    b) build=$OPTARG ;;
    *) echo "usage: $0 [-t seconds] [-j jobs] [-b build dir] [target...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
all=(fuzz_mpaudec fuzz_mp3stream fuzz_lametag fuzz_bmp fuzz_png fuzz_level)
targets=("${@:-${all[@]}}")

# Largest input per target: a few MPEG frames; images and levels stay small.
max_len() {
  case $1 in
    fuzz_mpaudec|fuzz_mp3stream) echo 8192 ;;
    fuzz_level|fuzz_lametag) echo 2048 ;;
    *) echo 4096 ;;
  esac
}

CC=clang CXX=clang++ cmake -S . -B "$build" -DVW_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" > "$build/build.log" 2>&1 ||
  { tail -40 "$build/build.log"; exit 1; }
mkdir -p "$build/logs" "$build/findings"

run() {
  local target=$1 corpus=$build/corpus/$1 log=$build/logs/$1.log
  mkdir -p "$corpus"
  # New inputs go to the first corpus folder only, so the committed seeds stay as they are.
  if "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
       -timeout=30 -rss_limit_mb=2560 -print_final_stats=1 \
       -artifact_prefix="$build/findings/$target-" \
       "$corpus" "tests/fuzz/corpus/$target" > "$log" 2>&1; then
    status=ok
  else
    status=FAILED
  fi
  local runs last
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9a-zA-Z]+' || true)
  echo "$target: $status, ${runs:-?} runs in ${seconds}s, ${last:-no stats}"
  if [[ $status != ok ]]; then
    grep -E 'ERROR|SUMMARY|fuzz check failed|Test unit written' "$log" | head -20 | sed 's/^/    /'
  fi
  echo "$status" > "$build/logs/$target.status"
}

for target in "${targets[@]}"; do
  rm -f "$build/logs/$target.status"
  while (( $(jobs -rp | wc -l) >= jobs )); do wait -n || true; done
  run "$target" &
done
wait
failed=0
for target in "${targets[@]}"; do
  [[ "$(cat "$build/logs/$target.status" 2>/dev/null)" == ok ]] || failed=1
done
if (( failed )); then
  echo "fuzzing found problems: inputs in $build/findings, logs in $build/logs" >&2
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets, no findings"
