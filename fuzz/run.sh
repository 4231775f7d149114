#!/usr/bin/env bash
# Builds the engine's fuzz targets with clang and runs each for a share of a bounded time:
# the movie reader, the ActionScript 3 bytecode reader and verifier, the ActionScript 1/2
# machine, and the whole load-play-draw path. Exits non-zero when a fuzzer finds a crash, a
# leak, a hang (an input taking over 10 s) or an input needing over 2 GB; the input is kept in
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
cmake --build "$build" --parallel "$(nproc)" \
    --target swf_reader_fuzz abc_fuzz avm1_fuzz engine_fuzz kinovex_make_movies

# Each corpus keeps what earlier runs found. The writer's movies seed the two movie targets
# every time, so movies added to the writer join them; a few small programs seed the script
# target (push a string and trace it; read a clip's member; jump to itself forever).
rm -rf "$build/seed-movies"
"$build/tests/fixtures/kinovex_make_movies" "$build/seed-movies"
for target in swf_reader engine; do
    mkdir -p "$build/fuzz-corpus-$target"
    find "$build/seed-movies" -name '*.swf' -exec cp {} "$build/fuzz-corpus-$target/" \;
done
scripts="$build/fuzz-corpus-avm1"
mkdir -p "$scripts"
printf '\x96\x07\x00\x00hello\x00\x26\x00' >"$scripts/trace"
printf '\x96\x06\x00\x00clip\x00\x1c\x96\x04\x00\x00_x\x00\x4e\x26\x00' >"$scripts/member"
printf '\x99\x02\x00\xfb\xff\x00' >"$scripts/loop"
# The bytecode target starts from a block with one script whose body pushes a scope and returns.
bytecode="$build/fuzz-corpus-abc"
mkdir -p "$bytecode"
printf '\x10\x00\x2e\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x01\x00\x00\x01\x00\x01\x01\x00\x01\x03\xd0\x30\x47\x00\x00' \
    >"$bytecode/script"

mkdir -p "$build/fuzz-findings"
run() {
    local target=$1 share=$2 corpus=$3
    echo "== $target: $share s"
    "$build/fuzz/$target" -max_total_time="$share" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/$target-" "$corpus"
}
reader_share=$((seconds / 4 > 0 ? seconds / 4 : 1))
bytecode_share=$((seconds / 6 > 0 ? seconds / 6 : 1))
script_share=$((seconds / 3 > 0 ? seconds / 3 : 1))
engine_share=$((seconds - reader_share - bytecode_share - script_share))
engine_share=$((engine_share > 0 ? engine_share : 1))
run swf_reader_fuzz "$reader_share" "$build/fuzz-corpus-swf_reader"
run abc_fuzz "$bytecode_share" "$bytecode"
run avm1_fuzz "$script_share" "$scripts"
run engine_fuzz "$engine_share" "$build/fuzz-corpus-engine"
