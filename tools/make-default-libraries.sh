#!/bin/bash
# Writes the three default screen-notes libraries with the catalogue's own
# library writer (the make_default_libraries program, run under Wine in the
# test environment) into resources/Libraries, from where the build puts them
# beside the program. Run it after a change to catalogue/DefaultLibraries.cpp
# or to the library format, and commit the files; the catalogue tests check
# that the shipped files still hold what the writer makes. BUILD_DIR picks
# the build folder (default: build/).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

"$ROOT/tools/install-deps.sh"
. "$ROOT/tools/arch.sh"
"$ROOT/tools/build.sh" --target make_default_libraries >/dev/null

. "$ROOT/tools/test-env.sh"
trap vexcap_env_stop EXIT
vexcap_env_start "$BUILD_DIR"

OUT="$ROOT/resources/Libraries"
mkdir -p "$OUT"
vexcap_wine "$BUILD_DIR/catalogue/make_default_libraries.exe" "$(vexcap_wine winepath -w "$OUT" 2>/dev/null)" \
    </dev/null
ls -l "$OUT" >&2
