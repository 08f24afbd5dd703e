#!/usr/bin/env bash
# Runs the roads (the assembled application driven through its windows) on a busy machine: checksum loops keep
# every core but one busy while each roads binary runs whole, in a shuffled order, one binary after the other.
# A road that holds only on a quiet machine fails here. Not part of the test command.
# Needs a built tree (build by default; TESS_BUILD_DIR chooses another). TESS_TEST_SEED chooses the order's seed
# (printed); ROUNDS=N runs the whole set N times, each round with the next seed (1).
set -uo pipefail
TESS_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${TESS_BUILD_DIR:-$TESS_ROOT/build}"
ROUNDS="${ROUNDS:-1}"
SEED="${TESS_TEST_SEED:-$(((RANDOM * 32768 + RANDOM) % 99999 + 1))}"
CORES="$(nproc)"

if [ ! -f "$BUILD_DIR/CTestTestfile.cmake" ]; then
    echo "no built tree in $BUILD_DIR: run scripts/build.sh first" >&2
    exit 2
fi

export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 QT_MEDIA_BACKEND=gstreamer
TEST_HOME="$(mktemp -d /tmp/tess-roads-load-XXXXXX)"
export HOME="$TEST_HOME/home" XDG_CONFIG_HOME="$TEST_HOME/config" XDG_DATA_HOME="$TEST_HOME/data"
export XDG_CACHE_HOME="$TEST_HOME/cache" XDG_RUNTIME_DIR="$TEST_HOME/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

LOAD_PIDS=()
stop_load() {
    for pid in "${LOAD_PIDS[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$TEST_HOME"
}
trap stop_load EXIT
for ((cpu = 1; cpu < CORES; ++cpu)); do
    sha256sum /dev/zero >/dev/null &
    LOAD_PIDS+=($!)
done
echo "==== The roads, each binary whole and shuffled, beside $((CORES - 1)) busy cores of $CORES ===="

status=0
for ((round = 0; round < ROUNDS; ++round)); do
    seed=$(((SEED + round - 1) % 99999 + 1))
    echo "---- round $((round + 1)) of $ROUNDS: --gtest_random_seed=$seed ----"
    start=$(date +%s)
    GTEST_RANDOM_SEED="$seed" ctest --test-dir "$BUILD_DIR" -L whole -R '^tests_roads' -j 1 --output-on-failure \
        --timeout 1800 || status=1
    echo "Wall time: $(($(date +%s) - start)) s"
    bash "$TESS_ROOT/scripts/print-failures.sh" "$BUILD_DIR"
done
echo "Seeds: $SEED to $(((SEED + ROUNDS - 2) % 99999 + 1)); status $status"
exit $status
