#!/usr/bin/env bash
# Sets everything up and runs every test: the normal build with warnings as errors, then the
# same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
#   scripts/test.sh            both builds
#   scripts/test.sh --quick    the normal build only
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
run_suite() {
    local build_dir=$1
    shift
    bash scripts/build.sh "$build_dir" -DKINOVEX_WERROR=ON "$@"
    bash scripts/with-test-services.sh \
        ctest --test-dir "$build_dir" --output-on-failure --parallel "$jobs" --timeout 300
}

run_suite build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ "${1:-}" != "--quick" ]; then
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DKINOVEX_SANITIZE=ON -DKINOVEX_BENCH=OFF
fi
