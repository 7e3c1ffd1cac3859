#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, 30 by default) from the seed corpus in tests/fuzz/corpus.
# Fails on any finding; prints the executions each target reached.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
seconds="${FUZZ_SECONDS:-30}"
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTRIO_FUZZ=ON >/dev/null
cmake --build "$build"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
for target in trailer compose settings id3v2 pattern journal paths formats query; do
    max_len=600
    [ "$target" = formats ] && max_len=8192 # a tagged file with its padding
    mkdir -p "$work/$target"
    cp tests/fuzz/corpus/$target/* "$work/$target/"
    if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="$max_len" \
        -artifact_prefix="$work/$target-" "$work/$target" >"$work/$target.log" 2>&1; then
        runs=$(grep -o 'Done [0-9]* runs' "$work/$target.log" | tail -1)
        echo "fuzz_$target: no findings; ${runs:-no run count} in ${seconds} s"
    else
        echo "fuzz_$target: FINDING" >&2
        tail -40 "$work/$target.log" >&2
        status=1
    fi
done
exit $status
