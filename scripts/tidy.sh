#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy over everything but the movie engine
# (src/core, src/tools, src/platform, src/desktop), using a build's compilation database:
#   scripts/tidy.sh [build-dir]      (default build; the build must have been configured)
# Exits non-zero on any finding. The engine is left to the function-length check
# (scripts/long-functions.sh): its 140 files would add six minutes to CI.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
if [ ! -f "$build_dir/compile_commands.json" ]; then
    echo "$0: no $build_dir/compile_commands.json; configure the build first" >&2
    exit 2
fi
tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy || true)
if [ -z "$tidy" ]; then
    echo "$0: run-clang-tidy is not installed (Debian: clang-tidy)" >&2
    exit 2
fi
root=$(pwd -P)
# GCC-only warning options in the database mean nothing to clang.
"$tidy" -p "$build_dir" -quiet -j "$(nproc)" -extra-arg=-Wno-unknown-warning-option \
    "^$root/src/(core|tools|platform|desktop)/.*\.cpp$"
