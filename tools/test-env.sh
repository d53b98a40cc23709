# Sourced by run-tests.sh and demo.sh. vexcap_env_start <build dir> prepares a
# private Wine environment for the project's programs and tests:
#   - one Xvfb display of its own (1920x1080x24),
#   - a private PulseAudio daemon whose null sink's monitor is the default
#     source, so that waveIn records whatever is played into the sink,
#   - a private WINEPREFIX copied from a template made once per build folder,
#   - one persistent wineserver for the whole run,
#   - the Chinese locale (ANSI code page 936).
# vexcap_env_stop ends exactly the processes it started.

vexcap_env_log() { echo "test-env: $*" >&2; }

vexcap_find_locale() {
    for l in zh_CN.UTF-8 zh_CN.utf8; do
        if locale -a 2>/dev/null | grep -qix "$l"; then echo "$l"; return; fi
    done
    echo "zh_CN.UTF-8"
}

# Runs a Wine program with the loader of the test architecture.
vexcap_wine() { WINELOADER="$VEXCAP_WINE_LOADER" "$VEXCAP_WINE_LOADER" "$@"; }

vexcap_prefix_setup() {
    # $1: prefix to initialise (a new, empty folder)
    local pfx="$1"
    WINEPREFIX="$pfx" vexcap_wine wineboot -u >/dev/null 2>&1 </dev/null
    WINEPREFIX="$pfx" wineserver -w
    # Without a window manager every hide or close of a managed window costs
    # 2 s; fonts: GDI+ finds neither Wine's own fonts nor the Chinese faces.
    local reg="$pfx/vexcap-setup.reg"
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n"Decorated"="N"\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]\r\n"winemenubuilder.exe"=""\r\n\r\n'
        for key in 'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
                   'HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'; do
            printf '[%s]\r\n' "$key"
            printf '"SimSun"="WenQuanYi Micro Hei"\r\n"宋体"="WenQuanYi Micro Hei"\r\n'
            printf '"Microsoft YaHei"="WenQuanYi Micro Hei"\r\n"微软雅黑"="WenQuanYi Micro Hei"\r\n'
            printf '"NSimSun"="WenQuanYi Micro Hei"\r\n"新宋体"="WenQuanYi Micro Hei"\r\n\r\n'
        done
    } | iconv -f UTF-8 -t UTF-16LE | { printf '\377\376'; cat; } > "$reg"
    mkdir -p "$pfx/drive_c/windows/Fonts"
    cp -f /usr/share/wine/fonts/*.ttf "$pfx/drive_c/windows/Fonts/" 2>/dev/null || true
    for f in /usr/share/fonts/truetype/wqy/wqy-microhei.ttc; do
        [ -f "$f" ] && cp -f "$f" "$pfx/drive_c/windows/Fonts/"
    done
    cp "$reg" "$pfx/drive_c/vexcap-setup.reg"
    WINEPREFIX="$pfx" vexcap_wine regedit /S 'C:\vexcap-setup.reg' >/dev/null 2>&1 </dev/null
    WINEPREFIX="$pfx" wineserver -w
}

# Starts an Xvfb display of its own (1920x1080x24) on the first free number
# (Xvfb picks it, so parallel callers never race for one); sets DISPLAY and
# VEXCAP_XVFB_PID. $1: its log file.
vexcap_start_display() {
    local log="$1" numfile="$1.display" i=0
    rm -f "$numfile"
    Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp -ac 5>"$numfile" >"$log" 2>&1 &
    VEXCAP_XVFB_PID=$!
    while ! grep -q '[0-9]' "$numfile" 2>/dev/null && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
    export DISPLAY=":$(tr -dc 0-9 < "$numfile")"
}

# Starts a private PulseAudio daemon on a socket in $1 whose null sink's
# monitor is the default source; sets PULSE_SERVER and VEXCAP_PULSE_PID.
vexcap_start_sound() {
    local pdir="$1" i=0
    rm -rf "$pdir"; mkdir -p "$pdir"
    export PULSE_SERVER="unix:$pdir/native"
    export PULSE_SINK=vexcap_sink
    export VEXCAP_PULSE_SINK=vexcap_sink
    cat > "$pdir/default.pa" <<PA
load-module module-native-protocol-unix socket=$pdir/native auth-anonymous=1
load-module module-null-sink sink_name=vexcap_sink rate=44100 channels=2
set-default-sink vexcap_sink
set-default-source vexcap_sink.monitor
PA
    HOME="$pdir" XDG_RUNTIME_DIR="$pdir" PULSE_RUNTIME_PATH="$pdir" PULSE_STATE_PATH="$pdir" \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
        -F "$pdir/default.pa" >"$pdir.log" 2>&1 &
    VEXCAP_PULSE_PID=$!
    while ! pactl info >/dev/null 2>&1 && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
}

# Copies a ready prefix ($1, its wineserver ended) to $2. The system folders
# (over a gigabyte of DLLs nobody writes) are hard links; the registry, the
# users' folders and the rest are real copies.
vexcap_clone_prefix() {
    local src="$1" dst="$2" entry
    mkdir -p "$dst/drive_c/windows"
    while IFS= read -r -d '' entry; do
        case "$entry" in
            "$src/drive_c" | "$src/drive_c/windows") ;;
            "$src"/drive_c/windows/system32 | "$src"/drive_c/windows/syswow64 | "$src"/drive_c/windows/winsxs)
                cp -al "$entry" "$dst/drive_c/windows/" ;;
            *) cp -a "$entry" "$dst/${entry#"$src"/}" ;;
        esac
    done < <(find "$src" "$src/drive_c" "$src/drive_c/windows" -mindepth 1 -maxdepth 1 -print0)
}

vexcap_env_start() {
    local build="$1"
    . "$(dirname "${BASH_SOURCE[0]}")/arch.sh"
    export WINELOADER="$VEXCAP_WINE_LOADER"
    mkdir -p "$build"
    build="$(cd "$build" && pwd)"
    export VEXCAP_ENV_DIR="$build/test-env"
    mkdir -p "$VEXCAP_ENV_DIR"

    export LANG="$(vexcap_find_locale)"
    export LC_ALL="$LANG"
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

    vexcap_start_display "$VEXCAP_ENV_DIR/xvfb.log"
    vexcap_env_log "display $DISPLAY (pid $VEXCAP_XVFB_PID)"
    vexcap_start_sound "$VEXCAP_ENV_DIR/pulse"
    vexcap_env_log "sound server $PULSE_SERVER (pid $VEXCAP_PULSE_PID)"

    # Wine prefix: a template made once per build folder, copied for each run.
    local tmpl="$build/wine-template"
    if [ ! -f "$tmpl/.vexcap-ready" ]; then
        vexcap_env_log "making the Wine prefix template (once, ~20 s)"
        rm -rf "$tmpl"; mkdir -p "$tmpl"
        DISPLAY="$DISPLAY" vexcap_prefix_setup "$tmpl"
        touch "$tmpl/.vexcap-ready"
    fi
    export WINEPREFIX="$build/wineprefix"
    rm -rf "$WINEPREFIX"
    cp -a "$tmpl" "$WINEPREFIX"

    # One persistent wineserver for the whole run; its first process must not
    # hold our pipes, or a piped run never ends.
    wineserver -p
    vexcap_wine cmd /c exit >/dev/null 2>&1 </dev/null
    # The screen codec of this build, installed as a user would install it.
    if [ -f "$build/platform/xrvc/xrvc.dll" ]; then
        "$(dirname "${BASH_SOURCE[0]}")/install-codec.sh" "$build/platform/xrvc/xrvc.dll" 2>/dev/null
    fi

    # Host tools (ffprobe, gsf, pacat) for programs under Wine.
    export VEXCAP_HOST_SPOOL="$VEXCAP_ENV_DIR/host-spool"
    rm -rf "$VEXCAP_HOST_SPOOL"
    "$(dirname "${BASH_SOURCE[0]}")/host-runner.sh" "$VEXCAP_HOST_SPOOL" $$ &
    VEXCAP_HOST_RUNNER_PID=$!
    export VEXCAP_ENV_READY=1
    vexcap_env_log "Wine prefix $WINEPREFIX"
}

# Makes every test program that tools/wine-exec.sh starts run in a world of
# its own: its own display, sound server, copy of the prefix (so its own
# wineserver, desktop, window order and input) and host-command runner.
# Tests that run side by side then neither cover each other's windows, nor
# catch each other's clicks and keys, nor hear each other's sound. The
# prefix's wineserver ends here so that the registry is on disk for the copies.
vexcap_env_isolate_tests() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    export VEXCAP_ISOLATE_BASE="$WINEPREFIX"
    export VEXCAP_ISOLATE_ROOT="$VEXCAP_ENV_DIR/isolated"
    rm -rf "$VEXCAP_ISOLATE_ROOT"
    mkdir -p "$VEXCAP_ISOLATE_ROOT"
}

# Ends what a test's world started (its wineserver, display, sound server and
# runner; their ids are in $1/pids) and removes its prefix copy.
vexcap_isolated_stop() {
    local dir="$1" pid
    [ -d "$dir" ] || return 0
    [ -d "$dir/prefix" ] && WINEPREFIX="$dir/prefix" wineserver -k 2>/dev/null
    if [ -f "$dir/pids" ]; then
        for pid in $(cat "$dir/pids"); do
            kill "$pid" 2>/dev/null
        done
    fi
    [ -d "$dir/prefix" ] && WINEPREFIX="$dir/prefix" wineserver -w 2>/dev/null
    rm -rf "$dir/prefix" "$dir/pids"
    return 0
}

vexcap_env_stop() {
    # Runs from an EXIT trap under `set -e`: nothing here may fail the script.
    set +e
    # Worlds of tests that were killed before they could end them.
    if [ -n "${VEXCAP_ISOLATE_ROOT:-}" ] && [ -d "$VEXCAP_ISOLATE_ROOT" ]; then
        local world
        for world in "$VEXCAP_ISOLATE_ROOT"/*/; do
            [ -f "$world/pids" ] && vexcap_isolated_stop "${world%/}"
        done
    fi
    if [ -n "${WINEPREFIX:-}" ] && [ -n "${VEXCAP_ENV_READY:-}" ]; then
        wineserver -k 2>/dev/null
        wineserver -w 2>/dev/null
    fi
    local pid
    for pid in ${VEXCAP_HOST_RUNNER_PID:-} ${VEXCAP_PULSE_PID:-} ${VEXCAP_XVFB_PID:-}; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    unset VEXCAP_ENV_READY VEXCAP_PULSE_PID VEXCAP_XVFB_PID VEXCAP_HOST_RUNNER_PID
    return 0
}
