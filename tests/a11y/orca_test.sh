#!/usr/bin/env bash
# Velmora heard through a real screen reader: Orca on a virtual X server with
# a private session bus and the accessibility bus, the program on the
# stand-in conference. Orca writes its debug log out as it ends, so every
# step is done first, with time marks, and the log read after Orca stopped.
#   orca_test.sh VELMORA CONFERENCE_STANDIN
set -uo pipefail
velmora="$(readlink -f "$1")"
standin="$(readlink -f "$2")"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d /tmp/velmora-a11y.XXXXXX)"
pids=()

source "$here/../../scripts/lib/x_session.sh"
trap end_session EXIT
start_private_bus
start_x_server
# Orca's settings and the buses' sockets in folders of this test's own.
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=("$!")
wait_for 10 bash -c "dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1"
orca --replace --debug-file="$work/orca.log" >/dev/null 2>&1 &
orca_pid=$!
pids+=("$orca_pid")
wait_for 20 test -s "$work/orca.log"
sleep 2 # Orca's own start

start_standin
mkdir -p "$work/chat"
(cd "$work/chat" && exec env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$velmora") >/dev/null 2>&1 &
pids+=("$!")
check "the chat window appears" wait_for 10 has_window "$CHAT_TITLE"
W="$(window_named "$CHAT_TITLE")"
sleep 2

mark() { date +%H:%M:%S.%6N; }
marks=()
step() { # step NAME: a time mark before what follows
    marks+=("$1=$(mark)")
}

# 1. The focus in the input box, as at start.
step input
feed "PY9AAA: primeira mensagem"
sleep 2
# 2. The focus in the conversation box, its caret at the end.
click "$W" "${TEXT1[@]}"
xdotool key ctrl+End
sleep 2
step box
feed "PU9BBB: segunda mensagem"
sleep 2
# 3. While the Help window is open.
click "$W" "${COMMAND3[@]}"
wait_for 10 has_window Ajuda
sleep 1
step help
feed "PY9CCC: durante a ajuda"
sleep 2
click "$(window_named Ajuda)" "${AJUDA_RETORNAR[@]}"
wait_for 10 no_window Ajuda
sleep 1
# 4. A flood of fifty.
step burst
for i in $(seq 50); do printf 'PY9AAA: rajada %s\n' "$i" >&4; done
sleep 8
# 5. Alt+1 tells the newest again.
step repeat
xdotool windowfocus --sync "$W" key alt+1
sleep 2
step end

# The roles, and one text-insert event an arrival, as AT-SPI shows them.
check "the window is a frame, the banner a panel, one insert event an arrival" \
    timeout 60 /usr/bin/python3 "$here/atspi_check.py" "$work/in" "$CHAT_TITLE"

kill -INT "$orca_pid"
wait_for 20 bash -c "! kill -0 $orca_pid 2>/dev/null"

# What Orca said, one utterance a line (its lines joined by " / "), with its time.
/usr/bin/python3 - "$work/orca.log" >"$work/spoken" <<'PY'
import re, sys
log = open(sys.argv[1], encoding="utf-8", errors="replace").read()
for time, text in re.findall(r"^(\d\d:\d\d:\d\d\.\d+) - SPEECH OUTPUT: '(.*?)' ?\{", log, re.M | re.S):
    print(time, " / ".join(line.strip() for line in text.splitlines()))
PY
at() { for m in "${marks[@]}"; do [ "${m%%=*}" = "$1" ] && echo "${m#*=}"; done; }
# spoken FROM TO: what Orca said between two marks.
spoken() {
    awk -v from="$(at "$1")" -v to="$(at "$2")" '$1 >= from && $1 < to { $1 = ""; print substr($0, 2) }' "$work/spoken"
}
said_once() { # said_once FROM TO TEXT
    local n
    n="$(spoken "$1" "$2" | grep -cF "$3")"
    [ "$n" -eq 1 ] && return 0
    echo "said $n times between $1 and $2: '$3'; Orca said:"
    spoken "$1" "$2" | sed 's/^/    /'
    return 1
}
check "with the focus in the input an arrival is spoken once" said_once input box "notification PY9AAA: primeira mensagem"
check "in the conversation box too" said_once box help "PU9BBB: segunda mensagem"
no_blank() { ! spoken box help | grep -qix "blank"; }
check "and no empty line is read" no_blank
check "while Ajuda is open too" said_once help burst "PY9CCC: durante a ajuda"
burst_count="$(spoken burst repeat | grep -c 'rajada')"
echo "the flood of 50 was told in $burst_count announcements"
check "a flood is told in a few announcements" test "$burst_count" -ge 1 -a "$burst_count" -le 5
check "which include the last text" said_once burst repeat "rajada 50"
told_how_many() { spoken burst repeat | grep -q "mensagens antes destas"; }
check "and say how many came before" told_how_many
check "Alt+1 tells the newest again" said_once repeat end "rajada 50"

[ "$failed" -eq 0 ] || { echo "Orca said:"; spoken input end | sed "s/^/    /"; }
echo "a11y: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
