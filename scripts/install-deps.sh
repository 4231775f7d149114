#!/usr/bin/env bash
# Installs the Debian packages Kinovex needs to build, run and test, and only those that are
# missing. Runs as root without questions; uses sudo when started as another user.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config clang clang-format clang-tidy git
    # windows, dialogs, settings, network
    qt6-base-dev qt6-base-dev-tools libgl-dev
    # the movie engine: vectors, fonts, compression, bitmaps, sound and video decoding
    libcairo2-dev libfreetype-dev libfontconfig-dev zlib1g-dev liblzma-dev
    libjpeg-dev libpng-dev libgif-dev
    # system fonts for text fields that use them (the text reference pictures are drawn with these)
    fonts-dejavu-core
    libavcodec-dev libavformat-dev libavutil-dev libswresample-dev libswscale-dev
    # sound playback and capture
    libpulse-dev
    # the screen size (X display)
    libx11-dev
    # the network neighbourhood of the folder tree
    libsmbclient-dev
    # the real encoder
    ffmpeg
    # tests and benchmarks: GoogleTest/GoogleMock, Google Benchmark, a virtual X server,
    # a private sound server, screenshots
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth x11-utils pulseaudio pulseaudio-utils imagemagick hyperfine
    # the desktop's other sound server, which the recording's choice of input is tested on too:
    # PipeWire with its pulse server and session manager, on a session bus of its own
    # (dbus-run-session). scripts/with-test-services.sh keeps its tests on PulseAudio.
    pipewire pipewire-pulse wireplumber dbus-daemon
    # the Debian package (scripts/package.sh) and the checkers its test runs on the desktop
    # file, the metainfo and the manual pages
    dpkg-dev desktop-file-utils appstream groff-base
    # the installed program driven with the mouse, as its user
    xdotool
    # the batch recipe of docs/batch.md, run by a test as written there
    parallel
    # libFuzzer and the sanitizer runtimes clang links into the fuzz target
    libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: every package is installed"
    exit 0
fi

run_as_root=()
if [ "$(id -u)" -ne 0 ]; then
    run_as_root=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
"${run_as_root[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${run_as_root[@]}" apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
