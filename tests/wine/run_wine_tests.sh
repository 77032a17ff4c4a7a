#!/usr/bin/env bash
# Cross-compiles the automation client and the test server with mingw-w64 and
# runs the client's tests under Wine in a throwaway prefix.
#   run_wine_tests.sh BUILD_DIR 64   with nothing registered, against the
#       in-process DLL, against the out-of-process EXE, and last with the
#       server killed under the client;
#   run_wine_tests.sh BUILD_DIR 32   the 32-bit server and client are built;
#       the 64-bit and the 32-bit client are run against the 32-bit
#       out-of-process EXE, and the 32-bit client against the 32-bit DLL, where
#       this machine can execute 32-bit programs, else the test says why and
#       exits 77 (skipped).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here/../../build/wine}"
bits="${2:-64}"

source "$here/../../scripts/lib/wine_prefix.sh"
build_wine_test_programs x86_64 "$out"
if [ "$bits" = 32 ]; then
    build_wine_test_programs i686 "$out"
    if ! can_run_32bit; then
        echo "32-bit server built, not run"
        exit 77
    fi
fi

pids=()
trap stop_wine_prefix EXIT
start_wine_prefix

status=0
client="$out/x86_64/test_com_link.exe"
run() {
    echo "== $1 ($2)"
    wine64 "$client" "$1" || status=1
}
run32() {
    echo "== $1 ($2, 32-bit client)"
    timeout 300 /usr/lib/wine/wine "$out/i686/test_com_link.exe" "$1" || status=1
}

if [ "$bits" = 32 ]; then
    require_throwaway_prefix
    run32 unregistered "creation with nothing registered"
    timeout 180 /usr/lib/wine/wine regsvr32 "$out/i686/conference_test_server.dll" >/dev/null
    run32 inproc "32-bit in-process DLL"
    timeout 180 /usr/lib/wine/wine regsvr32 /u "$out/i686/conference_test_server.dll" >/dev/null
    timeout 180 /usr/lib/wine/wine "$out/i686/conference_test_server.exe" /RegServer
    run outproc "32-bit out-of-process EXE, 64-bit client"
    run32 outproc "32-bit out-of-process EXE"
    exit "$status"
fi

server="$out/x86_64/conference_test_server.exe"
require_throwaway_prefix
echo "== a save on Windows"
(cd "$WINEPREFIX/drive_c" && wine64 "$out/x86_64/test_durable_file.exe") || status=1
run unregistered "creation with nothing registered"

wine64 "$server" /RegServerWithoutTypeLibrary
run incomplete "the class registered without its type library"
wine64 "$server" /UnregServer

wine64 regsvr32 "$out/x86_64/conference_test_server.dll" >/dev/null
run inproc "64-bit in-process DLL"
echo "== registering over a class registered to another program"
if wine64 "$server" /RegServer; then
    echo "FAIL: the test server took over a class registered to another program"
    status=1
fi
wine64 regsvr32 /u "$out/x86_64/conference_test_server.dll" >/dev/null

wine64 "$server" /RegServer
run outproc "64-bit out-of-process EXE"
wine_stop_processes
run hung "a server that answers nothing"
wine_stop_processes

# Wine keeps a killed server registered until its processes exit: last.
run killed "the server killed under the client"
exit "$status"
