# Sourced by the build scripts: compile through ccache where it is installed, with its cache
# outside the checkout, so that every build folder, every clone on this machine (CI clones
# afresh each run) and the package build share what was compiled before. Sets
# corvane_launcher to the CMake options that use it (empty without ccache).
# CORVANE_CCACHE=0 turns it off; CCACHE_DIR names another cache folder.
corvane_launcher=""
if [ "${CORVANE_CCACHE:-1}" != 0 ] && command -v ccache >/dev/null 2>&1; then
    if [ -z "${CCACHE_DIR:-}" ]; then
        if [ "$(id -u)" -eq 0 ]; then
            CCACHE_DIR=/var/cache/corvane/ccache
        else
            CCACHE_DIR=${XDG_CACHE_HOME:-$HOME/.cache}/corvane/ccache
        fi
    fi
    # Paths below the checkout are hashed relative to it, so a clone in another folder hits,
    # except for the unity sources, which name the sources they include by their full paths:
    # those hit in a clone in the same folder (as CI makes it).
    CCACHE_BASEDIR=$(pwd)
    CCACHE_NOHASHDIR=true
    CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-12G}
    export CCACHE_DIR CCACHE_BASEDIR CCACHE_NOHASHDIR CCACHE_MAXSIZE
    mkdir -p "$CCACHE_DIR"
    corvane_launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
fi
