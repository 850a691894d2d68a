#!/usr/bin/env bash
# Builds the benchmarks (Release) and prints every figure. The large databases are generated once into
# bench-data/ and reused.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESOLA_BENCHMARKS=ON >/dev/null
cmake --build build/bench --target board_bench booking_bench history_bench patients_bench csv_bench search_bench pg_bench workstations_bench backup_bench window_gallery worklist_bench worklist_register_bench
export QT_QPA_PLATFORM=offscreen
for bench in build/bench/bench/*_bench; do
    echo "== $(basename "$bench")"
    if [ "$(basename "$bench")" = history_bench ] && [ -d /dev/shm ]; then
        TMPDIR=/dev/shm "$bench"
    else
        "$bench"
    fi
done
