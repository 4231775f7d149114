#!/usr/bin/env bash
# The GNU parallel recipe of docs/batch.md, run as written there with this machine as its only
# worker (":" in the hosts file, so no ssh): the manifest lists the movies, a damaged movie fails
# only its own task, and running the recipe again converts only the failed one.
#
#   parallel_recipe.sh TOOL_DIR SAMPLES_DIR BATCH_DOC
set -euo pipefail
tool_dir=$(cd "$1" && pwd)
samples=$2
doc=$3
command -v parallel >/dev/null || { echo "GNU parallel is not installed (Debian package: parallel)"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/parallel-recipe.XXXXXX")
trap 'rm -rf "$work"' EXIT # no space in it: the recipe writes its paths unquoted
batch=$work/batch
export PATH="$tool_dir:$PATH"

# The doc's shell block that follows a heading, with its /shared/batch made ours.
block_after() {
    awk -v heading="$1" '
        $0 == heading { found = 1; next }
        found && /^```sh$/ { inside = 1; next }
        inside && /^```$/ { exit }
        inside { print }' "$doc" | sed "s#/shared/batch#$batch#g"
}

mkdir -p "$batch/movies/cartoons" "$batch/movies/other folder"
cp "$samples/bouncing-ball.swf" "$samples/morphing-shape.swf" "$batch/movies/cartoons/"
cp "$samples/windmills.swf" "$batch/movies/other folder/"
printf 'FWS\x0a not a movie' >"$batch/movies/other folder/damaged.swf"

manifest=$(block_after "## The manifest")
recipe=$(block_after "## GNU parallel over ssh")
[ -n "$manifest" ] && [ -n "$recipe" ] || { echo "no recipe found in $doc"; exit 1; }
bash -euo pipefail -c "$manifest"
[ "$(wc -l <"$batch/manifest.txt")" -eq 4 ] || { echo "manifest:"; cat "$batch/manifest.txt"; exit 1; }
echo "2/:" >"$batch/hosts.txt"

status=0
(cd "$batch" && bash -c "$recipe") || status=$?
[ "$status" -eq 1 ] || { echo "first run: parallel exited $status, expected 1 (one failed task)"; exit 1; }
for video in "cartoons/bouncing-ball" "cartoons/morphing-shape" "other folder/windmills"; do
    frames=$(ffprobe -v error -count_packets -select_streams v:0 \
        -show_entries stream=nb_read_packets -of csv=p=0 "$batch/videos/$video.mp4")
    [ "$frames" -gt 0 ] || { echo "$video.mp4 has no frames"; exit 1; }
done
[ ! -e "$batch/videos/other folder/damaged.mp4" ] || { echo "a damaged movie left a video"; exit 1; }
[ "$(ls "$batch/reports" | wc -l)" -eq 4 ] || { echo "not one report per task"; exit 1; }

# After the damaged movie is mended, the same command converts it and nothing else.
cp "$samples/windmills.swf" "$batch/movies/other folder/damaged.swf"
rm "$batch/videos/cartoons/bouncing-ball.mp4"
(cd "$batch" && bash -c "$recipe") || { echo "second run failed"; exit 1; }
[ -s "$batch/videos/other folder/damaged.mp4" ] || { echo "the mended movie was not converted"; exit 1; }
[ ! -e "$batch/videos/cartoons/bouncing-ball.mp4" ] || { echo "a finished task ran again"; exit 1; }
[ "$(tail -n +2 "$batch/logs/parallel.log" | wc -l)" -eq 5 ] || { echo "joblog:"; cat "$batch/logs/parallel.log"; exit 1; }
echo "the parallel recipe converts the batch and resumes only what failed"
