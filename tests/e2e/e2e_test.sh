#!/usr/bin/env bash
# Drives the built program exactly as an operator would: a real X server (no
# window manager), real keys and clicks, screenshots, the stand-in conference
# on a private session bus, and the program started in a folder of its own.
#   e2e_test.sh VELMORA CONFERENCE_STANDIN
set -uo pipefail
velmora="$(readlink -f "$1")"
standin="$(readlink -f "$2")"
work="$(mktemp -d /tmp/velmora-e2e.XXXXXX)"
pids=()

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/x_session.sh"
trap end_session EXIT
start_x_server

start_velmora() { # start_velmora FOLDER
    # As from a terminal: Ctrl+C's and Ctrl+\'s signals not ignored, and no core file.
    (cd "$1" && ulimit -c 0 && exec env --default-signal=INT,QUIT "$velmora") 2>/dev/null &
    velmora_pid=$!
    pids+=("$velmora_pid")
}

sent_lines() { [ "$(wc -l <"$work/sent.txt")" -ge "$1" ]; }
sent_line() { sed -n "${1}p" "$work/sent.txt"; }
# sent_line_is N TEXT: the conference's Nth received line, told when it differs.
sent_line_is() {
    [ "$(sent_line "$1")" = "$2" ] && return 0
    echo "line $1 sent: '$(sent_line "$1")', expected '$2'"
    return 1
}

# --- start-up with no conference application -------------------------------------

mkdir -p "$work/none"
start_velmora "$work/none"
check "with no conference application the error report appears" wait_for 10 has_window "$BOX_TITLE"
check "and no chat window" no_window "$CHAT_TITLE"
press_ok
check "pressing OK ends the program" ended "$velmora_pid"
check "with a non-zero status" test "${status:-0}" -ne 0

# --- the conversation --------------------------------------------------------------

start_standin
mkdir -p "$work/chat"
start_velmora "$work/chat"
check "the chat window appears" wait_for 10 has_window "$CHAT_TITLE"
W="$(window_named "$CHAT_TITLE")"
sleep 0.5 # the first paint

check "the title bar shows the caption alone" title_is "$W" "$CHAT_TITLE"
check "the lamp is green at its place" pixel_is "$W" "$LAMP_X" "$LAMP_Y" "$GREEN"
check "the banner's frame is whole above the antenna" pixel_is "$W" $(((120 + 120 + 300) / 15)) $((120 / 15)) "#000000"
check "the banner is white at its place" pixel_is "$W" $((6100 / 15)) $((300 / 15)) "#FFFFFF"

# The antenna plays on screen: what is seen there, ten times over a second, is
# each time one of the picture's frames on the banner's white, and not always the same.
convert "$(dirname "${BASH_SOURCE[0]}")/../../src/resources/antenna.gif" -coalesce -background white -alpha remove \
    -alpha off -depth 8 +adjoin "$work/frame-%d.rgb"
md5sum "$work"/frame-*.rgb | cut -d' ' -f1 | sort -u >"$work/frames"
for shot in $(seq 10); do
    import -window "$W" -crop 35x45+$(((120 + 120) / 15 + 1))+$((120 / 15 + 1)) +repage -depth 8 rgb:- | md5sum | cut -d' ' -f1
    sleep 0.07
done >"$work/shots"
not_a_frame() { sort -u "$work/shots" | comm -23 - "$work/frames" | grep -q .; }
check "the antenna shows only its own frames" eval '! not_a_frame'

check "and plays them" test "$(sort -u "$work/shots" | wc -l)" -ge 3
# It pauses while the window is wholly covered: the window asks the server to
# be told, on top of (not instead of) the events Qt asks for.
asks_for() { xwininfo -events -id "$W" | sed -n '/Someone wants/,/Do not/p' | grep -qw "$1"; }
check "the window asks to be told when it is covered" asks_for VisibilityChange
check "beside its keys and exposures" eval 'asks_for KeyPress && asks_for Exposure'
# near_corner CONTROL...: a point just inside a control's top-left corner, in pixels.
near_corner() { echo $(($1 / 15 + 6)) $(($2 / 15 + 10)); }
check "Gravar CHAT is green at its place" pixel_is "$W" $(near_corner "${GRAVAR[@]}") "#00FF00"
check "Ler CHAT gravado is cyan at its place" pixel_is "$W" $(near_corner "${LER[@]}") "#00FFFF"
check "Limpar CHAT is light yellow at its place" pixel_is "$W" $(near_corner "${COMMAND5[@]}") "#FFFF80"
check "Encerrar programa is light red at its place" pixel_is "$W" $(near_corner "${COMMAND1[@]}") "#FF8080"

# No transcript yet: the message says so.
click "$W" "${LER[@]}"
check "with no chat.txt a message box appears" wait_for 5 has_window "$BOX_TITLE"
xdotool windowfocus --sync "$(window_named "$BOX_TITLE")" key ctrl+c 2>/dev/null
check "it says to save first" wait_for 5 bash -c "xclip -o -selection clipboard 2>/dev/null | grep -qF \"Grave o 'chat' primeiro!\""
press_ok
check "OK closes it" wait_for 5 no_window "$BOX_TITLE"

