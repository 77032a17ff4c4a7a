#!/usr/bin/env bash
# The native program on a real X server, through velmora-wine-bridge, against
# the 32-bit test automation server registered as an out-of-process EXE in a
# throwaway Wine prefix: as a Linux operator with the conference application
# under Wine would use it.
#   bridge_test.sh VELMORA WINE_BRIDGE TESTS_BUILD_DIR
# Exits 77 (skipped) where this machine cannot execute 32-bit programs.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
velmora="$(readlink -f "$1")"
bridge="$(readlink -f "$2")"
out="$(mkdir -p "$3" && readlink -f "$3")"
work="$(mktemp -d /tmp/velmora-bridge.XXXXXX)"
pids=()

source "$root/scripts/lib/x_session.sh"
source "$root/scripts/lib/wine_prefix.sh"
start_wine_session i686 "$out"
wine32() { timeout 180 /usr/lib/wine/wine "$@"; }
conference() { wine32 "$out/i686/conference_control.exe" "$@" 2>/dev/null | tr -d '\r'; }

# start_bridged FOLDER: the bridge, running the program in FOLDER once ready.
start_bridged() {
    (cd "$1" && exec "$bridge" --prefix "$WINEPREFIX" -- "$velmora") 2>"$1/bridge.err" &
    bridge_pid=$!
    pids+=("$bridge_pid")
}

# --- nothing registered: the program's own report ---------------------------------

mkdir -p "$work/none"
start_bridged "$work/none"
check "with nothing registered the program reports" wait_for 120 has_window "$BOX_TITLE"
check "error 429" report_says "'429'"
press_ok
check "the bridge ends with the program" ended "$bridge_pid"
check "with its non-zero status" test "${status:-0}" -ne 0
check "having said why" grep -q "não foi possível criar o objeto" "$work/none/bridge.err"

# Without Wine at all: the bridge says so, and the program still shows its report.
mkdir -p "$work/nowine"
(cd "$work/nowine" && PATH=/nonexistent exec "$bridge" -- "$velmora") 2>"$work/nowine/bridge.err" &
bridge_pid=$!
pids+=("$bridge_pid")
check "with no Wine the program reports" wait_for 30 has_window "$BOX_TITLE"
press_ok
check "the bridge ends with it" ended "$bridge_pid"
check "having said that Wine is missing" grep -q "o Wine não pôde ser iniciado" "$work/nowine/bridge.err"

# --- the conversation ---------------------------------------------------------------

wine32 "$out/i686/conference_test_server.exe" /RegServer
mkdir -p "$work/chat"
start_bridged "$work/chat"
check "the chat window appears" wait_for 120 has_window "$CHAT_TITLE"
W="$(window_named "$CHAT_TITLE")"
sleep 0.5

xdotool windowfocus --sync "$W"
click "$W" "${TEXT2[@]}"
xdotool type --delay 30 "ação, pé, côr"
xdotool key Return
sent_is() { [ "$(conference last-sent)" = "$1" ]; }
check "typed text reaches the application exactly" wait_for 10 sent_is "ação, pé, côr"

# Raised texts arrive in order and whole: one holding CR LF, one of 100,000
# characters, a short one, and one that begins with U+FEFF (the transcript is
# then UTF-8).
printf 'PY9AAA: um\r\ndois' >"$work/crlf"
big="$(printf 'ç%.0s' $(seq 99992))"
printf 'PU9BBB: %s' "$big" >"$work/big"
printf '\xef\xbb\xbfPY9DDD: com a marca' >"$work/bom"
conference fire-file "$(windows_path "$work/crlf")"
conference fire-file "$(windows_path "$work/big")"
conference fire "PY9CCC: fim"
conference fire-file "$(windows_path "$work/bom")"
printf '\xef\xbb\xbfecho: ação, pé, côr\r\nlater: ação, pé, côr\r\nPY9AAA: um\r\ndois\r\nPU9BBB: %s\r\nPY9CCC: fim\r\n%s\r\n\r\n' \
    "$big" "$(cat "$work/bom")" >"$work/expected"
saved_as() { click "$W" "${GRAVAR[@]}"; sleep 0.2; cmp -s "$work/chat/chat.txt" "$1"; }
check "the received texts arrive in order, every text exactly (U+FEFF too)" wait_for 20 saved_as "$work/expected"

conference audio 1
check "the lamp follows the application's audio" wait_for 5 pixel_is "$W" "$LAMP_X" "$LAMP_Y" "$RED"
conference audio 0
check "and goes green again" wait_for 5 pixel_is "$W" "$LAMP_X" "$LAMP_Y" "$GREEN"

# --- the application killed ------------------------------------------------------------

pid="$(conference pid)"
wine32 taskkill /f /pid "$pid" >/dev/null 2>&1
check "the application gone, the program reports" wait_for 15 has_window "$BOX_TITLE"
check "error 462" report_says "'462'"
press_ok
check "the bridge ends with the program" ended "$bridge_pid"
name_free() { ! conference_owned; }
check "having given up the conference's name" name_free

echo "wine bridge: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
