#!/usr/bin/env bash
# Builds the engine's fuzz target with clang and runs it for a bounded time on a seed corpus of
# the movies our writer makes.
#   fuzz/run.sh [seconds]     (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DKINOVEX_FUZZ=ON -DKINOVEX_TESTS=OFF \
        -DKINOVEX_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
fi
cmake --build "$build" --target engine_fuzz kinovex_make_movies
corpus="$build/fuzz-corpus"
if [ ! -d "$corpus" ]; then
    mkdir -p "$corpus"
    "$build/tests/fixtures/kinovex_make_movies" "$build/seed-movies"
    find "$build/seed-movies" -name '*.swf' -exec cp {} "$corpus/" \;
fi
mkdir -p "$build/fuzz-findings"
"$build/fuzz/engine_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="$build/fuzz-findings/" "$corpus"
