#!/bin/bash
# The imaging layer's per-frame calls at 1920x1080: resampling for zoom,
# 32 -> 8 bits onto the live palette, DIB copies. Run by hand:
#
#   tools/build.sh --target imaging_resize
#   bench/imaging_resize.sh [iterations]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD="$(cd "$BUILD_DIR" && pwd)"
[ -x "$BUILD/bench/imaging_resize.exe" ] || { echo "build imaging_resize first" >&2; exit 1; }
. "$ROOT/tools/arch.sh"
. "$ROOT/tools/test-env.sh"
trap vexcap_env_stop EXIT
vexcap_env_start "$BUILD"
vexcap_wine "$BUILD/bench/imaging_resize.exe" "${1:-20}" 2>/dev/null
