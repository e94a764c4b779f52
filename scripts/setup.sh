#!/usr/bin/env bash
# Installs the Debian packages Veilwalker needs that are missing. Quick when all are present.
#   scripts/setup.sh play   what building and playing the game needs
#   scripts/setup.sh test   that, plus what the tests, fuzzers and benchmarks use
set -euo pipefail

mode="${1:-test}"
packages=(g++ make cmake pkg-config libpng-dev zlib1g-dev freeglut3-dev libgl-dev libglu1-mesa-dev
          libsdl2-dev libasound2-dev)
if [[ "$mode" == test ]]; then
  packages+=(libgtest-dev googletest python3 xvfb xauth xdotool imagemagick x11-utils
             lame twolame mpg123 libmpg123-dev madplay libmad0-dev sox
             clang libclang-rt-14-dev)
  # Building and checking the Debian package (tools/package/).
  packages+=(dpkg-dev file lintian desktop-file-utils appstream man-db)
  # The 64-bit ARM build run under emulation (tools/cross/arm64.sh): the cross compiler, qemu,
  # the target's libpng from Debian's arm64 packages, and for the whole game its GL, GLUT, SDL2
  # and ALSA.
  packages+=(g++-aarch64-linux-gnu qemu-user libpng-dev:arm64 zlib1g-dev:arm64 freeglut3-dev:arm64
             libgl-dev:arm64 libglu1-mesa-dev:arm64 libsdl2-dev:arm64 libasound2-dev:arm64)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "installing: ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
if printf '%s\n' "${missing[@]}" | grep -q ':arm64$' && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  "${sudo_cmd[@]}" dpkg --add-architecture arm64
fi
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
