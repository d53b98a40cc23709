#!/bin/sh
# Runs a Windows executable under the Wine environment that tools/test-env.sh
# prepared (private prefix, display, sound server, Chinese locale).
if [ -z "$WINEPREFIX" ] || [ -z "$VEXCAP_ENV_READY" ] || [ -z "$WINELOADER" ]; then
    echo "wine-exec: no test environment; run the tests through tools/run-tests.sh" >&2
    exit 2
fi
exec "$WINELOADER" "$@"
