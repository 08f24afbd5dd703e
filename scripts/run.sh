#!/usr/bin/env bash
# Installs, builds and starts the application. Only the application is built (with the libraries it links);
# scripts/build.sh and scripts/test.sh build everything, tests and benchmarks included.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
bash "$TESS_ROOT/scripts/install-deps.sh"
tess_configure "$TESS_BUILD_DIR"
cmake --build "$TESS_BUILD_DIR" -j "$JOBS" --target tessarine
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: set DISPLAY (or run this script under xvfb-run) to see the application window." >&2
    exit 2
fi
exec "$TESS_BUILD_DIR/bin/tessarine" "$@"
