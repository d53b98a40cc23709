#!/bin/bash
# The render engine in output mode on a 1920x1080 15 fps xrvc recording with
# sound: wall time per media time (aim at most 0.25). Run by hand:
#
#   tools/build.sh --target render_output
#   bench/render_output.sh [seconds]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD="$(cd "$BUILD_DIR" && pwd)"
[ -x "$BUILD/bench/render_output.exe" ] || { echo "build render_output first" >&2; exit 1; }
. "$ROOT/tools/arch.sh"
. "$ROOT/tools/test-env.sh"
trap vexcap_env_stop EXIT
vexcap_env_start "$BUILD"
out="$(mktemp -d)"
winpath() { local p="$1"; echo "Z:${p//\//\\}"; }
vexcap_wine "$BUILD/bench/render_output.exe" "$(winpath "$out")" "${1:-60}"
rm -rf "$out"
