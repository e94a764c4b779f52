#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the normal build,
# then each fuzz target briefly under libFuzzer, then the whole suite again under
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
#   VW_FUZZ_SECONDS=n   seconds per fuzz target (default 30; 0 skips the fuzz runs)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
jobs=$(nproc)

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build/test -j"$jobs"
ctest --test-dir build/test --output-on-failure -j"$jobs"

# The GL-free core, the plug-in, its decoder and mp3decode built for 64-bit ARM, their tests run
# under qemu (about 2 minutes of tests, plus the build).
tools/cross/arm64.sh

# The Debian package, from a Release build of its own: lintian, the menu entry, and the
# unpacked game and mp3decode run from another folder.
tools/package/check.sh build/package

# ThreadSanitizer over the sound tests only: the audio callback and the stream keeper are
# the only threads besides the game's own.
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS=-fsanitize=thread \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread > /dev/null
cmake --build build/tsan -j"$jobs" --target mixer_test soundBank_test soundDevice_test
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan --output-on-failure -j"$jobs" -L '^sound$'

seconds=${VW_FUZZ_SECONDS:-30}
if (( seconds > 0 )); then
  tools/fuzz/campaign.sh -t "$seconds" -j "$jobs" -b build/fuzz
fi

# Any report fails the test that caused it.
cmake -S . -B build/asan -DVW_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build/asan -j"$jobs"
asan=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The end-to-end tests draw through Mesa, whose driver GLX unloads at exit; preloaded,
# it keeps its name, and the suppressions can name it and nothing else.
# The host's own: the arm64 libraries the cross build installs bring an arm64 Mesa too.
swrast=/usr/lib/$(gcc -dumpmachine)/dri/swrast_dri.so
if [[ -e "$swrast" ]]; then
  LD_PRELOAD="$swrast" ASAN_OPTIONS=$asan:verify_asan_link_order=0 \
    ctest --test-dir build/asan --output-on-failure -j"$jobs" -R '^e2e_'
  ASAN_OPTIONS=$asan ctest --test-dir build/asan --output-on-failure -j"$jobs" -E '^e2e_'
else
  ASAN_OPTIONS=$asan ctest --test-dir build/asan --output-on-failure -j"$jobs"
fi
