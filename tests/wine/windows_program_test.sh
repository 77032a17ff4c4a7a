#!/usr/bin/env bash
# velmora.exe used under Wine as an operator on Windows would use it: a
# virtual X server, a throwaway Wine prefix, our test automation server
# registered as an out-of-process EXE (as the conference application is),
# the program run from its ZIP and from its installer, real keys and clicks.
#   windows_program_test.sh WINDOWS_BUILD OUT
# WINDOWS_BUILD holds velmora-*-win64.zip and velmora-*-win64.exe (cpack);
# the test server is built into OUT, and a screenshot left there.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
windows_build="$(readlink -f "$1")"
out="$(mkdir -p "$2" && readlink -f "$2")"
work="$(mktemp -d /tmp/velmora-windows.XXXXXX)"
pids=()

source "$root/scripts/lib/x_session.sh"
source "$root/scripts/lib/wine_prefix.sh"
start_wine_session x86_64 "$out"

zip="$(ls "$windows_build"/velmora-*-win64.zip | head -n 1)"
installer="$(ls "$windows_build"/velmora-*-win64.exe | head -n 1)"
server="$out/x86_64/conference_test_server.exe"

# conference COMMAND...: steers the test server (fire TEXT, audio N, last-sent,
# stall poll|send MS, hang poll|send MS, end-stall: see conference_control).
conference() { wine64 "$out/x86_64/conference_control.exe" "$@" 2>/dev/null | tr -d '\r'; }
last_sent_is() {
    [ "$(conference last-sent)" = "$1" ] && return 0
    echo "the server last received '$(conference last-sent)', expected '$1'"
    return 1
}
server_pid() { pgrep -f 'conference_test_server\.exe' | head -n 1; }

# start_program FOLDER EXE: velmora.exe started in FOLDER, its current folder (where a
# uiautomationcore.dll put beside it is taken before Windows's own).
uia_log="$work/uia.log"
start_program() {
    (cd "$1" && VELMORA_UIA_STANDIN_LOG="Z:${uia_log//\//\\}" \
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES;uiautomationcore=n,b" exec /usr/lib/wine/wine64 "$2") >/dev/null 2>&1 &
    velmora_pid=$!
    pids+=("$velmora_pid")
}
size_is() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    [ "${WIDTH}x${HEIGHT}" = "$2" ] && return 0
    echo "client size ${WIDTH}x${HEIGHT}, expected $2"
    return 1
}

# --- with nothing registered --------------------------------------------------------
program="$WINEPREFIX/drive_c/Velmora"
unzip -q "$zip" -d "$work/unzipped" && mv "$work/unzipped"/velmora-*-win64 "$program"
check "the ZIP holds velmora.exe with its Qt DLLs" test -f "$program/velmora.exe" -a -f "$program/Qt6Widgets.dll"
check "and the plugins in their folders" \
    test -f "$program/platforms/qwindows.dll" -a -f "$program/imageformats/qgif.dll"
check "the ZIP is at most 9 MB" test "$(stat -c %s "$zip")" -le 9000000
check "the installer at most 7 MB" test "$(stat -c %s "$installer")" -le 7000000
debug_sections() { x86_64-w64-mingw32-objdump -h "$1" | grep -q '\.debug_'; }
unstripped() { for f in "$program"/*.dll "$program"/*/*.dll "$program"/velmora.exe; do debug_sections "$f" && echo "$f"; done; }
check "nothing shipped has debug sections" test -z "$(unstripped)"
check "Velmora's licence and the third-party notices are shipped" \
    test -f "$program/LICENSE.txt" -a -f "$program/licencas-de-terceiros/LGPL-3.txt" \
    -a -f "$program/licencas-de-terceiros/GCC-RUNTIME-LIBRARY-EXCEPTION-3.1.txt" \
    -a -f "$program/licencas-de-terceiros/winpthreads.txt"
check "the notices say where Qt's source is" grep -q "qt6-base 6.4.2+dfsg-10" "$program/licencas-de-terceiros/LEIA-ME.txt"
check "Qt's Portuguese is shipped, its source named" test -f "$program/translations/qtbase_pt_BR.qm" -a \
    -n "$(grep "qt6-translations 6.4.2-1" "$program/licencas-de-terceiros/LEIA-ME.txt")"
