#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing the player needs.
# Uses sudo only when not already root.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

PACKAGES=(
    # build
    cmake ninja-build g++ pkg-config clang libclang-rt-14-dev
    # widget layer
    qt6-base-dev qt6-qpa-plugins libgl-dev libx11-dev libxcb1-dev
    # a see-through window's input region, and noticing a compositing manager come and go
    libxcb-shape0-dev libxcb-xfixes0-dev
    # images, audio engine
    libpng-dev
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
    libfluidsynth-dev timgm6mb-soundfont
    libsdl2-dev libfftw3-dev
    # tags and covers of the tracks
    libtag1-dev
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    # faces standing in for the platform fonts
    fonts-liberation fonts-dejavu-core fontconfig
    # skin and font generation
    python3 python3-pil python3-fonttools python3-numpy
    # the open dialog's texts in Russian (Qt's own translations)
    qt6-translations-l10n
    # end-to-end tests
    xvfb xdotool imagemagick x11-utils
    # a compositing manager under Xvfb, and a client of the tests watching the root window
    picom python3-xlib
    # the clipboard in end-to-end tests (stations pasted with Ctrl+V)
    xclip
    # radio tests and media generation
    icecast2 ffmpeg sox procps fluidsynth openssl
    # a second MIDI reader the engine's MIDI tests compare with
    python3-mido
    # MP3 files with the real LAME encoder's gapless header (engine tests)
    lame
    # native Wayland, and its tests under a headless Weston driven by a module of the tests
    qt6-wayland weston libweston-10-dev
    # installing: menu entry and metadata checks, the Debian package, manual page checks
    desktop-file-utils appstream dpkg-dev file man-db util-linux
    # a sound server whose devices the tests add and remove
    pulseaudio pulseaudio-utils
    # desktop bus tests: a private session bus, a real MPRIS client
    dbus playerctl libglib2.0-bin
    # formatting
    clang-format
)

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${PACKAGES[@]}" >/dev/null
