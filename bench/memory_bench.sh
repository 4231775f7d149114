#!/usr/bin/env bash
# Peak memory and time of loading a movie and showing its first frame, for movies of growing
# length: the loading cost should grow with the file, not faster.
#
#   bench/memory_bench.sh [build-dir]
#
# Needs the targets kinovex_frame and make_convert_bench_movie built in build-dir (default
# build). Each movie is the one bench/convert_bench.sh converts (550 x 400, 24 fps, the cartoon
# scene of 300 gradient shapes, MP3 stream sound when the system's ffmpeg has libmp3lame), made for each length in
# SECONDS_LIST (default "60 300 600").
set -euo pipefail

build_dir=${1:-build}
real=${REAL_FFMPEG:-/usr/bin/ffmpeg}
lengths=${SECONDS_LIST:-60 300 600}
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "$root/$build_dir" && pwd)/bin
tool=$bin/kinovex-frame
maker=$(find "$root/$build_dir" -name make_convert_bench_movie -type f -perm -u+x | head -n1)
[ -x "$tool" ] || { echo "no $tool (build the kinovex_frame target)" >&2; exit 1; }
[ -n "$maker" ] || { echo "no make_convert_bench_movie (build that target)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package: time)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/memory bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "seconds  file MB  peak RSS MB  wall s (load + first frame)"
for s in $lengths; do
    mp3="$work/sound-$s.mp3"
    if ! "$real" -nostdin -hide_banner -loglevel error -y -f lavfi \
        -i "sine=frequency=220:duration=$((s + 1))[a];sine=frequency=330:duration=$((s + 1))[b];anoisesrc=d=$((s + 1)):a=0.03[c];[a][b][c]amix=inputs=3" \
        -ac 2 -ar 44100 -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 -f mp3 "$mp3" 2>/dev/null; then
        mp3=
    fi
    movie="$work/movie-$s.swf"
    "$maker" "$movie" "$s" ${mp3:+"$mp3"}
    /usr/bin/time -v -o "$work/time.txt" "$tool" "$movie" --frames 1 -o "$work/frame.png" >/dev/null
    rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$work/time.txt")
    size=$(stat -c %s "$movie")
    python3 - "$s" "$size" "$rss" "$wall" <<'PY'
import sys
s, size, rss, wall = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
m, sec = wall.split(":")[-2:]
print(f"{s:>7}  {size / 1e6:7.1f}  {rss / 1024:11.0f}  {60 * float(m) + float(sec):6.2f}")
PY
done
