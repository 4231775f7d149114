#!/usr/bin/env bash
# The Debian package made from this build by scripts/package.sh: its control fields, where its
# files go, that the commands run from an unpacked copy, and that the desktop file, the
# software centre's metainfo and the manual pages pass their checkers without a remark.
#
#   check_package.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
version=$3
arch=$(dpkg --print-architecture)
for tool in dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli groff; do
    command -v "$tool" >/dev/null || { echo "no $tool (scripts/install-deps.sh installs it)"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kinovex-package-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
if ! bash "$source_dir/scripts/package.sh" --from-build "$build" --out "$work/out" \
    >"$work/stdout" 2>"$work/stderr"; then
    cat "$work/stderr"
    exit 1
fi
deb=$(tail -n 1 "$work/stdout")
[ "$deb" = "$work/out/kinovex_${version}_$arch.deb" ] && [ -f "$deb" ] ||
    { echo "package.sh's last line is not the package: $deb"; exit 1; }
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Control fields: FIELD and a pattern its value must match.
while read -r field pattern; do
    value=$(dpkg-deb -f "$deb" "$field")
    [[ $value =~ $pattern ]] || fail "$field '$value' does not match '$pattern'"
done <<FIELDS
Package ^kinovex$
Version ^${version//./\\.}$
Architecture ^$arch$
Depends (^|, )ffmpeg(,|$)
Depends (^|, )libqt6widgets6[ ,]
Depends (^|, )libpulse0[ ,]
Recommends (^|, )pavucontrol(,|$)
Recommends (^|, )pulseaudio \| pipewire-pulse(,|$)
Maintainer ^[^<]+ <[^@>]+@[^>]+>$
Installed-Size ^[1-9][0-9]*$
Section ^video$
FIELDS

# Every entry lies under usr/, none in a folder of the build machine.
while read -r entry; do
    case $entry in
    ./ | ./usr/*) ;;
    *) fail "entry outside usr/: $entry" ;;
    esac
    case $entry in
    ./usr/local/* | */home/* | */tmp/* | *"$build"* | *"$source_dir"*) fail "entry $entry" ;;
    esac
done < <(dpkg-deb -c "$deb" | awk '{ print $6 }')

root=$work/root
dpkg -x "$deb" "$root"
while read -r path; do
    [ -e "$root/$path" ] || fail "missing $path"
done <<'FILES'
usr/bin/kinovex
usr/bin/kinovex-convert
usr/bin/kinovex-frame
usr/lib/kinovex/kinovex
usr/lib/kinovex/kinovex-convert
usr/lib/kinovex/kinovex-frame
usr/lib/kinovex/ffmpeg
usr/lib/kinovex/help.html
usr/lib/kinovex/res/bitmaps/162.png
usr/lib/kinovex/res/icons/kinovex-48.png
usr/share/applications/kinovex.desktop
usr/share/icons/hicolor/16x16/apps/kinovex.png
usr/share/icons/hicolor/24x24/apps/kinovex.png
usr/share/icons/hicolor/32x32/apps/kinovex.png
usr/share/icons/hicolor/48x48/apps/kinovex.png
usr/share/icons/hicolor/64x64/apps/kinovex.png
usr/share/icons/hicolor/128x128/apps/kinovex.png
usr/share/icons/hicolor/256x256/apps/kinovex.png
usr/share/icons/hicolor/scalable/apps/kinovex.svg
usr/share/metainfo/io.github.kinovex.Kinovex.metainfo.xml
usr/share/man/man1/kinovex.1.gz
usr/share/man/man1/kinovex-convert.1.gz
usr/share/man/man1/kinovex-frame.1.gz
usr/share/doc/kinovex/copyright
FILES

# The commands are links into the program folder that stay inside the tree, and run from there.
for command in kinovex kinovex-convert kinovex-frame; do
    link=$root/usr/bin/$command
    [ -L "$link" ] || fail "usr/bin/$command is no link"
    target=$(realpath -m "$link")
    [ "$target" = "$root/usr/lib/kinovex/$command" ] || fail "usr/bin/$command leads to $target"
done
for command in kinovex-convert kinovex-frame; do
    "$root/usr/bin/$command" --help 2>&1 | grep -q "^usage: $command" ||
        fail "$command --help prints no usage"
done
"$root/usr/lib/kinovex/ffmpeg" -version >/dev/null 2>&1 || fail "the encoder front-end does not run"

# The checkers have nothing to say.
remarks=$(desktop-file-validate "$root/usr/share/applications/kinovex.desktop" 2>&1) &&
    [ -z "$remarks" ] || fail "desktop-file-validate: $remarks"
metainfo=$root/usr/share/metainfo/io.github.kinovex.Kinovex.metainfo.xml
for check in "validate $metainfo" "validate-tree $root"; do
    # shellcheck disable=SC2086 # the command and its subject
    remarks=$(appstreamcli ${check% *} --no-net --no-color "${check#* }" 2>&1) &&
        ! grep -q '^[EWI]:' <<<"$remarks" || fail "appstreamcli $check: $remarks"
done
for page in "$root"/usr/share/man/man1/*.1.gz; do
    remarks=$(zcat "$page" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1) && [ -z "$remarks" ] ||
        fail "groff on $(basename "$page"): $remarks"
done

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "$(basename "$deb"): fields, files, commands and checkers as expected"
