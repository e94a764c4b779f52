#!/usr/bin/env bash
# build.sh — builds the Debian package of Veilwalker in a Release tree of its own, with
# Debian's hardening flags, compiling only what the package holds (the game, mp3decode and
# the ikpMP3 plug-in module).
#   tools/package/build.sh [BUILD_DIR]      default build/package
# The last line printed is the path of the .deb.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/package}

for tool in dpkg-buildflags dpkg-shlibdeps file cpack; do
  command -v "$tool" > /dev/null ||
    { echo "build.sh: $tool is missing (scripts/setup.sh test installs it)" >&2; exit 1; }
done

# The flags a Debian package build uses, less -g (the package is stripped); CMake takes them
# in when it first configures the tree.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CFLAGS CXXFLAGS LDFLAGS

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVW_BUILD_TESTS=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON > /dev/null
cmake --build "$build" --target veilwalker mp3decode ikpMP3 -j"$(nproc)"
rm -f "$build"/veilwalker_*.deb
(cd "$build" && cpack -G DEB > cpack.log) || { cat "$build/cpack.log" >&2; exit 1; }
ls "$build"/veilwalker_*.deb
