#!/usr/bin/env bash
# The road of a user who installed the package: the package is built from the build folder and
# unpacked into a scratch root; a user who is not root (nobody, when this runs as root) gets a
# home of their own, a private X server and sound server, starts the program from its menu
# entry with a movie, clicks Play and Record, stops after a few seconds, confirms the
# message and closes the window.
#   installed_road.sh SOURCE_DIR BUILD_DIR MOVIE WORK
# Leaves the unpacked package in WORK/root and the user's home in WORK/home; the caller checks
# the converted file. Exits non-zero, saying why, when a step fails.
set -euo pipefail

source_dir=$1
build_dir=$2
movie=$3
work=$4

step() { echo "installed-road: $*"; }

step "packaging $build_dir"
deb=$(bash "$source_dir/scripts/package.sh" --from-build "$build_dir" --out "$work/deb" | tail -n 1)
[ -f "$deb" ] || { step "no package was written" && exit 1; }

# The package's dependencies are met on this machine (what `apt install ./kinovex.deb` checks).
if [ "$(id -u)" -eq 0 ]; then
    apt-get install --simulate -q "$deb" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log" && step "apt would not install the package" && exit 1; }
fi

dpkg -x "$deb" "$work/root"

# The user: nobody when we are root, else ourselves. Their home holds the movie; the program
# folder stays root's (or read-only), as an installed copy is.
home=$work/home
mkdir -p "$home/Movies" "$work/scripts"
cp "$movie" "$home/Movies/"
cp "$source_dir/scripts/with-test-services.sh" "$(dirname "$0")/installed_drive.sh" "$work/scripts/"
run_as=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$home"
    run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
    chmod -R a-w "$work/root"
fi
chmod 755 "$work" "$work/scripts"

step "starting the program from its menu entry as $( [ ${#run_as[@]} -gt 0 ] && echo nobody || id -un)"
"${run_as[@]}" env -i HOME="$home" PATH="$work/root/usr/bin:/usr/bin:/bin" LANG=C.UTF-8 \
    bash "$work/scripts/with-test-services.sh" \
    bash "$work/scripts/installed_drive.sh" "$work/root" "$home/Movies/$(basename "$movie")" \
    "$home/screens"
