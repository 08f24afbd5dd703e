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
#   --without-desktop-plugins
#                            runs as on a machine with only the README's GStreamer plugins, whatever else is
#                            installed, and uninstalls nothing: GStreamer is pointed at a folder of links to the
#                            plugins of the core, gstreamer1.0-plugins-base, -good and -libav, with a registry of its
#                            own.
set -uo pipefail
SOURCE="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PLUGINS=""
case "${1:-}" in
--with-desktop-plugins)
    shift
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly || exit 1
    ;;
--without-desktop-plugins)
    shift
    bash "$SOURCE/scripts/install-deps.sh" || exit 1
    PLUGINS=yes
    ;;
esac
COMMIT="$(git -C "$SOURCE" rev-parse HEAD)"
if [ -n "$(git -C "$SOURCE" status --porcelain --untracked-files=no)" ]; then
    echo "note: uncommitted changes in $SOURCE are not in the clone" >&2
fi

WORK="$(mktemp -d /tmp/tess-fresh-clone-XXXXXX)"
if [ "${TESS_KEEP_CLONE:-0}" != 1 ]; then
    trap 'rm -rf "$WORK"' EXIT
fi
if [ -n "$PLUGINS" ]; then
    PLUGINS="$WORK/gstreamer-plugins"
    mkdir -p "$PLUGINS"
    for package in libgstreamer1.0-0 gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav; do
        files="$(dpkg -L "$package" | grep '/gstreamer-1.0/[^/]*\.so$')" || {
            echo "no GStreamer plugins listed for $package" >&2
            exit 1
        }
        for file in $files; do ln -sf "$file" "$PLUGINS/"; done
    done
    unset GST_PLUGIN_PATH GST_PLUGIN_PATH_1_0
    export GST_PLUGIN_SYSTEM_PATH_1_0="$PLUGINS" GST_REGISTRY_1_0="$WORK/gstreamer-registry.bin"
    echo "GStreamer sees only the $(ls "$PLUGINS" | wc -l) plugins of the core, base, good and libav sets"
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
