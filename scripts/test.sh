#!/usr/bin/env bash
# Builds everything and runs every test twice: once on SQLite database files, once on a throwaway PostgreSQL
# server of its own (a Unix socket in a temporary folder, stopped at the end whatever happens). In CI the suite runs
# again under AddressSanitizer and UndefinedBehaviorSanitizer, on both engines.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
    echo "$0: needs root (it installs Debian packages, runs PostgreSQL as its own account and tests the package in a chroot): run it as root or with sudo" >&2
    exit 1
fi

scripts/install-deps.sh test
export QT_QPA_PLATFORM=offscreen

server_dir=$(mktemp -d /tmp/kesola-test-pg.XXXXXX)
# Qt keeps its runtime files in XDG_RUNTIME_DIR, which only a login session sets; without it every test program
# would warn that it is missing. A private folder of the run's own stands in for it.
XDG_RUNTIME_DIR=$(mktemp -d /tmp/kesola-test-runtime.XXXXXX)
export XDG_RUNTIME_DIR
cleanup() {
    scripts/pg-test-server.sh stop "$server_dir" || true
    rm -rf "$server_dir" "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT
server_uri=$(scripts/pg-test-server.sh start "$server_dir")

# Test databases are throwaway: on a memory file system their syncs cost nothing, which keeps the multi-process
# lock tests quick on a loaded machine.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

failed=0

# Formatting is part of the check: every tracked source as .clang-format has it.
echo "== clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror || failed=1

# Tests named Postgres* exercise what only the server engine does; they run in the PostgreSQL pass.
run_suite() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir"
    echo "== $dir: SQLite database files"
    ctest --test-dir "$dir" --output-on-failure --timeout 300 -j2 -E '^Postgres' || failed=1
    echo "== $dir: PostgreSQL server ($server_uri)"
    KESOLA_TEST_PG_URI=$server_uri ctest --test-dir "$dir" --output-on-failure --timeout 300 -j2 || failed=1
}

run_suite build/test -DCMAKE_BUILD_TYPE=Debug

# The Windows programs, cross-built from Debian's sources and tested under wine against this Linux build.
echo "== windows: scripts/test-windows.sh"
scripts/test-windows.sh build/test || failed=1

# The readers of outside data under libFuzzer, each for a bounded time from its seed corpus (scripts/fuzz.sh).
echo "== fuzz"
scripts/fuzz.sh || failed=1

if [ "${CI:-}" = true ] || [ "${KESOLA_SANITIZE:-0}" = 1 ]; then
    # Leak checking stays off: Qt's plugin loader, fontconfig and the SQL drivers (libpq among them) keep what they
    # allocate until the process ends and free none of it at exit, so LeakSanitizer would report those at the end of
    # every test binary and hide a real leak among them. Memory errors and undefined behaviour still fail the run.
    export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1
    run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DKESOLA_SANITIZE=ON
fi

# The Debian package, installed into a fresh Debian 12 root and used there as an ordinary user.
echo "== package: installed on a fresh Debian 12 root"
scripts/package-test.sh || failed=1
exit $failed
