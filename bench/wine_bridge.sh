#!/usr/bin/env bash
# The conference through the Wine bridge beside the stand-in: a send's round
# trip and the arrival of the chat text it raises (bench_link_trip), and the
# bridge's cost while nothing happens. Run by scripts/bench on its session
# bus, with the 32-bit test automation server as the application.
#   wine_bridge.sh BUILD_DIR
set -uo pipefail
build="$1"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="$(mktemp -d)"
pids=()
source "$root/scripts/lib/x_session.sh"
source "$root/scripts/lib/wine_prefix.sh"
can_run_32bit >/dev/null || { echo "| Wine bridge                       | not measured: no 32-bit programs here |"; exit 0; }
build_wine_test_programs i686 "$build/wine-tests"
trap end_session EXIT
start_wine_prefix
timeout 180 /usr/lib/wine/wine "$build/wine-tests/i686/conference_test_server.exe" /RegServer

wait_owned() { wait_for 60 conference_owned; }

"$build/tools/conference_standin/conference-standin" --echo </dev/zero >/dev/null 2>&1 &
standin=$!
wait_owned
read -r standin_trip standin_arrival < <("$build/bench/bench_link_trip")
kill "$standin"
wait "$standin" 2>/dev/null

"$build/tools/wine_bridge/velmora-wine-bridge" 2>/dev/null &
bridge=$!
wait_owned
read -r bridge_trip bridge_arrival < <("$build/bench/bench_link_trip")
# Idle: the bridge and its Windows side, nothing asked of them.
# (Wine's processes start and end threads now and then: only the threads
# running throughout count, each by the scheduler's own run time.)
threads() { for pid in "$@"; do for t in /proc/"$pid"/task/*; do echo "$t $(cut -d' ' -f1 "$t/schedstat" 2>/dev/null)"; done; done; }
halves=("$bridge" $(pgrep -f conference-bridge.exe))
seconds=10
threads "${halves[@]}" >"$work/before"
sleep "$seconds"
threads "${halves[@]}" >"$work/after"
kill "$bridge"
wait "$bridge" 2>/dev/null
spent=$(awk 'NR == FNR { start[$1] = $2; next } ($1 in start) && $2 != "" { s += $2 - start[$1] } END { print s + 0 }' \
    "$work/before" "$work/after")
idle=$(cpu_percent "$spent" "$seconds")

row() { awk -v a="$2" -v b="$3" -v f="$1" 'BEGIN { printf "| %-33s | %10.2f ms | %10.2f ms | stand-in on D-Bus   | %8.2f |             |\n", f, a, b, a / b }'; }
row "send round trip, Wine bridge" "$bridge_trip" "$standin_trip"
row "echo arrival, Wine bridge" "$bridge_arrival" "$standin_arrival"
printf "| idle CPU, Wine bridge, %2d s       | %10.3f %%  |               |                     |          | both halves |\n" "$seconds" "$idle"
