#!/usr/bin/env bash
# Peak memory of playing movies for more and more frames: what a frame costs once the movie is
# loaded. Give movies of either script machine (ActionScript 1/2 and 3) side by side to compare
# what their scripts keep per frame; a movie whose scripts hold nothing for good should cost
# nothing per frame.
#
#   bench/frame_memory.sh [--build DIR] MOVIE.swf...
#
# FRAMES_LIST (default "100 1000 3000") sets the frame counts. Prints, per movie, the peak RSS
# at each count and the growth per 1000 frames between the first and the last count.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=build
if [ "${1:-}" = --build ]; then
    build_dir=$2
    shift 2
fi
[ $# -ge 1 ] || { sed -n '2,10p' "$0" >&2; exit 2; }
tool=$(cd "$root/$build_dir" && pwd)/bin/kinovex-frame
[ -x "$tool" ] || { echo "no $tool (build the kinovex_frame target)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package: time)" >&2; exit 1; }
command -v bc >/dev/null || { echo "needs bc (Debian package: bc)" >&2; exit 1; }
read -r -a counts <<<"${FRAMES_LIST:-100 1000 3000}"

work=$(mktemp -d "${TMPDIR:-/tmp}/frame memory.XXXXXX")
trap 'rm -rf "$work"' EXIT

printf '%-40s' "movie"
for n in "${counts[@]}"; do printf '  %8s' "$n fr MB"; done
printf '  %s\n' "MB per 1000 frames"
for movie in "$@"; do
    rss=()
    for n in "${counts[@]}"; do
        /usr/bin/time -f %M -o "$work/rss" "$tool" "$movie" --frames "$n" -o "$work/f.png" \
            >/dev/null 2>&1 || true
        rss+=("$(tail -n1 "$work/rss")")
    done
    printf '%-40s' "$(basename "$movie" | cut -c1-40)"
    for kb in "${rss[@]}"; do printf '  %8.1f' "$(echo "$kb / 1024" | bc -l)"; done
    first=${rss[0]} last=${rss[${#rss[@]} - 1]}
    span=$((counts[${#counts[@]} - 1] - counts[0]))
    printf '  %8.2f\n' "$(echo "($last - $first) / 1024 * 1000 / $span" | bc -l)"
done