start_program "$program" velmora.exe
check "with nothing registered the error report appears" wait_for 60 has_window "$BOX_TITLE"
check "error 429" report_says "'429'"
check "and no chat window" no_window "$CHAT_TITLE"
press_ok
check "pressing OK ends the program" ended "$velmora_pid"
check "with a non-zero status" test "${status:-0}" -ne 0

# --- the conversation ---------------------------------------------------------------------
wine64 "$server" /RegServer
# From here on, UI Automation's notifications are raised through a stand-in that records them.
cp "$out/x86_64/uiautomationcore.dll" "$program/"
touch "$uia_log"
start_program "$program" velmora.exe
check "the chat window appears" wait_for 60 has_window "$CHAT_TITLE"
W="$(window_named "$CHAT_TITLE")"
sleep 1 # the first paint
check "titled exactly" title_is "$W" "$CHAT_TITLE"
check "with its client size" size_is "$W" "$((SIZE[0] / 15))x$((SIZE[1] / 15))"
check "the lamp is green" pixel_is "$W" "$LAMP_X" "$LAMP_Y" "$GREEN"

click "$W" "${TEXT2[@]}"
xdotool type --delay 40 "ação, pé, côr"
xdotool key Return
check "typed text and Enter reach the server exactly" wait_for 10 last_sent_is "ação, pé, côr"
xdotool type --delay 40 "pelo botão"
click "$W" "${COMMAND2[@]}"
check "the send button too" wait_for 10 last_sent_is "pelo botão"
# The input box's context menu is Portuguese: its "C&olar" pastes with O
# (English has no entry with that key).
printf 'colado pelo menu' | xclip -selection clipboard
click "$W" "${TEXT2[@]}"
origin_of "$W"
xdotool mousemove $((ox + TEXT2[0] / 15 + 20)) $((oy + TEXT2[1] / 15 + 10)) click 3
sleep 1
xdotool key o
sleep 0.5
xdotool key Return
check "the input box's context menu speaks Portuguese" wait_for 10 last_sent_is "colado pelo menu"
conference fire "PY9AAA: olá"
conference fire "PU9BBB: ação — 5€"

# The server echoes each sent text during the call and again from its own
# loop; what it raises arrives after, in order, each with CR LF.
printf 'echo: ação, pé, côr\r\nlater: ação, pé, côr\r\necho: pelo botão\r\nlater: pelo botão\r\necho: colado pelo menu\r\nlater: colado pelo menu\r\nPY9AAA: olá\r\nPU9BBB: ação — 5€\r\n\r\n' |
    iconv -f UTF-8 -t CP1252 >"$work/expected1"
saved_as() { click "$W" "${GRAVAR[@]}"; sleep 0.3; cmp -s "$program/chat.txt" "$1"; }
check "Gravar CHAT writes the conversation to chat.txt in Windows-1252" wait_for 15 saved_as "$work/expected1"

conference audio -1
start=$(now_ms)
check "the lamp turns red" wait_for 5 pixel_is "$W" "$LAMP_X" "$LAMP_Y" "$RED"
lit=$(($(now_ms) - start))
echo "lamp red after ${lit} ms"
check "within about a second" test "$lit" -le 2000
mkdir -p "$root/docs"
import -window "$W" "$out/velmora-wine.png"
conference audio 0
check "and green again" wait_for 5 pixel_is "$W" "$LAMP_X" "$LAMP_Y" "$GREEN"

mv "$program/chat.txt" "$work/saved.txt"
click "$W" "${LER[@]}"
check "with no chat.txt a message box appears" wait_for 10 has_window "$BOX_TITLE"
press_ok
check "OK closes it" wait_for 10 no_window "$BOX_TITLE"
mv "$work/saved.txt" "$program/chat.txt"
click "$W" "${COMMAND5[@]}"
click "$W" "${LER[@]}"
{ cat "$work/expected1"; printf '\r\n'; } >"$work/expected2"
check "Ler CHAT gravado reads it back" wait_for 15 saved_as "$work/expected2"

click "$W" "${COMMAND3[@]}"
check "Ajuda opens" wait_for 10 has_window "$HELP_TITLE"
check "titled exactly" title_is "$(window_named "$HELP_TITLE")" "$HELP_TITLE"
# While it is open the chat window takes no clicks, and the conference's
# events still arrive (handed on after the server's call has returned).
click "$W" "${COMMAND5[@]}"
check "a text raised while Ajuda is open returns to the server" \
    wine64 "$out/x86_64/conference_control.exe" fire "PY9CCC: durante a ajuda"
