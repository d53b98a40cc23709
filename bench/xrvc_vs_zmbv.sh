#!/bin/bash
# xrvc against ffmpeg's zmbv on one desktop session: bytes and milliseconds per
# frame, as ratios from one run, and the xrvc round trip checked lossless.
# Run by hand, never by the tests:
#
#   tools/build.sh --target bench_xrvc     # the build the tests run (x86_64 here)
#   bench/xrvc_vs_zmbv.sh [--regenerate]
#
# 1. The fixture: 300 frames at 1920x1080 of a real X desktop session (typing
#    in a terminal, output scrolling, paging through a file, a window dragged,
#    a window-manager menu, idle), recorded with ffmpeg's x11grab from an Xvfb
#    screen of this script's own and kept as raw bgr0 frames outside the
#    repository ($BUILD_DIR/bench-fixture; made once, --regenerate remakes it).
#    The X programs it needs (xterm, xdotool, twm, x11-apps) are bench-only;
#    the script installs them with apt-get when they are missing.
# 2. ffmpeg zmbv with a key frame every 80 (-keyint_min 80; zmbv ignores -g),
#    one thread: encode time = ffmpeg's -benchmark real time minus that of the
#    same run with a copy instead of the encoder; bytes = the packets' sizes.
# 3. bench_xrvc.exe under 64-bit Wine (tools/test-env.sh): the same frames
#    through ICCompress, a key frame every 80, each decoded again and compared.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
BUILD="$(cd "$BUILD" && pwd)"
FIXTURE="${XRVC_FIXTURE_DIR:-$BUILD/bench-fixture}"
W=1920 H=1080 N=300 FPS=10 KEYRATE=80
RAW="$FIXTURE/desktop-${W}x${H}-bgr0.raw"
FRAME_BYTES=$((W * H * 4))

say() { echo "xrvc_vs_zmbv: $*" >&2; }

[ -x "$BUILD/bench/bench_xrvc.exe" ] || { say "build bench_xrvc first (tools/build.sh --target bench_xrvc)"; exit 1; }
[ -f "$BUILD/platform/xrvc/xrvc.dll" ] || { say "no $BUILD/platform/xrvc/xrvc.dll"; exit 1; }

