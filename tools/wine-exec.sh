#!/bin/bash
# Runs a Windows executable under the Wine environment that tools/test-env.sh
# prepared (private prefix, display, sound server, Chinese locale).
#
# When the environment isolates tests (vexcap_env_isolate_tests), the program
# gets a world of its own for its run: a display, a sound server, a copy of
# the prefix with its own wineserver, and a runner for host commands. The
# world's folder keeps the logs; the prefix copy goes when the program ends.
if [ -z "$WINEPREFIX" ] || [ -z "$VEXCAP_ENV_READY" ] || [ -z "$WINELOADER" ]; then
    echo "wine-exec: no test environment; run the tests through tools/run-tests.sh" >&2
    exit 2
fi
if [ -z "${VEXCAP_ISOLATE_BASE:-}" ]; then
    exec "$WINELOADER" "$@"
fi

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$ROOT/tools/test-env.sh"
name="$(basename "${1%.exe}")"
world="$VEXCAP_ISOLATE_ROOT/$name-$$"
rm -rf "$world"
mkdir -p "$world"
trap 'vexcap_isolated_stop "$world"' EXIT
trap 'exit 143' TERM INT

vexcap_start_display "$world/xvfb.log"
echo "$VEXCAP_XVFB_PID" >> "$world/pids"
vexcap_start_sound "$world/pulse"
echo "$VEXCAP_PULSE_PID" >> "$world/pids"
vexcap_clone_prefix "$VEXCAP_ISOLATE_BASE" "$world/prefix"
export WINEPREFIX="$world/prefix"
export VEXCAP_HOST_SPOOL="$world/host-spool"
"$ROOT/tools/host-runner.sh" "$VEXCAP_HOST_SPOOL" $$ &
echo "$!" >> "$world/pids"
# The wineserver's first process must not hold our pipes (see test-env.sh).
wineserver -p
"$WINELOADER" cmd /c exit >/dev/null 2>&1 </dev/null

"$WINELOADER" "$@"
