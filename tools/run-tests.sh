#!/bin/bash
# Installs what is missing, builds, and runs the whole test suite under Wine.
# Arguments go to ctest (e.g. -R settings_tests). BUILD_DIR picks the build
# folder (default: build/).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

"$ROOT/tools/install-deps.sh"
. "$ROOT/tools/arch.sh"
# VEXCAP_BUILD_TARGETS limits the build to some targets (while working on one
# subsystem); the default builds everything.
# shellcheck disable=SC2086
"$ROOT/tools/build.sh" ${VEXCAP_BUILD_TARGETS:+--target $VEXCAP_BUILD_TARGETS}
# The product is 32-bit: when the tests run the 64-bit build, the 32-bit one
# is still built, so that it keeps compiling and linking.
if [ "$VEXCAP_TEST_ARCH" != i686 ] && [ -z "${VEXCAP_SKIP_I686:-}" ] && [ -z "${VEXCAP_BUILD_TARGETS:-}" ]; then
    VEXCAP_ARCH=i686 "$ROOT/tools/build.sh"
fi

. "$ROOT/tools/test-env.sh"
trap vexcap_env_stop EXIT
vexcap_env_start "$BUILD_DIR"
# Each test program in a world of its own (VEXCAP_TEST_SHARED=1: all in one).
[ -n "${VEXCAP_TEST_SHARED:-}" ] || vexcap_env_isolate_tests

ctest --test-dir "$BUILD_DIR" --output-on-failure -j "${VEXCAP_TEST_JOBS:-4}" "$@"
