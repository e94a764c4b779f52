#!/usr/bin/env bash
# Runs a 64-bit ARM program under qemu-aarch64: qemu-aarch64.sh PROGRAM [ARGS...]
# The program's C++ runtime sits under the cross compiler's root, the multiarch libraries
# (libpng, zlib) under /usr/lib/aarch64-linux-gnu.
# The program sees this script as its own name (argv[0]), and VW_EMULATED_PROGRAM names it: a
# program that starts itself again through argv[0] (GoogleTest's death tests do) comes back here
# with no program argument, and runs under the emulator too, rather than failing to exec ARM code.
set -euo pipefail
if [[ $# -gt 0 && -f "$1" && "$(head -c 4 "$1" | od -An -c | tr -d ' ')" == '177ELF' ]]; then
  program=$1
  shift
else
  program=${VW_EMULATED_PROGRAM:?"qemu-aarch64.sh: no ARM program given"}
fi
export VW_EMULATED_PROGRAM=$program
exec qemu-aarch64 -L /usr/aarch64-linux-gnu -E LD_LIBRARY_PATH=/usr/lib/aarch64-linux-gnu \
  -E VW_EMULATED_PROGRAM="$program" -0 "$(realpath "$0")" "$program" "$@"
