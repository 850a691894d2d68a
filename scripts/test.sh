#!/usr/bin/env bash
# Builds everything and runs every test. In CI the suite runs a second time under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

run_suite() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir"
    ctest --test-dir "$dir" --output-on-failure --timeout 300 -j2
}

run_suite build/test -DCMAKE_BUILD_TYPE=Debug
if [ "${CI:-}" = true ] || [ "${KESOLA_SANITIZE:-0}" = 1 ]; then
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
        run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DKESOLA_SANITIZE=ON
fi
