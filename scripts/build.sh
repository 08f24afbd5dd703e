#!/usr/bin/env bash
# Installs the dependencies and builds the application, the tests and the benchmarks.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
bash "$TESS_ROOT/scripts/install-deps.sh"
tess_configure "$TESS_BUILD_DIR" "$@"
cmake --build "$TESS_BUILD_DIR" -j "$JOBS"
