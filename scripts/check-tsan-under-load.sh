#!/usr/bin/env bash
# Runs the ThreadSanitizer suites again and again to flush out timing faults: first on every core, then pinned
# to two cores while checksum loops keep the other cores busy. Needs the ThreadSanitizer tree that
# scripts/test.sh builds (build-tsan by default). REPEAT=N sets how many times each test must pass (20).
set -uo pipefail
TESS_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TSAN_DIR="${TSAN_DIR:-$TESS_ROOT/build-tsan}"
REPEAT="${REPEAT:-20}"
export TSAN_DIR REPEAT
CORES="$(nproc)"
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$TESS_ROOT/tests/support/tsan.supp"

if [ ! -f "$TSAN_DIR/CTestTestfile.cmake" ]; then
    echo "no ThreadSanitizer tree in $TSAN_DIR: run scripts/test.sh first" >&2
    exit 2
fi

run_suites() {
    ctest --test-dir "$TSAN_DIR" -L tsan --repeat "until-fail:$REPEAT" --output-on-failure --timeout 900 "$@"
}

echo "==== ThreadSanitizer suites, each test $REPEAT times, on $CORES cores ===="
start=$(date +%s)
run_suites -j "$CORES"
first=$?
echo "Wall time: $(($(date +%s) - start)) s; exit status $first"

LOAD_PIDS=()
stop_load() {
    for pid in "${LOAD_PIDS[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
}
trap stop_load EXIT

echo "==== The same, pinned to cores 0 and 1, with the other cores busy ===="
if [ "$CORES" -gt 2 ]; then
    for ((cpu = 2; cpu < CORES; ++cpu)); do
        taskset -c "$cpu" sha256sum /dev/zero >/dev/null &
        LOAD_PIDS+=($!)
    done
fi
start=$(date +%s)
taskset -c 0,1 bash -c "$(declare -f run_suites); run_suites -j 2"
second=$?
echo "Wall time: $(($(date +%s) - start)) s; exit status $second"
stop_load

[ "$first" = 0 ] && [ "$second" = 0 ]