click "$(window_named "$HELP_TITLE")" "${AJUDA_RETORNAR[@]}"
check "Retornar closes it" wait_for 10 no_window "$HELP_TITLE"
{ cat "$work/expected1"; printf 'PY9CCC: durante a ajuda\r\n\r\n'; } >"$work/expected3"
check "the text raised meanwhile is in the conversation, nothing cleared" wait_for 15 saved_as "$work/expected3"
click "$W" "${SOBRE[@]}"
check "Sobre opens" wait_for 10 has_window "$ABOUT_TITLE"
click "$(window_named "$ABOUT_TITLE")" "${SOBRE_VISITAR[@]}"
sleep 1
check "Visitar hands the address on and the window stays" has_window "$ABOUT_TITLE"
click "$(window_named "$ABOUT_TITLE")" "${SOBRE_RETORNAR[@]}"
check "Retornar closes it" wait_for 10 no_window "$ABOUT_TITLE"
# A text that begins with U+FEFF keeps it: the transcript is then UTF-8, the character in it.
printf '\xef\xbb\xbfPY9BOM: marca' >"$work/bom.txt"
bom_path="$work/bom.txt"
conference fire-file "Z:${bom_path//\//\\}"
printf '\r\n\xef\xbb\xbfPY9BOM: marca\r\n\r\n' >"$work/bom-tail"
ends_with_bom_text() {
    click "$W" "${GRAVAR[@]}"
    sleep 0.3
    tail -c "$(stat -c %s "$work/bom-tail")" "$program/chat.txt" | cmp -s - "$work/bom-tail"
}
check "a received text keeps a U+FEFF at its start" wait_for 15 ends_with_bom_text

# --- heard through the screen reader's own interface, whatever window is in front --------
# Stand-ins for NVDA's controller and JAWS's automation object record what they are asked
# (one line a call, as the one for UI Automation does); another program's window is in front.
nvda_log="$work/nvda.log"
jaws_log="$work/jaws.log"
touch "$nvda_log" "$jaws_log"
reader() { wine64 "$out/x86_64/$1.exe" "${@:2}" >/dev/null 2>&1; }
start_reader() { reader "$1" "Z:${2//\//\\}" "${@:3}" & pids+=("$!"); }
gone() { wait_for 10 sh -c "! pgrep -f '$1\.exe' >/dev/null"; }
serving() { [ "$(grep -c '^serving' "$1")" -ge "$2" ]; }
start_reader nvda_standin "$nvda_log"
start_reader jaws_standin "$jaws_log"
check "the NVDA stand-in serves this desktop's endpoint" \
    wait_for 30 grep -q $'^serving\tNvdaCtlr\.[0-9]*\.Default$' "$nvda_log"
wait_for 30 serving "$jaws_log" 1
wine64 notepad >/dev/null 2>&1 &
pids+=("$!")
wait_for 30 sh -c 'xdotool search --onlyvisible --class notepad >/dev/null'
in_front() { xdotool windowfocus --sync "$(xdotool search --onlyvisible --class notepad | head -n 1)"; sleep 0.5; }
in_front
for n in 1 2 3; do
    conference fire "PY9NV$n: ouvido $n"
    sleep 0.3
