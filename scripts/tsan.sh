#!/usr/bin/env bash
# Builds the core and the tests that read (and write tags) concurrently with
# ThreadSanitizer, and runs them. Fails on any data race it reports.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=build-tsan
tests=(tst_concurrentreads tst_folderscan tst_renamerun tst_runplan tst_undo tst_moverun tst_id3v2 tst_tagbatch tst_cli)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTRIO_TSAN=ON -DZENTRIO_TESTS=ON >/dev/null
cmake --build "$build" --target "${tests[@]}"
pattern="^($(IFS='|'; echo "${tests[*]}"))\$"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan-qt.supp" QT_QPA_PLATFORM=offscreen \
    ctest --test-dir "$build" --output-on-failure -R "$pattern"
