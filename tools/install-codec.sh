#!/bin/bash
# Installs the xrvc screen codec for a user of Wine: copies xrvc.dll into the
# prefix's system folder and registers it as vidc.xrvc under
# HKLM\Software\Microsoft\Windows NT\CurrentVersion\Drivers32, in the registry
# view of the DLL's architecture.
#
#   WINEPREFIX=<prefix> tools/install-codec.sh [xrvc.dll ...]
#
# Each DLL given is installed by its machine type (read from its PE header):
#   - 64-bit (x86_64): system32 of a 64-bit prefix, the native 64-bit view;
#   - 32-bit (i686): syswow64 and the 32-bit view (/reg:32) of a 64-bit
#     prefix, or system32 of a 32-bit prefix. Wine cuts a Drivers32 value at
#     its first space, so the value is the bare file name.
# Without arguments: the DLLs of the default build folders, those present
# ($BUILD_DIR or build/, and the same with -i686). The wineserver of the
# prefix may be running.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
PREFIX="${WINEPREFIX:-$HOME/.wine}"
KEY='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Drivers32'

say() { echo "install-codec: $*" >&2; }

[ -d "$PREFIX/drive_c/windows/system32" ] || { say "no Wine prefix at $PREFIX (set WINEPREFIX)"; exit 1; }

# The Wine loader that runs reg.exe: 64-bit where it exists (it writes both
# registry views of a 64-bit prefix), else the 32-bit one.
if [ -n "${WINELOADER:-}" ]; then
    LOADER="$WINELOADER"
elif [ -x /usr/lib/wine/wine64 ] && [ -d "$PREFIX/drive_c/windows/syswow64" ]; then
    LOADER=/usr/lib/wine/wine64
else
    LOADER="$(command -v wine)"
fi

# PE machine of a DLL: 8664 (x86_64) or 14c (i386).
pe_machine() {
    local pe
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ' | sed 's/^0*//'
}

install_one() {
    local dll="$1" machine folder view
    machine=$(pe_machine "$dll")
    case "$machine" in
    8664)
        [ -d "$PREFIX/drive_c/windows/syswow64" ] || { say "$dll is 64-bit but $PREFIX is a 32-bit prefix"; return 1; }
        folder=system32 view=/reg:64 ;;
    14c)
        if [ -d "$PREFIX/drive_c/windows/syswow64" ]; then folder=syswow64 view=/reg:32; else folder=system32 view=; fi ;;
    *)
        say "$dll: not a Windows DLL for x86 or x86_64 (machine '$machine')"; return 1 ;;
    esac
    cp -f "$dll" "$PREFIX/drive_c/windows/$folder/xrvc.dll"
    # shellcheck disable=SC2086
    WINEPREFIX="$PREFIX" WINEDEBUG=-all "$LOADER" reg add "$KEY" /v vidc.xrvc /t REG_SZ /d xrvc.dll /f $view \
        >/dev/null </dev/null
    say "installed $dll as C:\\windows\\$folder\\xrvc.dll, vidc.xrvc in the ${view:-only} registry view"
}

dlls=("$@")
if [ ${#dlls[@]} -eq 0 ]; then
    build="${BUILD_DIR:-$ROOT/build}"
    for d in "$build/platform/xrvc/xrvc.dll" "$build-i686/platform/xrvc/xrvc.dll"; do
        [ -f "$d" ] && dlls+=("$d")
    done
    [ ${#dlls[@]} -gt 0 ] || { say "no xrvc.dll built under $build (tools/build.sh --target xrvc)"; exit 1; }
fi
status=0
for dll in "${dlls[@]}"; do
    if [ ! -f "$dll" ]; then
        say "no such file: $dll"
        status=1
        continue
    fi
    install_one "$dll" || status=1
done
exit $status
