# Sourced by the build and test scripts: compiler cache settings shared by every clone.
export CCACHE_BASEDIR=/
export CCACHE_NOHASHDIR=1
export CCACHE_DIR="${CCACHE_DIR:-${HOME:-/root}/.cache/ccache}"
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-8G}"
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}"
TESS_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export TESS_ROOT
TESS_BUILD_DIR="${TESS_BUILD_DIR:-$TESS_ROOT/build}"
export TESS_BUILD_DIR
JOBS="${JOBS:-$(nproc)}"
export JOBS

tess_configure() {
    local dir="$1"
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$TESS_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    fi
}
