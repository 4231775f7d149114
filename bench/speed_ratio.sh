#!/usr/bin/env bash
# How close a conversion comes to the encoder's own speed: the whole conversion of MOVIE with
# kinovex-convert's defaults (mp4), against ffmpeg alone encoding the very same pictures and
# sound, kept beforehand in raw files, with the same settings. The two are timed in turn,
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

# The conversion once untimed, through a stand-in for ffmpeg that keeps the very bytes the
# converter sends (pictures on stdin, sound on fd 3) and the arguments it gives. The encoder
# alone then runs the real ffmpeg with those same arguments, reading the kept files instead of
# the pipes: the same pictures, the same sound, the same settings.
capture=$work/capture-ffmpeg
cat >"$capture" <<EOF
#!/usr/bin/env bash
case " \$* " in *" pipe:0 "*) ;; *) exec "$real" "\$@" ;; esac # asked what it can do
printf '%s\n' "\$@" >"$work/args.txt"
if [ -e /dev/fd/3 ]; then cat <&3 >"$work/audio.raw" & fi
cat >"$work/video.raw"
wait
EOF
chmod +x "$capture"
"$tool" "$movie" -o "$work/captured.mp4" -y --ffmpeg "$capture" "${extra[@]}" >/dev/null 2>&1 || true
[ -s "$work/args.txt" ] || { echo "the conversion of $movie started no encoder" >&2; exit 1; }
mapfile -t args <"$work/args.txt"
encode=("$real")
for a in "${args[@]}"; do
    case $a in
    pipe:0) encode+=("$work/video.raw") ;;
    pipe:3) encode+=("$work/audio.raw") ;;
    -n) encode+=(-y) ;;
    *) encode+=("$a") ;;
    esac
done
encode[${#encode[@]} - 1]=$work/encoder.mp4 # the output comes last
# Frames: the kept pictures' bytes over one picture's (4:2:0 takes 1.5 bytes a pixel, BGRA 4).
frames=$(awk -v n="$(stat -c %s "$work/video.raw")" '
    prev == "-video_size" && !size { split($0, s, "x"); size = s[1] * s[2] }
    prev == "-pix_fmt" && !format { format = $0 }
    { prev = $0 }
    END { print int(n / (size * (format == "yuv420p" ? 1.5 : 4))) }' "$work/args.txt")

: >"$work/convert.txt"
: >"$work/encoder.txt"
for ((i = 0; i < runs; i++)); do
    wall "$tool" "$movie" -o "$work/out.mp4" -y --ffmpeg "$real" "${extra[@]}" >>"$work/convert.txt"
    wall "${encode[@]}" >>"$work/encoder.txt"
done
convert=$(median <"$work/convert.txt")
encoder=$(median <"$work/encoder.txt")
ratio=$(awk -v c="$convert" -v e="$encoder" 'BEGIN { printf "%.2f", c / e }')
printf '%s  %s frames  convert %s s  encoder %s s  ratio %s\n' "$(basename "$movie")" "$frames" \
    "$convert" "$encoder" "$ratio"
