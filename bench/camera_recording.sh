#!/bin/bash
# The recorder engine at 1920x1080, 30 fps, xrvc, sound on, recorded twice
# for the given seconds: without the camera, then with the test camera at
# 640x480, 30 fps, beside it. Prints the mean frame-loop time of each run and
# their ratio (aim at most 1.15), and the camera's frames written against
# produced (aim at least 0.98). Run by hand:
#
#   tools/build.sh --target camera_recording xrvc
#   bench/camera_recording.sh [seconds] [pairs]     (default 60 s, one pair)
#
# More pairs (each run in turn) give a steadier ratio on a busy machine.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD="$(cd "$BUILD_DIR" && pwd)"
[ -x "$BUILD/bench/camera_recording.exe" ] || { echo "build camera_recording first" >&2; exit 1; }
[ -f "$BUILD/platform/xrvc/xrvc.dll" ] || { echo "build xrvc first" >&2; exit 1; }
[ -f "$BUILD/tests/camera/testcamera.dll" ] || { echo "build testcamera first" >&2; exit 1; }
. "$ROOT/tools/arch.sh"
. "$ROOT/tools/test-env.sh"
trap vexcap_env_stop EXIT
vexcap_env_start "$BUILD"
out="$(mktemp -d)"
trap 'rm -rf "$out"; vexcap_env_stop' EXIT
winpath() { local p="$1"; echo "Z:${p//\//\\}"; }
# Test camera A in the video input category, as a camera driver's setup puts it.
vexcap_wine "$BUILD/bench/camera_recording.exe" --register
vexcap_wine "$BUILD/bench/camera_recording.exe" "$(winpath "$out")" \
    "$(winpath "$ROOT/resources/Windows Media Profiles")" "${1:-60}" "${2:-1}"