install_missing() {
    local missing=()
    command -v xterm >/dev/null || missing+=(xterm)
    command -v xdotool >/dev/null || missing+=(xdotool)
    command -v twm >/dev/null || missing+=(twm)
    # twm's menus and title bars need the core X fonts, helvetica included.
    [ -d /usr/share/fonts/X11/misc ] || missing+=(xfonts-base)
    [ -d /usr/share/fonts/X11/75dpi ] || missing+=(xfonts-75dpi)
    command -v xclock >/dev/null || missing+=(x11-apps)
    command -v ffmpeg >/dev/null || missing+=(ffmpeg)
    command -v Xvfb >/dev/null || missing+=(xvfb)
    if [ ${#missing[@]} -gt 0 ]; then
        say "installing bench-only packages: ${missing[*]}"
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

record_fixture() {
    install_missing
    mkdir -p "$FIXTURE"
    local n=120
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    local pids=()
    Xvfb ":$n" -screen 0 "${W}x${H}x24" -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=":$n"
    local i=0
    while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    # shellcheck disable=SC2317
    cleanup_x() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
    trap cleanup_x RETURN

    HOME="$FIXTURE" twm >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
    xterm -geometry 132x48+60+40 -fa 'DejaVu Sans Mono' -fs 10 -T shell -e bash --norc >/dev/null 2>&1 &
    pids+=($!)
    xclock -geometry 220x220+1500+80 -update 1 >/dev/null 2>&1 &
    pids+=($!)
    xterm -geometry 60x16+1180+600 -T notes >/dev/null 2>&1 &
    pids+=($!)
    sleep 2
    local shell notes
    shell=$(xdotool search --name '^shell$' | head -1)
    notes=$(xdotool search --name '^notes$' | head -1)

    say "recording $N frames at $FPS frames/s on $DISPLAY"
    ffmpeg -hide_banner -loglevel error -f x11grab -framerate "$FPS" -video_size "${W}x${H}" -i "$DISPLAY" \
        -frames:v "$N" -fps_mode passthrough -pix_fmt bgr0 -f rawvideo -y "$RAW.part" 2>"$FIXTURE/x11grab.log" &
    local grab=$!
    # The session, about 32 s.
    sleep 1.5                                                            # idle
    xdotool windowactivate --sync "$shell" 2>/dev/null || xdotool windowfocus "$shell"
    xdotool type --delay 90 'cd /usr/share/doc && ls'                    # typing
    xdotool key Return
    sleep 1
    xdotool type --delay 60 'for f in */copyright; do head -3 "$f"; sleep 0.02; done'
    xdotool key Return                                                   # scrolling output
    sleep 4
    xdotool key ctrl+c
    xdotool type --delay 60 'less /etc/services'
    xdotool key Return
    sleep 1
    for _ in 1 2 3 4 5 6; do xdotool key space; sleep 0.6; done         # paging
    xdotool key q
    sleep 0.5
    for s in $(seq 1 30); do                                             # a window drag
        xdotool windowmove "$notes" $((1180 - s * 14)) $((600 - s * 6))
        sleep 0.06
    done
    sleep 1
    xdotool mousemove 1300 700 mousedown 1                               # the window manager's menu
    sleep 0.8
    for y in 712 730 748 766 784; do xdotool mousemove 1330 "$y"; sleep 0.3; done
    xdotool mousemove 1800 200
    sleep 0.3
    xdotool mouseup 1
    sleep 1
    xdotool windowactivate "$notes" 2>/dev/null || true
    xdotool type --delay 110 'notes: xrvc against zmbv, idle from here on.'
    sleep 6                                                              # idle (the clock ticks)
    wait "$grab"
    mv "$RAW.part" "$RAW"
}

if [ "${1:-}" = "--regenerate" ] || [ ! -f "$RAW" ] || [ "$(stat -c %s "$RAW")" -ne $((FRAME_BYTES * N)) ]; then
    record_fixture
fi
[ "$(stat -c %s "$RAW")" -eq $((FRAME_BYTES * N)) ] || { say "fixture $RAW is not $N frames"; exit 1; }
say "fixture: $RAW"

# 2. zmbv.
ZMBV="$FIXTURE/zmbv.avi"
input=(-f rawvideo -pix_fmt bgr0 -video_size "${W}x${H}" -framerate "$FPS" -i "$RAW")
rtime() { sed -n 's/.*rtime=\([0-9.]*\)s.*/\1/p' | tail -1; }
zmbv_rt=$(ffmpeg -hide_banner -nostats -benchmark -threads 1 "${input[@]}" -c:v zmbv -keyint_min "$KEYRATE" \
    -y "$ZMBV" 2>&1 | rtime)
base_rt=$(ffmpeg -hide_banner -nostats -benchmark -threads 1 "${input[@]}" -c:v rawvideo -f null - 2>&1 | rtime)
zmbv_bytes=$(ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 "$ZMBV" |
    awk '{s += $1} END {print s}')
zmbv_keys=$(ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 "$ZMBV" | grep -c '^K')
zmbv_same=$(ffmpeg -v error -i "$ZMBV" -f rawvideo -pix_fmt bgr0 - | cmp -s - "$RAW" && echo yes || echo no)

# 3. xrvc under Wine.
. "$ROOT/tools/test-env.sh"
trap vexcap_env_stop EXIT
vexcap_env_start "$BUILD" >/dev/null 2>&1
winpath() { echo "Z:${1//\//\\}"; }
XRVC_OUT="$FIXTURE/xrvc.txt"
"$WINELOADER" "$BUILD/bench/bench_xrvc.exe" "$(winpath "$BUILD/platform/xrvc/xrvc.dll")" "$(winpath "$RAW")" \
    "$W" "$H" "$N" "$KEYRATE" | tr -d '\r' >"$XRVC_OUT"
cat "$XRVC_OUT"
val() { sed -n "s/^$1=//p" "$XRVC_OUT"; }

awk -v zb="$zmbv_bytes" -v zrt="$zmbv_rt" -v brt="$base_rt" -v n="$N" -v zk="$zmbv_keys" -v zs="$zmbv_same" \
    -v xb="$(val xrvc_total_bytes)" -v xms="$(val xrvc_encode_ms_per_frame)" 'BEGIN {
    zms = (zrt - brt) * 1000 / n
    printf "zmbv_key_frames=%d\n", zk
    printf "zmbv_total_bytes=%d\n", zb
    printf "zmbv_bytes_per_frame=%.1f\n", zb / n
    printf "zmbv_encode_ms_per_frame=%.3f (ffmpeg real %.2f s minus %.2f s without the encoder)\n", zms, zrt, brt
    printf "zmbv_decodes_to_the_fixture=%s\n", zs
    printf "size_ratio_xrvc_to_zmbv=%.3f (aim: at most 1)\n", xb / zb
    printf "speed_ratio_zmbv_to_xrvc=%.1f (aim: at least 10)\n", zms / xms
}'
