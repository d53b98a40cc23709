#!/bin/bash
# The join of a split recording against real time. Run by hand:
#
#   tools/build.sh --target join_segments
#   bench/join_segments.sh [seconds per segment] [segments] [width] [height] [fps]
#
# The segments are uncompressed: 10 minutes of 1920x1080 need about 75 GB
# that way; shorter runs give the rate.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD="$(cd "$BUILD_DIR" && pwd)"
[ -x "$BUILD/bench/join_segments.exe" ] || { echo "build join_segments first" >&2; exit 1; }
. "$ROOT/tools/arch.sh"
. "$ROOT/tools/test-env.sh"
trap 'rm -rf "$out"; vexcap_env_stop' EXIT
vexcap_env_start "$BUILD"
out="$(mktemp -d)"
winpath() { local p="$1"; echo "Z:${p//\//\\}"; }
vexcap_wine "$BUILD/bench/join_segments.exe" "$(winpath "$out")" "${1:-10}" "${2:-2}" "${3:-1920}" "${4:-1080}" \
    "${5:-15}" 2>/dev/null
