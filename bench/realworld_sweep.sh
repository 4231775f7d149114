#!/usr/bin/env bash
# Converts every movie of a folder (and its sub-folders) with kinovex-convert's defaults, one at
# a time, and prints a table: the output's length (ffprobe), how the conversion ended, the
# buttons it pressed, speed against real time, peak memory and the warnings it printed.
#
#   bench/realworld_sweep.sh DIR [--convert PATH] [--out DIR] [-- extra kinovex-convert options]
#
# A conversion that fails, hangs past --timeout seconds (default 900) or crashes shows as such
# in the table; the sweep goes on with the next movie.
set -u

usage() {
    echo "usage: $0 DIR [--convert PATH] [--out DIR] [--timeout S] [-- options...]" >&2
    exit 2
}

[ $# -ge 1 ] || usage
dir=$1
shift
here=$(cd "$(dirname "$0")/.." && pwd)
convert="$here/build/bin/kinovex-convert"
out=$(mktemp -d /tmp/kinovex-sweep.XXXXXX)
timeout_s=900
extra=()
while [ $# -gt 0 ]; do
    case $1 in
    --convert) convert=$2; shift ;;
    --out) out=$2; shift ;;
    --timeout) timeout_s=$2; shift ;;
    --) shift; extra=("$@"); break ;;
    *) usage ;;
    esac
    shift
done
[ -d "$dir" ] && [ -x "$convert" ] || usage
mkdir -p "$out"

# The value of "key" in the one-movie report (a flat JSON object per movie).
field() {
    sed -n "s/.*\"$2\": \"\\{0,1\\}\\([^\",}]*\\).*/\\1/p" "$1" | head -n 1
}

printf '%-48s %8s %-38s %-22s %7s %7s %s\n' movie length ended pressed speed "MB" warnings
n=0
while IFS= read -r -d '' movie; do
    n=$((n + 1))
    name=${movie#"$dir"/}
    video="$out/$n.mp4"
    report="$out/$n.json"
    log="$out/$n.log"
    status=0
    /usr/bin/time -f 'peak-kib %M' -o "$out/$n.time" timeout -k 10 "$timeout_s" \
        "$convert" "$movie" -o "$video" -y --report "$report" "${extra[@]}" >"$log" 2>&1 ||
        status=$?
    length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$video" 2>/dev/null)
    ended=$(sed -n 's/.*ended: //p' "$log" | head -n 1)
    pressed=$(sed -n 's/.*\(pressed "[^"]*"\).*/\1/p' "$log" | tr '\n' ' ')
    seconds=$(field "$report" seconds)
    wall=$(field "$report" wall_seconds)
    speed=$(awk -v s="${seconds:-0}" -v w="${wall:-0}" 'BEGIN { if (w > 0) printf "%.1fx", s / w }')
    peak=$(awk '/peak-kib/ { printf "%.0f", $2 / 1024 }' "$out/$n.time" 2>/dev/null)
    warnings=$(grep -cvE 'converted to|ended: |pressed "|[0-9]+% \(|^$' "$log")
    case $status in
    0) ;;
    124 | 137) ended="HUNG (killed after ${timeout_s} s)" ;;
    *) ended="FAILED (exit $status): ${ended}" ;;
    esac
    printf '%-48.48s %7.1fs %-38.38s %-22.22s %7s %7s %s\n' "$name" "${length:-0}" \
        "${ended:--}" "${pressed:--}" "${speed:--}" "${peak:--}" "$warnings"
done < <(find "$dir" -name '*.swf' -type f -print0 | sort -z)
echo "outputs and logs: $out"
