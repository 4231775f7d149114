#!/usr/bin/env bash
# Draws bitmap 195, the tile behind the player and Output Settings panels of the movie page.
#
# A dark slate tile with a fine diamond lattice: quiet enough behind a playing movie, dark
# enough for the settings page's white title. 96 pixels square, and every line wraps at the
# edges, so the tiles join without a seam.
#   res/art/make-bitmap-195.sh [output.png]   (default: res/bitmaps/195.png; needs ImageMagick)
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${1:-res/bitmaps/195.png}
size=96
step=24

lines=()
for ((k = -size; k <= 2 * size; k += step)); do
    lines+=(-draw "line $k,0 $((k + size)),$size")  # falling diagonals
    lines+=(-draw "line $k,$size $((k + size)),0")  # rising diagonals
done
dots=()
for ((x = 0; x <= size; x += step)); do
    for ((y = 0; y <= size; y += step)); do
        # The lattice's crossings, and the centres of its diamonds a shade darker.
        dots+=(-fill '#3a5470' -draw "circle $x,$y $((x + 1)),$y")
        cx=$((x + step / 2)); cy=$((y + step / 2))
        dots+=(-fill '#1a2736' -draw "circle $cx,$cy $((cx + 2)),$cy")
    done
done

convert -size ${size}x${size} xc:'#223246' \
    -stroke '#2a3d54' -strokewidth 1 -fill none "${lines[@]}" \
    -stroke none "${dots[@]}" \
    -seed 195 -attenuate 0.12 +noise Uniform \
    -depth 8 -define png:exclude-chunks=date,time -strip "PNG24:$out"
echo "wrote $out"