done
said() { grep "^$1"$'\t' "$2" | tail -n "$3" | cut -f 2- | paste -sd '|'; }
three_told() {
    [ "$(said speakText "$nvda_log" 3)" = "PY9NV1: ouvido 1|PY9NV2: ouvido 2|PY9NV3: ouvido 3" ] &&
        [ "$(said brailleMessage "$nvda_log" 3)" = "PY9NV1: ouvido 1|PY9NV2: ouvido 2|PY9NV3: ouvido 3" ]
}
check "three arrivals 300 ms apart reach NVDA, each spoken and brailled" wait_for 20 three_told
check "and only there (heard once)" sh -c "! grep -q PY9NV '$uia_log'"
spoken_before="$(grep -c '^speakText' "$nvda_log")"
conference flood 2000 "PY9FLD"
flood_told() { grep -q $'^speakText\t.*PY9FLD 2000\\\\ne mais [0-9]* mensagens antes destas$' "$nvda_log"; }
check "a flood of 2,000 reaches it as a bounded summary" wait_for 60 flood_told
check "in a handful of announcements" test "$(($(grep -c '^speakText' "$nvda_log") - spoken_before))" -le 12
click "$W" "${COMMAND3[@]}"
wait_for 10 has_window "$HELP_TITLE"
xdotool windowfocus --sync "$(window_named "$HELP_TITLE")" key alt+1
check "Alt+1 with the Ajuda window open reaches it" wait_for 15 grep -q $'^speakText\tPY9FLD 2000$' "$nvda_log"
click "$(window_named "$HELP_TITLE")" "${AJUDA_RETORNAR[@]}"
wait_for 10 no_window "$HELP_TITLE"
pkill -f 'nvda_standin\.exe'
gone nvda_standin
in_front
conference fire "PY9JAW: pelo JAWS"
check "with the NVDA stand-in gone, JAWS says it, after what it is saying" \
    wait_for 20 grep -q $'^SayString\tqueued\tPY9JAW: pelo JAWS$' "$jaws_log"
reader jaws_standin stop
gone jaws_standin
conference fire "PY9UIA: pela automação"
check "with both gone, a UI Automation notification tells it" \
    wait_for 20 grep -q $'^UiaRaiseNotificationEvent\t4\t2\tVelmora.chat\tPY9UIA: pela automação$' "$uia_log"
check "and neither stand-in was asked" sh -c "! grep -q PY9UIA '$nvda_log' '$jaws_log'"
start_reader nvda_standin "$nvda_log" hang
start_reader jaws_standin "$jaws_log"
wait_for 30 serving "$nvda_log" 3
wait_for 30 serving "$jaws_log" 2
in_front
conference fire "PY9HNG: sem resposta"
wait_for 20 grep -q $'^speakText\tPY9HNG: sem resposta$' "$nvda_log"
start=$(now_ms)
xdotool windowraise "$W" windowfocus --sync "$W"
click "$W" "${TEXT2[@]}"
xdotool type --delay 40 "durante a espera"
xdotool key Return
check "an NVDA that never answers does not hold the window" wait_for 5 last_sent_is "durante a espera"
check "the text goes to JAWS once the call limit has passed" \
    wait_for 20 grep -q $'^SayString\tqueued\tPY9HNG: sem resposta$' "$jaws_log"
echo "JAWS had it $(($(now_ms) - start)) ms after the unanswered call was made"
pkill -f 'nvda_standin\.exe'
reader jaws_standin stop
pkill -f 'notepad\.exe'

# --- a slow, then a busy conference application: neither is gone ------------------------
conference audio -1
check "the lamp is red" wait_for 5 pixel_is "$W" "$LAMP_X" "$LAMP_Y" "$RED"
conference stall poll 3000
sleep 4.5
check "a poll answered late brings no report" no_window "$BOX_TITLE"
conference stall poll 60000
sleep 7.5
check "nor one never answered" no_window "$BOX_TITLE"
check "and leave the lamp as it was" pixel_is "$W" "$LAMP_X" "$LAMP_Y" "$RED"
conference end-stall
conference audio 0
check "the lamp follows the application again" wait_for 5 pixel_is "$W" "$LAMP_X" "$LAMP_Y" "$GREEN"
sent_before="$(conference sent-count)"
conference stall send 60000
click "$W" "${TEXT2[@]}"
xdotool type --delay 40 "guardado"
xdotool key Return
sleep 1
xdotool type --delay 40 " e mais" # while the call waits
check "a send never answered brings a message" wait_for 12 has_window "$BOX_TITLE"
check "saying the application is busy" report_says "ocupado"
press_ok
conference end-stall
wait_for 5 no_window "$BOX_TITLE"
xdotool key Return
sent_twice() { [ "$(conference sent-count)" -eq $((sent_before + 2)) ] && last_sent_is "guardado e mais"; }
check "the text kept in the input, with what was typed during the wait, is sent again" wait_for 10 sent_twice

