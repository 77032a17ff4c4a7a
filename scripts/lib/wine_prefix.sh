# Shared by the scripts that run Windows programs under Wine: a throwaway
# 64-bit prefix of this script's own, bounded Wine calls, and the end of it.
# The sourcing script has the array pids (processes to end on exit) and
# calls stop_wine_prefix when it ends.

# start_wine_prefix: a fresh prefix in a temporary folder, booted, with a
# real font for the Windows UI font names (without one Qt paints no text in
# its line edits here).
start_wine_prefix() {
    WINEPREFIX="$(mktemp -d /tmp/velmora-wine.XXXXXX)"
    export WINEPREFIX WINEDEBUG=-all WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
    # Wine never gets to open anything on this machine: no browser, no file manager.
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;winebrowser.exe=d"
    wine64 wineboot -i >/dev/null 2>&1 || true
    wine_settle # before anything else, or out-of-process creation spins
    for font in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2"; do
        wine64 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d "Liberation Sans" /f >/dev/null 2>&1
    done
    wine_settle
    require_throwaway_prefix
}

# require_throwaway_prefix: ends the script unless Wine points at a prefix it
# made itself; tests register classes, and never in somebody's own prefix.
require_throwaway_prefix() {
    case "${WINEPREFIX:-}" in
        /tmp/velmora-wine.*) [ -d "$WINEPREFIX" ] && return 0 ;;
    esac
    echo "refusing to run: WINEPREFIX '${WINEPREFIX:-}' is not a throwaway prefix of this script" >&2
    exit 1
}

# Every Wine call is bounded.
wine64() { timeout 180 /usr/lib/wine/wine64 "$@"; }
wine_settle() { timeout 60 wineserver -w || true; }
wine_stop_processes() { timeout 30 wineserver -k 2>/dev/null || true; }

# stop_wine_prefix: ends every Wine process of the prefix and removes it;
# refuses to remove anything that is not a prefix this script made.
stop_wine_prefix() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    wine_stop_processes
    case "$WINEPREFIX" in
        /tmp/velmora-wine.*) rm -rf "$WINEPREFIX" ;;
        *) echo "not removing $WINEPREFIX: not a throwaway prefix" >&2 ;;
    esac
}

# start_wine_session ARCH OUT: what a test of Windows programs on a screen
# starts with (after x_session.sh): the test programs for ARCH built into OUT,
# a virtual X server and a throwaway prefix, all ended with the script. For
# i686, where this machine cannot execute 32-bit programs, the script ends
# as skipped (77).
start_wine_session() {
    build_wine_test_programs "$1" "$2" || { echo "the test server did not build"; exit 1; }
    [ "$1" != i686 ] || can_run_32bit || exit 77
    trap end_session EXIT
    start_x_server
    start_wine_prefix
}

# windows_path LINUX_PATH: the path as the Windows program sees it.
windows_path() { timeout 30 winepath -w "$1" 2>/dev/null; }

# build_wine_test_programs ARCH OUT: the test automation server, its control
# program and the client's tests, cross-built for x86_64 or i686 into OUT/ARCH.
build_wine_test_programs() {
    local tests
    tests="$(dirname "${BASH_SOURCE[0]}")/../../tests/wine"
    cmake -S "$tests" -B "$2/$1" -DCMAKE_TOOLCHAIN_FILE="$tests/../../cmake/mingw-toolchain.cmake" \
        -DMINGW_TRIPLE="$1-w64-mingw32" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$2/$1" -j"$(nproc)" >/dev/null
}

# can_run_32bit: whether this machine executes 32-bit programs at all (its
# 32-bit loader is one); says why not when it cannot.
can_run_32bit() {
    /usr/lib/i386-linux-gnu/ld-linux.so.2 --version >/dev/null 2>&1 && return 0
    echo "this machine cannot execute 32-bit programs" \
         "($(/usr/lib/i386-linux-gnu/ld-linux.so.2 --version 2>&1 | head -n 1 || true))"
    return 1
}
