#!/bin/bash
# The capture loop's cost per frame at 1920x1080, 32 bits, on the Xvfb
# screen, against the frame period at 30 frames per second. Run by hand:
#
#   tools/build.sh --target capture_frame_loop xrvc
#   bench/capture_frame_loop.sh [frames] [dc|getdc] [static|moving|other] [single]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD="$(cd "$BUILD_DIR" && pwd)"
[ -x "$BUILD/bench/capture_frame_loop.exe" ] || { echo "build capture_frame_loop first" >&2; exit 1; }
[ -f "$BUILD/platform/xrvc/xrvc.dll" ] || { echo "build xrvc first" >&2; exit 1; }
. "$ROOT/tools/arch.sh"
. "$ROOT/tools/test-env.sh"
trap vexcap_env_stop EXIT
vexcap_env_start "$BUILD"
out="$(mktemp -d)"
winpath() { local p="$1"; echo "Z:${p//\//\\}"; }
vexcap_wine "$BUILD/bench/capture_frame_loop.exe" "$(winpath "$BUILD/platform/xrvc/xrvc.dll")" \
    "$(winpath "$out/loop.avi")" "${1:-150}" ${2:-dc} ${3:-moving} ${4:-} 2>/dev/null
echo "AVI: $(stat -c %s "$out/loop.avi") bytes"
rm -rf "$out"