# --- the application gone: the report, and nothing lost -------------------------------------
conference fire "PY9EEE: ainda não gravado"
sleep 1
kill -9 "$(server_pid)"
start=$(now_ms)
check "the server killed: the error report" wait_for 10 has_window "$BOX_TITLE"
reported=$(($(now_ms) - start))
echo "error report after ${reported} ms"
check "error 462" report_says "'462'"
check "within about a second" test "$reported" -le 2500
check "saying where the conversation not saved went" report_says "chat-recuperado.txt"
check "which holds it" grep -q "ainda n" "$program/chat-recuperado.txt"
press_ok
check "pressing OK ends the program" ended "$velmora_pid"
check "with a non-zero status" test "${status:-0}" -ne 0
wine_stop_processes

# --- Encerrar programa against an application that answers nothing at all ------------------
start_program "$program" velmora.exe
check "the chat window appears again" wait_for 60 has_window "$CHAT_TITLE"
W="$(window_named "$CHAT_TITLE")"
conference hang poll 12000
sleep 2
click "$W" "${COMMAND1[@]}"
start=$(now_ms)
check "Encerrar programa ends the program all the same" ended "$velmora_pid"
echo "ended $(($(now_ms) - start)) ms after the click"
check "within two seconds" test "$(($(now_ms) - start))" -le 2000
check "with status 0" test "${status:-1}" -eq 0
wine_stop_processes

# --- the session ends (logoff, shutdown): what was not saved is kept ---------------------
rm -f "$program"/chat-recuperado*.txt
start_program "$program" velmora.exe
check "the chat window appears once more" wait_for 60 has_window "$CHAT_TITLE"
conference fire "PY9JJJ: sessão terminando"
sleep 1
wine64 "$out/x86_64/conference_control.exe" end-session "$CHAT_TITLE"
check "the session's end ends the program" ended "$velmora_pid"
check "keeping what was not saved in chat-recuperado.txt" grep -q "PY9JJJ" "$program/chat-recuperado.txt"
wine_stop_processes

# --- installed --------------------------------------------------------------------------
# The installer is a 32-bit program (NSIS): where this machine executes none, it is built and
# measured above but not run.
if can_run_32bit; then
    wine64 "$installer" /S >/dev/null 2>&1
    wine_settle
    installed="$WINEPREFIX/drive_c/Program Files/Velmora"
    check "the installer puts velmora.exe in Program Files" test -f "$installed/velmora.exe"
    check "with the platform plugin" test -f "$installed/platforms/qwindows.dll"
    check "a Start-menu shortcut Velmora" test -n "$(find "$WINEPREFIX/drive_c" -name Velmora.lnk -path '*Start Menu*')"
    # (The installer is a 32-bit program: Windows keeps its keys in the 32-bit view.)
    check "an uninstaller registered with Windows" \
        wine64 reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora' /reg:32
    documents="$WINEPREFIX/drive_c/users/$(whoami)/Documents"
    mkdir -p "$documents"
    wine64 "$server" /RegServer
    start_program "$documents" "C:\\Program Files\\Velmora\\velmora.exe"
    check "the installed program starts" wait_for 60 has_window "$CHAT_TITLE"
    W="$(window_named "$CHAT_TITLE")"
    sleep 1
    click "$W" "${TEXT2[@]}"
    xdotool type --delay 40 "instalado"
    xdotool key Return
    check "and talks to the server" wait_for 10 last_sent_is "instalado"
    click "$W" "${GRAVAR[@]}"
    check "its transcript is kept in the folder it was started in" wait_for 10 test -f "$documents/chat.txt"
    click "$W" "${TEXT1[@]}"
    xdotool key ctrl+a ctrl+c
    click "$W" "${COMMAND1[@]}"
    check "Encerrar programa ends it" ended "$velmora_pid"
    kept_copied() { xclip -o -selection clipboard 2>/dev/null | grep -q "echo: instalado"; }
    check "and what was copied from it stays on the clipboard" wait_for 5 kept_copied
    check "with status 0" test "${status:-1}" -eq 0
    wine_stop_processes
    wine64 "$installed/Uninstall.exe" /S >/dev/null 2>&1
    wine_settle
    check "the uninstaller removes the program" test ! -e "$installed/velmora.exe" -a ! -e "$installed/Qt6Core.dll"
    check "and its shortcut" test -z "$(find "$WINEPREFIX/drive_c" -name Velmora.lnk)"
    check "but never the transcript" test -f "$documents/chat.txt"
else
    echo "installer built, not run"
fi

echo "windows program: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