# Typing and Enter, accents included; an empty line; the button.
xdotool windowfocus --sync "$W"
click "$W" "${TEXT2[@]}"
xdotool type --delay 30 "ação, pé, côr"
xdotool key Return
xdotool key Return
xdotool type --delay 30 "pelo botão"
click "$W" "${COMMAND2[@]}"
check "three texts reach the conference" wait_for 5 sent_lines 3
check "typed text arrives unchanged" sent_line_is 1 "ação, pé, côr"
check "an empty line is sent as an empty text" sent_line_is 2 ""
check "the button sends too" sent_line_is 3 "pelo botão"

# Received texts, saved byte for byte in Windows-1252.
feed "PY9AAA: olá"
feed "PU9BBB: ação — 5€"
printf 'PY9AAA: ol\xe1\r\nPU9BBB: a\xe7\xe3o \x97 5\x80\r\n\r\n' >"$work/expected1"
saved_as() { click "$W" "${GRAVAR[@]}"; sleep 0.1; cmp -s "$work/chat/chat.txt" "$1"; }
check "Gravar CHAT writes the conversation in Windows-1252" wait_for 5 saved_as "$work/expected1"

# The lamp follows the conference.
feed "/audio on"
start=$(now_ms)
check "the lamp turns red" wait_for 3 pixel_is "$W" "$LAMP_X" "$LAMP_Y" "$RED"
lit=$(($(now_ms) - start))
echo "lamp red after ${lit} ms"
check "within about 1.2 s" test "$lit" -le 1500
feed "/audio off"
check "and green again" wait_for 3 pixel_is "$W" "$LAMP_X" "$LAMP_Y" "$GREEN"

# Clearing, then loading the transcript back.
click "$W" "${COMMAND5[@]}"
click "$W" "${LER[@]}"
{ cat "$work/expected1"; printf '\r\n'; } >"$work/expected2"
check "Ler CHAT gravado restores the saved conversation" wait_for 5 saved_as "$work/expected2"

# Help and About, with chat arriving behind them.
click "$W" "${COMMAND3[@]}"
check "Ajuda opens its window" wait_for 5 has_window "$HELP_TITLE"
check "its title bar shows the caption alone" title_is "$(window_named "$HELP_TITLE")" "$HELP_TITLE"
feed "PY9CCC: durante a ajuda"
click "$(window_named "$HELP_TITLE")" "${AJUDA_RETORNAR[@]}"
check "Retornar closes Ajuda" wait_for 5 no_window "$HELP_TITLE"
click "$W" "${SOBRE[@]}"
check "Sobre opens its window" wait_for 5 has_window "$ABOUT_TITLE"
check "its title bar shows the caption alone" title_is "$(window_named "$ABOUT_TITLE")" "$ABOUT_TITLE"
feed "PY9DDD: durante o sobre"
click "$(window_named "$ABOUT_TITLE")" "${SOBRE_RETORNAR[@]}"
check "Retornar closes Sobre" wait_for 5 no_window "$ABOUT_TITLE"
{ cat "$work/expected1"; printf 'PY9CCC: durante a ajuda\r\nPY9DDD: durante o sobre\r\n\r\n'; } >"$work/expected3"
check "chat fed while they were open landed in the conversation" wait_for 5 saved_as "$work/expected3"

# A long line is shown as two paragraphs: an edit where they meet changes only
# the letter it touches, and what is copied has the desktop's line ends.
click "$W" "${COMMAND5[@]}"
as="$(printf 'a%.0s' $(seq 1000))"
bs="$(printf 'b%.0s' $(seq 1000))"
feed "PREV"
feed "$as$bs"
feed "POST"
printf 'PREV\r\n%s%s\r\nPOST\r\n\r\n' "$as" "$bs" >"$work/expected4"
check "a line of 2,000 letters arrives whole" wait_for 5 saved_as "$work/expected4"
click "$W" "${TEXT1[@]}"
xdotool key ctrl+Home Down
xdotool key --delay 1 --repeat 1000 --repeat-delay 1 Right
xdotool key Delete
printf 'PREV\r\n%s%s\r\nPOST\r\n\r\n' "$as" "${bs:1}" >"$work/expected5"
check "Delete after the 1,000th letter takes only the letter after it" wait_for 5 saved_as "$work/expected5"
click "$W" "${TEXT1[@]}"
xdotool key ctrl+a ctrl+c
printf 'PREV\n%s%s\nPOST\n' "$as" "${bs:1}" >"$work/expected6"
copied() { xclip -o -selection clipboard >"$work/copied" 2>/dev/null && cmp -s "$work/copied" "$work/expected6"; }
check "Ctrl+C copies the conversation with LF line ends" wait_for 5 copied

