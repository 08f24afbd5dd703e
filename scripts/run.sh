#!/usr/bin/env bash
# Installs, builds and starts the application.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
bash "$TESS_ROOT/scripts/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: set DISPLAY (or run this script under xvfb-run) to see the application window." >&2
    exit 2
fi
exec "$TESS_BUILD_DIR/bin/tessarine" "$@"
