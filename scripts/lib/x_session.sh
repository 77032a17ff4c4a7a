# Shared by every script that runs the program on a virtual X server (the run
# command, the end-to-end and package tests, the screenshots, the benchmark):
# waiting, a private session bus, the X server, the stand-in conference, and
# finding and clicking windows.
# The sourcing script sets $work (a temporary folder), $standin (the stand-in
# conference's executable) and the array pids (processes to end on exit).

# The facts the program is built from, read from where it reads them: the
# conference's bus name (conference_bus.h.in), the message boxes' caption
# (program.h) and the windows' captions and controls' places (their layout
# tables, src/*/*.layout, through tools/layout_facts). A fact that cannot be
# read ends the script.
sources="$(dirname "${BASH_SOURCE[0]}")/../../src"
# fact FILE REGEX: the first group of the one line of FILE that matches.
fact() {
    local found
    found="$(sed -n "s/$2/\1/p" "$1")"
    [ -n "$found" ] && [ "$(wc -l <<<"$found")" -eq 1 ] && { echo "$found"; return 0; }
    echo "cannot read '$2' from $1" >&2
    return 1
}
conference_bus_name="$(fact "$sources/conference_link/conference_bus.h.in" '.*Service\[\] = "\(.*\)";')" || exit 1
BOX_TITLE="$(fact "$sources/forms/program.h" '.*Name\[\] = "\(.*\)";')" || exit 1

# The layout tables, read by tools/layout_facts, built here from them as the
# program includes them (no script reads a table itself): CAPTION, SIZE and
# each control's place in twips from the window's corner (COMMAND1, TEXT2...),
# the Help window's prefixed AJUDA_, the About window's SOBRE_VELMORA_.
c++ -std=c++20 -I"$sources" "$sources/../tools/layout_facts/layout_facts.cpp" -o "$work/layout_facts" &&
    layout_facts="$("$work/layout_facts")" || { echo "cannot read the layout tables" >&2; exit 1; }
eval "$layout_facts"
CHAT_TITLE="$CAPTION"
HELP_TITLE="$AJUDA_CAPTION"
AJUDA_RETORNAR=("${AJUDA_COMMAND1[@]}")
ABOUT_TITLE="$SOBRE_VELMORA_CAPTION"
SOBRE_VISITAR=("${SOBRE_VELMORA_COMMAND1[@]}")
SOBRE_RETORNAR=("${SOBRE_VELMORA_RET[@]}")
# The lamp's centre, in pixels from the chat window's corner.
LAMP_X=$(((SHAPE1[0] + SHAPE1[2] / 2) / 15))
LAMP_Y=$(((SHAPE1[1] + SHAPE1[3] / 2) / 15))

passed=0
failed=0

# end_session: what a script's exit trap does: ends the processes it started,
# and the Wine prefix it made (wine_prefix.sh), and removes its folder.
end_session() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    if declare -F stop_wine_prefix >/dev/null; then stop_wine_prefix; fi
    wait 2>/dev/null
    rm -rf "$work"
}

# check WHAT COMMAND...: counts the command's success, or reports its failure.
check() {
    local what="$1"
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $what"
    fi
}

now_ms() { date +%s%3N; }

# on_cpu_ns PID: the time the process's threads have run, in nanoseconds
# (the scheduler's own count: a process woken ten times a second by a timer
# is charged whole clock ticks by /proc/PID/stat, far more than it ran).
on_cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'; }
# cpu_percent NS SECONDS: that run time as a share of one core over SECONDS.
cpu_percent() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.3f", 100 * n / 1e9 / s }'; }

# ended PID: waits (bounded) for a child process to end and puts its exit
# status in $status; fails when it is still running.
ended() {
    status=
    wait_for 10 bash -c "! kill -0 $1 2>/dev/null" || { echo "process $1 still running"; return 1; }
    wait "$1"
    status=$?
}

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
    local deadline=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -ge "$deadline" ] && return 1
        sleep 0.05
    done
}

