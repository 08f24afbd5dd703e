#!/usr/bin/env bash
# Starts the built application on a virtual X display with a fresh home folder and no reachable web service,
# and checks that it shows its first window and then exits with status 0 (TESS_EXIT_AFTER_FIRST_WINDOW).
# Usage: check-first-window.sh [path to tessarine]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
APP="${1:-$TESS_BUILD_DIR/bin/tessarine}"
if [ ! -x "$APP" ]; then
    echo "check-first-window: no application at $APP" >&2
    exit 1
fi

FRESH="$(mktemp -d /tmp/tess-first-window-XXXXXX)"
trap 'rm -rf "$FRESH"' EXIT
mkdir -p "$FRESH/home" "$FRESH/config" "$FRESH/data" "$FRESH/cache" "$FRESH/runtime"
chmod 700 "$FRESH/runtime"
OUTPUT="$FRESH/output.txt"

status=0
# Port 9 on this machine answers nothing: the first start of a user without network.
timeout --kill-after=10 120 xvfb-run -a \
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY \
    HOME="$FRESH/home" XDG_CONFIG_HOME="$FRESH/config" XDG_DATA_HOME="$FRESH/data" \
    XDG_CACHE_HOME="$FRESH/cache" XDG_RUNTIME_DIR="$FRESH/runtime" \
    QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1 QT_MEDIA_BACKEND=gstreamer \
    TESS_API_URL="http://127.0.0.1:9/" TESS_EXIT_AFTER_FIRST_WINDOW=1 \
    "$APP" >"$OUTPUT" 2>&1 || status=$?

if [ "$status" -ne 0 ]; then
    echo "check-first-window: the application ended with status $status" >&2
    tail -n 40 "$OUTPUT" >&2
    exit 1
fi
if ! grep -q '^first-window-exposed ' "$OUTPUT"; then
    echo "check-first-window: the application showed no window" >&2
    tail -n 40 "$OUTPUT" >&2
    exit 1
fi
echo "check-first-window: $(grep '^first-window-exposed ' "$OUTPUT" | head -n 1) (microseconds); exit status 0"
