#!/usr/bin/env bash
# Installs, builds and runs every test headless; ends with CTest's summary.
# Extra arguments go to ctest (for example: -R FlowUndo).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
bash "$TESS_ROOT/scripts/install-deps.sh"

bash "$TESS_ROOT/scripts/check-format.sh"

tess_configure "$TESS_BUILD_DIR" -DTESS_WERROR=ON
cmake --build "$TESS_BUILD_DIR" -j "$JOBS"

# The sanitizer pass builds only the suites marked SANITIZE, in a build folder of its own.
SAN_DIR="${TESS_BUILD_DIR}-sanitize"
tess_configure "$SAN_DIR" -DTESS_SANITIZE=address -DTESS_BUILD_BENCH=OFF
if cmake --build "$SAN_DIR" --target help | grep -q '^sanitize_tests'; then
    cmake --build "$SAN_DIR" -j "$JOBS" --target sanitize_tests
    RUN_SANITIZE=1
else
    RUN_SANITIZE=0
fi

export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_MEDIA_BACKEND=gstreamer
TEST_HOME="$(mktemp -d /tmp/tess-tests-XXXXXX)"
trap 'rm -rf "$TEST_HOME"' EXIT
export HOME="$TEST_HOME/home" XDG_CONFIG_HOME="$TEST_HOME/config" XDG_DATA_HOME="$TEST_HOME/data"
export XDG_CACHE_HOME="$TEST_HOME/cache" XDG_RUNTIME_DIR="$TEST_HOME/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

status=0
if [ "$RUN_SANITIZE" = 1 ]; then
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir "$SAN_DIR" -L sanitize --output-on-failure -j "$JOBS" --timeout 600 || status=$?
fi
ctest --test-dir "$TESS_BUILD_DIR" --output-on-failure -j "$JOBS" --timeout 600 "$@" || status=$?
exit $status
