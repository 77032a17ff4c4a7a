#!/usr/bin/env bash
# Velmora heard through a real screen reader: Orca on a virtual X server with
# a private session bus and the accessibility bus, the program on the
# stand-in conference. What Orca spoke and put on the braille line is read
# from its debug log, written a line at a time so that every step waits on
# what Orca has logged rather than for a fixed time.
#   orca_test.sh VELMORA CONFERENCE_STANDIN
set -uo pipefail
velmora="$(readlink -f "$1")"
standin="$(readlink -f "$2")"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d /tmp/velmora-a11y.XXXXXX)"
pids=()

source "$here/../../scripts/lib/x_session.sh"
trap end_session EXIT

# Orca's start-up ends every other Orca of the same user. Ours runs in a
# process namespace of its own, where it sees none but itself; where no such
# namespace can be made, the test refuses to run beside another Orca.
isolated=()
if unshare --pid --fork --mount-proc true 2>/dev/null; then
    isolated=(unshare --pid --fork --mount-proc)
elif unshare --user --map-root-user --pid --fork --mount-proc true 2>/dev/null; then
    isolated=(unshare --user --map-root-user --pid --fork --mount-proc)
elif pgrep -x orca >/dev/null; then
    echo "A screen reader (Orca) is running on this machine, and this test cannot start its own Orca where"
    echo "Orca's start-up would not end it. Run the test where no Orca runs, or where unshare may make namespaces."
    exit 1
fi

# Where ours is isolated, a process named orca stands for the operator's own:
# it must outlive the test's Orca.
if [ "${#isolated[@]}" -gt 0 ]; then
    cp "$(command -v sleep)" "$work/orca"
    "$work/orca" 600 &
    operators_orca=$!
    pids+=("$operators_orca")
fi

start_private_bus
start_x_server
# Orca's settings and the buses' sockets in folders of this test's own.
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=("$!")
wait_for 10 bash -c "dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1"
log="$work/orca.log"
PYTHONPATH="$here/line_buffered${PYTHONPATH:+:$PYTHONPATH}" VELMORA_LINE_BUFFERED="$log" \
    "${isolated[@]}" orca --replace --debug-file="$log" >/dev/null 2>&1 &
pids+=("$!")
keep_log() { cp "$log" "${VELMORA_ORCA_LOG:-/dev/null}" 2>/dev/null; }

# --- what Orca logged ---------------------------------------------------------

declare -A marks
step() { marks[$1]="$(wc -l <"$log")"; } # step NAME: a mark in the log, before what follows
# logged KIND FROM [TO]: what Orca spoke (KIND speech) or brailled between two marks.
logged() {
    /usr/bin/python3 "$here/orca_log.py" "$log" "${marks[$2]}" ${3:+"${marks[$3]}"} | sed -n "s/^$1 //p"
}
said() { logged speech "$1" | grep -qF "$2"; } # said FROM TEXT: spoken since the mark
said_once() {                                  # said_once FROM TO TEXT
    local n
    n="$(logged speech "$1" "$2" | grep -cF "$3")"
    [ "$n" -eq 1 ] && return 0
    echo "said $n times between $1 and $2: '$3'; Orca said:"
    logged speech "$1" "$2" | sed 's/^/    /'
    return 1
}
brailled() { # brailled FROM TO TEXT: on the braille line
    logged braille "$1" "$2" | grep -qF "$3" && return 0
    echo "not on the braille line between $1 and $2: '$3'; the lines were:"
    logged braille "$1" "$2" | sed 's/^/    /'
    return 1
}
# hear FROM TEXT: waits (bounded) until Orca has spoken TEXT since the mark.
hear() { wait_for 20 said "$1" "$2" || echo "not spoken since $1: '$2'"; }

marks[start]=0
wait_for 30 grep -q "SPEECH OUTPUT" "$log" # Orca has started and says its welcome

