#!/usr/bin/env bash
# How close a conversion comes to the encoder's own speed: the whole conversion of MOVIE with
# kinovex-convert's defaults (mp4), against ffmpeg alone encoding the very same pictures and
# sound, decoded beforehand into raw files, with the same settings. The two are timed in turn,
# RUNS times each, so that a change in the machine's load hits both alike; the medians of wall
# time are compared.
#
#   bench/speed_ratio.sh MOVIE.swf|cartoon [build-dir]
#
# `cartoon` is the converter benchmark's scene with filters (make_convert_bench_movie
# --filters), CARTOON_SECONDS long (default 60).
# Output: one line, "MOVIE  frames  convert S  encoder S  ratio R".
# Environment: RUNS (default 3), REAL_FFMPEG (default /usr/bin/ffmpeg), CONVERT_ARGS (extra
# options for kinovex-convert, e.g. --max-duration 60).
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 MOVIE.swf|cartoon [build-dir]" >&2; exit 2; }
movie=$1
build_dir=${2:-build}
runs=${RUNS:-3}
real=${REAL_FFMPEG:-/usr/bin/ffmpeg}
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "$root/$build_dir" && pwd)/bin
tool=$bin/kinovex-convert
[ -x "$tool" ] || { echo "no $tool (build the kinovex_convert_cli target)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/speed ratio.XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ "$movie" = cartoon ]; then
    maker=$(find "$root/$build_dir" -name make_convert_bench_movie -type f -perm -u+x | head -n1)
    [ -n "$maker" ] || { echo "no make_convert_bench_movie (build that target)" >&2; exit 1; }
    "$maker" --filters "$work/cartoon.swf" "${CARTOON_SECONDS:-60}"
    movie=$work/cartoon.swf
fi
read -r -a extra <<<"${CONVERT_ARGS:-}"

wall() {
    local TIMEFORMAT='%3R'
    { time "$@" >/dev/null 2>&1; } 2>&1
}
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The conversion once untimed, to learn its length and size; then its pictures as PNGs (the
# engine's own pixels) and its sound, both turned into the raw form the converter feeds ffmpeg.
"$tool" "$movie" -o "$work/out.mp4" -y "${extra[@]}" >/dev/null 2>&1
frames=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
    -of csv=p=0 "$work/out.mp4")
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 \
    "$work/out.mp4")
rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0 \
    "$work/out.mp4")
has_audio=$(ffprobe -v error -select_streams a -show_entries stream=index -of csv=p=0 "$work/out.mp4")
"$tool" "$movie" -p png -o "$work/pic.png" -y --frames "$frames" "${extra[@]}" >/dev/null 2>&1
"$real" -v error -y -framerate "$rate" -i "$work/pic_%05d.png" -f rawvideo -pix_fmt yuv420p \
    "$work/video.raw"
rm -f "$work"/pic_*.png
audio_in=()
audio_out=()
if [ -n "$has_audio" ]; then
    "$real" -v error -y -i "$work/out.mp4" -vn -f s16le -ar 44100 -ac 2 "$work/audio.raw"
    audio_in=(-f s16le -ar 44100 -ac 2 -i "$work/audio.raw")
    audio_out=(-c:a aac -b:a 160k)
fi
encode=("$real" -hide_banner -nostdin -loglevel error -y -f rawvideo -pix_fmt yuv420p
    -video_size "$size" -framerate "$rate" -i "$work/video.raw" "${audio_in[@]}"
    -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -movflags +faststart
    "${audio_out[@]}" -f mp4 "$work/encoder.mp4")

: >"$work/convert.txt"
: >"$work/encoder.txt"
for ((i = 0; i < runs; i++)); do
    wall "$tool" "$movie" -o "$work/out.mp4" -y "${extra[@]}" >>"$work/convert.txt"
    wall "${encode[@]}" >>"$work/encoder.txt"
done
convert=$(median <"$work/convert.txt")
encoder=$(median <"$work/encoder.txt")
ratio=$(awk -v c="$convert" -v e="$encoder" 'BEGIN { printf "%.2f", c / e }')
printf '%s  %s frames  convert %s s  encoder %s s  ratio %s\n' "$(basename "$movie")" "$frames" \
    "$convert" "$encoder" "$ratio"
