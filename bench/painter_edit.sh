#!/bin/bash
# The image editor's whole-picture steps at 1920x1080 x 32 bits: a rubber-band
# move and one undo against 16.7 ms (aim under 0.5). Run by hand:
#
#   tools/build.sh --target painter_edit
#   bench/painter_edit.sh [iterations]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD="$(cd "$BUILD_DIR" && pwd)"
[ -x "$BUILD/bench/painter_edit.exe" ] || { echo "build painter_edit first" >&2; exit 1; }
. "$ROOT/tools/arch.sh"
. "$ROOT/tools/test-env.sh"
trap vexcap_env_stop EXIT
vexcap_env_start "$BUILD"
vexcap_wine "$BUILD/bench/painter_edit.exe" "${1:-20}" 2>/dev/null