# A conference busy for a while: what is typed while a send waits is kept.
click "$W" "${TEXT2[@]}"
feed "/stall 7"
xdotool type --delay 30 "guardado"
xdotool key Return
sleep 1
xdotool type --delay 30 " e mais"
check "a send not answered in time brings a message" wait_for 10 has_window "$BOX_TITLE"
check "saying the application is busy" report_says "ocupado"
press_ok
wait_for 5 no_window "$BOX_TITLE"
xdotool key Return
last_sent_is() { [ "$(tail -n 1 "$work/sent.txt")" = "$1" ]; }
check "the keys typed during the wait stayed in the input, and are sent" wait_for 10 last_sent_is "guardado e mais"

# A send refused by the conference ends the program, and what was not saved
# (the conversation since the last save, what was typed) is kept exactly.
feed "PY9FFF: não gravado"
xdotool type --delay 30 "sem resposta"
feed "/refuse fora do ar"
sleep 0.3
xdotool key Return
check "a refused send brings the error report" wait_for 10 has_window "$BOX_TITLE"
check "error 440, with the conference's reason" report_says "(fora do ar)"
check "saying where the conversation not saved went" report_says "chat-recuperado.txt"
{ head -c -2 "$work/expected5"; printf 'PY9FFF: n\xe3o gravado\r\nTexto digitado e n\xe3o enviado: sem resposta\r\n'; } \
    >"$work/recovered1"
check "which holds it exactly" cmp -s "$work/chat/chat-recuperado.txt" "$work/recovered1"
press_ok
check "pressing OK ends the program" ended "$velmora_pid"

# The conference application dies: the report within about a second.
mkdir -p "$work/again"
start_velmora "$work/again"
check "the chat window appears again" wait_for 10 has_window "$CHAT_TITLE"
kill "$standin_pid"
start=$(now_ms)
check "a vanished conference brings the error report" wait_for 5 has_window "$BOX_TITLE"
reported=$(($(now_ms) - start))
echo "error report after ${reported} ms"
check "within about a second" test "$reported" -le 2000
press_ok
check "pressing OK ends the program" ended "$velmora_pid"
check "with a non-zero status" test "${status:-0}" -ne 0

# A conference that answers the audio state with the wrong type: the report,
# and what arrived kept.
start_standin
mkdir -p "$work/wrong"
start_velmora "$work/wrong"
check "the chat window appears again" wait_for 10 has_window "$CHAT_TITLE"
feed "PY9GGG: antes do erro"
sleep 0.5
feed "/audio texto"
check "a wrongly typed audio state brings the error report" wait_for 5 has_window "$BOX_TITLE"
check "error 13" report_says "'13'"
printf 'PY9GGG: antes do erro\r\n\r\n' >"$work/recovered2"
check "with what arrived kept exactly" cmp -s "$work/wrong/chat-recuperado.txt" "$work/recovered2"
press_ok
check "pressing OK ends the program" ended "$velmora_pid"

# Endings nobody chose: each signal (the first with the Help window open) and
# the display going away keep what was not saved, byte for byte.
kill "$standin_pid" 2>/dev/null
wait "$standin_pid" 2>/dev/null
start_standin
for sig in TERM HUP INT QUIT; do
    mkdir -p "$work/sig$sig"
    start_velmora "$work/sig$sig"
    wait_for 10 has_window "$CHAT_TITLE"
    W="$(window_named "$CHAT_TITLE")"
    click "$W" "${TEXT2[@]}"
    xdotool type --delay 30 "digitado"
    feed "PY9KKK: $sig"
    sleep 0.5
    if [ "$sig" = TERM ]; then
        click "$W" "${COMMAND3[@]}"
        wait_for 10 has_window "$HELP_TITLE"
    fi
    kill -"$sig" "$velmora_pid"
    check "SIG$sig ends Velmora" ended "$velmora_pid"
    check "as SIG$sig does" test "${status:-0}" -eq $((128 + $(kill -l "$sig")))
    printf 'PY9KKK: %s\r\nTexto digitado e n\xe3o enviado: digitado\r\n' "$sig" >"$work/expected-$sig"
    check "keeping what was not saved exactly" cmp -s "$work/sig$sig/chat-recuperado.txt" "$work/expected-$sig"
done
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display2" 2>/dev/null &
display_pid=$!
pids+=("$display_pid")
wait_for 10 test -s "$work/display2"
mkdir -p "$work/display-gone"
DISPLAY=":$(cat "$work/display2")" start_velmora "$work/display-gone"
wait_for 10 bash -c "DISPLAY=:$(cat "$work/display2") xdotool search --onlyvisible --name '^$CHAT_TITLE\$'"
feed "PY9LLL: a tela se foi"
sleep 0.5
kill "$display_pid"
check "the display going away ends Velmora" ended "$velmora_pid"
printf 'PY9LLL: a tela se foi\r\n\r\n' >"$work/expected-display"
check "keeping what was not saved exactly" cmp -s "$work/display-gone/chat-recuperado.txt" "$work/expected-display"

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
