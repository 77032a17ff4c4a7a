#!/usr/bin/env bash
# Cross-compiles the automation client and the test server with mingw-w64 and
# runs the client's tests under Wine in a throwaway prefix: with nothing
# registered, against the in-process DLL, against the out-of-process EXE,
# against a 32-bit EXE where this machine can run one, and last with the
# server killed under the client.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here/../../build/wine}"

for arch in x86_64 i686; do
    cmake -S "$here" -B "$out/$arch" -DCMAKE_TOOLCHAIN_FILE="$here/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$out/$arch" -j"$(nproc)" >/dev/null
done

WINEPREFIX="$(mktemp -d /tmp/velmora-wine.XXXXXX)"
export WINEPREFIX WINEDEBUG=-all WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
cleanup() {
    timeout 30 wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

wine64() { timeout 180 /usr/lib/wine/wine64 "$@"; }
settle() { timeout 60 wineserver -w || true; }
stop_servers() { timeout 30 wineserver -k 2>/dev/null || true; }

wine64 wineboot -i >/dev/null 2>&1 || true
settle # before anything else, or out-of-process creation spins

status=0
client="$out/x86_64/test_com_link.exe"
run() {
    echo "== $1 ($2)"
    wine64 "$client" "$1" || status=1
}

run unregistered "creation with nothing registered"

wine64 regsvr32 "$out/x86_64/conference_test_server.dll" >/dev/null
run inproc "64-bit in-process DLL"
wine64 regsvr32 /u "$out/x86_64/conference_test_server.dll" >/dev/null

wine64 "$out/x86_64/conference_test_server.exe" /RegServer
run outproc "64-bit out-of-process EXE"
stop_servers

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    wine64 "$out/x86_64/conference_test_server.exe" /UnregServer
    timeout 180 /usr/lib/wine/wine "$out/i686/conference_test_server.exe" /RegServer
    run outproc "32-bit out-of-process EXE, 64-bit client"
    stop_servers
    timeout 180 /usr/lib/wine/wine "$out/i686/conference_test_server.exe" /UnregServer
    wine64 "$out/x86_64/conference_test_server.exe" /RegServer
else
    echo "== 32-bit out-of-process EXE: built, not run: this machine cannot execute 32-bit" \
         "programs ($(/usr/lib/i386-linux-gnu/ld-linux.so.2 --version 2>&1 | head -n 1 || true))"
fi

# Wine keeps a killed server registered until its processes exit: last.
run killed "the server killed under the client"
stop_servers

exit "$status"
