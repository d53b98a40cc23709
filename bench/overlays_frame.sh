#!/bin/bash
# The cost per 1920x1080 frame of each software transition and of drawing a
# text, an image with a drop shadow, a callout and a spotlight, against the
# frame period at 30 frames per second. Run by hand:
#
#   tools/build.sh --target overlays_frame
#   bench/overlays_frame.sh [frames]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD="$(cd "$BUILD_DIR" && pwd)"
[ -x "$BUILD/bench/overlays_frame.exe" ] || { echo "build overlays_frame first" >&2; exit 1; }
. "$ROOT/tools/arch.sh"
. "$ROOT/tools/test-env.sh"
trap vexcap_env_stop EXIT
vexcap_env_start "$BUILD"
out="$(mktemp -d)"
# A 320x240 picture with some structure (a gradient), as a BMP.
python3 - "$out/picture.bmp" <<'PY'
import struct, sys
w, h = 320, 240
row = (w * 3 + 3) // 4 * 4
pixels = bytearray()
for y in range(h):
    line = bytearray()
    for x in range(w):
        line += bytes(((x * 255) // w, (y * 255) // h, 128))
    pixels += line + bytes(row - len(line))
header = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 0, 0, 0, 0)
open(sys.argv[1], 'wb').write(b'BM' + struct.pack('<IHHI', 14 + 40 + len(pixels), 0, 0, 54) + header + pixels)
PY
winpath() { local p="$1"; echo "Z:${p//\//\\}"; }
vexcap_wine "$BUILD/bench/overlays_frame.exe" "$(winpath "$out/picture.bmp")" "${1:-30}" 2>/dev/null
rm -rf "$out"
