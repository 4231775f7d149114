#!/usr/bin/env bash
# Builds the engine's fuzz target with clang and runs it for a bounded time on a seed corpus of
# the movies our writer makes. Exits non-zero when the fuzzer finds a crash, a leak, a hang
# (an input taking over 10 s) or an input needing over 2 GB; the input is kept in
# <build>/fuzz-findings/.
#   fuzz/run.sh [seconds]     (default 60; FUZZ_BUILD names the build folder, default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD:-build-fuzz}
if [ ! -f "$build/CMakeCache.txt" ]; then
    generator=()
    command -v ninja >/dev/null && generator=(-G Ninja)
    CC=clang CXX=clang++ cmake -S . -B "$build" "${generator[@]}" -DKINOVEX_FUZZ=ON \
        -DKINOVEX_TESTS=OFF -DKINOVEX_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
fi
cmake --build "$build" --parallel "$(nproc)" --target engine_fuzz kinovex_make_movies
# The corpus keeps what earlier runs found; the writer's movies are added to it every time, so
# movies added to the writer join it.
corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
rm -rf "$build/seed-movies"
"$build/tests/fixtures/kinovex_make_movies" "$build/seed-movies"
find "$build/seed-movies" -name '*.swf' -exec cp {} "$corpus/" \;
mkdir -p "$build/fuzz-findings"
"$build/fuzz/engine_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/" "$corpus"
