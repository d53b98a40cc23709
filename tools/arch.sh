# Sourced: sets VEXCAP_TEST_ARCH, the architecture whose build the tests and
# the demo run under Wine. The product is 32-bit; where this machine cannot
# execute 32-bit code (IA-32 emulation off in the kernel), 32-bit Wine cannot
# start, and the same sources built for x86_64 run under 64-bit Wine instead.
if [ -z "${VEXCAP_TEST_ARCH:-}" ]; then
    if python3 "$(dirname "${BASH_SOURCE[0]:-$0}")/ia32-works.py"; then
        VEXCAP_TEST_ARCH=i686
    else
        VEXCAP_TEST_ARCH=x86_64
    fi
fi
export VEXCAP_TEST_ARCH
if [ "$VEXCAP_TEST_ARCH" = i686 ]; then
    VEXCAP_WINE_LOADER=/usr/lib/wine/wine
else
    VEXCAP_WINE_LOADER=/usr/lib/wine/wine64
fi
export VEXCAP_WINE_LOADER