start_standin
mkdir -p "$work/chat"
(cd "$work/chat" && exec env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$velmora") >/dev/null 2>&1 &
pids+=("$!")
check "the chat window appears" wait_for 10 has_window "$CHAT_TITLE"
W="$(window_named "$CHAT_TITLE")"
check "and Orca presents it" hear start "$CHAT_TITLE"

# 1. Three arrivals 300 ms apart, the focus in the input box as at start: each
#    is spoken once with its own text, and put on the braille line.
step three
feed "PY9AAA: primeira mensagem"
sleep 0.3
feed "PU9BBB: segunda mensagem"
sleep 0.3
feed "PY9CCC: terceira mensagem"
hear three "PY9CCC: terceira mensagem"
step three_told
for text in "PY9AAA: primeira mensagem" "PU9BBB: segunda mensagem" "PY9CCC: terceira mensagem"; do
    check "'$text' is spoken once" said_once three three_told "$text"
    check "and brailled" brailled three three_told "$text"
done

# The roles, and one text-insert event an arrival, as AT-SPI shows them.
check "the window is a frame, the banner a panel, one insert event an arrival" \
    timeout 60 /usr/bin/python3 "$here/atspi_check.py" "$work/in" "$CHAT_TITLE"

# 2. The focus in the conversation box, its caret at the end: no empty line read.
click "$W" "${TEXT1[@]}"
hear three_told "Conversa recebida"
xdotool key ctrl+End
sleep 1.2 # a pause after the key: the operator listens
step box
feed "PU9DDD: na caixa da conversa"
hear box "PU9DDD: na caixa da conversa"
step box_told
check "in the conversation box an arrival is spoken once" said_once box box_told "PU9DDD: na caixa da conversa"
no_blank() { ! logged speech box box_told | grep -qix "blank"; }
check "and no empty line is read" no_blank

# 3. An arrival while the operator types a reply waits for the typing to pause.
click "$W" "${TEXT2[@]}"
hear box_told "Texto a enviar"
step typing
xdotool type --delay 150 "resposta que ainda estou digitando" &
typist=$!
sleep 1
feed "PY9EEE: chegou durante a digitação"
wait "$typist"
step typed
hear typed "PY9EEE: chegou durante a digitação"
step typed_told
not_while_typing() { ! logged speech typing typed | grep -qF "PY9EEE"; }
check "an arrival during typing is not spoken while keys come" not_while_typing
check "but after the last key, once" said_once typed typed_told "PY9EEE: chegou durante a digitação"
check "and brailled" brailled typed typed_told "PY9EEE: chegou durante a digitação"
xdotool key ctrl+a BackSpace

# 4. The Help window open: arrivals told, and Alt+1 tells the newest again.
click "$W" "${COMMAND3[@]}"
check "the Help window opens" wait_for 10 has_window "$HELP_TITLE"
hear typed_told "Retornar"
step help
feed "PY9FFF: durante a ajuda"
hear help "PY9FFF: durante a ajuda"
step repeat
xdotool key alt+1
hear repeat "PY9FFF: durante a ajuda"
step repeated
check "while the Help window is open an arrival is spoken once" said_once help repeat "PY9FFF: durante a ajuda"
check "and Alt+1 tells it again" said_once repeat repeated "PY9FFF: durante a ajuda"
check "on the braille line too" brailled repeat repeated "PY9FFF: durante a ajuda"
click "$(window_named "$HELP_TITLE")" "${AJUDA_RETORNAR[@]}"
wait_for 10 no_window "$HELP_TITLE"

# 5. Floods of 200 and of 2,000 texts in two seconds, three times each: each
#    ends in a told summary with the newest text and how many came before.
flood() { # flood COUNT NAME: COUNT texts over two seconds
    /usr/bin/python3 -c '
import os, sys, time
count, name = int(sys.argv[1]), sys.argv[2]
start = time.monotonic()
for i in range(1, count + 1):
    os.write(4, ("PY9AAA: %s, %d\n" % (name, i)).encode())
    time.sleep(max(0, start + 2.0 * i / count - time.monotonic()))
' "$1" "$2"
}
summary_told() { said "$1" "$2" && said "$1" "mensagens antes destas"; }
for run in 1 2 3; do
    for count in 200 2000; do
        name="rajada $run de $count"
        step "$name"
        flood "$count" "$name"
        check "a flood of $count is told in a summary with the newest text (run $run)" \
            wait_for 20 summary_told "$name" "PY9AAA: $name, $count"
    done
done

# 6. Reading the conversation box: Down reads the next line's text.
click "$W" "${TEXT1[@]}"
step reading
hear reading "Conversa recebida"
xdotool key ctrl+Home
sleep 1
step down
xdotool key Down
check "Down in the conversation box reads the line's text" wait_for 20 said down "PU9BBB: segunda mensagem"

# 7. A flood of 2,000 with the focus in the conversation box: a summary is
#    told, and Orca answers keys after it (the caret did not move for it).
xdotool key ctrl+End
sleep 1.2
step box_flood
flood 2000 "rajada na caixa"
check "a flood in the conversation box is told in a summary with the newest text" \
    wait_for 30 summary_told box_flood "PY9AAA: rajada na caixa, 2000"
sleep 1
step up
xdotool key Up
# The caret stayed where Ctrl+End put it, after the last line before the flood.
check "and Up is answered after it, from where the caret stayed" wait_for 20 said up "PY9AAA: rajada 3 de 2000, 2000"

# 8. Five arrivals a second apart while the operator types for nine seconds:
#    none is told while keys come, all after the last.
click "$W" "${TEXT2[@]}"
sleep 1
step typing5
xdotool type --delay 150 "uma resposta longa que ainda estou digitando sem parar agora" &
typist=$!
for n in 1 2 3 4 5; do
    sleep 1
    feed "PY9GGG: durante a digitação $n"
done
wait "$typist"
step typed5
check "five arrivals during typing are all told after the last key" \
    wait_for 20 said typed5 "PY9GGG: durante a digitação 5"
step typed5_told
not_while_typing5() { ! logged speech typing5 typed5 | grep -qF "PY9GGG"; }
check "and none while keys come" not_while_typing5
all_five() { logged speech typed5 | grep -qF "e mais 2 mensagens antes destas"; }
check "the summary counts the two before the newest three" all_five
xdotool key ctrl+a BackSpace

# 9. A message box open: history keys told, an arrival told after them, and
#    Velmora answers once the box has closed.
mv "$work/chat/chat.txt" "$work/chat/guardado.txt" 2>/dev/null
click "$W" "${LER[@]}"
check "the message box opens" wait_for 10 has_window "$BOX_TITLE"
sleep 1
step modal
for key in 1 0 2 5; do
    xdotool key "alt+$key"
    sleep 0.7
done
check "history keys are told with the message box open" wait_for 20 said modal "Sem áudio"
step modal_arrival
feed "PY9HHH: com a caixa de mensagem aberta"
check "an arrival is told with the message box open" wait_for 20 said modal_arrival "PY9HHH: com a caixa de mensagem aberta"
press_ok
wait_for 10 no_window "$BOX_TITLE"
sleep 1
step after_modal
xdotool key alt+1
check "and Velmora answers after the box has closed" wait_for 20 said after_modal "PY9HHH: com a caixa de mensagem aberta"

[ -n "${operators_orca:-}" ] && check "another Orca running here is left alone" kill -0 "$operators_orca"
keep_log
[ "$failed" -eq 0 ] || { echo "Orca said:"; logged speech start | sed "s/^/    /"; }
echo "a11y: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
