#!/usr/bin/env bash
# What the encoder front-end costs: the same conversion run directly with ffmpeg and through
# the front-end, alternating so that a change in the machine's load hits both alike.
#
#   bench/encoder_overhead.sh [build-dir] [runs]
#
# Environment: SECONDS_OF_VIDEO (default 5, the length of the made-up recording),
# REAL_FFMPEG (default /usr/bin/ffmpeg).
set -euo pipefail

build_dir=${1:-build}
runs=${2:-10}
length=${SECONDS_OF_VIDEO:-5}
real=${REAL_FFMPEG:-/usr/bin/ffmpeg}
front_end=$(cd "$(dirname "$0")/.." && cd "$build_dir" && pwd)/bin/ffmpeg
[ -x "$front_end" ] || { echo "no front-end at $front_end (build the kinovex_encoder target)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/encoder overhead.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache" # the front-end's libxvid answer, kept out of the real home
unset KINOVEX_FFMPEG

# The recording as the program leaves it: 12 fps msvideo1 AVI, 24000 Hz stereo 16-bit WAV.
"$real" -v error -y -f lavfi -i "testsrc=duration=$length:size=320x240:rate=12" \
    -c:v msvideo1 -pix_fmt rgb555le "$work/intro.avi"
"$real" -v error -y -f lavfi -i "sine=frequency=440:sample_rate=24000:duration=$length" \
    -ac 2 -c:a pcm_s16le "$work/intro.wav"

# The preset's legacy command, and what the front-end turns it into on this machine.
legacy=(-y -i "$work/intro.avi" -i "$work/intro.wav" -pix_fmt yuv420p -vcodec xvid -s 368x208
    -b 512k -r 29.97 -acodec aac -ac 2 -ab 64k -ar 24000)
if "$real" -hide_banner -loglevel quiet -h encoder=libxvid | grep -q '^Encoder libxvid'; then
    video=libxvid
else
    video=mpeg4
fi
direct=(-loglevel warning -stats -y -i "$work/intro.avi" -i "$work/intro.wav" -pix_fmt yuv420p
    -vcodec "$video" -s 368x208 -b:v 512k -r 30000/1001 -acodec aac -ac 2 -b:a 64k -ar 24000)

# One run: wall seconds and CPU seconds (user + system, the encoder's included), one line. The
# encoder's console output goes where the conversion window would read it, here nowhere. CPU
# time says more than wall time on a busy machine.
time_run() {
    local TIMEFORMAT='%3R %3U %3S'
    { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%s %.3f\n", $1, $2 + $3 }'
}

column() { cut -d' ' -f"$1"; }
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
mean() { awk '{ s += $1 } END { printf "%.3f", s / NR }'; }

# The first front-end run asks the encoder about libxvid and remembers the answer.
first=$(time_run "$front_end" "${legacy[@]}" "$work/out-front.mp4" | column 1)
time_run "$real" "${direct[@]}" "$work/out-direct.mp4" >/dev/null

: >"$work/direct.txt"
: >"$work/front.txt"
for ((i = 0; i < runs; i++)); do
    time_run "$real" "${direct[@]}" "$work/out-direct.mp4" >>"$work/direct.txt"
    time_run "$front_end" "${legacy[@]}" "$work/out-front.mp4" >>"$work/front.txt"
done

: >"$work/probe.txt"
for ((i = 0; i < 3; i++)); do
    time_run "$real" -hide_banner -loglevel quiet -h encoder=libxvid >>"$work/probe.txt"
done

# The front-end's own fixed cost, apart from the encoder's: in front of a program that does
# nothing, against that program alone.
: >"$work/true-direct.txt"
: >"$work/true-front.txt"
for ((i = 0; i < 10 * runs; i++)); do
    time_run /bin/true >>"$work/true-direct.txt"
    KINOVEX_FFMPEG=/bin/true time_run "$front_end" "${legacy[@]}" "$work/out-true.mp4" \
        >>"$work/true-front.txt"
done

overhead() { awk -v d="$1" -v f="$2" 'BEGIN { printf "%+.2f %%", (f - d) * 100 / d }'; }
direct_wall=$(column 1 <"$work/direct.txt" | median)
front_wall=$(column 1 <"$work/front.txt" | median)
direct_cpu=$(column 2 <"$work/direct.txt" | median)
front_cpu=$(column 2 <"$work/front.txt" | median)
echo "conversion of a ${length} s recording, $runs runs each, medians in seconds"
echo "  ffmpeg directly:        wall $direct_wall  cpu $direct_cpu"
echo "  through the front-end:  wall $front_wall  cpu $front_cpu"
echo "  first front-end run (asks about libxvid): wall $first"
echo "  asking the encoder about libxvid: wall $(column 1 <"$work/probe.txt" | mean) (mean)"
difference() { awk -v d="$(column "$1" <"$2" | mean)" -v f="$(column "$1" <"$3" | mean)" \
    'BEGIN { printf "%.4f", f - d }'; }
echo "  fixed cost of the front-end (in front of /bin/true, $((10 * runs)) runs, means):" \
    "wall $(difference 1 "$work/true-direct.txt" "$work/true-front.txt")" \
    "cpu $(difference 2 "$work/true-direct.txt" "$work/true-front.txt")"
echo "overhead: wall $(overhead "$direct_wall" "$front_wall"), cpu $(overhead "$direct_cpu" "$front_cpu")"
