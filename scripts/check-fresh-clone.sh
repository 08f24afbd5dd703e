#!/usr/bin/env bash
# Clones the repository's current commit into a temporary folder and runs the README's test command there, the
# way a new developer would; prints the wall time and CTest's summaries. Run it before resolving a change that
# touches the build or the scripts (CI does not run it). Uncommitted changes are not part of the clone.
# Arguments go to scripts/test.sh; JOBS=N limits its parallel jobs (all cores by default). TESS_KEEP_CLONE=1
# leaves the clone in place.
#
#   --with-desktop-plugins   first installs the GStreamer plugin sets a desktop often has beside ours (an office
#                            suite brings them), which the tests must not depend on: gstreamer1.0-plugins-bad and
#                            gstreamer1.0-plugins-ugly. They stay installed afterwards.
set -uo pipefail
if [ "${1:-}" = --with-desktop-plugins ]; then
    shift
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly || exit 1
fi
SOURCE="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
COMMIT="$(git -C "$SOURCE" rev-parse HEAD)"
if [ -n "$(git -C "$SOURCE" status --porcelain --untracked-files=no)" ]; then
    echo "note: uncommitted changes in $SOURCE are not in the clone" >&2
fi

WORK="$(mktemp -d /tmp/tess-fresh-clone-XXXXXX)"
if [ "${TESS_KEEP_CLONE:-0}" != 1 ]; then
    trap 'rm -rf "$WORK"' EXIT
fi
CLONE="$WORK/tessarine"
LOG="$WORK/test.log"
git clone --quiet --no-checkout "$SOURCE" "$CLONE" && git -C "$CLONE" checkout --quiet --detach "$COMMIT" || exit 1
# A fresh machine has no build folder of its own; the compiler cache is shared, as on a developer's machine.
unset TESS_BUILD_DIR

echo "Running bash scripts/test.sh in $CLONE (commit ${COMMIT:0:12}, $(nproc) cores, ${JOBS:-$(nproc)} jobs)"
start=$(date +%s)
(cd "$CLONE" && bash scripts/test.sh "$@") 2>&1 | tee "$LOG"
status=${PIPESTATUS[0]}
elapsed=$(($(date +%s) - start))

echo
echo "==== CTest summaries: AddressSanitizer suites, ThreadSanitizer suites (each test up to 3 times), all suites ===="
grep -E 'tests passed|tests failed out of|^Total Test time' "$LOG" || echo "no CTest summary: the run stopped before the tests"
printf 'Wall time: %dm%02ds on %d cores with %d jobs; exit status %d\n' $((elapsed / 60)) $((elapsed % 60)) "$(nproc)" \
    "${JOBS:-$(nproc)}" "$status"
if [ "${TESS_KEEP_CLONE:-0}" = 1 ]; then
    echo "The clone stays in $CLONE"
fi
exit "$status"
