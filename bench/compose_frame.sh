#!/bin/bash
# The frame composition's cost per frame at 1920x1080 with every annotation
# on, against the frame period at 30 frames per second. Run by hand:
#
#   tools/build.sh --target compose_frame
#   bench/compose_frame.sh [frames]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD="$(cd "$BUILD_DIR" && pwd)"
[ -x "$BUILD/bench/compose_frame.exe" ] || { echo "build compose_frame first" >&2; exit 1; }
. "$ROOT/tools/arch.sh"
. "$ROOT/tools/test-env.sh"
trap vexcap_env_stop EXIT
vexcap_env_start "$BUILD"
out="$(mktemp -d)"
# A 200x100 watermark with some structure (a gradient), as a BMP.
python3 - "$out/mark.bmp" <<'PY'
import struct, sys
w, h = 200, 100
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
vexcap_wine "$BUILD/bench/compose_frame.exe" "$(winpath "$out/mark.bmp")" "${1:-150}" 2>/dev/null
rm -rf "$out"
