#!/usr/bin/env bash
# Installs, builds and runs every test headless; ends with CTest's summary.
# Extra arguments go to the main ctest run (for example: -R FlowUndo).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
bash "$TESS_ROOT/scripts/install-deps.sh"

bash "$TESS_ROOT/scripts/check-format.sh"

tess_configure "$TESS_BUILD_DIR" -DTESS_WERROR=ON
cmake --build "$TESS_BUILD_DIR" -j "$JOBS"

# Sanitizer passes build only the suites marked for them, each in a build folder of its own.
# The target list is read whole before searching it: with pipefail, grep -q closing the pipe early would fail.
has_target() {
    local targets
    targets="$(cmake --build "$1" --target help)"
    grep -q "^$2:" <<<"$targets"
}
ASAN_DIR="${TESS_BUILD_DIR}-sanitize"
TSAN_DIR="${TESS_BUILD_DIR}-tsan"
tess_configure "$ASAN_DIR" -DTESS_SANITIZE=address -DTESS_BUILD_BENCH=OFF
RUN_ASAN=0
if has_target "$ASAN_DIR" sanitize_tests; then
    cmake --build "$ASAN_DIR" -j "$JOBS" --target sanitize_tests
    RUN_ASAN=1
fi
tess_configure "$TSAN_DIR" -DTESS_SANITIZE=thread -DTESS_BUILD_BENCH=OFF
RUN_TSAN=0
if has_target "$TSAN_DIR" tsan_tests; then
    cmake --build "$TSAN_DIR" -j "$JOBS" --target tsan_tests
    RUN_TSAN=1
fi

export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_MEDIA_BACKEND=gstreamer
TEST_HOME="$(mktemp -d /tmp/tess-tests-XXXXXX)"
trap 'rm -rf "$TEST_HOME"' EXIT
export HOME="$TEST_HOME/home" XDG_CONFIG_HOME="$TEST_HOME/config" XDG_DATA_HOME="$TEST_HOME/data"
export XDG_CACHE_HOME="$TEST_HOME/cache" XDG_RUNTIME_DIR="$TEST_HOME/runtime"
# Temporary folders as well: what a test process killed on its time limit leaves goes with the rest. (Not a
# folder further down: the single-instance socket's path, in a test's child process, must stay short.)
export TMPDIR="$TEST_HOME"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# Test inputs that come from Debian packages rather than from the repository.
for fetch in "$TESS_ROOT"/scripts/fetch-test-data-*.sh; do
    [ -e "$fetch" ] && source "$fetch"
done

# A stale list from an earlier run would be reported as this run's failures.
rm -f "$ASAN_DIR/Testing/Temporary/LastTestsFailed.log" "$TSAN_DIR/Testing/Temporary/LastTestsFailed.log" \
    "$TESS_BUILD_DIR/Testing/Temporary/LastTestsFailed.log"
status=0
if [ "$RUN_ASAN" = 1 ]; then
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir "$ASAN_DIR" -L sanitize --output-on-failure -j "$JOBS" --timeout 600 || status=$?
fi
# Races show only in some interleavings: each thread-checked test runs up to three times and must pass every time.
if [ "$RUN_TSAN" = 1 ]; then
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$TESS_ROOT/tests/support/tsan.supp" \
        ctest --test-dir "$TSAN_DIR" -L tsan --repeat until-fail:3 --output-on-failure -j "$JOBS" --timeout 600 ||
        status=$?
fi
# Besides each test in a process of its own, every binary runs once whole, in a shuffled order
# ("<binary>.whole", started first as the longest): what one test leaves for the next shows. The order's seed is
# printed here and at the end; GTEST_RANDOM_SEED=<seed> <binary> --gtest_shuffle repeats it (TESS_TEST_SEED
# chooses it).
WHOLE_SEED="${TESS_TEST_SEED:-$(((RANDOM * 32768 + RANDOM) % 99999 + 1))}"
echo "Whole binaries run shuffled with --gtest_random_seed=$WHOLE_SEED"
GTEST_RANDOM_SEED="$WHOLE_SEED" ctest --test-dir "$TESS_BUILD_DIR" --output-on-failure -j "$JOBS" --timeout 600 "$@" ||
    status=$?
# The real binary, as a user starts it: a virtual display, a fresh home folder, its first window, status 0.
bash "$TESS_ROOT/scripts/check-first-window.sh" "$TESS_BUILD_DIR/bin/tessarine" || status=1
for dir in "$ASAN_DIR" "$TSAN_DIR" "$TESS_BUILD_DIR"; do
    bash "$TESS_ROOT/scripts/print-failures.sh" "$dir"
done
echo "Whole binaries ran shuffled with --gtest_random_seed=$WHOLE_SEED"
echo "Test status: $status"
exit $status
