#!/bin/bash
# Playback in the preview player: a 10 s 1920x1080 xrvc recording at 15
# frames a second; frames reaching the preview chain per second / 15 (goal
# >= 0.95), and the process's CPU while paused (goal under 1 % of a core).
# Run by hand:
#
#   tools/build.sh --target preview_playback xrvc
#   bench/preview_playback.sh
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD="$(cd "$BUILD_DIR" && pwd)"
[ -x "$BUILD/bench/preview_playback.exe" ] || { echo "build preview_playback first" >&2; exit 1; }
. "$ROOT/tools/arch.sh"
. "$ROOT/tools/test-env.sh"
trap vexcap_env_stop EXIT
vexcap_env_start "$BUILD"
mkdir -p "$WINEPREFIX/drive_c/preview-bench"
vexcap_wine "$BUILD/bench/preview_playback.exe" 'C:\preview-bench' </dev/null
