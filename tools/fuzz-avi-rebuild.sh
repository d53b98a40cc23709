#!/bin/sh
# Builds the fuzz target of the cut-AVI rebuild for the host under
# AddressSanitizer and UndefinedBehaviorSanitizer and runs it. Arguments: the
# number of inputs of the built-in driver (default 20000). With
# FUZZ_LIBFUZZER=1 and clang's libFuzzer present, runs libFuzzer for
# FUZZ_SECONDS (default 60) instead.
set -eu
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${FUZZ_BUILD_DIR:-$ROOT/build/host-fuzz}"
mkdir -p "$OUT"
SRC="$ROOT/tests/fuzz/AviRebuildFuzz.cpp $ROOT/recovery/AviRebuild.cpp"
FLAGS="-std=c++17 -O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all -I$ROOT"
if [ "${FUZZ_LIBFUZZER:-0}" = 1 ]; then
    # shellcheck disable=SC2086
    clang++ $FLAGS -fsanitize=fuzzer -DWITH_LIBFUZZER -o "$OUT/avi_rebuild_libfuzzer" $SRC
    exec "$OUT/avi_rebuild_libfuzzer" -max_total_time="${FUZZ_SECONDS:-60}" -max_len=20000
fi
CXX="${CXX:-g++}"
# shellcheck disable=SC2086
$CXX $FLAGS -o "$OUT/avi_rebuild_fuzz" $SRC
exec "$OUT/avi_rebuild_fuzz" "${1:-20000}"
