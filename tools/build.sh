#!/bin/bash
# Configures and builds the project into $BUILD_DIR (default: build/) for the
# architecture the tests run on (see tools/arch.sh); with VEXCAP_ARCH=i686 or
# x86_64 for that one. Extra arguments go to `cmake --build` (e.g. --target x).
set -e
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$ROOT/tools/arch.sh"
ARCH="${VEXCAP_ARCH:-$VEXCAP_TEST_ARCH}"
BUILD="${BUILD_DIR:-$ROOT/build}"
if [ "$ARCH" != "$VEXCAP_TEST_ARCH" ]; then BUILD="$BUILD-$ARCH"; fi
# VEXCAP_SKIP_DIRS: folders to leave out (see CMakeLists.txt); set on every
# configure so that clearing it brings them back.
if [ ! -f "$BUILD/build.ninja" ] || [ -n "${VEXCAP_SKIP_DIRS+x}" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw32.cmake" \
        -DVEXCAP_ARCH="$ARCH" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVEXCAP_SKIP_DIRS="${VEXCAP_SKIP_DIRS:-}" >/dev/null
fi
cmake --build "$BUILD" -j "$(nproc)" "$@"