# --- the session bus, the X server and the stand-in conference -----------------

# start_private_bus: a session bus of this script's own.
start_private_bus() {
    dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" 2>/dev/null &
    pids+=("$!")
    wait_for 10 test -s "$work/bus" || { echo "the session bus did not start"; exit 1; }
    DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$work/bus")"
    export DBUS_SESSION_BUS_ADDRESS
}

# start_x_server: a virtual X server with no window manager, for this script only.
start_x_server() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
    pids+=("$!")
    wait_for 10 test -s "$work/display" || { echo "Xvfb did not start"; exit 1; }
    export DISPLAY=":$(cat "$work/display")"
    unset QT_QPA_PLATFORM
    # Portuguese letters on keys of their own, so that xdotool types them
    # without remapping a key at the moment of typing, a remapping the
    # program may not have seen yet when the key arrives.
    # Keycodes the virtual server leaves unused and that Wine maps too (it
    # ignores the ones above 247).
    xmodmap -e "keycode 93 = ecircumflex Ecircumflex" -e "keycode 97 = atilde Atilde" \
        -e "keycode 103 = eacute Eacute" -e "keycode 120 = ocircumflex Ocircumflex" \
        -e "keycode 132 = ccedilla Ccedilla" -e "keycode 149 = aacute Aacute" \
        -e "keycode 154 = otilde Otilde" -e "keycode 168 = acircumflex Acircumflex"
}

conference_owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$conference_bus_name" 2>/dev/null | grep -q "boolean true"
}

# start_standin [OPTION...]: the stand-in conference, fed through feed, what
# it receives written to $work/sent.txt.
start_standin() {
    rm -f "$work/in"
    mkfifo "$work/in"
    exec 4<>"$work/in"
    "$standin" "$@" <"$work/in" >"$work/sent.txt" 2>/dev/null &
    standin_pid=$!
    pids+=("$standin_pid")
    wait_for 10 conference_owned
}
feed() { printf '%s\n' "$1" >&4; }

# --- the program's windows ------------------------------------------------------

window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true; }
has_window() { [ -n "$(window_named "$1")" ]; }
no_window() { [ -z "$(window_named "$1")" ]; }

# Where a window's client area starts on the screen.
origin_of() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    ox=$X
    oy=$Y
}

# click WINDOW LEFT TOP WIDTH HEIGHT: the centre of a control, in twips from
# the window's top-left corner (15 twips to the pixel).
click() {
    origin_of "$1"
    xdotool mousemove $((ox + $2 / 15 + $4 / 30)) $((oy + $3 / 15 + $5 / 30)) click 1
}

# pixel WINDOW X Y: the colour at a point given in pixels from the window's corner.
pixel() {
    origin_of "$1"
    import -window root -crop "1x1+$((ox + $2))+$((oy + $3))" -depth 8 txt:- 2>/dev/null |
        tail -n 1 | grep -o '#[0-9A-F]\{6\}' | head -n 1
}
pixel_is() { [ "$(pixel "$1" "$2" "$3")" = "$4" ]; }
# title_is WINDOW TEXT: what the title bar shows (the name Qt gives the window manager).
title_is() {
    local title
    title="$(xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')"
    [ "$title" = "$2" ] && return 0
    echo "title: '$title', expected '$2'"
    return 1
}
# report_says TEXT: the message box's text, copied with Ctrl+C, holds TEXT.
report_says() {
    xdotool windowfocus --sync "$(window_named "$BOX_TITLE")" key ctrl+c 2>/dev/null
    wait_for 5 bash -c "xclip -o -selection clipboard 2>/dev/null | grep -qF \"$1\"" && return 0
    echo "the report says: $(xclip -o -selection clipboard 2>/dev/null | head -n 3)"
    return 1
}
press_ok() { xdotool windowfocus --sync "$(window_named "$BOX_TITLE")" key Return 2>/dev/null; }

GREEN="#00FF00"
RED="#FF0000"
