#!/usr/bin/env bash
# Sets everything up and runs every test:
#   1. the normal build with warnings as errors and its whole suite, clang-tidy (scripts/tidy.sh),
#      then the conformance suites
#      (tests/conformance/: movies with the reference player's trace output) played with its
#      kinovex-frame, each held to its floor; skipped where ../shared/conformance is absent;
#   2. the threaded modules' tests built with ThreadSanitizer (player thread, capture, recording
#      run, render lanes, redirector);
#   3. the whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer;
#   4. the movie engine fuzzed for a bounded time (KINOVEX_FUZZ_SECONDS, default 75), layer by
#      layer: the movie reader and the whole engine on the movies our writer makes, the
#      ActionScript 1/2 machine on small programs; a crash, leak or hang it finds fails the run.
#   scripts/test.sh            all four
#   scripts/test.sh --quick    the first only
# Builds without full debug information: line tables are enough for sanitizer reports, and CI
# must stay well inside its time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
configure() {
    local build_dir=$1
    shift
    local generator=()
    command -v ninja >/dev/null && generator=(-G Ninja)
    cmake -S . -B "$build_dir" "${generator[@]}" -DKINOVEX_WERROR=ON "$@" >/dev/null
}
run_ctest() {
    bash scripts/with-test-services.sh \
        ctest --test-dir "$1" --output-on-failure --parallel "$jobs" --timeout 300
}

echo "== normal build"
configure build-test -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"
cmake --build build-test --parallel "$jobs"
run_ctest build-test

echo "== clang-tidy (.clang-tidy) on everything but the engine"
bash scripts/tidy.sh build-test

echo "== conformance suites"
bash tests/conformance/selftest.sh
conformance_dir=${KINOVEX_CONFORMANCE_DIR:-../shared/conformance}
if [ -d "$conformance_dir" ]; then
    conformance_ok=1
    for suite in as2 as3; do
        bash tests/conformance/run.sh --suite "$suite" --frame-tool build-test/bin/kinovex-frame \
            --out "build-test/conformance/$suite" --floor "tests/conformance/$suite-floor" ||
            conformance_ok=0
    done
    [ "$conformance_ok" = 1 ]
else
    echo "no $conformance_dir: the conformance suites are skipped"
fi

[ "${1:-}" = "--quick" ] && exit 0

echo "== ThreadSanitizer: the threaded modules"
# The player thread, the sound capture and the recording run, the render lanes (engines playing
# side by side), the synchronisation primitives and the console redirector.
configure build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" -DKINOVEX_TSAN=ON -DKINOVEX_BENCH=OFF
cmake --build build-tsan --parallel "$jobs" --target player_thread_tests record_tests \
    platform_tests cliconvert_tests convert_tests redirect_helper
export TSAN_OPTIONS=halt_on_error=1
build-tsan/tests/player_thread_tests --gtest_brief=1
build-tsan/tests/record_tests --gtest_brief=1
build-tsan/tests/platform_tests --gtest_brief=1
build-tsan/tests/cliconvert_tests --gtest_brief=1 --gtest_filter='RenderLanes*'
build-tsan/tests/convert_tests --gtest_brief=1 --gtest_filter='ConsoleRedirector*'
unset TSAN_OPTIONS

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
configure build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" -DKINOVEX_SANITIZE=ON -DKINOVEX_BENCH=OFF
cmake --build build-asan --parallel "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan

echo "== Fuzzing the movie engine"
bash fuzz/run.sh "${KINOVEX_FUZZ_SECONDS:-75}"
