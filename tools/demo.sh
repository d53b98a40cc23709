#!/bin/bash
# Records a short demo on this machine: installs what is missing, builds the
# recorder and its screen codec, starts a private Xvfb screen with a Wine
# clock on it, runs `Vexcap.exe /R`, lets it record a few seconds, sends
# `Vexcap.exe /S`, and prints where the saved AVI is and what ffprobe says of
# it, and a PNG screenshot of the preview dialog playing the recording.
# BUILD_DIR picks the build folder (default: build/); DEMO_SECONDS the length
# (default 5).
#
# The demo's preferences: the preview after recording on (the demo takes its
# screenshot and presses Save with xdotool), no post-save options, a plain AVI
# (no package), automatic file names in C:\VexcapDemo.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
SECONDS_TO_RECORD="${DEMO_SECONDS:-5}"

say() { echo "demo: $*" >&2; }

"$ROOT/tools/install-deps.sh"
. "$ROOT/tools/arch.sh"
say "building Vexcap.exe and the xrvc codec ($VEXCAP_TEST_ARCH) in $BUILD_DIR"
"$ROOT/tools/build.sh" --target Vexcap xrvc >/dev/null

. "$ROOT/tools/test-env.sh"
CLOCK_PID=""
RECORDER_PID=""
demo_stop() {
    set +e
    [ -n "$RECORDER_PID" ] && kill "$RECORDER_PID" 2>/dev/null
    [ -n "$CLOCK_PID" ] && kill "$CLOCK_PID" 2>/dev/null
    vexcap_env_stop
}
trap demo_stop EXIT
vexcap_env_start "$BUILD_DIR"

VEXCAP="$BUILD_DIR/app/Vexcap.exe"
OUT_DIR="$WINEPREFIX/drive_c/VexcapDemo"
mkdir -p "$OUT_DIR"

# The demo's preferences, written before the recorder first starts.
KEY='HKEY_CURRENT_USER\Software\Kestravon\Skorvale Studio\3.0\Skorvale Recorder\3.0'
REG="$VEXCAP_ENV_DIR/demo-prefs.reg"
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[%s]\r\n' "$KEY"
    printf '"VideoInput"=dword:00000000\r\n'          # the whole screen
    printf '"PrevAfterRec"=dword:00000001\r\n'        # the preview dialog
    printf '"OptionsAfterRec"=dword:00000000\r\n'     # no post-save options
    printf '"CreateSkoRecFile"=dword:00000000\r\n'    # a plain AVI, no package
    printf '"VideoFileNaming"=dword:00000002\r\n'     # automatic numbered names
    printf '"VideoFileOutputDir"="C:\\\\VexcapDemo\\\\"\r\n'
    printf '"VideoMinimize"=dword:00000000\r\n'
} >"$REG"
vexcap_wine regedit /S "$(vexcap_wine winepath -w "$REG" 2>/dev/null)" </dev/null >/dev/null 2>&1

# Something that moves on the screen: Wine's clock repaints every second.
vexcap_wine clock </dev/null >/dev/null 2>&1 &
CLOCK_PID=$!
sleep 2

say "Vexcap.exe /R"
vexcap_wine "$VEXCAP" /R </dev/null >/dev/null 2>&1 &
RECORDER_PID=$!
sleep "$((SECONDS_TO_RECORD + 2))"

say "Vexcap.exe /S"
set +e
vexcap_wine "$VEXCAP" /S </dev/null >/dev/null 2>&1
STOP_ANSWER=$?
set -e
say "the running recorder answered the stop with $STOP_ANSWER (1: stopped)"

# The preview dialog opens playing the recording: a screenshot of it once it
# has played a moment, then Save (bottom right, left of Delete).
KEEP_DIR="$BUILD_DIR/demo-output"
mkdir -p "$KEEP_DIR"
SHOT="$KEEP_DIR/preview-dialog.png"
rm -f "$SHOT"
PREVIEW_ID=""
for _ in $(seq 1 120); do
    PREVIEW_ID="$(xwininfo -display "$DISPLAY" -root -tree 2>/dev/null | grep -F 'Skorvale 录像器预览' | awk '{print $1}' | head -n 1 || true)"
    [ -n "$PREVIEW_ID" ] && break
    sleep 0.5
done
if [ -n "$PREVIEW_ID" ]; then
    sleep 2
    import -display "$DISPLAY" -window "$PREVIEW_ID" "$SHOT" 2>/dev/null || true
    GEOMETRY="$(xwininfo -display "$DISPLAY" -id "$PREVIEW_ID" || true)"
    X="$(echo "$GEOMETRY" | awk '/Absolute upper-left X/ {print $4}')"
    Y="$(echo "$GEOMETRY" | awk '/Absolute upper-left Y/ {print $4}')"
    W="$(echo "$GEOMETRY" | awk '/Width:/ {print $2}')"
    H="$(echo "$GEOMETRY" | awk '/Height:/ {print $2}')"
    say "the preview dialog is open (${W}x${H}); pressing Save"
    DISPLAY="$DISPLAY" xdotool mousemove "$((X + W - 110))" "$((Y + H - 21))" click 1 || true
else
    say "the preview dialog did not open"
fi

# The save step names the file Capture-<n>.avi in the output folder.
SAVED=""
for _ in $(seq 1 120); do
    SAVED="$(find "$OUT_DIR" -maxdepth 1 -iname '*.avi' -size +0 | sort | tail -n 1)"
    [ -n "$SAVED" ] && break
    sleep 0.5
done
vexcap_wine "$VEXCAP" /X </dev/null >/dev/null 2>&1 || true
wait "$RECORDER_PID" 2>/dev/null || true
RECORDER_PID=""

if [ -z "$SAVED" ]; then
    say "no recording was saved in $OUT_DIR"
    exit 1
fi
# The prefix is made afresh on each start of the environment: keep a copy.
cp -f "$SAVED" "$KEEP_DIR/"
echo
echo "Saved recording: C:\\VexcapDemo\\$(basename "$SAVED") in the demo's Wine prefix,"
echo "  copied to $KEEP_DIR/$(basename "$SAVED")"
echo "  (ffmpeg has no decoder for the xrvc screen codec: codec_name reads unknown)"
echo
ffprobe -v error \
    -show_entries format=format_name,duration,size:stream=index,codec_type,codec_name,codec_tag_string,width,height,r_frame_rate,nb_frames \
    -of default=noprint_wrappers=0 "$KEEP_DIR/$(basename "$SAVED")"
echo
if [ -s "$SHOT" ]; then
    echo "Screenshot of the preview dialog playing the recording: $SHOT"
else
    echo "No screenshot of the preview dialog was taken"
fi
