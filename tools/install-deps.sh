#!/bin/sh
# Installs what a fresh Debian 12 machine lacks to build, test and demo the
# project. A no-op when everything is already there.
set -e
HERE="$(cd "$(dirname "$0")" && pwd)"

PKGS="cmake ninja-build python3 \
g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev \
g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev \
binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 libz-mingw-w64-dev googletest \
wine wine64 xvfb xauth x11-utils xdotool locales ffmpeg sox libgsf-bin imagemagick \
fonts-wqy-microhei fonts-wine pulseaudio pulseaudio-utils \
gstreamer1.0-plugins-base gstreamer1.0-plugins-good libgl1 libgl1-mesa-dri libglx-mesa0"
# 32-bit Wine and what its DirectShow needs (GStreamer to read AVI and WAV,
# Mesa or connecting a video renderer crashes); only where 32-bit code runs.
PKGS_I386="wine32:i386 gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 \
libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386"

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

is_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"
}

missing=""
for p in $PKGS; do
    is_installed "$p" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "install-deps: installing:$missing"
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
fi

if python3 "$HERE/ia32-works.py"; then
    missing=""
    for p in $PKGS_I386; do
        is_installed "$p" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        echo "install-deps: installing:$missing"
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            $SUDO dpkg --add-architecture i386
        fi
        $SUDO apt-get update -q
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
    fi
fi

# The tests and the demo run Wine with a Chinese locale (ANSI code page 936).
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
    echo "install-deps: generating zh_CN.UTF-8"
    $SUDO localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
exit 0
