#!/bin/bash
# The rebuild of a killed screen recording against real time (aim: 20x).
# Run by hand:
#
#   tools/build.sh --target recover_rebuild
#   bench/recover_rebuild.sh [minutes] [width] [height] [fps]
#
# The default is 10 minutes of 1920x1080 at 15 fps in xrvc frames.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD="$(cd "$BUILD_DIR" && pwd)"
[ -x "$BUILD/bench/recover_rebuild.exe" ] || { echo "build recover_rebuild first" >&2; exit 1; }
. "$ROOT/tools/arch.sh"
. "$ROOT/tools/test-env.sh"
trap 'rm -rf "$out"; vexcap_env_stop' EXIT
vexcap_env_start "$BUILD"
out="$(mktemp -d)"
winpath() { local p="$1"; echo "Z:${p//\//\\}"; }
vexcap_wine "$BUILD/bench/recover_rebuild.exe" "$(winpath "$out")" "${1:-10}" "${2:-1920}" "${3:-1080}" "${4:-15}" \
    2>/dev/null
