#!/usr/bin/env bash
# Writes the pictures of the real windows that the docs show, on a private X server:
#   scripts/screenshots.sh [build-dir] [folder]     (defaults: build, docs/screenshots)
# The build must hold tests/screenshot_writer (built with the tests). Needs ImageMagick's
# `import` to read the screen back.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
folder=${2:-docs/screenshots}
writer=$build_dir/tests/screenshot_writer
if [ ! -x "$writer" ]; then
    echo "$0: $writer is missing; build it with: cmake --build $build_dir --target screenshot_writer" >&2
    exit 2
fi
command -v import >/dev/null || { echo "$0: ImageMagick's import is not installed" >&2 && exit 2; }
KINOVEX_SCREENSHOTS=$folder QT_QPA_PLATFORM=xcb bash scripts/with-test-services.sh "$writer"
echo "pictures written to $folder"
