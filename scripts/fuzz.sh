#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang, AddressSanitizer and UndefinedBehaviorSanitizer in build/fuzz and
# runs each for a bounded time, from a copy of its seed corpus in fuzz/corpus/<target>/ (the repository's corpus is
# never written to). KESOLA_FUZZ_SECONDS sets the time per target (default 30). Fails when a target crashes or
# breaks one of the promises it checks; the input that did it is kept in build/fuzz/crashes/<target>/.
# One target by hand: build/fuzz/fuzz/fuzz_cp932 -max_total_time=60 build/fuzz/runs/cp932/corpus
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${KESOLA_FUZZ_SECONDS:-30}
dir=build/fuzz
targets=(settings_file postgres_uri jet_sql cp932 csv_record worklist_query)

CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DKESOLA_FUZZ=ON -DKESOLA_WERROR=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" >/dev/null
cmake --build "$dir" -j2 --target fuzzers

# A leak is reported like a crash; UndefinedBehaviorSanitizer already stops at the first finding (built with
# -fno-sanitize-recover), and its stack says where.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
# The settings target writes a file per input: on a memory file system its syncs cost nothing.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

failed=0
for target in "${targets[@]}"; do
    run=$dir/runs/$target
    crashes=$dir/crashes/$target
    rm -rf "$run" "$crashes"
    mkdir -p "$run/corpus" "$crashes"
    cp fuzz/corpus/"$target"/* "$run/corpus/"
    seeds=$(find "$run/corpus" -type f | wc -l)
    if "$dir/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$run/corpus" >"$run/log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log")
        echo "fuzz_$target: ok, $runs inputs in ${seconds} s, corpus $seeds -> $(find "$run/corpus" -type f | wc -l)"
    else
        echo "fuzz_$target: FAILED. The sanitizer's or the broken promise's report:"
        grep -v '^#[0-9]' "$run/log" | tail -n 40
        echo "The input is kept in $crashes/ (full log: $run/log); run it again with:"
        echo "  $dir/fuzz/fuzz_$target $crashes/<file>"
        failed=1
    fi
done
exit $failed
