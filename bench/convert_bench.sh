#!/usr/bin/env bash
# How fast kinovex-convert turns a movie into the default mp4, how much of that is the engine,
# and how much memory it takes.
#
#   bench/convert_bench.sh [build-dir]
#
# Needs the targets kinovex_convert_cli and make_convert_bench_movie built in build-dir
# (default build). The movie is generated: 550 x 400 at 24 fps, the engine benchmark's cartoon
# scene (a bitmap backdrop, 300 gradient shapes in 30 groups: half stand still, half slide, one
# group in five turns and grows in each frame; MOTION=turn turns and grows every group in every
# frame, the worst case), and stream sound, MP3 when the system's ffmpeg has libmp3lame (else
# PCM, and the script says so). A 60 s and a 10 minute movie are each converted twice: timed
# (speed, rendering share, CPU), then with memory watched (peak memory). The rendering share is the
# engines' CPU time (summed over the engines drawing frames side by side) against all the CPU
# time kinovex-convert and its ffmpeg took: with the work spread over threads and processes, a
# share of the wall time would no longer say anything.
#
# Environment: REAL_FFMPEG (default /usr/bin/ffmpeg), SHORT_SECONDS (60), LONG_SECONDS (600;
# 0 skips the long run), MOTION (typical or turn),
# CONVERT_ARGS (extra options for kinovex-convert, e.g. to try --jobs or a profile).
set -euo pipefail

build_dir=${1:-build}
real=${REAL_FFMPEG:-/usr/bin/ffmpeg}
short=${SHORT_SECONDS:-60}
long=${LONG_SECONDS:-600}
motion=${MOTION:-typical}
motion_flag=()
[ "$motion" = turn ] && motion_flag=(--turn)
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "$root/$build_dir" && pwd)/bin
tool=$bin/kinovex-convert
maker=$(find "$root/$build_dir" -name make_convert_bench_movie -type f -perm -u+x | head -n1)
[ -x "$tool" ] || { echo "no $tool (build the kinovex_convert_cli target)" >&2; exit 1; }
[ -n "$maker" ] || { echo "no make_convert_bench_movie (build that target)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package: time)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/convert bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The sound: a chord with a little noise, so the MP3 decoder works on every band.
sound_for() { # seconds -> path of an MP3, or nothing
    local out="$work/sound-$1.mp3"
    if "$real" -nostdin -hide_banner -loglevel error -y -f lavfi \
        -i "sine=frequency=220:duration=$1[a];sine=frequency=330:duration=$1[b];anoisesrc=d=$1:a=0.03[c];[a][b][c]amix=inputs=3" \
        -ac 2 -ar 44100 -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 -f mp3 "$out" 2>/dev/null; then
        echo "$out"
    fi
}

# Sums the resident memory of the tool and its ffmpeg while they run; prints the peak of the
# sum and the tool's own peak (VmHWM), in kB.
watch_memory() { # pid
    local peak=0 own=0 sum pids hwm
    while kill -0 "$1" 2>/dev/null; do
        pids="$1 $(pgrep -P "$1" | tr '\n' ' ')"
        sum=0
        for p in $pids; do
            rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$p/status" 2>/dev/null || echo 0)
            sum=$((sum + ${rss:-0}))
        done
        hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0)
        ((${hwm:-0} > own)) && own=${hwm:-0}
        ((sum > peak)) && peak=$sum
        sleep 0.1
    done
    echo "$peak $own"
}

# One conversion, twice: timed by itself, then again with its memory watched (the watcher's
# processes would slow a timed run). Prints "speed render_share tool_peak_MB tree_peak_MB
# cpu_seconds wall".
convert() { # movie report
    local out="${1%.swf}.mp4"
    /usr/bin/time -f "%U %S" -o "$work/time.txt" "$tool" "$1" -o "$out" -y -q --report "$2" \
        --ffmpeg "$real" ${CONVERT_ARGS:-}
    local user sys
    read -r user sys < "$work/time.txt"
    "$tool" "$1" -o "$out" -y -q --ffmpeg "$real" ${CONVERT_ARGS:-} &
    local tool_pid=$!
    local memory
    memory=$(watch_memory "$tool_pid")
    wait "$tool_pid"
    python3 - "$2" $memory "$user" "$sys" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))["movies"][0]
assert report["ok"], report
wall, render, seconds = report["wall_seconds"], report["render_seconds"], report["seconds"]
tree, own = int(sys.argv[2]) / 1024, int(sys.argv[3]) / 1024
cpu = float(sys.argv[4]) + float(sys.argv[5])  # the tool and its ffmpeg
print(f"{seconds / wall:.1f} {100 * render / cpu:.0f} {own:.0f} {tree:.0f} {cpu:.1f} {wall:.1f}")
PY
}

mp3_short=$(sound_for "$((short + 1))")
mp3_long=
[ "$long" -gt 0 ] && mp3_long=$(sound_for "$((long + 1))")
if [ -n "$mp3_short" ]; then kind="MP3 stream sound"; else kind="PCM stream sound (no libmp3lame)"; fi
"$maker" "${motion_flag[@]}" "$work/short.swf" "$short" ${mp3_short:+"$mp3_short"}
[ "$long" -gt 0 ] && "$maker" "${motion_flag[@]}" "$work/long.swf" "$long" ${mp3_long:+"$mp3_long"}

echo "machine: $(nproc) cores; movie: 550x400, 24 fps, 300 gradient shapes ($motion motion) + bitmap, $kind"
read -r speed share rss tree cpu wall < <(convert "$work/short.swf" "$work/short.json")
echo "${short} s movie -> mp4: ${wall} s wall, ${speed}x real time; rendering ${share} % of the CPU time"
echo "  peak memory: kinovex-convert ${rss} MB, kinovex-convert + ffmpeg together ${tree} MB; CPU ${cpu} s (both)"
[ "$long" -gt 0 ] || exit 0
read -r speed share rss tree cpu wall < <(convert "$work/long.swf" "$work/long.json")
echo "${long} s movie -> mp4: ${wall} s wall, ${speed}x real time; rendering ${share} % of the CPU time"
echo "  peak memory: kinovex-convert ${rss} MB, kinovex-convert + ffmpeg together ${tree} MB; CPU ${cpu} s (both)"
