#!/usr/bin/env bash
# Makes the Debian package of Kinovex.
#   scripts/package.sh                             installs what is missing, builds build-deb/build
#                                                  (Release, no tests) and writes
#                                                  build-deb/kinovex_VERSION_ARCH.deb
#   scripts/package.sh --from-build DIR --out OUT  packages the built build folder DIR into OUT
# The last line on standard output is the package's path; progress goes to standard error.
# KINOVEX_MAINTAINER replaces the Maintainer field.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

build=
out=
while [ $# -gt 0 ]; do
    case $1 in
    --from-build) build=${2:?--from-build needs a folder}; shift 2 ;;
    --out) out=${2:?--out needs a folder}; shift 2 ;;
    *) echo "usage: package.sh [--from-build DIR --out OUTDIR]" >&2; exit 2 ;;
    esac
done
if [ -z "$build" ]; then
    bash "$root/scripts/install-deps.sh" >&2
    build=$root/build-deb/build
    bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DKINOVEX_TESTS=OFF \
        -DKINOVEX_BENCH=OFF >&2
    out=${out:-$root/build-deb}
fi
[ -f "$build/CMakeCache.txt" ] || { echo "package: $build is no build folder" >&2; exit 2; }
[ -n "$out" ] || { echo "package: --from-build needs --out" >&2; exit 2; }
build=$(cd "$build" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
work=$(mktemp -d "${TMPDIR:-/tmp}/kinovex-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
# dpkg-shlibdeps reads debian/control and finds the package's tree by its DEBIAN folder.
stage=$work/debian/kinovex
mkdir -p "$stage/DEBIAN"
chmod 0755 "$work"

echo "package: installing $build into the package's tree" >&2
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null

# The programs without their symbols (the encoder front-end stays static); the manual pages
# compressed as Debian wants them; the package's own papers.
elf_files=()
while IFS= read -r -d '' file; do
    if [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ]; then
        elf_files+=("$file")
    fi
done < <(find "$stage" -type f -perm -u+x -print0)
strip --strip-unneeded --remove-section=.comment --remove-section=.note "${elf_files[@]}"
gzip -9n "$stage"/usr/share/man/man1/*.1
docs=$stage/usr/share/doc/kinovex
mkdir -p "$docs"
cat >"$docs/copyright" <<EOF
Kinovex
Copyright 2026 Tessaline
Homepage: https://www.kinovex.com/
EOF
# The encoder front-end is static on purpose: it starts once per conversion (docs/decisions.md).
mkdir -p "$stage/usr/share/lintian/overrides"
echo 'kinovex: statically-linked-binary [usr/lib/kinovex/ffmpeg]' \
    >"$stage/usr/share/lintian/overrides/kinovex"
maintainer=${KINOVEX_MAINTAINER:-Tessaline <packages@kinovex.com>}
changed=$(git -C "$root" log -1 --format=%cD 2>/dev/null || date -R)
printf 'kinovex (%s) unstable; urgency=medium\n\n  * Built from the source tree.\n\n -- %s  %s\n' \
    "$version" "$maintainer" "$changed" | gzip -9n >"$docs/changelog.gz"
find "$stage" -type d -exec chmod 0755 {} +
find "$stage/usr" -type f -exec chmod go-w,a+r {} +

# Depends: the libraries the programs link, as dpkg-shlibdeps finds them, and the real encoder,
# which the programs start by name.
dynamic=()
for file in "${elf_files[@]}"; do
    if readelf -d "$file" | grep -q '(NEEDED)'; then
        dynamic+=("-e$file")
    fi
done
printf 'Source: kinovex\n\nPackage: kinovex\nArchitecture: any\n' >"$work/debian/control"
shlibs=$(cd "$work" && dpkg-shlibdeps -O "${dynamic[@]}")
depends="${shlibs#shlibs:Depends=}, ffmpeg"

(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
cat >"$stage/DEBIAN/control" <<EOF
Package: kinovex
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $depends
Recommends: pavucontrol, pulseaudio | pipewire-pulse
Section: video
Priority: optional
Homepage: https://www.kinovex.com/
Description: play Flash movies and turn them into video files
 Kinovex plays Flash movies (.swf) with its own movie engine and turns them
 into ordinary video: browse to a movie, watch it, record it and have the
 recording encoded by ffmpeg into the output profile's file.
 .
 Two command-line programs come with it: kinovex-convert converts movies, one
 or a whole folder of them, faster than real time on the movie's own clock;
 kinovex-frame draws frames of a movie as PNG pictures.
EOF

# The desktop program run by root can write its Temp folder into the program folder, and a
# killed run leaves it there: it goes with the package, so that removing it leaves nothing.
cat >"$stage/DEBIAN/postrm" <<'EOF'
#!/bin/sh
set -e
if [ "$1" = remove ] || [ "$1" = purge ]; then
    rm -rf /usr/lib/kinovex/Temp
    rmdir /usr/lib/kinovex 2>/dev/null || true
fi
EOF
chmod 0755 "$stage/DEBIAN/postrm"

deb=$out/kinovex_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >&2
if [ "$build" = "$root/build-deb/build" ] && command -v lintian >/dev/null; then
    lintian "$deb" >&2 || true
fi
echo "$deb"
